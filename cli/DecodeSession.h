#pragma once

#include "DeviceTemplateFile.h"
#include "PacketConversion.h"
#include "PacketDecoder.h"
#include "PasteScanner.h"
#include "UserMessage.h"
#include "Utf8ResultWriter.h"

#include <QList>
#include <QString>

#include <array>
#include <optional>

class OutputBuffer;

// Decodes pastes one after the other with one template file, loaded once, and prints each as the
// window would: the text of its output pane to `out`, every message it would show in a box to
// `messages` as one line "<title>: <text>".
class DecodeSession {
  public:
    enum class Format { Text, Json };

    struct Setup {
        QString Device_Name;                    // printed in the header line
        QString Template_Path;                  // names the template file in messages
        std::optional<DeviceTemplateFile> File; // nothing when the file cannot be read
        Format Output_Format = Format::Text;
        SafeFile::ReadFailure Load_Failure = SafeFile::ReadFailure::Cannot_Open; // without File
    };

    DecodeSession(Setup setup, OutputBuffer& out, OutputBuffer& messages);

    // Decodes one paste; false when it was not decoded (empty, no template, no file).
    bool Decode(const QString& paste);
    // The same for one line of UTF-8 input.
    bool Decode_Line(QByteArrayView line);
    // Flushes both outputs when either is a terminal, so each packet shows as soon as it is done.
    void Packet_Done();

    qint64 Failures() const { return Failure_Count; }

  private:
    bool Decode_Text(const QString& paste, PasteScanner::Traits traits);
    bool Decode_Json(const QString& paste);
    bool Is_Base64(const QString& cleaned, PasteScanner::Traits traits) const;
    DecodedPacket Parse(const QString& hex_text) const;
    // The same into the list kept for the packet's type byte: packets of one type select one
    // template, so each fits the entries and text buffers its predecessor left there.
    const DecodedPacket& Parse_Into_Kept(QStringView hex_text);
    void Report(const UserMessage& message);

    Setup Config;
    OutputBuffer& Out;
    OutputBuffer& Messages;
    MessageReporter Reporter;
    PacketDecoder Decoder;
    Utf8ResultWriter Writer;
    PasteScanner Scanner;
    QByteArray Hex_Line_Prefix; // To_Hex_Line's text before and after the hex text
    QByteArray Hex_Line_Suffix;
    QString Line_Text;   // reused for every input line
    QString Decoded_Hex; // a base64 paste's bytes, reused for every paste
    std::array<DecodedPacket, 256> Kept_Results;
    QList<UserMessage> Packet_Messages; // the current packet's, for the JSON record
    qint64 Failure_Count = 0;
};
