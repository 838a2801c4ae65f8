#include "JsonRecord.h"

#include "ResultRenderer.h"
#include "Utf8Writer.h"

namespace {

void Put_Escape(Utf8Writer& out, char16_t c) {
    static constexpr char Hex[] = "0123456789abcdef";
    switch (c) {
    case u'"':
        return out.Put(QByteArrayView("\\\"", 2));
    case u'\\':
        return out.Put(QByteArrayView("\\\\", 2));
    case u'\n':
        return out.Put(QByteArrayView("\\n", 2));
    case u'\r':
        return out.Put(QByteArrayView("\\r", 2));
    case u'\t':
        return out.Put(QByteArrayView("\\t", 2));
    default:
        const char escape[] = {'\\', 'u', '0', '0', Hex[(c >> 4) & 0xF], Hex[c & 0xF]};
        return out.Put(QByteArrayView(escape, 6));
    }
}

void Put_Bool(Utf8Writer& out, bool value) {
    out.Put(value ? QByteArrayView("true", 4) : QByteArrayView("false", 5));
}

void Put_Fields(Utf8Writer& out, const DecodedPacket& packet) {
    out.Put(QByteArrayView(",\"fields\":["));
    for (qsizetype i = 0; i < packet.size(); ++i) {
        const DecodedField& field = packet.at(i);
        std::shared_ptr<const FieldLine> made;
        const FieldLine& line = field.Line ? *field.Line : *(made = FieldLine::Of(field.Name));
        out.Put(i == 0 ? QByteArrayView("{\"name\":") : QByteArrayView(",{\"name\":"));
        out.Put(line.Json_Name);
        out.Put(QByteArrayView(",\"value\":"));
        JsonRecord::Put_String(out, field.Value);
        if (line.Is_Time) {
            out.Put(QByteArrayView(",\"time\":\""));
            ResultRenderer::Put_Time(out, field.Value); // digits and punctuation only
            out.Put('"');
        }
        out.Put('}');
    }
    out.Put(']');
}

void Put_Messages(Utf8Writer& out, const QList<UserMessage>& messages) {
    out.Put(QByteArrayView(",\"messages\":["));
    for (qsizetype i = 0; i < messages.size(); ++i) {
        out.Put(i == 0 ? QByteArrayView("{\"title\":") : QByteArrayView(",{\"title\":"));
        JsonRecord::Put_String(out, messages.at(i).Title);
        out.Put(QByteArrayView(",\"text\":"));
        JsonRecord::Put_String(out, messages.at(i).Text);
        out.Put('}');
    }
    out.Put(']');
}

} // namespace

JsonRecord::JsonRecord(const QString& device_name) : Device_Json(Quoted(device_name)) {}

void JsonRecord::Put_String(Utf8Writer& out, QStringView text) {
    out.Put('"');
    // Printable ASCII other than the quote and the backslash, nearly every text written, is
    // copied as it is, in a loop without branches; any other text is written again, piece by
    // piece.
    const char16_t* const in = text.utf16();
    out.Reserve(text.size());
    char* const plain_out = out.Cursor();
    unsigned special = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const unsigned c = in[i];
        special |= (c - 0x20 >= 0x60) | (c == u'"') | (c == u'\\');
        plain_out[i] = static_cast<char>(c);
    }
    if (special == 0) {
        out.Advance(text.size());
        return out.Put('"');
    }
    qsizetype plain_from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = in[i];
        if (c >= 0x20 && c != u'"' && c != u'\\')
            continue;
        out.Put_Text(text.sliced(plain_from, i - plain_from));
        Put_Escape(out, c);
        plain_from = i + 1;
    }
    out.Put_Text(text.sliced(plain_from));
    out.Put('"');
}

QByteArray JsonRecord::Quoted(QStringView text) {
    QByteArray quoted;
    {
        Utf8Writer out(quoted);
        Put_String(out, text);
    }
    return quoted;
}

void JsonRecord::Append(QByteArray& bytes, const QString& input,
                        const PacketConversion::Result& result) const {
    Utf8Writer out(bytes);
    out.Put(QByteArrayView("{\"input\":"));
    Put_String(out, input);
    out.Put(QByteArrayView(",\"hex\":"));
    Put_String(out, result.Hex_Text);
    out.Put(QByteArrayView(",\"base64\":"));
    Put_Bool(out, result.Is_Base64);
    out.Put(QByteArrayView(",\"device\":"));
    out.Put(Device_Json);
    out.Put(QByteArrayView(",\"ok\":"));
    Put_Bool(out, result.State == PacketConversion::Outcome::Decoded);
    Put_Fields(out, result.Packet);
    Put_Messages(out, result.Messages);
    out.Put(QByteArrayView("}\n", 2));
}
