// Fuzzes whole conversions exactly as kivo-decode runs them, with a template loaded once and one
// conversion for many pastes: cleaning, base64, template selection, decoding, the printed text
// and the JSON record. The text is checked against the display rules stated plainly here, the
// record by reading it back as JSON.
//
// Input layout: the template document, then each paste (UTF-8) after a 0x00 byte; pastes after
// the 16th are ignored, so that one input stays quick. Without a 0x00 byte the whole input is the
// template and there is no paste. Nothing is written to disk.

#include "DeviceTemplateFile.h"
#include "FuzzRequire.h"
#include "HexText.h"
#include "JsonRecord.h"
#include "PacketConversion.h"
#include "PacketDecoder.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QString>
#include <QTimeZone>

#include <algorithm>
#include <cstdint>

namespace {

class Buffer_Output : public PacketConversion::Output {
  public:
    void Clear() override { ++Clears; }
    void Show() override {}
    int Clears = 0;
};

bool Is_Bit_String(const QString& value) {
    return value.size() <= 8 &&
           std::all_of(value.begin(), value.end(), [](QChar c) { return c == u'0' || c == u'1'; });
}

bool Is_Lower_Hex(const QString& text) {
    return text.size() % 2 == 0 && std::all_of(text.begin(), text.end(), [](QChar c) {
               return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
           });
}

// The printed text, by the rules as the user reads them.
QString Expected_Text(const PacketConversion::Result& result) {
    static const QRegularExpression time_name(u"(Время)|([U,u]nixtime)|(UTC)|(utc)"_qs);
    QString text = result.Is_Base64 ? u"to HEX - %1\n\n"_qs.arg(result.Hex_Text) : QString();
    if (result.State != PacketConversion::Outcome::Decoded)
        return text;
    text += u"\t\t\tx\n"_qs;
    for (const DecodedField& field : result.Packet) {
        QString value = field.Value;
        if (field.Name.contains(u"bit"_qs)) {
            text += u'\t' + QString(field.Name).remove(u"bit"_qs);
        } else {
            text += field.Name;
            if (field.Name.contains(time_name) && !value.isEmpty())
                value = QDateTime::fromSecsSinceEpoch(value.toInt(), QTimeZone(0))
                            .toString(u"dd.MM.yyyy - hh:mm:ss'(UTC+0)'"_qs);
        }
        text += u": --- "_qs + value + u'\n';
    }
    return text + u"\n\n"_qs;
}

// The decoded fields follow the selected template line by line: the type line, then every byte
// field, each bitmap field followed by exactly its bit fields, made of 0 and 1 only.
void Check_Fields(const DeviceTemplateFile& file, const QString& hex, const DecodedPacket& packet) {
    if (packet.size() == 1 && packet.first().Is_Length_Error)
        return;
    Require(packet.first().Name == QStringLiteral("Тип пакета"), "first field is the type line");
    const DeviceTemplateFile::Selection& selection = file.Select(HexText::Type_Byte(hex));
    Require(selection.Index >= 0, "a decoded packet has a template");
    Require(packet.first().Value == selection.Type_Name, "type line names the selected type");
    const PacketTemplate& chosen = file.Templates().at(selection.Index);
    Require(!chosen.Is_Empty, "an empty template decodes nothing");
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
            Require(packet.at(line).Name == bit.Field_Name, "bit field lines in bitmap order");
            Require(Is_Bit_String(packet.at(line).Value), "bit values are at most 8 of 0 and 1");
            ++line;
        }
    }
    Require(line == packet.size(), "no lines beyond the template's fields");
}

// Text as it reads back from UTF-8 (a lone surrogate does not survive the encoding).
QString Through_Utf8(const QString& text) {
    return QString::fromUtf8(text.toUtf8());
}

void Check_Record(const QByteArray& line, const QString& paste,
                  const PacketConversion::Result& result) {
    Require(line.endsWith('\n') && line.count('\n') == 1, "a record is one line");
    const QJsonObject record = QJsonDocument::fromJson(line).object();
    Require(record.value(u"input"_qs).toString() == Through_Utf8(paste), "record input");
    Require(record.value(u"hex"_qs).toString() == result.Hex_Text, "record hex");
    Require(record.value(u"ok"_qs).toBool() == result.Is_Decoded(), "record ok");
    Require(record.value(u"form"_qs).toString() == PasteForm::Name(result.Form), "record form");
    Require(record.value(u"error"_qs).isNull() != result.Is_Length_Error(), "record error");
    // The fields in order, each byte field's bit fields nested in it.
    qsizetype next = 0;
    const auto check_field = [&](const QJsonObject& field, const QString& name) {
        Require(next < result.Packet.size(), "no more record fields than fields");
        const DecodedField& decoded = result.Packet.at(next++);
        Require(Through_Utf8(name) == Through_Utf8(decoded.Name) &&
                    field.value(u"value"_qs).toString() == Through_Utf8(decoded.Value),
                "record fields hold the names and values");
        const QJsonValue raw = field.value(u"raw"_qs);
        Require(!raw.isString() || raw.toString() == Through_Utf8(result.Hex_Text.mid(
                                                         2 * decoded.Offset, 2 * decoded.Size)),
                "raw holds the field's bytes");
    };
    for (const QJsonValue& value : record.value(u"fields"_qs).toArray()) {
        const QJsonObject field = value.toObject();
        check_field(field, field.value(u"name"_qs).toString());
        for (const QJsonValue& bit : field.value(u"bits"_qs).toArray())
            check_field(bit.toObject(), u"bit"_qs + bit.toObject().value(u"name"_qs).toString());
    }
    Require(next == (result.Is_Length_Error() ? 0 : result.Packet.size()),
            "one record field per field");
    Require(record.value(u"messages"_qs).toArray().size() == result.Messages.size(),
            "record messages");
}

void Check(const DeviceTemplateFile& file, const PacketConversion::Result& result,
           const Buffer_Output& output) {
    if (result.Is_Base64)
        Require(Is_Lower_Hex(result.Hex_Text), "base64 becomes lower-case hex");
    if (result.Form == PasteForm::Kind::Prefixed_Hex || result.Form == PasteForm::Kind::Byte_Groups)
        Require(std::all_of(result.Hex_Text.begin(), result.Hex_Text.end(),
                            [](QChar c) { return HexText::Digit_Value(c) >= 0; }),
                "a spelled paste becomes hex digits");
    Require(output.Text == Expected_Text(result).toUtf8(), "the text as the rules print it");
    switch (result.State) {
    case PacketConversion::Outcome::Empty_Input:
        Require(output.Clears == 0 && result.Packet.isEmpty(), "empty input leaves the pane");
        Require(result.Messages == QList{PacketConversion::Empty_Input_Message()},
                "an empty paste gets exactly its message");
        break;
    case PacketConversion::Outcome::Not_Decoded:
        Require(result.Packet.isEmpty(), "not decoded means an empty packet");
        Require(result.Messages.last() == PacketConversion::Not_Decoded_Message(),
                "a failed conversion ends in its message");
        break;
    case PacketConversion::Outcome::Decoded:
        Require(!result.Packet.isEmpty() && result.Messages.isEmpty(), "decoded means fields");
        Check_Fields(file, result.Hex_Text, result.Packet);
        break;
    }
    Require(output.Clears == (result.State != PacketConversion::Outcome::Empty_Input),
            "the pane is cleared once");
}

// Converts pastes one after the other, as kivo-decode does.
class Converter {
  public:
    explicit Converter(const DeviceTemplateFile& file)
        : File(file), Decoder(u"x.json"_qs, Conversion.Reporter()) {}

    const PacketConversion::Result& Run(const QString& paste, PacketConversion::Output* output) {
        return Conversion.Run(
            paste,
            [this](const QString& hex, DecodedPacket& packet) {
                Decoder.Parse_Packet(File, hex, packet);
            },
            output);
    }

  private:
    const DeviceTemplateFile& File;
    PacketConversion Conversion{u"x"_qs, [](const UserMessage&) {}};
    PacketDecoder Decoder;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The conversion's diagnostic line would flood the fuzzer's output.
    QLoggingCategory::setFilterRules(QStringLiteral("kivo.*=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QList<QByteArray> parts = input.split('\0');
    const DeviceTemplateFile file = DeviceTemplateFile::From_Json(parts.takeFirst());
    parts = parts.first(std::min<qsizetype>(parts.size(), 16));

    Converter converter(file);
    JsonRecord json(u"x"_qs);
    for (const QByteArray& part : parts) {
        const QString paste = QString::fromUtf8(part);
        Buffer_Output output;
        const PacketConversion::Result& result = converter.Run(paste, &output);
        Check(file, result, output);
        QByteArray record;
        json.Append(record, paste, result);
        Check_Record(record, paste, result);
        // The conversion reuses what earlier pastes left; a fresh one decodes the same.
        Require(Converter(file).Run(paste, nullptr).Packet == result.Packet,
                "a conversion reused decodes as a fresh one");
    }
    return 0;
}
