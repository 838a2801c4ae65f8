#include "JsonRecord.h"

#include "OutputBuffer.h"
#include "ResultRenderer.h"
#include "Utf8ResultWriter.h"

namespace JsonRecord {

namespace {

void Append_Escape(OutputBuffer& out, char16_t c) {
    static constexpr char Hex[] = "0123456789abcdef";
    switch (c) {
    case u'"':
        return out.Append(QByteArrayView("\\\"", 2));
    case u'\\':
        return out.Append(QByteArrayView("\\\\", 2));
    case u'\n':
        return out.Append(QByteArrayView("\\n", 2));
    case u'\r':
        return out.Append(QByteArrayView("\\r", 2));
    case u'\t':
        return out.Append(QByteArrayView("\\t", 2));
    default:
        const char escape[] = {'\\', 'u', '0', '0', Hex[(c >> 4) & 0xF], Hex[c & 0xF]};
        return out.Append(QByteArrayView(escape, 6));
    }
}

void Append_Key(OutputBuffer& out, const char* key) {
    out.Append('"');
    out.Append(QByteArrayView(key));
    out.Append(QByteArrayView("\":", 2));
}

void Append_Bool(OutputBuffer& out, bool value) {
    out.Append(value ? QByteArrayView("true", 4) : QByteArrayView("false", 5));
}

void Append_Fields(OutputBuffer& out, Utf8ResultWriter& names, const DecodedPacket& packet) {
    out.Append('[');
    for (qsizetype i = 0; i < packet.size(); ++i) {
        const DecodedField& field = packet.at(i);
        out.Append(QByteArrayView(i == 0 ? "{" : ",{"));
        Append_Key(out, "name");
        Append_String(out, field.Name);
        out.Append(',');
        Append_Key(out, "value");
        Append_String(out, field.Value);
        if (names.Shows_As_Time(field.Name)) {
            out.Append(',');
            Append_Key(out, "time");
            Append_String(out, ResultRenderer::Render_Time(field.Value));
        }
        out.Append('}');
    }
    out.Append(']');
}

void Append_Messages(OutputBuffer& out, const QList<UserMessage>& messages) {
    out.Append('[');
    for (qsizetype i = 0; i < messages.size(); ++i) {
        out.Append(QByteArrayView(i == 0 ? "{" : ",{"));
        Append_Key(out, "title");
        Append_String(out, messages.at(i).Title);
        out.Append(',');
        Append_Key(out, "text");
        Append_String(out, messages.at(i).Text);
        out.Append('}');
    }
    out.Append(']');
}

} // namespace

void Append_String(OutputBuffer& out, QStringView text) {
    out.Append('"');
    qsizetype plain_from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x20 && c != u'"' && c != u'\\')
            continue;
        out.Append_Utf8(text.sliced(plain_from, i - plain_from));
        Append_Escape(out, c);
        plain_from = i + 1;
    }
    out.Append_Utf8(text.sliced(plain_from));
    out.Append('"');
}

void Append_Line(OutputBuffer& out, Utf8ResultWriter& names, const QString& input,
                 const QString& device_name, const PacketConversion::Result& result,
                 const QList<UserMessage>& messages) {
    out.Append('{');
    Append_Key(out, "input");
    Append_String(out, input);
    out.Append(',');
    Append_Key(out, "hex");
    Append_String(out, result.Hex_Text);
    out.Append(',');
    Append_Key(out, "base64");
    Append_Bool(out, result.Is_Base64);
    out.Append(',');
    Append_Key(out, "device");
    Append_String(out, device_name);
    out.Append(',');
    Append_Key(out, "ok");
    Append_Bool(out, result.State == PacketConversion::Outcome::Decoded);
    out.Append(',');
    Append_Key(out, "fields");
    Append_Fields(out, names, result.Packet);
    out.Append(',');
    Append_Key(out, "messages");
    Append_Messages(out, messages);
    out.Append(QByteArrayView("}\n", 2));
}

} // namespace JsonRecord
