#pragma once

#include <QString>
#include <QStringView>

// Reading numbers out of packet text: two hexadecimal characters per byte, either case. Only the
// digits 0-9, a-f and A-F count as hexadecimal; anything else (signs, blanks, prefixes, other
// scripts) makes the value unreadable.
namespace HexText {

// 0..15, or -1 for a character that is not a hexadecimal digit.
inline int Digit_Value(QChar character) {
    const char16_t c = character.unicode();
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// Two characters as one byte, or -1 when either is not a hexadecimal digit.
inline int Byte_Value(QChar high, QChar low) {
    const int h = Digit_Value(high);
    const int l = Digit_Value(low);
    return (h < 0 || l < 0) ? -1 : (h << 4) | l;
}

// The type byte: the first two characters, both hexadecimal digits; anything else gives 0.
int Type_Byte(QStringView packet);

// The bytes given by hex text as one unsigned number, first byte most significant, in decimal
// without leading zeros, exact at any width. Empty text gives "0"; a non-hex character gives
// "0" as well.
QString Unsigned_Decimal(QStringView big_endian_hex);

// The value of a decimal integer text modulo 256 (two's complement low byte), exact at any width;
// 0 when the text is not a decimal integer.
int Low_Byte_Of_Decimal(QStringView decimal);

} // namespace HexText
