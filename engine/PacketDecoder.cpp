#include "PacketDecoder.h"

#include "DecimalText.h"
#include "DecoderMessages.h"
#include "FieldValue.h"
#include "HexText.h"
#include "ResultFiller.h"

#include <QStringLiteral>

#include <cstdint>
#include <limits>

using HexText::Byte_Count;
using HexText::Byte_Value;
using HexText::Lies_Inside;
using Rule = FieldMeaning::Rule;

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

Q_ALWAYS_INLINE DecodedField& Next_Field(ResultFiller& out, const ByteFieldEntry& field) {
    return out.Next(field.Name, field.Line);
}

// A text put together piece by piece straight in the buffer of the text it is for (see
// DecimalText::Put), which is cut to its length at the end. The longest text made here, a beacon
// line, has 89 characters.
class Line_Text {
  public:
    explicit Line_Text(QString& out) : Out(out), Start(Text_To_Fill(out, Room)), At(Start) {}
    ~Line_Text() { Resize_Text(Out, At - Start); }
    Line_Text(const Line_Text&) = delete;
    Line_Text& operator=(const Line_Text&) = delete;

    template <std::size_t Size> Line_Text& operator<<(const char16_t (&literal)[Size]) {
        return *this << QStringView(literal, qsizetype(Size - 1));
    }
    Line_Text& operator<<(QStringView text) {
        Q_ASSERT(At + text.size() <= Start + Room);
        Short_Copy(At, text.utf16(), 2 * text.size());
        At += text.size();
        return *this;
    }
    Line_Text& operator<<(qint64 value) {
        Q_ASSERT(At + DecimalText::Max_Length <= Start + Room);
        At = DecimalText::Put(At, value);
        return *this;
    }

  private:
    static constexpr qsizetype Room = 128;
    QString& Out;
    char16_t* const Start;
    char16_t* At;
};

// --- Numbers: sizes 1, 2 and 4 signed, 3 and 5 or more unsigned, little-endian.

// Up to eight bytes, little-endian, as an unsigned number; false when a character is not hex.
bool Read_Small(QStringView packet, qint64 num_byte, qint64 size, std::uint64_t& value) {
    value = 0;
    for (qint64 byte = num_byte + size - 1; byte >= num_byte; --byte) {
        const int bits = Byte_Value(packet[2 * byte], packet[2 * byte + 1]);
        if (bits < 0)
            return false;
        value = (value << 8) | static_cast<std::uint64_t>(bits);
    }
    return true;
}

qint64 Signed_By_Size(std::uint64_t value, qint64 size) {
    switch (size) {
    case 1:
        return static_cast<std::int8_t>(value);
    case 2:
        return static_cast<std::int16_t>(value);
    case 4:
        return static_cast<std::int32_t>(value);
    default:
        return static_cast<qint64>(value);
    }
}

// More than eight bytes: the hex digits, most significant byte first, in decimal.
QString Wide_Number(QStringView packet, qint64 num_byte, qint64 size) {
    QString digits;
    digits.reserve(2 * size);
    for (qint64 byte = num_byte + size - 1; byte >= num_byte; --byte)
        digits.append(packet.sliced(2 * byte, 2));
    return HexText::Unsigned_Decimal(digits);
}

// The number's text; empty for an empty packet or a field outside it, "0" for a size of 0 or less
// and for non-hex characters.
void Write_Number_Text(QString& out, QStringView packet, qint64 num_byte, qint64 size) {
    if (packet.isEmpty() || (size > 0 && !Lies_Inside(packet, num_byte, size)))
        return Assign_Text(out, {});
    std::uint64_t value = 0;
    if (size <= 0 || (size <= 8 && !Read_Small(packet, num_byte, size, value)))
        return Assign_Text(out, u"0");
    if (size > 8) {
        out = Wide_Number(packet, num_byte, size);
        return;
    }
    // The digits go straight into the text (see DecimalText::Put).
    if (value > std::uint64_t(INT64_MAX) && size == 8) {
        const int length = DecimalText::Length_Unsigned(value);
        DecimalText::Put_Unsigned_Before(Text_To_Fill(out, length) + length, value);
        return;
    }
    const qint64 number = Signed_By_Size(value, size);
    const int length = DecimalText::Length(number);
    DecimalText::Put_Before(Text_To_Fill(out, length) + length, number);
}

void Write_Number(ResultFiller& out, const ByteFieldEntry& field, QStringView packet) {
    DecodedField& number = Next_Field(out, field);
    Write_Number_Text(number.Value, packet, field.Num_Byte, field.Size);
    Place(number, packet, field.Num_Byte, field.Size);
    if (!number.Value.isEmpty())
        number.Number.Type = FieldNumber::Kind::Prefix;
}

// --- Bit maps: one field per entry, from the least significant byte of the field's number.

// Each entry's field holds the bits of `low_byte` that its range covers (only positions 0..7
// have bits), lowest first, and their unsigned value as its number. `byte` is where low_byte
// stands in the packet, -1 when the field was not read from the packet.
void Write_Bits(ResultFiller& out, const QList<BitFieldEntry>& bitmap, int low_byte, int byte) {
    for (const BitFieldEntry& entry : bitmap) {
        const qint64 first = std::max<qint64>(entry.Num_Bit, 0);
        const qint64 end = std::min<qint64>(static_cast<qint64>(entry.Num_Bit) + entry.Size, 8);
        DecodedField& field = out.Next(entry.Field_Name, entry.Line);
        if (end <= first)
            Assign_Text(field.Value, {});
        else
            FieldValue::Write_Bit_Group(field, entry.Meaning,
                                        (low_byte >> first) & ((1u << (end - first)) - 1),
                                        static_cast<int>(end - first));
        if (byte >= 0) {
            field.Offset = byte;
            field.Size = 1;
            field.Bit = static_cast<int>(first);
            field.Bit_Count = static_cast<int>(std::max<qint64>(end - first, 0));
        }
    }
}

// The byte field shows no value of its own. Its number's least significant byte is its first
// byte, or its last for a big-endian field; a character that is not hex anywhere in the field
// makes the number 0, and so does a size of 0 or less. A field outside the packet (and any field
// of an empty packet but one of size 0 or less) has no bits: their values are empty.
void Write_Bit_Map(ResultFiller& out, const ByteFieldEntry& field, QStringView packet) {
    DecodedField& own = Next_Field(out, field);
    Assign_Text(own.Value, {});
    Place(own, packet, field.Num_Byte, field.Size);
    const bool big_endian = field.Meaning.Big_Endian;
    if (field.Size > 0 && (packet.isEmpty() || !own.Is_In_Packet())) {
        for (const BitFieldEntry& bit : field.Bitmap)
            Assign_Text(out.Next(bit.Field_Name, bit.Line).Value, {});
        return;
    }
    int low_byte = 0;
    int bit_byte = -1;
    if (own.Is_In_Packet()) {
        bit_byte = big_endian ? own.Offset + own.Size - 1 : own.Offset;
        bool all_hex = true;
        for (qint64 i = 0; i < 2 * field.Size && all_hex; ++i)
            all_hex = HexText::Digit_Value(packet[2 * field.Num_Byte + i]) >= 0;
        low_byte = all_hex ? Byte_Value(packet[2 * bit_byte], packet[2 * bit_byte + 1]) : 0;
    }
    Write_Bits(out, field.Bitmap, low_byte, bit_byte);
}

// --- 6 and 20 bytes: the hex text typed, and a beacon payload in words.

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

// The kind, in characters 11 and 12 of the 40, picks the words: iBeacon, Eddystone, ALTBeacon
// or Киво. An unknown kind has no line.
void Write_Beacon_Text(QString& out, QStringView payload) {
    Line_Text line(out);
    switch (Byte_Value(payload[11], payload[12])) {
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
    default:
        break;
    }
}

void Write_Typed_Bytes(ResultFiller& out, const ByteFieldEntry& field, QStringView packet) {
    DecodedField& text = Next_Field(out, field);
    Place(text, packet, field.Num_Byte, field.Size);
    if (!text.Is_In_Packet())
        return Assign_Text(text.Value, {});
    const QStringView bytes = packet.sliced(2 * field.Num_Byte, 2 * field.Size);
    if (field.Rule == Rule::Beacon)
        Write_Beacon_Text(text.Value, bytes);
    else
        Assign_Text(text.Value, bytes);
}

// --- The variable tail: its bytes as typed.

void Write_Tail(ResultFiller& out, const ByteFieldEntry& field, QStringView packet, qint64 start) {
    const qint64 count = Byte_Count(packet) - start;
    DecodedField& tail = Next_Field(out, field);
    Assign_Text(tail.Value, count > 0 ? packet.sliced(2 * start, 2 * count) : QStringView());
    Place(tail, packet, start, count);
}

// --- Keys that say what the field means: its bytes (a tail's from its start to the end of the
// packet) go through the value rules.

void Write_Meant(ResultFiller& out, const ByteFieldEntry& field, QStringView packet,
                 qint64 tail_start) {
    const qint64 first = field.Is_Tail() ? tail_start : field.Num_Byte;
    const qint64 count = field.Is_Tail() ? Byte_Count(packet) - first : field.Size;
    DecodedField& meant = Next_Field(out, field);
    FieldValue::Write(meant, field, packet, first, count);
    Place(meant, packet, first, count);
}

void Write_Field(ResultFiller& out, const ByteFieldEntry& field, QStringView packet,
                 qint64 tail_start) {
    switch (field.Rule) {
    case Rule::Bitmap:
        return Write_Bit_Map(out, field, packet);
    case Rule::Hex_As_Typed:
    case Rule::Beacon:
        return Write_Typed_Bytes(out, field, packet);
    case Rule::Tail:
        return Write_Tail(out, field, packet, tail_start);
    case Rule::Number:
        return Write_Number(out, field, packet);
    default:
        return Write_Meant(out, field, packet, tail_start);
    }
}

// The packet's length must be total_size, or at most total_size when the template has a
// min_size. The error is about the whole packet, so its bytes are the packet's.
bool Has_Length_Error(ResultFiller& out, const PacketTemplate& packet_template,
                      QStringView packet) {
    const qint64 length = Byte_Count(packet);
    const qint64 total = packet_template.Total_Size;
    if (length == total || (packet_template.Has_Min_Size && length <= total))
        return false;
    DecodedField& error = out.Next(Error_Field().Name, Error_Field().Line);
    error.Value = DecoderMessages::Length_Error(total, length);
    error.Is_Length_Error = true;
    Place(error, packet, 0, length);
    return true;
}

} // namespace

PacketDecoder::PacketDecoder(const QString& template_path, MessageReporter reporter)
    : Template_Path(template_path), Reporter(reporter ? std::move(reporter) : Log_Reporter()) {}

DecodedPacket PacketDecoder::Parse_Packet(const QString& packet) const {
    SafeFile::ReadFailure failure;
    const std::optional<DeviceTemplateFile> file =
        DeviceTemplateFile::Load(Template_Path, &failure);
    if (!file) {
        Reporter(DecoderMessages::Load_Failure(failure, Template_Path));
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
        Reporter(DecoderMessages::Missing_Template(type_byte, Template_Path));
        return result.clear();
    }
    const PacketTemplate& packet_template = file.Templates().at(selection.Index);
    if (packet_template.Has_Err)
        return result.clear();

    ResultFiller out(result, packet_template.Field_Count);
    if (Has_Length_Error(out, packet_template, packet))
        return;
    const Own_Field& type_field = Type_Field();
    DecodedField& type = out.Next(type_field.Name, type_field.Line);
    ResultFiller::Share(type.Value, selection.Type_Name);
    type.Number.Type = FieldNumber::Kind::Integer;
    type.Number.Integer = type_byte;
    Place(type, packet, 0, 1);
    const qint64 tail_start = packet_template.Tail_Start();
    for (const ByteFieldEntry& field : packet_template.Data)
        Write_Field(out, field, packet, tail_start);
}
