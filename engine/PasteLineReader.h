#pragma once

#include "LineReader.h"

#include <QByteArrayView>
#include <QString>

#include <functional>

// The pastes of a packet log, one per line: blank lines and lines whose first character other
// than a blank is "#" hold none. Lines are UTF-8 (invalid bytes read as U+FFFD). kivo-decode's
// -i and the window's packet log read files through this one reader.
class PasteLineReader {
  public:
    explicit PasteLineReader(int fd, std::function<void()> before_wait = {})
        : Lines(fd, std::move(before_wait)) {}

    // The next paste, into `text` (its buffer is used again); false at the end of the input or on
    // a read error.
    bool Next(QString& text);
    // The line the last paste stood on, counted from 1; at the end, the last line read.
    qint64 Line() const { return Line_Number; }
    bool Read_Failed() const { return Lines.Read_Failed(); }
    // Reading stopped at a line longer than SafeFile::Max_Read_Size, the line after Line().
    bool Line_Too_Long() const { return Lines.Line_Too_Long(); }
    // Bytes taken from the input so far.
    qint64 Bytes_Read() const { return Lines.Bytes_Read(); }

    // Whether a line holds a paste; if so, sets `text` to it.
    static bool Take_Paste(QByteArrayView line, QString& text);

  private:
    LineReader Lines;
    qint64 Line_Number = 0;
};
