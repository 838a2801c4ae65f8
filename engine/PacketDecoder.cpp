#include "PacketDecoder.h"

#include "FieldValue.h"
#include "HexText.h"
#include "ReusedText.h"

#include <QStringLiteral>

#include <algorithm>
#include <cstdint>
#include <limits>

using HexText::Byte_Count;
using HexText::Byte_Value;
using HexText::Lies_Inside;

namespace {

// A field the decoder names itself, with its line worked out once.
struct Own_Field {
    QString Name;
    std::shared_ptr<const FieldLine> Line;

    explicit Own_Field(const QString& name) : Name(name), Line(FieldLine::Of(name)) {}
};

const Own_Field& Type_Field() {
    static const Own_Field field(QStringLiteral("Тип пакета"));
    return field;
}

const Own_Field& Error_Field() {
    static const Own_Field field(QStringLiteral("ERROR"));
    return field;
}

// Records the bytes a value was read from. An empty range, or one that does not lie wholly inside
// the packet, records nothing: the field keeps "not read from the packet".
void Place(DecodedField& field, QStringView packet, qint64 num_byte, qint64 size) {
    if (size > 0 && Lies_Inside(packet, num_byte, size) &&
        num_byte + size <= std::numeric_limits<int>::max()) {
        field.Offset = static_cast<int>(num_byte);
        field.Size = static_cast<int>(size);
    }
}

// Up to eight bytes as an unsigned number, byte `first` most significant when reading little-
// endian bytes backwards. Returns false when a character is not hexadecimal.
bool Read_Small(QStringView packet, qint64 num_byte, qint64 size, PacketDecoder::ByteOrder order,
                std::uint64_t& value) {
    value = 0;
    for (qint64 i = 0; i < size; ++i) {
        const qint64 byte = order == PacketDecoder::ByteOrder::Little_Endian
                                ? num_byte + size - 1 - i
                                : num_byte + i;
        const int bits = Byte_Value(packet[2 * byte], packet[2 * byte + 1]);
        if (bits < 0)
            return false;
        value = (value << 8) | static_cast<std::uint64_t>(bits);
    }
    return true;
}

// A number in decimal exactly as QString::number writes it (a minus sign for negative values,
// no grouping), without the general number formatting, which dominated the decoding time of
// whole packet logs. Returns where the text starts in `buffer`, which it fills from the end.
const char16_t* Format_Decimal(std::int64_t value, char16_t (&buffer)[21]) {
    char16_t* at = buffer + 21;
    std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    do {
        *--at = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        *--at = u'-';
    return at;
}

void Assign_Decimal(QString& out, std::int64_t value) {
    char16_t buffer[21];
    const char16_t* text = Format_Decimal(value, buffer);
    Assign_Text(out, QStringView(text, buffer + 21));
}

// Makes `out` share `text` (a name or type name from the template), unless it already does.
void Assign_Shared(QString& out, const QString& text) {
    if (out.constData() != text.constData() || out.size() != text.size())
        out = text;
}

void Assign_Signed(QString& out, std::uint64_t value, qint64 size) {
    switch (size) {
    case 1:
        return Assign_Decimal(out, static_cast<std::int8_t>(value));
    case 2:
        return Assign_Decimal(out, static_cast<std::int16_t>(value));
    case 4:
        return Assign_Decimal(out, static_cast<std::int32_t>(value));
    default:
        if (value > std::uint64_t(INT64_MAX))
            out = QString::number(value);
        else
            Assign_Decimal(out, static_cast<std::int64_t>(value));
    }
}

// Numbers wider than eight bytes: the hex digits, most significant byte first.
QString Wide_Number(QStringView packet, qint64 num_byte, qint64 size,
                    PacketDecoder::ByteOrder order) {
    if (order == PacketDecoder::ByteOrder::Packet_Order)
        return HexText::Unsigned_Decimal(packet.sliced(2 * num_byte, 2 * size));
    QString digits;
    digits.reserve(2 * size);
    for (qint64 byte = num_byte + size - 1; byte >= num_byte; --byte)
        digits.append(packet.sliced(2 * byte, 2));
    return HexText::Unsigned_Decimal(digits);
}

// Two's complement 8- and 16-bit parts of a beacon payload; non-hex digits give 0.
int Signed_Byte(QStringView payload, qsizetype byte) {
    const int value = Byte_Value(payload[2 * byte], payload[2 * byte + 1]);
    return value < 0 ? 0 : static_cast<std::int8_t>(value);
}

int Unsigned_16(QStringView payload, qsizetype high_byte, qsizetype low_byte) {
    const int high = Byte_Value(payload[2 * high_byte], payload[2 * high_byte + 1]);
    const int low = Byte_Value(payload[2 * low_byte], payload[2 * low_byte + 1]);
    return (high < 0 || low < 0) ? 0 : (high << 8) | low;
}

// Fills a result list left from an earlier decoding: its entries, and the text buffers of their
// values, are used again, so that a caller decoding packet after packet into one list allocates
// nothing once the list has held a packet of the same shape. The list ends up holding exactly
// the fields given, in order.
class Result_Filler {
  public:
    Result_Filler(DecodedPacket& list, qsizetype expected_size) : List(list) {
        if (List.capacity() < expected_size)
            List.reserve(expected_size);
        Kept = List.size();
        Kept_Fields = Kept > 0 ? List.data() : nullptr; // data() detaches a shared list
    }
    ~Result_Filler() {
        if (List.size() != Used)
            List.resize(Used);
    }
    Result_Filler(const Result_Filler&) = delete;
    Result_Filler& operator=(const Result_Filler&) = delete;

    // The next field, named and printed as `entry` (a template's field or one the decoder names
    // itself) and not yet placed in the packet; its value is the earlier one, to be overwritten.
    // The reference lasts until the next call.
    template <typename Entry> DecodedField& Next_Field(const Entry& entry) {
        DecodedField& field = Used < Kept ? Kept_Fields[Used] : List.emplace_back();
        ++Used;
        Assign_Shared(field.Name, entry.Name);
        if (field.Line != entry.Line)
            field.Line = entry.Line;
        field.Offset = -1;
        field.Size = 0;
        field.Bit = -1;
        field.Bit_Count = 0;
        if (field.Number.Type != FieldNumber::Kind::None) {
            field.Number.Type = FieldNumber::Kind::None;
            field.Number.Length = -1;
        }
        field.Is_Label = field.Shows_Unit = field.Is_Date = false;
        return field;
    }
    template <typename Entry> QString& Next(const Entry& entry) { return Next_Field(entry).Value; }

  private:
    DecodedPacket& List;
    qsizetype Used = 0;
    qsizetype Kept = 0;                  // entries the list held before
    DecodedField* Kept_Fields = nullptr; // read only before any entry is added
};

// One field per bitmap entry, each holding the bits of `low_byte` that its range covers, and
// their unsigned value as its number. `byte` is where low_byte stands in the packet, -1 when it
// was not read from the packet.
void Write_Bits(Result_Filler& out, const QList<BitFieldEntry>& bitmap, int low_byte, int byte) {
    QChar bit_string[8];
    for (int bit = 0; bit < 8; ++bit)
        bit_string[bit] = (low_byte >> bit) & 1 ? u'1' : u'0';

    for (const BitFieldEntry& entry : bitmap) {
        // Only the positions 0..7 that lie inside [num_bit, num_bit + size) have bits.
        const qint64 first = std::max<qint64>(entry.Num_Bit, 0);
        const qint64 end = std::min<qint64>(static_cast<qint64>(entry.Num_Bit) + entry.Size, 8);
        DecodedField& field = out.Next_Field(entry);
        const QStringView bits =
            end > first ? QStringView(bit_string + first, end - first) : QStringView();
        if (end <= first)
            Assign_Text(field.Value, {});
        else
            FieldValue::Write_Bit_Group(field, entry.Meaning,
                                        (low_byte >> first) & ((1u << (end - first)) - 1), bits);
        if (byte >= 0) {
            field.Offset = byte;
            field.Size = 1;
            field.Bit = static_cast<int>(first);
            field.Bit_Count = static_cast<int>(std::max<qint64>(end - first, 0));
        }
    }
}

// The value of a number field, as Read_Number gives it.
void Write_Number(QString& out, QStringView packet, qint64 num_byte, qint64 size,
                  PacketDecoder::ByteOrder order) {
    if (packet.isEmpty())
        return Assign_Text(out, {});
    if (size <= 0)
        return Assign_Text(out, u"0");
    if (!Lies_Inside(packet, num_byte, size))
        return Assign_Text(out, {});
    if (size > 8) {
        out = Wide_Number(packet, num_byte, size, order);
        return;
    }
    std::uint64_t value = 0;
    if (!Read_Small(packet, num_byte, size, order, value))
        return Assign_Text(out, u"0");
    Assign_Signed(out, value, size);
}

// A beacon line put together in a fixed buffer, so that it is copied into its string in one go.
// The longest line, 89 characters, is the "Киво" one.
class Beacon_Line {
  public:
    Beacon_Line& operator<<(QStringView text) {
        Q_ASSERT(At + text.size() <= std::end(Buffer));
        At = std::copy(text.utf16(), text.utf16() + text.size(), At);
        return *this;
    }
    Beacon_Line& operator<<(int value) {
        char16_t digits[21];
        const char16_t* const start = Format_Decimal(value, digits);
        return *this << QStringView(start, std::end(digits));
    }
    QStringView Text() const { return QStringView(Buffer, At); }

  private:
    char16_t Buffer[128];
    char16_t* At = Buffer;
};

// The line describing a beacon payload, as Decode_Beacon gives it.
void Write_Beacon(QString& out, QStringView payload) {
    const int kind = payload.size() == 40 ? Byte_Value(payload[11], payload[12]) : -1;
    // The lines are "iBeacon - UUID %1 MajorID %2 MinorID %3", "Eddystone - NamespaceID %1
    // InstanceID %2", "ALTBeacon - %1" and "Киво - MAC- %1 Бат.- %2 Темп.- %3 Влаж.- %4 Резерв %5",
    // their parts inserted as they are; they are built piece by piece, which is much faster than
    // substituting the markers and gives the same text.
    Beacon_Line line;
    switch (kind) {
    case 1:
        line << u"iBeacon - UUID " << payload.sliced(0, 32) << u" MajorID "
             << Unsigned_16(payload, 16, 17) << u" MinorID " << Unsigned_16(payload, 18, 19);
        break;
    case 2:
        line << u"Eddystone - NamespaceID " << payload.sliced(0, 20) << u" InstanceID "
             << payload.sliced(20, 12);
        break;
    case 3:
        line << u"ALTBeacon - " << payload;
        break;
    case 4:
        line << u"Киво - MAC- " << payload.sliced(0, 12) << u" Бат.- " << Signed_Byte(payload, 6)
             << u" Темп.- " << static_cast<std::int16_t>(Unsigned_16(payload, 8, 7)) << u" Влаж.- "
             << Signed_Byte(payload, 9) << u" Резерв " << payload.sliced(20, 20);
        break;
    default: // an unknown kind, or not a 20-byte payload, has no line
        break;
    }
    Assign_Text(out, line.Text());
}

// The value of a 6- or 20-byte field, as Read_Field_Text gives it.
void Write_Field_Text(QString& out, QStringView packet, qint64 num_byte, qint64 size) {
    if (packet.isEmpty() || size <= 0 || !Lies_Inside(packet, num_byte, size))
        return Assign_Text(out, {});
    const QStringView text = packet.sliced(2 * num_byte, 2 * size);
    if (size == 20)
        Write_Beacon(out, text);
    else
        Assign_Text(out, text);
}

// A byte field with a bit map shows no value of its own; its number gives the bits, those of its
// least significant byte: the first in the packet, or the last for a big-endian field.
void Write_Bitmap_Field(Result_Filler& out, const ByteFieldEntry& field, QStringView packet) {
    const bool big_endian = field.Meaning.Big_Endian;
    DecodedField& own = out.Next_Field(field);
    QString& value = own.Value;
    Write_Number(value, packet, field.Num_Byte, field.Size,
                 big_endian ? PacketDecoder::ByteOrder::Packet_Order
                            : PacketDecoder::ByteOrder::Little_Endian);
    Place(own, packet, field.Num_Byte, field.Size);
    const int bit_byte = own.Offset < 0 || !big_endian ? own.Offset : own.Offset + own.Size - 1;
    // A field outside the packet has no bits either. A field of size 0 or less has the value 0
    // (empty only for an empty packet), so it has bits.
    const bool has_bits = field.Size <= 0 || !value.isEmpty();
    const int low_byte = HexText::Low_Byte_Of_Decimal(value);
    Assign_Text(value, {});
    if (has_bits) {
        Write_Bits(out, field.Bitmap, low_byte, bit_byte);
    } else {
        for (const BitFieldEntry& bit : field.Bitmap)
            Assign_Text(out.Next(bit), {});
    }
}

// The variable tail runs from byte min_size - 1 (never before byte 0) to the end.
qint64 Tail_Start(qint64 var_start) {
    return std::max<qint64>(var_start, 0);
}

void Write_Field(Result_Filler& out, const ByteFieldEntry& field, QStringView packet,
                 qint64 var_start) {
    using Rule = FieldMeaning::Rule;
    switch (field.Rule) {
    case Rule::Bitmap:
        return Write_Bitmap_Field(out, field, packet);
    case Rule::Hex_As_Typed:
    case Rule::Beacon: {
        DecodedField& text = out.Next_Field(field);
        Write_Field_Text(text.Value, packet, field.Num_Byte, field.Size);
        Place(text, packet, field.Num_Byte, field.Size);
        return;
    }
    case Rule::Tail: {
        const qint64 start = Tail_Start(var_start);
        const qint64 count = Byte_Count(packet) - start;
        DecodedField& tail = out.Next_Field(field);
        Assign_Text(tail.Value, count > 0 ? packet.sliced(2 * start, 2 * count) : QStringView());
        Place(tail, packet, start, count);
        return;
    }
    case Rule::Number: {
        DecodedField& number = out.Next_Field(field);
        Write_Number(number.Value, packet, field.Num_Byte, field.Size,
                     PacketDecoder::ByteOrder::Little_Endian);
        Place(number, packet, field.Num_Byte, field.Size);
        if (!number.Value.isEmpty())
            number.Number.Type = FieldNumber::Kind::Prefix;
        return;
    }
    default: {
        const bool tail = field.Rule == Rule::Tail_Hex || field.Rule == Rule::Tail_Ascii;
        const qint64 first = tail ? Tail_Start(var_start) : field.Num_Byte;
        const qint64 count = tail ? Byte_Count(packet) - first : field.Size;
        DecodedField& meant = out.Next_Field(field);
        FieldValue::Write(meant, field, packet, first, count);
        Place(meant, packet, first, count);
        return;
    }
    }
}

} // namespace

PacketDecoder::PacketDecoder(const QString& template_path, MessageReporter reporter)
    : Template_Path(template_path), Reporter(reporter ? std::move(reporter) : Log_Reporter()) {}

UserMessage PacketDecoder::Open_Failure_Message(const QString& path) {
    return SafeFile::Open_Failure_Message(path, QString());
}

UserMessage PacketDecoder::Load_Failure_Message(SafeFile::ReadFailure failure,
                                                const QString& path) {
    if (failure != SafeFile::ReadFailure::Too_Large)
        return Open_Failure_Message(path);
    return {MessageIcon::Information, QStringLiteral("Ошибка"),
            QStringLiteral("Файл %1 больше %2 МБ, шаблоны такого размера не читаются")
                .arg(path, QString::number(SafeFile::Max_Read_Size >> 20))};
}

UserMessage PacketDecoder::Missing_Template_Message(int type_byte, const QString& path) {
    return {MessageIcon::Information, QStringLiteral("ERROR"),
            QStringLiteral("Не удалось найти шаблон для парсинга пакета. Проверьте поддержку типа "
                           "пакета - %1 в протоколе или наличие в файле: %2")
                .arg(QString::number(type_byte), path)};
}

DecodedPacket PacketDecoder::Parse_Packet(const QString& packet) const {
    SafeFile::ReadFailure failure;
    const std::optional<DeviceTemplateFile> file =
        DeviceTemplateFile::Load(Template_Path, &failure);
    if (!file) {
        Reporter(Load_Failure_Message(failure, Template_Path));
        return {};
    }
    return Parse_Packet(*file, packet);
}

DecodedPacket PacketDecoder::Parse_Packet(const DeviceTemplateFile& file,
                                          QStringView packet) const {
    DecodedPacket result;
    Parse_Packet(file, packet, result);
    return result;
}

void PacketDecoder::Parse_Packet(const DeviceTemplateFile& file, QStringView packet,
                                 DecodedPacket& result) const {
    const int type_byte = HexText::Type_Byte(packet);
    const DeviceTemplateFile::Selection& selection = file.Select(type_byte);
    // An element that is empty, or not an object, selects as an empty template: no template.
    if (selection.Index < 0 || file.Templates().at(selection.Index).Is_Empty) {
        Reporter(Missing_Template_Message(type_byte, Template_Path));
        return result.clear();
    }
    const PacketTemplate& packet_template = file.Templates().at(selection.Index);
    if (packet_template.Has_Err)
        return result.clear();

    const qint64 length = Byte_Count(packet);
    const qint64 total = packet_template.Total_Size;
    if (length != total && !(packet_template.Has_Min_Size && length <= total)) {
        Result_Filler out(result, 1);
        // The error is about the whole packet, so its bytes are the packet's.
        DecodedField& error = out.Next_Field(Error_Field());
        error.Value = QStringLiteral("Не верный размер парадаваемого пакета. Ожидаемый: %1, "
                                     "фактический: %2")
                          .arg(QString::number(total), QString::number(length));
        Place(error, packet, 0, length);
        return;
    }

    // Room for the whole result: the type line, every field and every bit field.
    qsizetype output_size = 1 + packet_template.Data.size();
    for (const ByteFieldEntry& field : packet_template.Data)
        output_size += field.Bitmap.size();
    Result_Filler out(result, output_size);
    DecodedField& type = out.Next_Field(Type_Field());
    Assign_Shared(type.Value, selection.Type_Name);
    type.Number.Type = FieldNumber::Kind::Integer;
    type.Number.Integer = type_byte;
    Place(type, packet, 0, 1);
    const qint64 var_start = static_cast<qint64>(packet_template.Min_Size) - 1;
    for (const ByteFieldEntry& field : packet_template.Data)
        Write_Field(out, field, packet, var_start);
}

QJsonObject PacketDecoder::Find_Template(const QString& path, const QString& packet) const {
    SafeFile::ReadFailure failure;
    const std::optional<DeviceTemplateFile> file = DeviceTemplateFile::Load(path, &failure);
    if (!file) {
        Reporter(Load_Failure_Message(failure, path));
        return QJsonObject{{QStringLiteral("ERR"), QStringLiteral("NOFILE")}};
    }
    const DeviceTemplateFile::Selection& selection = file->Select(HexText::Type_Byte(packet));
    return selection.Index < 0 ? QJsonObject() : file->Templates().at(selection.Index).Json;
}

QString PacketDecoder::Packet_Type_Name(int type, const QJsonObject& packet_template) {
    return DeviceTemplateFile::Type_Name(DeviceTemplateFile::Read_Template(packet_template), type);
}

QString PacketDecoder::Read_Number(QStringView packet, qint64 num_byte, qint64 size,
                                   ByteOrder order) {
    QString text;
    Write_Number(text, packet, num_byte, size, order);
    return text;
}

QString PacketDecoder::Read_Field_Text(QStringView packet, qint64 num_byte, qint64 size) {
    QString text;
    Write_Field_Text(text, packet, num_byte, size);
    return text;
}

DecodedPacket PacketDecoder::Parse_Bit_Map(const QJsonArray& bitmap, const QString& value) {
    return Parse_Bit_Map(DeviceTemplateFile::Read_Bitmap(bitmap), value);
}

DecodedPacket PacketDecoder::Parse_Bit_Map(const QList<BitFieldEntry>& bitmap,
                                           const QString& value) {
    DecodedPacket fields;
    Result_Filler out(fields, bitmap.size());
    Write_Bits(out, bitmap, HexText::Low_Byte_Of_Decimal(value), -1);
    return fields;
}

QString PacketDecoder::Decode_Beacon(QStringView payload) {
    QString line;
    Write_Beacon(line, payload);
    return line;
}
