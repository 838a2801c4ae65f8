#pragma once

#include <QString>
#include <QStringView>

#include <algorithm>
#include <array>

// Reading numbers out of packet text: two hexadecimal characters per byte, either case. Only the
// digits 0-9, a-f and A-F count as hexadecimal; anything else (signs, blanks, prefixes, other
// scripts) makes the value unreadable.
namespace HexText {

// Whether a character is a hexadecimal digit. Written without branches, so that a loop testing
// a whole text runs on many characters at once: setting bit 5 makes A-F lower-case and moves no
// other character into a-f.
constexpr bool Is_Digit(char16_t c) {
    return (char16_t(c - u'0') <= 9) | (char16_t((c | 0x20) - u'a') <= 5);
}

namespace Detail {
constexpr std::array<signed char, 128> Make_Digit_Values() {
    std::array<signed char, 128> values{};
    for (char16_t c = 0; c < 128; ++c)
        values[c] = !Is_Digit(c) ? -1
                    : c <= u'9'  ? static_cast<signed char>(c - u'0')
                    : c <= u'F'  ? static_cast<signed char>(c - u'A' + 10)
                                 : static_cast<signed char>(c - u'a' + 10);
    return values;
}
inline constexpr std::array<signed char, 128> Digit_Values = Make_Digit_Values();
} // namespace Detail

// 0..15, or -1 for a character that is not a hexadecimal digit.
constexpr int Digit_Value(QChar character) {
    const char16_t c = character.unicode();
    return c < 128 ? Detail::Digit_Values[c] : -1;
}

// Two characters as one byte, or -1 when either is not a hexadecimal digit.
inline int Byte_Value(QChar high, QChar low) {
    const int h = Digit_Value(high);
    const int l = Digit_Value(low);
    return (h < 0 || l < 0) ? -1 : (h << 4) | l;
}

// Writes a byte as two hex digits, lower-case as QByteArray::toHex writes them, or upper-case;
// returns the position after them.
template <typename Char> Char* Put_Lower_Hex(Char* out, unsigned byte) {
    static constexpr char Digits[] = "0123456789abcdef";
    out[0] = static_cast<Char>(Digits[(byte >> 4) & 0x0F]);
    out[1] = static_cast<Char>(Digits[byte & 0x0F]);
    return out + 2;
}
template <typename Char> Char* Put_Upper_Hex(Char* out, unsigned byte) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    out[0] = static_cast<Char>(Digits[(byte >> 4) & 0x0F]);
    out[1] = static_cast<Char>(Digits[byte & 0x0F]);
    return out + 2;
}

// Whole bytes in the packet text; a trailing odd character is not a byte.
inline qint64 Byte_Count(QStringView packet) {
    return packet.size() / 2;
}

// Whether the bytes [num_byte, num_byte + size) lie wholly inside the packet.
inline bool Lies_Inside(QStringView packet, qint64 num_byte, qint64 size) {
    return num_byte >= 0 && size <= Byte_Count(packet) - num_byte;
}

// The type byte: the first two characters, both hexadecimal digits; anything else gives 0.
inline int Type_Byte(QStringView packet) {
    return packet.size() < 2 ? 0 : std::max(Byte_Value(packet[0], packet[1]), 0);
}

// The bytes given by hex text as one unsigned number, first byte most significant, in decimal
// without leading zeros, exact at any width. Empty text gives "0"; a non-hex character gives
// "0" as well.
QString Unsigned_Decimal(QStringView big_endian_hex);

} // namespace HexText
