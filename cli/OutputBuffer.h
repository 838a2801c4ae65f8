#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// A write buffer in front of a file descriptor: output leaves in large blocks, never a line at a
// time, unless the owner flushes. Text is written as UTF-8.
class OutputBuffer {
  public:
    explicit OutputBuffer(int fd, qsizetype capacity = 1 << 16);
    ~OutputBuffer();
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    void Append(QByteArrayView bytes) {
        if (bytes.size() <= Capacity - Used) {
            std::memcpy(Data + Used, bytes.data(), static_cast<size_t>(bytes.size()));
            Used += bytes.size();
        } else {
            Append_Large(bytes);
        }
    }
    void Append(char character) {
        if (Used == Capacity)
            Flush();
        Data[Used++] = character;
    }
    // UTF-16 text as UTF-8, byte for byte what QString::toUtf8 gives.
    void Append_Utf8(QStringView text) {
        // ASCII (numbers, hex, Latin names) is by far the most common: it is copied inline, and
        // only the text from the first other character on goes through the encoder.
        if (text.size() <= Capacity - Used) {
            const qsizetype ascii = Narrow_Ascii(text.utf16(), text.size(), Data + Used);
            Used += ascii;
            if (ascii == text.size())
                return;
            text = text.sliced(ascii);
        }
        Append_Utf8_Encoded(text);
    }

    // Writes out what is buffered; false once a write has failed (the rest is then dropped).
    bool Flush();
    bool Failed() const { return Write_Failed; }
    // True when the descriptor is a terminal, where every packet is flushed as it is printed.
    bool Is_Terminal() const { return Terminal; }

  private:
    // Copies the leading ASCII characters of `in` to `out`, a byte each; returns how many.
    static qsizetype Narrow_Ascii(const char16_t* in, qsizetype size, char* out) {
        qsizetype i = 0;
#if defined(__SSE2__)
        const __m128i high_bits = _mm_set1_epi16(-0x80);
        const auto ascii = [&](__m128i units) {
            return _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, high_bits),
                                                     _mm_setzero_si128())) == 0xFFFF;
        };
        const auto narrow_16 = [&](qsizetype at) {
            const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + at));
            const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + at + 8));
            if (!ascii(_mm_or_si128(low, high)))
                return false;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at), _mm_packus_epi16(low, high));
            return true;
        };
        const auto narrow_8 = [&](qsizetype at) {
            const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + at));
            if (!ascii(units))
                return false;
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + at), _mm_packus_epi16(units, units));
            return true;
        };
        while (size - i >= 16 && narrow_16(i))
            i += 16;
        // Unless a character beyond ASCII stopped the loop, the rest is done as one more block
        // that ends at the end, overlapping what is done (writing a byte twice is harmless).
        if (size - i < 16 && i < size &&
            (size >= 16 ? narrow_16(size - 16) : size >= 8 && narrow_8(0) && narrow_8(size - 8)))
            return size;
#endif
        for (; i < size && in[i] < 0x80; ++i)
            out[i] = static_cast<char>(in[i]);
        return i;
    }

    // Room for at least `size` more bytes, flushing first if needed.
    char* Reserve(qsizetype size);
    void Write_All(const char* bytes, qsizetype size);
    void Append_Large(QByteArrayView bytes);
    void Append_Utf8_Encoded(QStringView text);

    int Fd;
    QByteArray Storage;
    char* Data;
    qsizetype Capacity;
    qsizetype Used = 0;
    bool Terminal;
    bool Write_Failed = false;
};
