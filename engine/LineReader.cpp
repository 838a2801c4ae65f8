#include "LineReader.h"

#include "SafeFile.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

LineReader::LineReader(int fd, std::function<void()> before_wait, qsizetype block_size)
    : Fd(fd), Before_Wait(std::move(before_wait)), Block_Size(std::max<qsizetype>(block_size, 16)) {
    Buffer.resize(Block_Size);
}

bool LineReader::Fill() {
    if (Begin > 0) {
        std::memmove(Buffer.data(), Buffer.constData() + Begin, static_cast<size_t>(End - Begin));
        End -= Begin;
        Begin = 0;
    }
    // A line longer than the buffer makes the buffer grow, doubling, up to a block past the
    // longest line; otherwise it keeps its size.
    if (Buffer.size() - End < Block_Size / 2)
        Buffer.resize(
            std::min<qsizetype>(Buffer.size() * 2, SafeFile::Max_Read_Size + 2 * Block_Size));
    if (Before_Wait)
        Before_Wait();
    for (;;) {
        const ssize_t count =
            ::read(Fd, Buffer.data() + End, static_cast<size_t>(Buffer.size() - End));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            Failed = true;
        if (count <= 0) {
            At_End = true;
            return false;
        }
        End += count;
        Total_Read += count;
        return true;
    }
}

bool LineReader::Next(QByteArrayView& line) {
    qsizetype searched = Begin; // bytes before this hold no LF
    for (;;) {
        const void* found =
            std::memchr(Buffer.constData() + searched, '\n', static_cast<size_t>(End - searched));
        qsizetype length = 0;
        qsizetype consumed = 0;
        if (found) {
            length = static_cast<const char*>(found) - (Buffer.constData() + Begin);
            consumed = length + 1;
        } else {
            const qsizetype searched_count = End - Begin;
            if (searched_count > SafeFile::Max_Read_Size) {
                Too_Long = true;
                return false;
            }
            if (!At_End && Fill()) {
                searched = Begin + searched_count;
                continue;
            }
            if (Begin == End)
                return false;
            length = End - Begin;
            consumed = length;
        }
        const char* start = Buffer.constData() + Begin;
        // The CR of a CR LF end (also when the last line lost its LF).
        if (length > 0 && start[length - 1] == '\r')
            --length;
        line = QByteArrayView(start, length);
        Begin += consumed;
        return true;
    }
}
