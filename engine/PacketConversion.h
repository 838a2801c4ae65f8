#pragma once

#include "DecodedField.h"
#include "PasteForm.h"
#include "UserMessage.h"

#include <QByteArray>
#include <QList>
#include <QLoggingCategory>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <functional>

// The one diagnostic line per conversion goes to this category of the debug log.
Q_DECLARE_LOGGING_CATEGORY(Conversion_Log)

// The steps from a pasted text to the printed result: cleaning, base64, decoding and rendering.
// The window and both modes of the command-line decoder run every paste through Run, so all treat
// it the same way. One object converts any number of pastes, reusing its buffers.
class PacketConversion {
  public:
    // Where a conversion writes its text, as UTF-8: the window's output pane, or the command-line
    // decoder's standard output.
    class Output {
      public:
        virtual ~Output() = default;
        // A conversion starts: what an earlier one showed goes.
        virtual void Clear() = 0;
        // Shows Text and empties it. Called when the conversion ends, and before every message it
        // reports, so that a message box finds the pane as far as the conversion got.
        virtual void Show() = 0;

        QByteArray Text; // written, not yet shown
        // When set, rendering a decoded packet adds where in Text each field's line starts, then
        // where the line after the last field starts.
        QList<qsizetype>* Field_Starts = nullptr;
    };

    enum class Outcome { Empty_Input, Not_Decoded, Decoded };

    // Valid until the next Run.
    struct Result {
        Outcome State = Outcome::Empty_Input;
        bool Is_Base64 = false;
        PasteForm::Kind Form = PasteForm::Kind::Hex; // how the paste spelled its bytes
        QString Hex_Text;                            // the text handed to the decoder
        bool Hex_Is_Digits = true;                   // and it holds hex digits only
        DecodedPacket Packet;
        QList<UserMessage> Messages; // every message of this conversion, in order
        // What in the paste the conversion passed over silently; the pane shows none of it.
        QStringList Warnings;

        // The decoder gave the length error: the packet's length does not fit.
        bool Is_Length_Error() const {
            return State == Outcome::Decoded && !Packet.isEmpty() && Packet.first().Is_Length_Error;
        }
        // Decoded, and not a length error.
        bool Is_Decoded() const { return State == Outcome::Decoded && !Is_Length_Error(); }
    };

    // Where base64 detection matched: the first backslash, plus, equals sign or Latin letter g-z
    // or G-Z.
    struct Detection {
        qsizetype Position = -1;
        bool Found() const { return Position >= 0; }
        // As the detection pattern's match gives them: the character twice for \ + =, once for a
        // letter, none without a match.
        QStringList Captured_Texts(QStringView cleaned) const;
    };

    // Decodes hex text into `packet`, which holds what an earlier packet with the same type byte
    // gave (or nothing): decoding into it again allocates next to nothing. Messages go through
    // Reporter().
    using Decode_Function = std::function<void(const QString& hex_text, DecodedPacket& packet)>;

    PacketConversion(const QString& device_name, MessageReporter reporter);
    PacketConversion(const PacketConversion&) = delete;
    PacketConversion& operator=(const PacketConversion&) = delete;

    // Each conversion writes its diagnostic line to the debug log unless this is turned off: a
    // log of a million packets would flood it.
    void Write_Diagnostic_Lines(bool on) { Diagnostic_Lines = on; }

    // Hands each message to the user's reporter and adds it to the result.
    const MessageReporter& Reporter() const { return Report; }

    // One whole conversion. The text goes to `output`; without one nothing is rendered (the
    // caller writes what it needs from the result).
    const Result& Run(const QString& input, const Decode_Function& decode, Output* output);

    // Where the cleaned paste shows itself as base64: its first marker.
    static Detection Detect_Base64(QStringView cleaned);
    // Sets `hex` to the lower-case hex of the base64-decoded bytes (two digits per byte, as
    // QByteArray::toHex writes them), empty when the text is not valid base64 (then false).
    static bool Hex_From_Base64(QStringView cleaned, QString& hex);

    static UserMessage Empty_Input_Message();
    static UserMessage Not_Decoded_Message();

  private:
    // Removes tabs, line feeds and spaces, and nothing else.
    static QString Clean_Input(const QString& input);
    // Appends "to HEX - <hex text>" and an empty line, as UTF-8: what a base64 paste shows first.
    static void Append_Hex_Line(QByteArray& out, QStringView hex_text);
    // `has_other`: the input holds a character that is no hex digit, blank or marker.
    void Find_Warnings(QStringView input, bool has_other, bool base64_decoded);

    MessageReporter User_Reporter;
    MessageReporter Report;
    QByteArray Device_Utf8;
    Result Current;
    // The last result for each type byte; the one of Packet_Type_Byte is in Current.Packet, and
    // its own place is empty meanwhile.
    std::array<DecodedPacket, 256> Kept;
    int Packet_Type_Byte = 0;
    Output* Current_Output = nullptr; // during Run only
    bool Diagnostic_Lines = true;
};
