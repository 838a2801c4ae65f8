#pragma once

#include "PacketConversion.h"

#include <functional>

class QPlainTextEdit;

// Lets a conversion write into the window's output pane: each piece is inserted at the pane's
// cursor, so successive pieces follow each other.
class TextPaneOutput : public PacketConversion::Output {
  public:
    using Printer = std::function<void(const DecodedPacket&)>;

    // Decoded packets go to `print`, the window's own result printer.
    TextPaneOutput(QPlainTextEdit& pane, Printer print) : Pane(pane), Print(std::move(print)) {}

    void Clear() override;
    void Insert(const QString& text) override;
    void Print_Result(const QString& device_name, const DecodedPacket& packet) override;

  private:
    QPlainTextEdit& Pane;
    Printer Print;
};
