#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

#include <cstring>

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
        // Short ASCII texts (numbers, hex fields) are by far the most common: copy them inline.
        const qsizetype size = text.size();
        if (size <= 32 && Capacity - Used >= 32) {
            const char16_t* in = text.utf16();
            char* out = Data + Used;
            qsizetype i = 0;
            for (; i < size && in[i] < 0x80; ++i)
                out[i] = static_cast<char>(in[i]);
            if (i == size) {
                Used += size;
                return;
            }
        }
        Append_Utf8_Encoded(text);
    }

    // Writes out what is buffered; false once a write has failed (the rest is then dropped).
    bool Flush();
    bool Failed() const { return Write_Failed; }
    // True when the descriptor is a terminal, where every packet is flushed as it is printed.
    bool Is_Terminal() const { return Terminal; }

  private:
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
