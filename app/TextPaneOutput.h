#pragma once

#include "PacketConversion.h"

class QPlainTextEdit;

// Lets a conversion write into the window's output pane: each piece is inserted at the pane's
// cursor, so successive pieces follow each other.
class TextPaneOutput : public PacketConversion::Output {
  public:
    explicit TextPaneOutput(QPlainTextEdit& pane) : Pane(pane) {}

    void Clear() override;
    void Insert(const QString& text) override;

  private:
    QPlainTextEdit& Pane;
};
