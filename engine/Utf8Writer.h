#pragma once

#include "DecimalText.h"
#include "ShortCopy.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>
#include <QtEndian>

#include <iterator>

// Appends UTF-8 to a byte array through a plain pointer: room is made in large steps, so that a
// result written piece by piece costs a copy per piece and no bookkeeping; the array is cut back
// to what was written when the writer goes. Text is encoded as QString::toUtf8 encodes it.
class Utf8Writer {
  public:
    explicit Utf8Writer(QByteArray& out);
    ~Utf8Writer();
    Utf8Writer(const Utf8Writer&) = delete;
    Utf8Writer& operator=(const Utf8Writer&) = delete;

    void Put(char byte) {
        Reserve(1);
        *At++ = byte;
    }
    void Put(QByteArrayView bytes) {
        Reserve(bytes.size());
        Short_Copy(At, bytes.data(), bytes.size());
        At += bytes.size();
    }
    // A string literal, its length known when compiled.
    template <qsizetype Size> void Put_Literal(const char (&text)[Size]) {
        Put(QByteArrayView(text, Size - 1));
    }
    // Text as UTF-8: ASCII is narrowed, and only text that turns out to hold anything else is
    // written again, by Qt's encoder.
    void Put_Text(QStringView text) {
        Reserve(text.size());
        if (!Narrow_Ascii(At, text.utf16(), text.size()))
            return Put_Encoded(text);
        At += text.size();
    }
    // A whole number in decimal.
    void Put_Decimal(qint64 value) {
        Reserve(DecimalText::Max_Length);
        At = DecimalText::Put(At, value);
    }
    // Bytes written before, at `from` (counted from the start of the array), written again.
    void Put_Again(qsizetype from, qsizetype size) {
        Reserve(size);
        Short_Copy(At, Out.constData() + from, size);
        At += size;
    }
    // Where the next byte goes, counted from the start of the array.
    qsizetype Position() const { return At - Out.constData(); }
    // Room for `size` more bytes, written through Cursor() and then Advance().
    void Reserve(qsizetype size) {
        if (End - At < size)
            Grow(size);
    }
    char* Cursor() { return At; }
    void Advance(qsizetype size) { At += size; }

    // Copies `size` characters a byte each; false when one is beyond ASCII (numbers, hex digits
    // and Latin names, by far the most common text, are not), and the copy is then of no use.
    // The texts of a result are short: four characters at a time go through one 64-bit word,
    // character i in bits 16i to 16i + 15, the last four overlapping those before them (and a text
    // of one to three characters as one word of its first, middle and last), so that a text
    // takes a step or two where a loop over characters takes ten. `look` sees every word.
    template <typename Look = decltype([](quint64) {})>
    static bool Narrow_Ascii(char* out, const char16_t* in, qsizetype size, Look&& look = {}) {
        quint64 seen = 0;
        if (size < 4) {
            if (size == 0)
                return true;
            const quint64 first = in[0], middle = in[size / 2], last = in[size - 1];
            seen = first | (middle << 16) | (last << 32) | (last << 48);
            look(seen);
            out[0] = static_cast<char>(first);
            out[size / 2] = static_cast<char>(middle);
            out[size - 1] = static_cast<char>(last);
            return (seen & Not_Ascii) == 0;
        }
        const auto four = [&](qsizetype at) {
            quint64 word = qFromLittleEndian<quint64>(in + at);
            if constexpr (Q_BYTE_ORDER == Q_BIG_ENDIAN) // each character's bytes the other way
                word = ((word & 0x00FF00FF00FF00FFu) << 8) | ((word >> 8) & 0x00FF00FF00FF00FFu);
            seen |= word;
            look(word);
            // With every high byte 0, bytes 0-1 hold characters 0-1 and bytes 4-5 characters 2-3.
            const quint64 pairs = word | (word >> 8);
            qToLittleEndian(quint32((pairs & 0xFFFF) | ((pairs >> 16) & 0xFFFF0000)), out + at);
        };
        qsizetype at = 0;
        for (; at + 4 <= size; at += 4)
            four(at);
        if (at < size)
            four(size - 4);
        return (seen & Not_Ascii) == 0;
    }
    // In a word of Narrow_Ascii: 1 in each character, the bits of characters beyond ASCII.
    static constexpr quint64 Each_Character = 0x0001000100010001u;
    static constexpr quint64 Not_Ascii = 0xFF80 * Each_Character;

  private:
    void Grow(qsizetype size);
    void Put_Encoded(QStringView text);

    QByteArray& Out;
    char* At = nullptr;
    char* End = nullptr;
};
