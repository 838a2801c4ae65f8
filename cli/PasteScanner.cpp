#include "PasteScanner.h"

#include "PacketConversion.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

#if defined(__SSE2__)
// 0xFFFF when all 16 bytes lie in one of 0-9, A-F, a-f.
int Hex_Digit_Mask(__m128i bytes) {
    const auto in_range = [&](char low, char high) {
        return _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(static_cast<char>(low - 1))),
                             _mm_cmplt_epi8(bytes, _mm_set1_epi8(static_cast<char>(high + 1))));
    };
    const __m128i digit =
        _mm_or_si128(in_range('0', '9'), _mm_or_si128(in_range('A', 'F'), in_range('a', 'f')));
    return _mm_movemask_epi8(digit);
}
#endif

// Writes the first `count` bytes of an ASCII line as UTF-16; returns how many were hex digits
// only, checked sixteen at a time (the rest is left to the caller).
qsizetype Widen_Hex_Prefix(const char* in, qsizetype count, char16_t* out) {
    qsizetype done = 0;
#if defined(__SSE2__)
    for (; count - done >= 16; done += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done));
        if (Hex_Digit_Mask(bytes) != 0xFFFF)
            break;
        const __m128i zero = _mm_setzero_si128();
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done), _mm_unpacklo_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done + 8),
                         _mm_unpackhi_epi8(bytes, zero));
    }
#else
    (void)in;
    (void)count;
    (void)out;
#endif
    return done;
}

} // namespace

PasteScanner::PasteScanner() {
    for (char16_t c = 0; c < Classes.size(); ++c) {
        const QString text(QChar{c});
        if (PacketConversion::Clean_Input(text).isEmpty())
            Classes[c] |= Cleaned;
        if (PacketConversion::Detect_Base64(text).Found())
            Classes[c] |= Base64_Marker;
    }
    Hex_Digits_Plain = true;
    for (const char c : QByteArrayView("0123456789ABCDEFabcdef"))
        Hex_Digits_Plain = Hex_Digits_Plain && Classes[static_cast<unsigned char>(c)] == 0;
}

PasteScanner::Traits PasteScanner::Scan(QStringView paste) const {
    std::uint8_t seen = 0;
    bool exact = true;
    for (const QChar character : paste) {
        const char16_t c = character.unicode();
        if (c < 128) {
            seen |= Classes[c];
        } else {
            seen |= Cleaned | Base64_Marker;
            exact = false;
        }
    }
    return {(seen & Cleaned) != 0, (seen & Base64_Marker) != 0, exact};
}

PasteScanner::Traits PasteScanner::Assign_Utf8(QString& text, QByteArrayView line) const {
    const qsizetype size = line.size();
    const char* const in = line.data();
    if (!Hex_Digits_Plain) {
        text = QString::fromUtf8(line);
        return Scan(text);
    }
    // resize keeps the storage when it is big enough and not shared.
    text.resize(size);
    char16_t* const out = reinterpret_cast<char16_t*>(text.data());
    qsizetype i = Widen_Hex_Prefix(in, size, out);
    std::uint8_t seen = 0;
    for (; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(in[i]);
        if (byte >= 0x80) {
            text = QString::fromUtf8(line);
            return Scan(text);
        }
        seen |= Classes[byte];
        out[i] = byte;
    }
    return {(seen & Cleaned) != 0, (seen & Base64_Marker) != 0, true};
}
