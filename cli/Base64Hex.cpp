#include "Base64Hex.h"

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
constexpr char16_t Hex_Digits[] = u"0123456789abcdef";

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
    // Every digit carries six bits; a byte is written as soon as eight have come in.
    hex.resize(2 * (digits * 6 / 8));
    char16_t* out = reinterpret_cast<char16_t*>(hex.data());
    std::uint32_t bits = 0;
    int bit_count = 0;
    for (qsizetype i = 0; i < digits; ++i) {
        const char16_t c = in[i];
        const std::uint8_t value = c < 128 ? Values[c] : Not_Base64;
        if (value == Not_Base64)
            return false;
        bits = (bits << 6) | value;
        bit_count += 6;
        if (bit_count >= 8) {
            bit_count -= 8;
            const std::uint32_t byte = bits >> bit_count;
            bits &= (1u << bit_count) - 1;
            *out++ = Hex_Digits[byte >> 4];
            *out++ = Hex_Digits[byte & 0x0F];
        }
    }
    return true;
}

} // namespace Base64Hex
