#pragma once

#include "DecodedField.h"
#include "UserMessage.h"

#include <QLoggingCategory>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

// The one diagnostic line per conversion goes to this category of the debug log.
Q_DECLARE_LOGGING_CATEGORY(Conversion_Log)

// The steps from a pasted text to the printed result, shared by the window and the command-line
// decoder so that both treat every paste the same way.
class PacketConversion {
  public:
    // Where a conversion writes: the window's output pane, or a buffer of the command-line tool.
    class Output {
      public:
        virtual ~Output() = default;
        virtual void Clear() = 0;
        virtual void Insert(const QString& text) = 0;
        // Prints a decoded packet; by default the rendered text is inserted.
        virtual void Print_Result(const QString& device_name, const DecodedPacket& packet);
    };

    enum class Outcome { Empty_Input, Not_Decoded, Decoded };

    struct Result {
        Outcome State = Outcome::Empty_Input;
        bool Is_Base64 = false;
        QString Hex_Text; // the text handed to the decoder
        DecodedPacket Packet;
    };

    // Where base64 detection matched: the first backslash, plus, equals sign or Latin letter g-z
    // or G-Z. Captured texts as the detection pattern's match gives them: the character twice for
    // \ + =, once for a letter, none without a match.
    struct Detection {
        qsizetype Position = -1;
        QStringList Captured;
        bool Found() const { return Position >= 0; }
    };

    using Decode_Function = std::function<DecodedPacket(const QString& hex_text)>;

    // Removes tabs, line feeds and spaces, and nothing else.
    static QString Clean_Input(const QString& input);
    static Detection Detect_Base64(QStringView cleaned);
    // Lower-case hex of the base64-decoded bytes; empty when the text is not valid base64.
    static QString Hex_From_Base64(const QString& cleaned);
    static QString To_Hex_Line(const QString& hex_text);

    // One whole conversion: cleaning, base64, decoding and printing into `output`. Reports an
    // empty paste and a packet that was not decoded through `reporter`.
    static Result Run(const QString& input, const QString& device_name,
                      const Decode_Function& decode, const MessageReporter& reporter,
                      Output& output);

    static UserMessage Empty_Input_Message();
    static UserMessage Not_Decoded_Message();
};
