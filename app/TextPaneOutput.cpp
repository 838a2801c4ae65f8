#include "TextPaneOutput.h"

#include <QPlainTextEdit>

namespace {

// Whether the UTF-8 character at `at` ends a line when the text is inserted:
// QTextCursor::insertText starts a new text block at every line feed, carriage return (CR LF
// together once), paragraph separator (U+2029) and frame mark (U+FDD0, U+FDD1). Names and values
// come from template files and pastes, so they may hold any of them.
bool Ends_Line(QByteArrayView text, qsizetype at) {
    const auto byte = [&](qsizetype i) { return i < text.size() ? quint8(text[i]) : 0; };
    switch (byte(at)) {
    case '\n':
        return true;
    case '\r':
        return byte(at + 1) != '\n'; // the line feed that follows ends the line
    case 0xE2:
        return byte(at + 1) == 0x80 && byte(at + 2) == 0xA9;
    case 0xEF:
        return byte(at + 1) == 0xB7 && (byte(at + 2) == 0x90 || byte(at + 2) == 0x91);
    default:
        return false;
    }
}

} // namespace

TextPaneOutput::TextPaneOutput(QPlainTextEdit& pane) : Pane(pane) {
    Field_Starts = &Starts;
}

void TextPaneOutput::Clear() {
    Pane.clear();
    Starts.clear();
    Lines.clear();
}

void TextPaneOutput::Show() {
    if (Text.isEmpty())
        return;
    // The text goes in at the cursor, on its line.
    int line = Pane.textCursor().blockNumber();
    qsizetype at = 0;
    for (const qsizetype start : std::as_const(Starts)) {
        for (; at < start; ++at)
            line += Ends_Line(Text, at);
        Lines.append(line);
    }
    Starts.clear();
    Pane.insertPlainText(QString::fromUtf8(Text));
    Text.clear();
}
