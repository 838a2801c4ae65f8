#pragma once

#include "PacketConversion.h"

#include <QStringView>

// A write buffer in front of a file descriptor, filled as UTF-8 by the conversion (or by the
// owner through Text): output leaves in large blocks, never a line at a time, except on a
// terminal, where every conversion shows as soon as it is done. The blocks are large enough that
// the system calls cost next to nothing even for JSON records, several hundred bytes a packet.
class OutputBuffer : public PacketConversion::Output {
  public:
    explicit OutputBuffer(int fd, qsizetype capacity = 1 << 18);
    ~OutputBuffer() override;
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    void Clear() override {}
    // Writes out what is buffered once the buffer is full, or at once on a terminal.
    void Show() override;

    void Append_Utf8(QStringView text) { Text += text.toUtf8(); }
    // Writes out what is buffered; false once a write has failed (the rest is then dropped).
    bool Flush();

  private:
    int Fd;
    qsizetype Capacity;
    bool Terminal;
    bool Write_Failed = false;
};
