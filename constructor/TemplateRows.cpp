#include "TemplateRows.h"

#include "DeviceTemplateFile.h"
#include "HexText.h"
#include "TemplateKeys.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>

namespace {

using Row = TemplateRows::Row;

const QLatin1Char Comma(',');
const QLatin1Char Dash('-');

// Codes and names separated by commas in both cells make a type list; otherwise the code cell is
// one number and the name cell one name, commas included.
bool Is_Type_List(const TemplateRows::Cells& cells) {
    return cells[0].contains(Comma) && cells[2].contains(Comma);
}

// A size written min-total marks a variable-length packet; text after a second dash is ignored.
bool Is_Range(const QString& size) {
    return size.contains(Dash);
}

QStringList Range_Pieces(const QString& size) {
    return {size.section(Dash, 0, 0), size.section(Dash, 1, 1)};
}

// The list's codes and names are paired position by position; the surplus of the longer list is
// dropped.
QList<TypeEntry> Type_Entries(const TemplateRows::Cells& cells) {
    const QStringList codes = cells[0].split(Comma);
    const QStringList names = cells[2].split(Comma);
    QList<TypeEntry> entries;
    for (qsizetype i = 0; i < codes.size() && i < names.size(); ++i)
        entries.append({TemplateRows::Cell_Number(codes[i]), names[i]});
    return entries;
}

// The rows become the values the reader makes of a file, which the file's writer saves; a field
// keeps only the meaning keys the decoder reads.
BitFieldEntry Bit_Field(const Row& row) {
    BitFieldEntry bit;
    bit.Num_Bit = TemplateRows::Cell_Number(row.Texts[0]);
    bit.Size = TemplateRows::Cell_Number(row.Texts[1]);
    bit.Name = row.Texts[2];
    bit.Meaning = FieldMeaning::Of_Bit_Field(row.Meaning);
    return bit;
}

ByteFieldEntry Byte_Field(const Row& row) {
    ByteFieldEntry field;
    field.Num_Byte = TemplateRows::Cell_Number(row.Texts[0]);
    field.Size = TemplateRows::Cell_Number(row.Texts[1]);
    field.Name = row.Texts[2];
    field.Meaning = FieldMeaning::Of_Byte_Field(row.Meaning);
    field.Has_Bitmap = !row.Children.isEmpty();
    for (const Row& bit : row.Children)
        field.Bitmap.append(Bit_Field(bit));
    return field;
}

PacketTemplate Packet_Template(const Row& row) {
    const TemplateRows::Cells& cells = row.Texts;
    PacketTemplate packet;
    packet.Is_Type_Array = Is_Type_List(cells);
    if (packet.Is_Type_Array) {
        packet.Types = Type_Entries(cells);
    } else {
        packet.Packet_Type = TemplateRows::Cell_Number(cells[0]);
        packet.Name = cells[2];
    }
    packet.Has_Min_Size = Is_Range(cells[1]);
    if (packet.Has_Min_Size) {
        const QStringList pieces = Range_Pieces(cells[1]);
        packet.Min_Size = TemplateRows::Cell_Number(pieces[0]);
        packet.Total_Size = TemplateRows::Cell_Number(pieces[1]);
    } else {
        packet.Total_Size = TemplateRows::Cell_Number(cells[1]);
    }
    for (const Row& field : row.Children)
        packet.Data.append(Byte_Field(field));
    return packet;
}

Row Packet_Row(const PacketTemplate& packet) {
    Row row;
    if (packet.Is_Type_Array) {
        QStringList codes, names;
        for (const TypeEntry& entry : packet.Types)
            codes.append(QString::number(entry.T)), names.append(entry.Name);
        row.Texts = {codes.join(Comma), {}, names.join(Comma)};
    } else {
        row.Texts = {QString::number(packet.Packet_Type), {}, packet.Name};
    }
    row.Texts[1] = packet.Has_Min_Size
                       ? QStringLiteral("%1-%2").arg(packet.Min_Size).arg(packet.Total_Size)
                       : QString::number(packet.Total_Size);
    for (const ByteFieldEntry& field : packet.Data) {
        Row& byte_row = row.Children.emplace_back(
            Row{{QString::number(field.Num_Byte), QString::number(field.Size), field.Name},
                {},
                field.Meaning.To_Json()});
        for (const BitFieldEntry& bit : field.Bitmap)
            byte_row.Children.append(
                Row{{QString::number(bit.Num_Bit), QString::number(bit.Size), bit.Name},
                    {},
                    bit.Meaning.To_Json()});
    }
    return row;
}

// A value as it stands in the file, cut short for a message line.
QString Shown(const QJsonValue& value) {
    QString text =
        QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact));
    text = text.sliced(1, text.size() - 2);
    return text.size() > 40 ? text.left(39) + QChar(0x2026) : text;
}

QString Member_Path(const QString& path, const QString& key) {
    return path.isEmpty() ? key : path + QLatin1Char('.') + key;
}

// A key the save adds changes nothing when the reader took its absence for the same value (0,
// empty text, no entries); only `min_size` means something by being there at all.
bool Adds_Meaning(const QString& key, const QJsonValue& value) {
    return key == TemplateKeys::Min_Size ||
           (value != QJsonValue(0) && value != QJsonValue(QString()) &&
            value != QJsonValue(QJsonArray()));
}

// Walks the document as it was and as the save would write it, one line per difference.
void Compare(const QJsonValue& had, const QJsonValue& saved, const QString& path,
             QStringList& changes) {
    if (had == saved)
        return;
    const QString where = path.isEmpty() ? QStringLiteral("документ") : path;
    if (had.isObject() && saved.isObject()) {
        const QJsonObject before = had.toObject(), after = saved.toObject();
        for (auto it = before.begin(); it != before.end(); ++it) {
            if (after.contains(it.key()))
                Compare(it.value(), after.value(it.key()), Member_Path(path, it.key()), changes);
            else
                changes.append(QStringLiteral("%1: будет удалено (%2)")
                                   .arg(Member_Path(path, it.key()), Shown(it.value())));
        }
        for (auto it = after.begin(); it != after.end(); ++it)
            if (!before.contains(it.key()) && Adds_Meaning(it.key(), it.value()))
                changes.append(QStringLiteral("%1: будет добавлено %2")
                                   .arg(Member_Path(path, it.key()), Shown(it.value())));
    } else if (had.isArray() && saved.isArray()) {
        const QJsonArray before = had.toArray(), after = saved.toArray();
        for (qsizetype i = 0; i < std::max(before.size(), after.size()); ++i) {
            const QString item = QStringLiteral("%1[%2]").arg(where).arg(i);
            if (i >= after.size())
                changes.append(
                    QStringLiteral("%1: будет удалено (%2)").arg(item, Shown(before[i])));
            else if (i >= before.size())
                changes.append(QStringLiteral("%1: будет добавлено %2").arg(item, Shown(after[i])));
            else
                Compare(before[i], after[i], item, changes);
        }
    } else {
        changes.append(QStringLiteral("%1: %2 станет %3").arg(where, Shown(had), Shown(saved)));
    }
}

} // namespace

int TemplateRows::Cell_Number(const QString& text) {
    return Converted_Number(text).value_or(0);
}

std::optional<int> TemplateRows::Converted_Number(const QString& text) {
    bool converts = false;
    // "0x21" is how type bytes are usually written down: "0x" and hex digits only, no sign and
    // no blanks, which the decimal reading would allow.
    const QStringView digits = QStringView(text).sliced(std::min<qsizetype>(2, text.size()));
    const bool is_hex = text.startsWith(QLatin1String("0x")) && !digits.isEmpty() &&
                        std::all_of(digits.begin(), digits.end(),
                                    [](QChar c) { return HexText::Digit_Value(c) >= 0; });
    const int number = is_hex ? digits.toInt(&converts, 16) : text.toInt(&converts, 10);
    return converts ? std::optional<int>(number) : std::nullopt;
}

QJsonObject TemplateRows::To_Json(const QList<Row>& rows) {
    QList<PacketTemplate> templates;
    templates.reserve(rows.size());
    for (const Row& row : rows)
        templates.append(Packet_Template(row));
    return DeviceTemplateFile::Write_Document(templates);
}

TemplateRows::Loaded TemplateRows::From_Json(const QByteArray& document) {
    Loaded loaded;
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(document, &error);
    if (error.error != QJsonParseError::NoError) {
        loaded.Json_Error =
            QStringLiteral("%1 (байт %2)").arg(error.errorString()).arg(error.offset);
        return loaded;
    }
    const QJsonArray packets = json.object().value(TemplateKeys::Packet_Data).toArray();
    for (const QJsonValue& packet : packets)
        loaded.Rows.append(Packet_Row(DeviceTemplateFile::Read_Template(packet.toObject())));
    const QJsonValue had = json.isObject() ? QJsonValue(json.object()) : QJsonValue(json.array());
    Compare(had, To_Json(loaded.Rows), QString(), loaded.Changes);
    return loaded;
}

QStringList TemplateRows::Unconverted_Numbers(const Cells& cells, Level level, int column) {
    const QString& cell = cells[column];
    if (column == 2 || cell.isEmpty())
        return {};
    QStringList numbers{cell};
    if (level == Level::Packet_Type && column == 0 && Is_Type_List(cells))
        numbers = cell.split(Comma);
    else if (level == Level::Packet_Type && column == 1 && Is_Range(cell))
        numbers = Range_Pieces(cell);
    QStringList unconverted;
    for (const QString& number : numbers) {
        if (!Converted_Number(number))
            unconverted.append(number);
    }
    return unconverted;
}
