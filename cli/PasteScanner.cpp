#include "PasteScanner.h"

#include "PacketConversion.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <bit>

namespace {

#if defined(__SSE2__)
// A bit set for each of the 16 bytes that lies in one of 0-9, A-F, a-f.
int Hex_Digit_Mask(__m128i bytes) {
    const auto in_range = [&](char low, char high) {
        return _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(static_cast<char>(low - 1))),
                             _mm_cmplt_epi8(bytes, _mm_set1_epi8(static_cast<char>(high + 1))));
    };
    const __m128i digit =
        _mm_or_si128(in_range('0', '9'), _mm_or_si128(in_range('A', 'F'), in_range('a', 'f')));
    return _mm_movemask_epi8(digit);
}

// Widens one block of sixteen ASCII bytes to UTF-16; returns the mask of those that are not
// hexadecimal digits.
int Widen_Block(__m128i bytes, char16_t* out) {
    const __m128i zero = _mm_setzero_si128();
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(bytes, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(bytes, zero));
    return ~Hex_Digit_Mask(bytes) & 0xFFFF;
}
#endif

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
    std::uint8_t seen = 0;
    qsizetype i = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time, the last block overlapping the one before it; only the bytes that
    // are not hexadecimal digits need their class looked up (adding a class twice is harmless).
    const auto block = [&](qsizetype at) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + at));
        if (_mm_movemask_epi8(bytes) != 0)
            return false; // a byte beyond ASCII: left to the loop below
        for (int others = Widen_Block(bytes, out + at); others != 0; others &= others - 1)
            seen |= Classes[static_cast<unsigned char>(
                in[at + std::countr_zero(static_cast<unsigned>(others))])];
        return true;
    };
    bool ascii = true;
    for (; ascii && size - i >= 16; i += 16)
        ascii = block(i);
    if (!ascii)
        i -= 16; // that block holds a byte beyond ASCII
    else if (i > 0 && i < size && block(size - 16))
        i = size;
#endif
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
