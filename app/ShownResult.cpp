#include "ShownResult.h"

#include <algorithm>

namespace {

// Longer byte ranges (a variable tail, a length error) show their first bytes only.
constexpr int Shown_Bytes = 32;

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
                         const PacketConversion::Result& result, const QList<int>& field_lines)
    : Input_Text(input), Device(device_name), Converted(result), Field_Lines(field_lines) {}

const DecodedField* ShownResult::Field_On_Line(int line) const {
    // Lines of a conversion whose text did not reach the pane tell no field.
    if (Is_Empty() || Field_Lines.size() != Converted.Packet.size() + 1 ||
        line < Field_Lines.first() || line >= Field_Lines.last())
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
