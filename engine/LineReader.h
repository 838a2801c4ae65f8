#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <functional>

// Splits a file descriptor's bytes into lines, reading large blocks. A line ends at LF; the CR of
// a CR LF end is dropped as well, and a last line without LF still counts. The buffer never holds
// much more than one line, and no line is longer than SafeFile::Max_Read_Size.
class LineReader {
  public:
    // `before_wait` runs before every read that may block, so that output can be flushed while
    // the producer on the other side of a pipe is still writing.
    explicit LineReader(int fd, std::function<void()> before_wait = {},
                        qsizetype block_size = 1 << 16);

    // The next line, valid until the next call; false at the end of the input, on a read error,
    // or at a line longer than SafeFile::Max_Read_Size (an input without line feeds, say).
    bool Next(QByteArrayView& line);
    bool Read_Failed() const { return Failed; }
    bool Line_Too_Long() const { return Too_Long; }
    qint64 Bytes_Read() const { return Total_Read; }

  private:
    // Moves the unread rest to the front and reads one more block after it.
    bool Fill();

    int Fd;
    std::function<void()> Before_Wait;
    qsizetype Block_Size;
    QByteArray Buffer;
    qsizetype Begin = 0; // first unread byte
    qsizetype End = 0;   // one past the last byte read
    bool At_End = false;
    bool Failed = false;
    bool Too_Long = false;
    qint64 Total_Read = 0;
};
