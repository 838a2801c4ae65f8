#include "FieldValue.h"

#include "DecimalText.h"
#include "HexText.h"
#include "ResultRenderer.h"
#include "ReusedText.h"

#include <QVarLengthArray>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

namespace FieldValue {

namespace {

using HexText::Lies_Inside;
using Rule = FieldMeaning::Rule;
// 128-bit integers hold every product of a 64-bit value and a 64-bit scale exactly.
__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

constexpr double Two_To_63 = 9223372036854775808.0;

// A value text put together in place and copied into the field's own text in one go, so that a
// field decoded again and again allocates nothing.
class Text_Builder {
  public:
    Text_Builder& operator<<(QStringView text) {
        Buffer.append(text.utf16(), text.size());
        return *this;
    }
    Text_Builder& operator<<(char16_t c) {
        Buffer.append(c);
        return *this;
    }
    void Append_Latin1(const char* begin, const char* end) {
        const qsizetype at = Buffer.size();
        Buffer.resize(at + (end - begin));
        std::copy(begin, end, Buffer.data() + at);
    }
    void Append_Upper_Hex(unsigned byte) {
        const qsizetype at = Buffer.size();
        Buffer.resize(at + 2);
        HexText::Put_Upper_Hex(Buffer.data() + at, byte);
    }
    template <std::size_t Size> void Append_Literal(const char (&text)[Size]) {
        Append_Latin1(text, text + Size - 1);
    }
    qsizetype Size() const { return Buffer.size(); }
    QStringView View() const { return QStringView(Buffer.constData(), Buffer.size()); }

  private:
    QVarLengthArray<char16_t, 160> Buffer;
};

// The field's bytes in the order of its number, most significant first: reversed for "le". A
// character that is not hexadecimal makes every byte 0.
QVarLengthArray<quint8, 16> Number_Bytes(QStringView packet, qint64 num_byte, qint64 size,
                                         bool big_endian) {
    QVarLengthArray<quint8, 16> bytes(size);
    for (qint64 i = 0; i < size; ++i) {
        const qint64 byte = big_endian ? num_byte + i : num_byte + size - 1 - i;
        const int value = HexText::Byte_Value(packet[2 * byte], packet[2 * byte + 1]);
        if (value < 0) {
            std::fill(bytes.begin(), bytes.end(), quint8(0));
            break;
        }
        bytes[i] = static_cast<quint8>(value);
    }
    return bytes;
}

// The raw integer R of a field: its bytes read unsigned, then two's complement when signed.
// Up to 15 significant bytes it is held exactly as a 128-bit integer; a wider one as its sign and
// magnitude, whose decimal text is worked out only when something asks for it.
struct Raw_Integer {
    bool Is_Wide = false;
    bool Negative = false;
    Int128 Value = 0;
    QVarLengthArray<quint8, 16> Bytes;     // as read, most significant first
    QVarLengthArray<quint8, 16> Magnitude; // |R|, most significant first

    QString Wide_Decimal() const {
        QString hex(2 * Magnitude.size(), Qt::Uninitialized);
        char16_t* at = reinterpret_cast<char16_t*>(hex.data());
        for (const quint8 byte : Magnitude)
            at = HexText::Put_Lower_Hex(at, byte);
        return (Negative ? QStringLiteral("-") : QString()) + HexText::Unsigned_Decimal(hex);
    }
    double Wide_Approximation() const {
        double value = 0;
        for (const quint8 byte : Magnitude)
            value = value * 256 + byte;
        return Negative ? -value : value;
    }
};

Raw_Integer Read_Raw(QStringView packet, qint64 num_byte, qint64 size, bool big_endian,
                     bool is_signed) {
    Raw_Integer raw;
    raw.Bytes = Number_Bytes(packet, num_byte, size, big_endian);
    raw.Negative = is_signed && size > 0 && (raw.Bytes[0] & 0x80);
    // The two's complement negated when negative.
    raw.Magnitude = raw.Bytes;
    if (raw.Negative) {
        unsigned carry = 1;
        for (qsizetype i = raw.Magnitude.size() - 1; i >= 0; --i) {
            const unsigned sum = quint8(~raw.Magnitude[i]) + carry;
            raw.Magnitude[i] = static_cast<quint8>(sum);
            carry = sum >> 8;
        }
    }
    qsizetype first = 0;
    while (first < raw.Magnitude.size() && raw.Magnitude[first] == 0)
        ++first;
    if (raw.Magnitude.size() - first <= 15) {
        for (qsizetype i = first; i < raw.Magnitude.size(); ++i)
            raw.Value = (raw.Value << 8) | raw.Magnitude[i];
        if (raw.Negative)
            raw.Value = -raw.Value;
        return raw;
    }
    raw.Is_Wide = true;
    raw.Magnitude.remove(0, first);
    return raw;
}

bool Fits_64(Int128 value) {
    return value >= std::numeric_limits<qint64>::min() &&
           value <= std::numeric_limits<qint64>::max();
}

void Append_Decimal(Text_Builder& out, Int128 value) {
    char digits[48];
    char* at = std::end(digits);
    UInt128 magnitude = value < 0 ? -static_cast<UInt128>(value) : static_cast<UInt128>(value);
    // Nearly every value fits 64 bits, whose division is much cheaper.
    for (; magnitude > std::numeric_limits<quint64>::max(); magnitude /= 10)
        *--at = static_cast<char>('0' + int(magnitude % 10));
    at = DecimalText::Put_Unsigned_Before(at, static_cast<quint64>(magnitude));
    if (value < 0)
        *--at = '-';
    out.Append_Latin1(at, std::end(digits));
}

QString Decimal(const Raw_Integer& raw) {
    if (raw.Is_Wide)
        return raw.Wide_Decimal();
    Text_Builder text;
    Append_Decimal(text, raw.Value);
    return text.View().toString();
}

// A double as "%.*f" prints it (to_chars with a precision is specified to), but never "-0.00"
// for a value that rounds to zero; "nan", "inf" and "-inf" for the others.
void Append_Fixed(Text_Builder& out, double value, int digits) {
    if (std::isnan(value))
        return out.Append_Literal("nan");
    if (std::isinf(value))
        return value < 0 ? out.Append_Literal("-inf") : out.Append_Literal("inf");
    // The widest double, 1.8e308, has 309 digits before the point.
    char text[340];
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, digits);
    if (error != std::errc())
        return;
    const char* start = text;
    if (*start == '-' && std::all_of(start + 1, static_cast<const char*>(end),
                                     [](char c) { return c == '0' || c == '.'; }))
        ++start;
    out.Append_Latin1(start, end);
}

double Approximation(const Raw_Integer& raw) {
    return raw.Is_Wide ? raw.Wide_Approximation() : static_cast<double>(raw.Value);
}

void Set_Integer(FieldNumber& number, const Raw_Integer& raw) {
    if (!raw.Is_Wide && Fits_64(raw.Value)) {
        number.Type = FieldNumber::Kind::Integer;
        number.Integer = static_cast<qint64>(raw.Value);
    } else {
        number.Type = FieldNumber::Kind::Text;
        number.Text = Decimal(raw);
    }
}

const QString* Label_Of(const FieldMeaning& meaning, const Raw_Integer& raw) {
    if (meaning.Labels.isEmpty())
        return nullptr;
    if (!raw.Is_Wide && Fits_64(raw.Value))
        return meaning.Label_Of(static_cast<qint64>(raw.Value));
    return meaning.Label_Of_Text(Decimal(raw));
}

// The label replaces the value: no scale, no unit; the number stays that of the raw integer.
bool Put_Label(DecodedField& field, const FieldMeaning& meaning, const Raw_Integer& raw) {
    const QString* label = Label_Of(meaning, raw);
    if (!label)
        return false;
    field.Value = *label;
    field.Is_Label = true;
    Set_Integer(field.Number, raw);
    return true;
}

bool Is_Whole(double value) {
    return std::isfinite(value) && std::trunc(value) == value && std::fabs(value) < Two_To_63;
}

// R x scale + offset exactly, when scale and offset are whole and nothing overflows.
std::optional<Int128> Exact_Scaled(const FieldMeaning& meaning, const Raw_Integer& raw) {
    const double scale = meaning.Scale.value_or(1);
    const double offset = meaning.Offset.value_or(0);
    if (raw.Is_Wide || !Is_Whole(scale) || !Is_Whole(offset))
        return std::nullopt;
    Int128 value = 0;
    if (__builtin_mul_overflow(raw.Value, static_cast<Int128>(static_cast<qint64>(scale)),
                               &value) ||
        __builtin_add_overflow(value, static_cast<Int128>(static_cast<qint64>(offset)), &value))
        return std::nullopt;
    return value;
}

double Scaled(const FieldMeaning& meaning, double raw) {
    return raw * meaning.Scale.value_or(1) + meaning.Offset.value_or(0);
}

// The number text of a value, then its unit; the number is the text before the unit.
void Put_Number_Text(DecodedField& field, const FieldMeaning& meaning, Text_Builder& text,
                     bool finite, double value) {
    if (finite) {
        field.Number.Type = FieldNumber::Kind::Prefix;
        field.Number.Length = text.Size();
    } else {
        field.Number.Type = FieldNumber::Kind::Real;
        field.Number.Real = value;
    }
    if (!meaning.Unit.isEmpty()) {
        text << u' ' << meaning.Unit;
        field.Shows_Unit = true;
    }
    Assign_Text(field.Value, text.View());
}

void Write_Dec(DecodedField& field, const FieldMeaning& meaning, const Raw_Integer& raw) {
    if (Put_Label(field, meaning, raw))
        return;
    const bool wide_exact =
        raw.Is_Wide && meaning.Scale.value_or(1) == 1 && meaning.Offset.value_or(0) == 0;
    Text_Builder text;
    if (const std::optional<Int128> exact = Exact_Scaled(meaning, raw); exact || wide_exact) {
        if (exact)
            Append_Decimal(text, *exact);
        else
            text << raw.Wide_Decimal();
        if (meaning.Decimals > 0) {
            text << u'.';
            for (int i = 0; i < meaning.Decimals; ++i)
                text << u'0';
        }
        return Put_Number_Text(field, meaning, text, true, 0);
    }
    const double value = Scaled(meaning, Approximation(raw));
    Append_Fixed(text, value, meaning.Digits());
    Put_Number_Text(field, meaning, text, std::isfinite(value), value);
}

// The number of a hex value is the value text itself, read back by the records: working out a
// wide value's decimal digits is left to the records that ask for it.
void Write_Hex(DecodedField& field, const FieldMeaning& meaning, const Raw_Integer& raw) {
    if (Put_Label(field, meaning, raw))
        return;
    // The digits of the value's magnitude, two per byte of the field, leading zeros kept.
    const qsizetype zeros = raw.Bytes.size() - raw.Magnitude.size();
    Text_Builder text;
    if (raw.Negative)
        text << u'-';
    text << u'0' << u'x';
    for (qsizetype i = 0; i < zeros; ++i)
        text << u'0' << u'0';
    for (const quint8 byte : raw.Magnitude)
        text.Append_Upper_Hex(byte);
    Assign_Text(field.Value, text.View());
    field.Number.Type = FieldNumber::Kind::Hex;
}

// The shortest positional text that reads back as the same value in its own precision.
template <typename Real> void Append_Shortest(Text_Builder& out, Real value) {
    if (std::isnan(value) || std::isinf(value))
        return Append_Fixed(out, value, 0);
    if (value == 0)
        return out.Append_Literal("0"); // also for -0
    char text[400];
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    if (error == std::errc())
        out.Append_Latin1(text, end);
}

void Write_Float(DecodedField& field, const FieldMeaning& meaning, const Raw_Integer& raw) {
    const qsizetype size = raw.Bytes.size();
    if (size != 4 && size != 8)
        return Assign_Text(field.Value, {});
    quint64 bits = 0;
    for (const quint8 byte : raw.Bytes)
        bits = (bits << 8) | byte;
    double value = 0;
    float single = 0;
    if (size == 4) {
        const quint32 bits32 = static_cast<quint32>(bits);
        std::memcpy(&single, &bits32, sizeof single);
        value = single;
    } else {
        std::memcpy(&value, &bits, sizeof value);
    }
    Text_Builder text;
    if (meaning.Scale || meaning.Offset || meaning.Decimals >= 0) {
        value = Scaled(meaning, value);
        Append_Fixed(text, value, meaning.Digits());
    } else if (size == 4) {
        Append_Shortest(text, single);
    } else {
        Append_Shortest(text, value);
    }
    Put_Number_Text(field, meaning, text, std::isfinite(value), value);
}

// Bytes in packet order up to the first 00: printable ASCII as it is, every other byte as \xHH.
void Write_Ascii(DecodedField& field, QStringView packet, qint64 num_byte, qint64 size) {
    QString text;
    for (qint64 byte = num_byte; byte < num_byte + size; ++byte) {
        const int value = std::max(HexText::Byte_Value(packet[2 * byte], packet[2 * byte + 1]), 0);
        if (value == 0)
            break;
        if (value >= 0x20 && value <= 0x7E) {
            text.append(QChar(value));
        } else {
            char16_t escape[4] = {u'\\', u'x'};
            HexText::Put_Upper_Hex(escape + 2, value);
            text.append(QStringView(escape, 4));
        }
    }
    field.Value = text;
}

void Put_Date(DecodedField& field, qint64 second) {
    char16_t text[ResultRenderer::Time_Length];
    ResultRenderer::Write_Time_Of(text, second); // a date is always Time_Length characters
    Assign_Text(field.Value, QStringView(text, ResultRenderer::Time_Length));
    field.Is_Date = true;
}

// Seconds printed as a date from year 1 to 9999, and as their number outside.
void Write_Time(DecodedField& field, const FieldMeaning& meaning, const Raw_Integer& raw) {
    Text_Builder text;
    if (const std::optional<Int128> exact = Exact_Scaled(meaning, raw)) {
        if (Fits_64(*exact) && ResultRenderer::Is_Date_Second(static_cast<qint64>(*exact))) {
            field.Number.Type = FieldNumber::Kind::Integer;
            field.Number.Integer = static_cast<qint64>(*exact);
            return Put_Date(field, field.Number.Integer);
        }
        Append_Decimal(text, *exact);
        field.Number.Type = FieldNumber::Kind::Prefix;
        return Assign_Text(field.Value, text.View());
    }
    const double seconds = Scaled(meaning, Approximation(raw));
    const double whole = std::floor(seconds);
    if (std::isfinite(seconds) && whole >= double(ResultRenderer::First_Date_Second) &&
        whole <= double(ResultRenderer::Last_Date_Second)) {
        field.Number.Type = FieldNumber::Kind::Real;
        field.Number.Real = seconds;
        return Put_Date(field, static_cast<qint64>(whole));
    }
    Append_Fixed(text, seconds, meaning.Digits());
    if (std::isfinite(seconds)) {
        field.Number.Type = FieldNumber::Kind::Prefix;
    } else {
        field.Number.Type = FieldNumber::Kind::Real;
        field.Number.Real = seconds;
    }
    Assign_Text(field.Value, text.View());
}

void Write_Tail_Hex(DecodedField& field, QStringView tail) {
    Text_Builder text;
    text << u'0' << u'x';
    for (const QChar c : tail)
        text << (c >= u'a' && c <= u'z' ? char16_t(c.unicode() - 32) : c.unicode());
    Assign_Text(field.Value, text.View());
}

} // namespace

void Write(DecodedField& field, const ByteFieldEntry& entry, QStringView packet, qint64 first,
           qint64 count) {
    const FieldMeaning& meaning = entry.Meaning;
    if (entry.Rule == Rule::Tail_Hex || entry.Rule == Rule::Tail_Ascii) {
        if (count <= 0)
            return Assign_Text(field.Value, {});
        if (entry.Rule == Rule::Tail_Hex)
            return Write_Tail_Hex(field, packet.sliced(2 * first, 2 * count));
        return Write_Ascii(field, packet, first, count);
    }
    const qint64 num_byte = first;
    const qint64 size = std::max<qint64>(count, 0);
    if (packet.isEmpty() || !Lies_Inside(packet, num_byte, size) ||
        (size == 0 && entry.Rule != Rule::Dec))
        return Assign_Text(field.Value, {});
    if (entry.Rule == Rule::Ascii)
        return Write_Ascii(field, packet, num_byte, size);
    // Signed by size unless the field says: 1, 2 and 4 bytes signed; hex reads unsigned.
    const bool by_size = entry.Rule != Rule::Hex && (size == 1 || size == 2 || size == 4);
    const Raw_Integer raw =
        Read_Raw(packet, num_byte, size, meaning.Big_Endian, meaning.Signed.value_or(by_size));
    switch (entry.Rule) {
    case Rule::Hex:
        return Write_Hex(field, meaning, raw);
    case Rule::Float:
        return Write_Float(field, meaning, raw);
    case Rule::Time:
        return Write_Time(field, meaning, raw);
    default:
        return Write_Dec(field, meaning, raw);
    }
}

void Write_Bit_Group(DecodedField& field, const FieldMeaning& meaning, unsigned group, int count) {
    field.Number.Type = FieldNumber::Kind::Integer;
    field.Number.Integer = group;
    if (const QString* label = meaning.Label_Of(group)) {
        field.Value = *label;
        field.Is_Label = true;
        return;
    }
    // Written straight into the value's own buffer (see DecimalText::Put).
    if (meaning.Kind == FieldMeaning::Format::Dec) {
        const int length = DecimalText::Length_Unsigned(group);
        DecimalText::Put_Unsigned_Before(Text_To_Fill(field.Value, length) + length, group);
        return;
    }
    char16_t* const bits = Text_To_Fill(field.Value, count);
    for (int bit = 0; bit < count; ++bit)
        bits[bit] = (group >> bit) & 1 ? u'1' : u'0';
}

} // namespace FieldValue
