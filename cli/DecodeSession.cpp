#include "DecodeSession.h"

#include "Base64Hex.h"
#include "HexText.h"
#include "JsonRecord.h"
#include "OutputBuffer.h"

namespace {

// Ignores the pane operations: in JSON mode the record is written from the conversion's result.
class Discard_Output : public PacketConversion::Output {
  public:
    void Clear() override {}
    void Insert(const QString&) override {}
};

} // namespace

DecodeSession::DecodeSession(Setup setup, OutputBuffer& out, OutputBuffer& messages)
    : Config(std::move(setup)), Out(out), Messages(messages),
      Reporter([this](const UserMessage& message) { Report(message); }),
      Decoder(QString(), Reporter), Writer(Config.Device_Name) {
    Decoder.Template_Path = Config.Template_Path;
    const QString hex_line = PacketConversion::To_Hex_Line(QStringLiteral("\x01"));
    const qsizetype at = hex_line.indexOf(u'\x01');
    Hex_Line_Prefix = hex_line.left(at).toUtf8();
    Hex_Line_Suffix = hex_line.mid(at + 1).toUtf8();
}

void DecodeSession::Report(const UserMessage& message) {
    Messages.Append_Utf8(message.Title);
    Messages.Append(QByteArrayView(": ", 2));
    Messages.Append_Utf8(message.Text);
    Messages.Append('\n');
    if (Config.Output_Format == Format::Json)
        Packet_Messages.append(message);
}

DecodedPacket DecodeSession::Parse(const QString& hex_text) const {
    if (!Config.File) {
        // As the window, which reads the file at every conversion and fails every time.
        Reporter(PacketDecoder::Load_Failure_Message(Config.Load_Failure, Config.Template_Path));
        return {};
    }
    return Decoder.Parse_Packet(*Config.File, hex_text);
}

const DecodedPacket& DecodeSession::Parse_Into_Kept(QStringView hex_text) {
    DecodedPacket& result = Kept_Results[HexText::Type_Byte(hex_text)];
    if (!Config.File) {
        Reporter(PacketDecoder::Load_Failure_Message(Config.Load_Failure, Config.Template_Path));
        result.clear();
    } else {
        Decoder.Parse_Packet(*Config.File, hex_text, result);
    }
    return result;
}

bool DecodeSession::Decode(const QString& paste) {
    const bool decoded = Config.Output_Format == Format::Json
                             ? Decode_Json(paste)
                             : Decode_Text(paste, Scanner.Scan(paste));
    if (!decoded)
        ++Failure_Count;
    return decoded;
}

bool DecodeSession::Decode_Line(QByteArrayView line) {
    const PasteScanner::Traits traits = Scanner.Assign_Utf8(Line_Text, line);
    if (Config.Output_Format == Format::Json)
        return Decode(Line_Text);
    const bool decoded = Decode_Text(Line_Text, traits);
    if (!decoded)
        ++Failure_Count;
    return decoded;
}

// The steps of PacketConversion::Run, in its order, with the result written straight to UTF-8;
// steps that cannot change this paste are skipped. The tests compare this output with Run's,
// paste by paste.
bool DecodeSession::Decode_Text(const QString& paste, PasteScanner::Traits traits) {
    QString cleaned_copy;
    if (traits.Needs_Cleaning)
        cleaned_copy = PacketConversion::Clean_Input(paste);
    const QString& cleaned = traits.Needs_Cleaning ? cleaned_copy : paste;
    if (cleaned.isEmpty()) {
        Reporter(PacketConversion::Empty_Input_Message());
        return false;
    }
    if (traits.Needs_Cleaning)
        traits = Scanner.Scan(cleaned);
    const bool is_base64 = Is_Base64(cleaned, traits);
    if (is_base64) {
        if (!Base64Hex::Decode_Plain(cleaned, Decoded_Hex))
            Decoded_Hex = PacketConversion::Hex_From_Base64(cleaned);
        Out.Append(QByteArrayView(Hex_Line_Prefix));
        Out.Append_Utf8(Decoded_Hex);
        Out.Append(QByteArrayView(Hex_Line_Suffix));
    }
    const QString& hex_text = is_base64 ? Decoded_Hex : cleaned;
    const DecodedPacket& packet = Parse_Into_Kept(hex_text);
    if (packet.isEmpty()) {
        Reporter(PacketConversion::Not_Decoded_Message());
        return false;
    }
    Writer.Append(Out, packet);
    return true;
}

// Whether the conversion takes the cleaned paste for base64, writing its diagnostic line. The
// detection's captured texts only feed that line: when it is off and the scan has classified
// every character, the scan alone answers.
bool DecodeSession::Is_Base64(const QString& cleaned, PasteScanner::Traits traits) const {
    if (!traits.May_Be_Base64) {
        qCDebug(Conversion_Log) << QStringList() << QString(); // what no match gives
        return false;
    }
    if (traits.Exact && !Conversion_Log().isDebugEnabled())
        return true;
    const PacketConversion::Detection detection = PacketConversion::Detect_Base64(cleaned);
    qCDebug(Conversion_Log) << detection.Captured
                            << (detection.Found() ? detection.Captured.first() : QString());
    return detection.Found();
}

bool DecodeSession::Decode_Json(const QString& paste) {
    Packet_Messages.clear();
    Discard_Output discard;
    const PacketConversion::Result result = PacketConversion::Run(
        paste, Config.Device_Name, [this](const QString& hex) { return Parse(hex); }, Reporter,
        discard);
    JsonRecord::Append_Line(Out, Writer, paste, Config.Device_Name, result, Packet_Messages);
    return result.State == PacketConversion::Outcome::Decoded;
}

void DecodeSession::Packet_Done() {
    if (Out.Is_Terminal() || Messages.Is_Terminal()) {
        Out.Flush();
        Messages.Flush();
    }
}
