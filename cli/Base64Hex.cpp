#include "Base64Hex.h"

#include "HexText.h"

#include <array>
#include <cstdint>

namespace Base64Hex {

namespace {

constexpr std::uint8_t Not_Base64 = 0xFF;

constexpr std::array<std::uint8_t, 128> Make_Values() {
    std::array<std::uint8_t, 128> values{};
    for (std::uint8_t& value : values)
        value = Not_Base64;
    for (int i = 0; i < 26; ++i) {
        values['A' + i] = static_cast<std::uint8_t>(i);
        values['a' + i] = static_cast<std::uint8_t>(26 + i);
    }
    for (int i = 0; i < 10; ++i)
        values['0' + i] = static_cast<std::uint8_t>(52 + i);
    values['+'] = 62;
    values['/'] = 63;
    return values;
}

constexpr std::array<std::uint8_t, 128> Values = Make_Values();
using HexText::Put_Lower_Hex;

// The six-bit value of a base64 digit, Not_Base64 for any other character.
std::uint32_t Digit_Value(char16_t c) {
    return c < 128 ? Values[c] : Not_Base64;
}

} // namespace

bool Decode_Plain(QStringView text, QString& hex) {
    const char16_t* const in = text.utf16();
    const qsizetype size = text.size();
    qsizetype padding = 0;
    while (padding < 2 && padding < size && in[size - 1 - padding] == u'=')
        ++padding;
    if (padding > 0 && size % 4 != 0)
        return false;
    const qsizetype digits = size - padding;
    // Every digit carries six bits; a byte is complete as soon as eight have come in, and bits
    // left over at the end make no byte.
    hex.resize(2 * (digits * 6 / 8));
    char16_t* out = reinterpret_cast<char16_t*>(hex.data());
    qsizetype i = 0;
    // Four digits make three bytes.
    for (; digits - i >= 4; i += 4) {
        const std::uint32_t a = Digit_Value(in[i]), b = Digit_Value(in[i + 1]),
                            c = Digit_Value(in[i + 2]), d = Digit_Value(in[i + 3]);
        if (((a | b | c | d) & Not_Base64 & ~0x3Fu) != 0) // a value beyond six bits
            return false;
        const std::uint32_t bits = (a << 18) | (b << 12) | (c << 6) | d;
        out = Put_Lower_Hex(Put_Lower_Hex(Put_Lower_Hex(out, bits >> 16), bits >> 8), bits);
    }
    // Two or three digits left make one or two bytes; a single one makes none.
    std::uint32_t bits = 0;
    for (qsizetype j = i; j < digits; ++j) {
        const std::uint32_t value = Digit_Value(in[j]);
        if (value == Not_Base64)
            return false;
        bits = (bits << 6) | value;
    }
    if (digits - i == 2) {
        Put_Lower_Hex(out, bits >> 4);
    } else if (digits - i == 3) {
        Put_Lower_Hex(Put_Lower_Hex(out, bits >> 10), bits >> 2);
    }
    return true;
}

} // namespace Base64Hex
