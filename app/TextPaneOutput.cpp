#include "TextPaneOutput.h"

#include <QPlainTextEdit>

void TextPaneOutput::Clear() {
    Pane.clear();
}

void TextPaneOutput::Insert(const QString& text) {
    Pane.insertPlainText(text);
}

void TextPaneOutput::Print_Result(const QString&, const DecodedPacket& packet) {
    Print(packet);
}
