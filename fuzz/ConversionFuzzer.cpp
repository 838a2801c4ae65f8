// Fuzzes one whole conversion, exactly as the command-line decoder runs it with a template loaded
// once: cleaning, base64 detection and decoding, template selection, decoding and rendering.
//
// Input layout: the template document, a 0x00 byte, then the paste (UTF-8). Without a 0x00 byte
// the whole input is the template and the paste is empty. Nothing is written to disk.

#include "DeviceTemplateFile.h"
#include "FuzzRequire.h"
#include "HexText.h"
#include "PacketConversion.h"
#include "PacketDecoder.h"
#include "ResultRenderer.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

class Buffer_Output : public PacketConversion::Output {
  public:
    void Clear() override {
        Text.clear();
        ++Clears;
    }
    void Insert(const QString& text) override { Text.append(text); }

    QString Text;
    int Clears = 0;
};

bool Is_Bit_String(const QString& value) {
    if (value.size() > 8)
        return false;
    for (QChar c : value) {
        if (c != u'0' && c != u'1')
            return false;
    }
    return true;
}

bool Is_Lower_Hex(const QString& text) {
    if (text.size() % 2 != 0)
        return false;
    for (QChar c : text) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')))
            return false;
    }
    return true;
}

// The decoded fields must follow the selected template line by line: the type line, then every
// byte field, each bitmap field followed by exactly its bit fields, made of 0 and 1 only.
void Check_Fields(const DeviceTemplateFile& file, const QString& hex, const DecodedPacket& packet) {
    if (packet.size() == 1 && packet.first().Name == QLatin1String("ERROR"))
        return;
    Require(packet.first().Name == QStringLiteral("Тип пакета"), "first field is the type line");
    const DeviceTemplateFile::Selection& selection = file.Select(HexText::Type_Byte(hex));
    Require(selection.Index >= 0, "a decoded packet has a template");
    Require(packet.first().Value == selection.Type_Name, "type line names the selected type");
    const PacketTemplate& chosen = file.Templates().at(selection.Index);
    qsizetype line = 1;
    for (const ByteFieldEntry& field : chosen.Data) {
        Require(line < packet.size(), "one line per byte field");
        Require(packet.at(line).Name == field.Name, "byte field lines in template order");
        ++line;
        if (!field.Has_Bitmap)
            continue;
        Require(packet.at(line - 1).Value.isEmpty(), "a bitmap field's own line is empty");
        for (const BitFieldEntry& bit : field.Bitmap) {
            Require(line < packet.size(), "one line per bit field");
            Require(packet.at(line).Name == bit.Name, "bit field lines in bitmap order");
            Require(Is_Bit_String(packet.at(line).Value), "bit values are at most 8 of 0 and 1");
            ++line;
        }
    }
    Require(line == packet.size(), "no lines beyond the template's fields");
}

void Check_Output(const PacketConversion::Result& result, const Buffer_Output& output,
                  const QString& device) {
    const QString hex_line =
        result.Is_Base64 ? PacketConversion::To_Hex_Line(result.Hex_Text) : QString();
    if (result.Is_Base64)
        Require(Is_Lower_Hex(result.Hex_Text), "base64 becomes lower-case hex");
    switch (result.State) {
    case PacketConversion::Outcome::Empty_Input:
        Require(output.Clears == 0 && output.Text.isEmpty(), "empty input leaves the pane");
        Require(result.Packet.isEmpty(), "empty input decodes nothing");
        break;
    case PacketConversion::Outcome::Not_Decoded:
        Require(result.Packet.isEmpty(), "not decoded means an empty packet");
        Require(output.Text == hex_line, "a failed conversion prints only the hex line");
        break;
    case PacketConversion::Outcome::Decoded:
        Require(!result.Packet.isEmpty(), "decoded means fields");
        Require(output.Text == hex_line + ResultRenderer::Render_Result(device, result.Packet),
                "the pane holds the hex line and the rendered result");
        Require(output.Text.endsWith(QLatin1String("\n\n")), "the result ends in the trailer");
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The conversion's diagnostic line would flood the fuzzer's output.
    QLoggingCategory::setFilterRules(QStringLiteral("kivo.*=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype separator = input.indexOf('\0');
    const QByteArray document = separator < 0 ? input : input.left(separator);
    const QString paste =
        separator < 0 ? QString() : QString::fromUtf8(input.sliced(separator + 1));

    const DeviceTemplateFile file = DeviceTemplateFile::From_Json(QByteArray(document));
    QList<UserMessage> messages;
    const MessageReporter reporter = [&](const UserMessage& message) { messages.append(message); };
    const QString device = QStringLiteral("x");
    Buffer_Output output;
    const PacketConversion::Result result = PacketConversion::Run(
        paste, device,
        [&](const QString& hex) {
            return PacketDecoder(QStringLiteral("x.json"), reporter).Parse_Packet(file, hex);
        },
        reporter, output);

    Check_Output(result, output, device);
    if (result.State == PacketConversion::Outcome::Decoded)
        Check_Fields(file, result.Hex_Text, result.Packet);
    else if (result.State == PacketConversion::Outcome::Not_Decoded)
        Require(!messages.isEmpty() && messages.last() == PacketConversion::Not_Decoded_Message(),
                "a failed conversion ends in its message");
    else
        Require(messages == QList{PacketConversion::Empty_Input_Message()},
                "an empty paste gets exactly its message");
    return 0;
}
