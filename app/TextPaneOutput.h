#pragma once

#include "PacketConversion.h"

#include <QList>

class QPlainTextEdit;

// Lets a conversion write into the window's output pane: each piece it shows is inserted at the
// pane's cursor, so successive pieces follow each other. A conversion that reports nothing shows
// its whole text at once, converted from UTF-8 a single time. Where the renderer says each field's
// text starts, the pane's lines of those places are kept for the conversion's fields.
class TextPaneOutput : public PacketConversion::Output {
  public:
    explicit TextPaneOutput(QPlainTextEdit& pane);

    void Clear() override;
    void Show() override;

    // The line (text block) of the pane each decoded field's text starts on, then the line after
    // the last field's text; empty while no decoded packet was shown.
    const QList<int>& Field_Lines() const { return Lines; }

  private:
    QPlainTextEdit& Pane;
    QList<qsizetype> Starts; // filled by the renderer, offsets into Text
    QList<int> Lines;
};
