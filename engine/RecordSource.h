#pragma once

#include <QString>

// Where a paste was read: a file (or "-" for standard input) and its line, counted from 1.
struct RecordSource {
    QString File;
    qint64 Line = 0;
};
