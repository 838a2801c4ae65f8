#include "PasteLineReader.h"

#include <QStringDecoder>

namespace {

// Blank lines and comments hold no paste.
bool Is_Skipped(QByteArrayView line) {
    for (const char c : line) {
        if (c != ' ' && c != '\t')
            return c == '#';
    }
    return true;
}

// Sets `text` to the UTF-8 line as QString::fromUtf8 reads it, in the buffer `text` already has.
void Assign_Utf8(QString& text, QByteArrayView line) {
    // ASCII lines, nearly all, take Qt's Latin-1 widening; the others its UTF-8 decoder.
    char seen = 0;
    for (const char byte : line)
        seen |= byte;
    if ((seen & 0x80) == 0) {
        text.resize(0);
        text.append(QLatin1String(line.data(), line.size()));
        return;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless |
                                                     QStringConverter::Flag::ConvertInitialBom);
    text.resize(decoder.requiredSpace(line.size()));
    const QChar* const end = decoder.appendToBuffer(text.data(), line);
    text.resize(end - text.constData());
}

} // namespace

bool PasteLineReader::Take_Paste(QByteArrayView line, QString& text) {
    if (Is_Skipped(line))
        return false;
    Assign_Utf8(text, line);
    return true;
}

bool PasteLineReader::Next(QString& text) {
    QByteArrayView line;
    while (Lines.Next(line)) {
        ++Line_Number;
        if (Take_Paste(line, text))
            return true;
    }
    return false;
}
