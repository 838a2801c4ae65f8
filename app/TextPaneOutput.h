#pragma once

#include "PacketConversion.h"

class QPlainTextEdit;

// Lets a conversion write into the window's output pane: each piece it shows is inserted at the
// pane's cursor, so successive pieces follow each other. A conversion that reports nothing shows
// its whole text at once, converted from UTF-8 a single time.
class TextPaneOutput : public PacketConversion::Output {
  public:
    explicit TextPaneOutput(QPlainTextEdit& pane) : Pane(pane) {}

    void Clear() override;
    void Show() override;

  private:
    QPlainTextEdit& Pane;
};
