#pragma once

#include <QtGlobal>

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

// Writes the number at `out`, which has room for Max_Length characters; returns the end.
template <typename Char> Char* Put(Char* out, qint64 value) {
    if (value >= 0 && value < 10) { // counts and places, nearly all one digit
        *out = static_cast<Char>('0' + value);
        return out + 1;
    }
    Char digits[Max_Length];
    const Char* const start = Put_Before(digits + Max_Length, value);
    const qsizetype length = digits + Max_Length - start;
    for (qsizetype i = 0; i < length; ++i)
        out[i] = start[i];
    return out + length;
}

} // namespace DecimalText
