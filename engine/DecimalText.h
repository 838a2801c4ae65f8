#pragma once

#include <QtGlobal>

#include <bit>

// Whole numbers in decimal, as QString::number writes them (a minus sign for negative values, no
// grouping), into a buffer of any character type. The general number formatting costs more than
// the rest of decoding a field, so every writer of a number goes through this.
namespace DecimalText {

// The longest text: "-9223372036854775808", or 20 digits of an unsigned 64-bit value.
inline constexpr int Max_Length = 20;

namespace Detail {
// "00" to "99": two digits per division halve the divisions, which dominate the time of a number.
inline constexpr char Digit_Pairs[] = "000102030405060708091011121314151617181920212223242526272829"
                                      "303132333435363738394041424344454647484950515253545556575859"
                                      "606162636465666768697071727374757677787980818283848586878889"
                                      "90919293949596979899";

template <typename Char, typename Unsigned> Char* Put_Digits_Before(Char* end, Unsigned magnitude) {
    while (magnitude >= 100) {
        const unsigned pair = static_cast<unsigned>(magnitude % 100);
        magnitude /= 100;
        *--end = static_cast<Char>(Detail::Digit_Pairs[2 * pair + 1]);
        *--end = static_cast<Char>(Detail::Digit_Pairs[2 * pair]);
    }
    if (magnitude >= 10) {
        *--end = static_cast<Char>(Detail::Digit_Pairs[2 * magnitude + 1]);
        *--end = static_cast<Char>(Detail::Digit_Pairs[2 * magnitude]);
    } else {
        *--end = static_cast<Char>('0' + magnitude);
    }
    return end;
}
// 10^0 to 10^19, the largest that fits 64 bits.
inline constexpr quint64 Powers_Of_10[20] = {1u,
                                             10u,
                                             100u,
                                             1000u,
                                             10000u,
                                             100000u,
                                             1000000u,
                                             10000000u,
                                             100000000u,
                                             1000000000u,
                                             10000000000u,
                                             100000000000u,
                                             1000000000000u,
                                             10000000000000u,
                                             100000000000000u,
                                             1000000000000000u,
                                             10000000000000000u,
                                             100000000000000000u,
                                             1000000000000000000u,
                                             10000000000000000000u};
} // namespace Detail

// Writes the digits of `magnitude` so that they end just before `end`; returns where they start.
// Most numbers fit 32 bits, whose divisions are cheaper.
template <typename Char> Char* Put_Unsigned_Before(Char* end, quint64 magnitude) {
    return magnitude <= 0xFFFFFFFFu ? Detail::Put_Digits_Before(end, quint32(magnitude))
                                    : Detail::Put_Digits_Before(end, magnitude);
}

// The same with a sign.
template <typename Char> Char* Put_Before(Char* end, qint64 value) {
    const quint64 magnitude = value < 0 ? 0 - static_cast<quint64>(value) : quint64(value);
    Char* const start = Put_Unsigned_Before(end, magnitude);
    if (value >= 0)
        return start;
    *(start - 1) = static_cast<Char>('-');
    return start - 1;
}

// The number of characters the number takes.
constexpr int Length_Unsigned(quint64 magnitude) {
    // 0 has one digit, as 1 has. From the bit count, 1233 / 4096 approximating log10(2), comes t
    // with 10^t <= 2^(bits - 1): the number has t + 1 digits, or t when below 10^t.
    const quint64 at_least_1 = magnitude | 1;
    const int t = (std::bit_width(at_least_1) * 1233) >> 12;
    return t + 1 - (at_least_1 < Detail::Powers_Of_10[t] ? 1 : 0);
}
constexpr int Length(qint64 value) {
    return (value < 0 ? 1 : 0) +
           Length_Unsigned(value < 0 ? 0 - static_cast<quint64>(value) : quint64(value));
}

// Writes the number at `out`, which has room for Max_Length characters; returns the end. The
// digits go straight to their places: a number put together elsewhere and copied would be read
// back, in wide pieces, before its own narrow writes have landed, which stalls the processor.
template <typename Char> Char* Put(Char* out, qint64 value) {
    if (value >= 0 && value < 10) { // counts and places, nearly all one digit
        *out = static_cast<Char>('0' + value);
        return out + 1;
    }
    Char* const end = out + Length(value);
    Put_Before(end, value);
    return end;
}

} // namespace DecimalText
