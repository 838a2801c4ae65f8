#pragma once

#include <QByteArray>
#include <QStringList>

#include "PacketConversion.h"
#include "UserMessage.h"
#include "Workspace.h"

#include <optional>

// `kivo-decode --test`: golden files of sample packets with the text the window shows for each.
// An entry starts with "== <device> | <packet>"; its lines starting with ">" are the output
// pane's text, line by line, and those starting with "! " the message boxes, as
// "! <title> | <text>"; other lines describe the entry. Lines before the first entry are blank or
// comments ("#"). Each entry is converted with its device from the workspace; a failing
// entry prints "<file>:<line>: " with what failed, or a unified diff of the expected against the
// actual text; the last line counts the entries that passed and failed.
class GoldenFileTest {
  public:
    // Appends the report to `out`; true when every entry of every file passed. A registry that
    // cannot be read goes to `report`.
    static bool Run(const Workspace& workspace, const QStringList& files, QByteArray& out,
                    const MessageReporter& report);

    // The window's output pane, cleared by each conversion.
    struct Pane : PacketConversion::Output {
        QByteArray Shown;
        void Clear() override { Shown.clear(); }
        void Show() override {
            Shown += Text;
            Text.clear();
        }
    };

    // The entry that records a conversion as it went (`pane` the pane it showed), as a golden file
    // holds it; nothing when the format cannot hold it (a line break in the paste, the device
    // name or a message, " | " in the device name, a line that ends in a carriage return).
    static std::optional<QString> Entry(const QString& device, const QString& packet,
                                        const PacketConversion::Result& result, const Pane& pane);
};
