#pragma once

#include "DecimalText.h"
#include "ShortCopy.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

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
    void Put_Text(QStringView text) {
        // ASCII (numbers, hex digits, Latin names) is by far the most common: it is copied a byte
        // per character, and only text that turns out to hold anything else is written again, by
        // Qt's encoder.
        const char16_t* const in = text.utf16();
        const qsizetype size = text.size();
        Reserve(size);
        char* const out = At; // a local pointer: stores through it cannot move it
        unsigned seen = 0;
        for (qsizetype i = 0; i < size; ++i) {
            seen |= in[i];
            out[i] = static_cast<char>(in[i]);
        }
        if (seen >= 0x80)
            return Put_Encoded(text);
        At += size;
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

  private:
    void Grow(qsizetype size);
    void Put_Encoded(QStringView text);

    QByteArray& Out;
    char* At = nullptr;
    char* End = nullptr;
};
