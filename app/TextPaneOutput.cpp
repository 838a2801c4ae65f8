#include "TextPaneOutput.h"

#include <QPlainTextEdit>

void TextPaneOutput::Clear() {
    Pane.clear();
}

void TextPaneOutput::Show() {
    if (Text.isEmpty())
        return;
    Pane.insertPlainText(QString::fromUtf8(Text));
    Text.clear();
}
