#include "PasteLineReader.h"

#include "ReusedText.h"

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
    // ASCII lines, nearly all, are widened a byte per character while they are looked at; only
    // a line that turns out to hold anything else goes through Qt's UTF-8 decoder.
    char16_t* const out = Text_To_Fill(text, line.size());
    const char* const in = line.data();
    unsigned char seen = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        seen |= static_cast<unsigned char>(in[i]);
        out[i] = static_cast<unsigned char>(in[i]);
    }
    if (seen < 0x80)
        return;
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
