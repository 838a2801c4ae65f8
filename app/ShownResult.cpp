#include "ShownResult.h"

#include <QStringView>

#include <algorithm>

namespace {

// Longer byte ranges (a variable tail, a length error) show their first bytes only.
constexpr int Shown_Bytes = 32;

// How many lines a text adds to the pane when inserted: QTextCursor::insertText starts a new
// text block at every line feed, carriage return (CR LF together once), paragraph separator and
// frame mark. Names and values come from template files and pastes, so they may hold any of them.
int Line_Breaks(QStringView text) {
    int breaks = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            continue; // the line feed that follows counts
        if (c == u'\n' || c == u'\r' || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1)
            ++breaks;
    }
    return breaks;
}

// A spreadsheet cell: quoted, with its quotes doubled, when it holds a tab, a line break or a
// quote.
QString Cell(const QString& text) {
    if (!text.contains(u'\t') && !text.contains(u'\n') && !text.contains(u'\r') &&
        !text.contains(u'"'))
        return text;
    return u'"' + QString(text).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

} // namespace

ShownResult::ShownResult(const QString& input, const QString& device_name,
                         const PacketConversion::Result& result)
    : Input_Text(input), Device(device_name), Converted(result) {
    // The pane holds the "to HEX" line of a base64 paste, the header line, then one line per
    // field, each as the renderer prints it.
    int line = 0;
    if (Converted.Is_Base64) {
        QByteArray hex_line;
        PacketConversion::Append_Hex_Line(hex_line, Converted.Hex_Text);
        line += Line_Breaks(QString::fromUtf8(hex_line));
    }
    line += Line_Breaks(QStringLiteral("\t\t\t") + Device + u'\n');
    Field_Lines.reserve(Converted.Packet.size() + 1);
    for (const DecodedField& field : Converted.Packet) {
        Field_Lines.append(line);
        const std::shared_ptr<const FieldLine> printed =
            field.Line ? field.Line : FieldLine::Of(field.Name);
        // A date has no line breaks; the value's own may join the line's closing line feed.
        line += Line_Breaks(QString::fromUtf8(printed->Prefix) +
                            (printed->Is_Time ? QString() : field.Value) + u'\n');
    }
    Field_Lines.append(line);
}

const DecodedField* ShownResult::Field_On_Line(int line) const {
    if (Is_Empty() || line < Field_Lines.first() || line >= Field_Lines.last())
        return nullptr;
    // The last field starting on or before the line (a field may span several lines).
    const auto after = std::upper_bound(Field_Lines.begin(), Field_Lines.end(), line);
    return &Converted.Packet.at(after - Field_Lines.begin() - 1);
}

QString ShownResult::Source_Text(const DecodedField& field) const {
    const QString& hex = Converted.Hex_Text;
    if (!field.Is_In_Packet() || 2 * (qsizetype(field.Offset) + field.Size) > hex.size())
        return QStringLiteral("Вне пакета");
    if (field.Is_Bit_Field()) {
        const QString byte = QStringLiteral("Байт %1").arg(field.Offset);
        if (field.Bit_Count == 1)
            return byte + QStringLiteral(", бит %1").arg(field.Bit);
        if (field.Bit_Count > 1)
            return byte + QStringLiteral(", биты %1-%2")
                              .arg(field.Bit)
                              .arg(field.Bit + field.Bit_Count - 1);
        return byte;
    }
    QStringList bytes;
    for (int i = 0; i < std::min(field.Size, Shown_Bytes); ++i)
        bytes.append(hex.sliced(2 * (qsizetype(field.Offset) + i), 2));
    if (field.Size > Shown_Bytes)
        bytes.append(QStringLiteral("…"));
    const QString range =
        field.Size == 1
            ? QStringLiteral("Байт %1").arg(field.Offset)
            : QStringLiteral("Байты %1-%2").arg(field.Offset).arg(field.Offset + field.Size - 1);
    return range + QStringLiteral(": ") + bytes.join(u' ');
}

QString ShownResult::Table_Text() const {
    QString table = QStringLiteral("Название\tЗначение\tСмещение\tРазмер\n");
    for (const DecodedField& field : Converted.Packet) {
        table += Cell(field.Name) + u'\t' + Cell(field.Value) + u'\t';
        if (field.Is_In_Packet())
            table += QString::number(field.Offset) + u'\t' + QString::number(field.Size);
        else
            table += u'\t';
        table += u'\n';
    }
    return table;
}
