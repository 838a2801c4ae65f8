#include "OutputBuffer.h"

#include <cerrno>
#include <unistd.h>

OutputBuffer::OutputBuffer(int fd, qsizetype capacity)
    : Fd(fd), Capacity(capacity), Terminal(isatty(fd) == 1) {
    Text.reserve(Capacity + Capacity / 4);
}

OutputBuffer::~OutputBuffer() {
    Flush();
}

void OutputBuffer::Show() {
    if (Terminal || Text.size() >= Capacity)
        Flush();
}

bool OutputBuffer::Flush() {
    qsizetype done = 0;
    while (done < Text.size() && !Write_Failed) {
        const ssize_t written =
            ::write(Fd, Text.constData() + done, static_cast<size_t>(Text.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            Write_Failed = true;
        else
            done += written;
    }
    Text.resize(0); // keeps the buffer for what follows
    return !Write_Failed;
}
