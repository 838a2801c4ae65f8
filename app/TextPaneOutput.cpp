#include "TextPaneOutput.h"

#include <QPlainTextEdit>

void TextPaneOutput::Clear() {
    Pane.clear();
}

void TextPaneOutput::Insert(const QString& text) {
    Pane.insertPlainText(text);
}
