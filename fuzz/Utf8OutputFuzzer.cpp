// Fuzzes the command-line decoder's output buffer: any UTF-16 text, written through a buffer of
// any capacity, must come out as exactly the bytes QString::toUtf8 gives. The output goes to an
// in-memory file, never to disk.
//
// Input layout: two bytes of buffer capacity (little-endian), then the text's UTF-16 units.

#include "FuzzRequire.h"
#include "OutputBuffer.h"

#include <QByteArray>
#include <QString>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

QByteArray Read_Back(int fd) {
    QByteArray bytes(static_cast<qsizetype>(::lseek(fd, 0, SEEK_END)), Qt::Uninitialized);
    Require(::pread(fd, bytes.data(), static_cast<size_t>(bytes.size()), 0) == bytes.size(),
            "the written bytes read back");
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const qsizetype capacity = data[0] | (data[1] << 8);
    QString text((static_cast<qsizetype>(size) - 2) / 2, Qt::Uninitialized);
    std::memcpy(text.data(), data + 2, static_cast<size_t>(text.size()) * 2);

    const int fd = ::memfd_create("kivo-fuzz-output", 0);
    Require(fd >= 0, "an in-memory file opens");
    {
        OutputBuffer output(fd, capacity);
        // Split the text once, so that a write also starts in the middle of the buffer.
        const qsizetype half = text.size() / 2;
        output.Append_Utf8(QStringView(text).first(half));
        output.Append_Utf8(QStringView(text).sliced(half));
        Require(output.Flush(), "writing to memory never fails");
    }
    Require(Read_Back(fd) == QStringView(text).first(text.size() / 2).toUtf8() +
                                 QStringView(text).sliced(text.size() / 2).toUtf8(),
            "the buffer writes what toUtf8 gives");
    ::close(fd);
    return 0;
}
