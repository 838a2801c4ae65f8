#include "OutputBuffer.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

OutputBuffer::OutputBuffer(int fd, qsizetype capacity)
    : Fd(fd), Storage(std::max<qsizetype>(capacity, 64), Qt::Uninitialized), Data(Storage.data()),
      Capacity(Storage.size()), Terminal(isatty(fd) == 1) {}

OutputBuffer::~OutputBuffer() {
    Flush();
}

void OutputBuffer::Write_All(const char* bytes, qsizetype size) {
    qsizetype done = 0;
    while (done < size && !Write_Failed) {
        const ssize_t written = ::write(Fd, bytes + done, static_cast<size_t>(size - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            Write_Failed = true;
        else
            done += written;
    }
}

bool OutputBuffer::Flush() {
    Write_All(Data, Used);
    Used = 0;
    return !Write_Failed;
}

char* OutputBuffer::Reserve(qsizetype size) {
    if (Capacity - Used < size)
        Flush();
    return Data + Used;
}

void OutputBuffer::Append_Large(QByteArrayView bytes) {
    Flush();
    if (bytes.size() > Capacity) {
        // Too big to buffer: write it straight through.
        Write_All(bytes.data(), bytes.size());
        return;
    }
    std::memcpy(Data, bytes.data(), static_cast<size_t>(bytes.size()));
    Used = bytes.size();
}

void OutputBuffer::Append_Utf8_Encoded(QStringView text) {
    const char16_t* in = text.utf16();
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size) {
        // Encode in slices that always fit the buffer: at most three bytes per UTF-16 unit, and
        // one more for a surrogate pair that ends just past the slice.
        const qsizetype slice = std::min<qsizetype>(size - i, (Capacity - 1) / 3);
        char* out = Reserve(3 * slice + 1);
        char* const start = out;
        const qsizetype end = i + slice;
        while (i < end) {
            const char16_t c = in[i];
            if (c < 0x80) {
                // A run of ASCII (digits, Latin words, blanks) between the other characters.
                const qsizetype ascii = Narrow_Ascii(in + i, end - i, out);
                out += ascii;
                i += ascii;
            } else if (c < 0x800) {
                *out++ = static_cast<char>(0xC0 | (c >> 6));
                *out++ = static_cast<char>(0x80 | (c & 0x3F));
                ++i;
            } else if (c < 0xD800 || c > 0xDFFF) {
                *out++ = static_cast<char>(0xE0 | (c >> 12));
                *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                *out++ = static_cast<char>(0x80 | (c & 0x3F));
                ++i;
            } else if (c < 0xDC00 && i + 1 < size && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
                const char32_t code =
                    0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (in[i + 1] - 0xDC00);
                *out++ = static_cast<char>(0xF0 | (code >> 18));
                *out++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
                *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                *out++ = static_cast<char>(0x80 | (code & 0x3F));
                i += 2;
            } else {
                // A lone surrogate: let the toolkit encode the rest, as toUtf8 would.
                Used += out - start;
                Append(QByteArrayView(text.sliced(i).toUtf8()));
                return;
            }
        }
        Used += out - start;
    }
}
