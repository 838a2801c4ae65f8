#include "JsonRecord.h"

#include "HexText.h"
#include "ResultRenderer.h"
#include "Utf8Writer.h"

#include <charconv>
#include <cmath>

namespace {

void Put_Escape(Utf8Writer& out, char16_t c) {
    switch (c) {
    case u'"':
        return out.Put_Literal("\\\"");
    case u'\\':
        return out.Put_Literal("\\\\");
    case u'\n':
        return out.Put_Literal("\\n");
    case u'\r':
        return out.Put_Literal("\\r");
    case u'\t':
        return out.Put_Literal("\\t");
    default:
        char escape[] = {'\\', 'u', '0', '0', 0, 0};
        HexText::Put_Lower_Hex(escape + 4, c);
        return out.Put(QByteArrayView(escape, 6));
    }
}

// Whether a character of a word of Utf8Writer::Narrow_Ascii is below `limit` (at most 0x8000);
// nonzero when one is. A borrow from the character below can set a bit of the ones above it,
// but only once some character is below the limit.
quint64 Has_Below(quint64 word, unsigned limit) {
    return (word - limit * Utf8Writer::Each_Character) & ~word &
           (0x8000 * Utf8Writer::Each_Character);
}

void Put_Bool(Utf8Writer& out, bool value) {
    out.Put(value ? QByteArrayView("true", 4) : QByteArrayView("false", 5));
}

// Hex text as a JSON string: copied as it is when it holds hex digits only (nearly always),
// otherwise escaped, since a hex paste may hold any character that is not a base64 marker.
void Put_Hex(Utf8Writer& out, QStringView hex, bool digits_only) {
    if (!digits_only) {
        JsonRecord::Put_String(out, hex);
        return;
    }
    out.Reserve(hex.size() + 2);
    char* at = out.Cursor();
    *at++ = '"';
    for (const QChar c : hex)
        *at++ = static_cast<char>(c.unicode());
    *at = '"';
    out.Advance(hex.size() + 2);
}

// A hex value text, "0x..." or "-0x...", as a decimal number.
void Put_Hex_Number(Utf8Writer& out, QStringView value) {
    const bool negative = value.startsWith(u'-');
    const QStringView digits = value.sliced(negative ? 3 : 2);
    if (negative)
        out.Put('-');
    out.Put_Text(HexText::Unsigned_Decimal(digits));
}

const FieldLine& Line_Of(const DecodedField& field, std::shared_ptr<const FieldLine>& made) {
    // A field made by hand has no line yet: it is worked out from its name here.
    return field.Line ? *field.Line : *(made = FieldLine::Of(field.Name));
}

// A field's object up to its place: name, value, number, unit and label, then the key that follows
// them. `plain_next` is that key after a null unit and label, one piece for nearly every field.
template <qsizetype Plain_Size, qsizetype Size>
void Put_Value(Utf8Writer& out, const DecodedField& field, const FieldLine& line,
               const char (&plain_next)[Plain_Size], const char (&next)[Size]) {
    out.Put(line.Json_Opening);
    JsonRecord::Put_String(out, field.Value);
    out.Put_Literal(",\"number\":");
    if (!JsonRecord::Put_Number(out, field))
        out.Put_Literal("null");
    if (!field.Shows_Unit && !field.Is_Label)
        return out.Put_Literal(plain_next);
    out.Put_Literal(",\"unit\":");
    if (field.Shows_Unit)
        out.Put(line.Unit_Json);
    else
        out.Put_Literal("null");
    out.Put_Literal(",\"label\":");
    if (field.Is_Label)
        JsonRecord::Put_String(out, field.Value);
    else
        out.Put_Literal("null");
    out.Put_Literal(next);
}

// The bit fields that follow a byte field, as its "bits"; returns the index after them.
qsizetype Put_Bits(Utf8Writer& out, const DecodedPacket& packet, qsizetype first) {
    qsizetype i = first;
    for (; i < packet.size(); ++i) {
        const DecodedField& bit = packet.at(i);
        if (!bit.Line || !bit.Line->Is_Bitmap_Entry)
            break;
        if (i == first)
            out.Put_Literal(",\"bits\":[");
        else
            out.Put(',');
        Put_Value(out, bit, *bit.Line, ",\"unit\":null,\"label\":null,\"bit\":", ",\"bit\":");
        if (bit.Is_Bit_Field()) {
            out.Put_Decimal(bit.Bit);
            out.Put_Literal(",\"size\":");
            out.Put_Decimal(bit.Bit_Count);
            out.Put('}');
        } else {
            out.Put_Literal("null,\"size\":null}");
        }
    }
    if (i > first)
        out.Put(']');
    return i;
}

// `hex_at` is where the record's "hex" holds the hex text as it is (digits only): a field's "raw"
// bytes are copied from there.
void Put_Fields(Utf8Writer& out, const DecodedPacket& packet, QStringView hex, bool hex_is_digits,
                qsizetype hex_at) {
    out.Put_Literal(",\"fields\":[");
    for (qsizetype i = 0; i < packet.size();) {
        const DecodedField& field = packet.at(i);
        std::shared_ptr<const FieldLine> made;
        const FieldLine& line = Line_Of(field, made);
        if (i > 0)
            out.Put(',');
        Put_Value(out, field, line, ",\"unit\":null,\"label\":null,\"offset\":", ",\"offset\":");
        if (field.Is_In_Packet()) {
            out.Put_Decimal(field.Offset);
            out.Put_Literal(",\"size\":");
            out.Put_Decimal(field.Size);
            out.Put_Literal(",\"raw\":");
            const qsizetype first = 2 * qsizetype(field.Offset), count = 2 * qsizetype(field.Size);
            if (hex_is_digits) {
                out.Put('"');
                out.Put_Again(hex_at + first, count);
                out.Put('"');
            } else {
                JsonRecord::Put_String(out, hex.sliced(first, count));
            }
        } else {
            out.Put_Literal("null,\"size\":null,\"raw\":null");
        }
        if (line.Is_Time) {
            // Digits and punctuation only.
            out.Put_Literal(",\"time\":\"");
            ResultRenderer::Put_Time(out, field.Value);
            out.Put_Literal("\",\"utc\":\"");
            ResultRenderer::Put_Iso_Time(out, field.Value);
            out.Put('"');
        } else if (field.Is_Date) {
            out.Put_Literal(",\"time\":");
            JsonRecord::Put_String(out, field.Value);
            out.Put_Literal(",\"utc\":\"");
            ResultRenderer::Put_Iso_Time_Of(out, JsonRecord::Date_Second(field));
            out.Put('"');
        }
        i = Put_Bits(out, packet, i + 1);
        out.Put('}');
    }
}

void Put_Messages(Utf8Writer& out, const QList<UserMessage>& messages) {
    out.Put_Literal(",\"messages\":[");
    for (qsizetype i = 0; i < messages.size(); ++i) {
        out.Put(i == 0 ? QByteArrayView("{\"title\":") : QByteArrayView(",{\"title\":"));
        JsonRecord::Put_String(out, messages.at(i).Title);
        out.Put_Literal(",\"text\":");
        JsonRecord::Put_String(out, messages.at(i).Text);
        out.Put('}');
    }
    out.Put(']');
}

} // namespace

JsonRecord::JsonRecord(const QString& device_name) {
    for (int kind = 0; kind < PasteForm::Kind_Count; ++kind) {
        const auto form = static_cast<PasteForm::Kind>(kind);
        Form_Pieces[kind] =
            ",\"base64\":" + QByteArray(form == PasteForm::Kind::Base64 ? "true" : "false") +
            ",\"form\":\"" + QByteArray(PasteForm::Name(form).data()) +
            "\",\"device\":" + Quoted(device_name) + ",\"ok\":";
    }
}

bool JsonRecord::Put_Number(Utf8Writer& out, const DecodedField& field, bool non_finite) {
    const FieldNumber& number = field.Number;
    // The kinds are tested one by one, the most common first: a jump through a table on the kind,
    // which changes from field to field, is mispredicted more often.
    if (number.Type == FieldNumber::Kind::None)
        return false;
    if (number.Type == FieldNumber::Kind::Prefix) {
        out.Put_Text(number.Length < 0 ? QStringView(field.Value)
                                       : QStringView(field.Value).first(number.Length));
        return true;
    }
    if (number.Type == FieldNumber::Kind::Integer) {
        out.Put_Decimal(number.Integer);
        return true;
    }
    if (number.Type == FieldNumber::Kind::Text) {
        out.Put_Text(number.Text);
        return true;
    }
    if (number.Type == FieldNumber::Kind::Hex) {
        Put_Hex_Number(out, field.Value);
        return true;
    }
    // Real.
    if (!std::isfinite(number.Real)) {
        if (!non_finite)
            return false;
        out.Put_Text(std::isnan(number.Real) ? u"nan" : number.Real < 0 ? u"-inf" : u"inf");
        return true;
    }
    char text[32]; // the longest shortest form of a double is 24 characters
    const auto [end, error] = std::to_chars(text, text + sizeof text, number.Real);
    out.Put(QByteArrayView(text, error == std::errc() ? std::min<qsizetype>(end - text, 32) : 0));
    return true;
}

qint64 JsonRecord::Date_Second(const DecodedField& field) {
    return field.Number.Type == FieldNumber::Kind::Real
               ? static_cast<qint64>(std::floor(field.Number.Real))
               : field.Number.Integer;
}

void JsonRecord::Put_String(Utf8Writer& out, QStringView text) {
    // ASCII other than control characters, the quote and the backslash, nearly every text
    // written, is copied as it is, looked at while it is copied; text beyond ASCII with nothing
    // to escape (names and beacon lines) is encoded whole, and text that needs escapes is written
    // piece by piece.
    const char16_t* const in = text.utf16();
    out.Reserve(text.size() + 2);
    char* const quote = out.Cursor();
    *quote = '"';
    quint64 escapes = 0;
    const bool ascii = Utf8Writer::Narrow_Ascii(quote + 1, in, text.size(), [&](quint64 word) {
        escapes |= Has_Below(word, 0x20) |
                   Has_Below(word ^ (u'"' * Utf8Writer::Each_Character), 1) |
                   Has_Below(word ^ (u'\\' * Utf8Writer::Each_Character), 1);
    });
    if (ascii && escapes == 0) {
        quote[text.size() + 1] = '"';
        out.Advance(text.size() + 2);
        return;
    }
    out.Advance(1);
    if (escapes == 0) {
        out.Put_Text(text);
        out.Put('"');
        return;
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

QByteArray JsonRecord::Of(const QString& device_name, const QString& input,
                          const PacketConversion::Result& result) {
    QByteArray record;
    JsonRecord(device_name).Append(record, input, result);
    record.chop(1);
    return record;
}

void JsonRecord::Append(QByteArray& bytes, const QString& input,
                        const PacketConversion::Result& result, const RecordSource* source) {
    if (source && (Source_Opening.isEmpty() || source->File != Source_File)) {
        Source_File = source->File;
        Source_Opening = "{\"file\":" + Quoted(Source_File) + ",\"line\":";
    }
    Utf8Writer out(bytes);
    out.Put_Literal("{\"source\":");
    if (source) {
        out.Put(Source_Opening);
        out.Put_Decimal(source->Line);
        out.Put('}');
    } else {
        out.Put_Literal("null");
    }
    out.Put_Literal(",\"input\":");
    // A plain hex paste is its own hex text (nothing was removed from it): digits only.
    const bool plain_hex = result.Form == PasteForm::Kind::Hex && result.Hex_Is_Digits &&
                           result.Hex_Text.size() == input.size();
    Put_Hex(out, input, plain_hex);
    out.Put_Literal(",\"hex\":");
    const qsizetype hex_at = out.Position() + 1;
    Put_Hex(out, result.Hex_Text, result.Hex_Is_Digits);
    out.Put(Form_Pieces[static_cast<int>(result.Form)]);
    Put_Bool(out, result.Is_Decoded());
    out.Put_Literal(",\"type\":");
    if (result.Hex_Text.size() >= 2) {
        out.Put_Literal("{\"code\":");
        out.Put_Decimal(HexText::Type_Byte(result.Hex_Text));
        out.Put_Literal(",\"name\":");
        if (result.Is_Decoded())
            Put_String(out, result.Packet.first().Value); // "Тип пакета"
        else
            out.Put_Literal("null");
        out.Put('}');
    } else {
        out.Put_Literal("null");
    }
    out.Put_Literal(",\"error\":");
    if (result.Is_Length_Error())
        Put_String(out, result.Packet.first().Value);
    else
        out.Put_Literal("null");
    if (result.Is_Length_Error())
        out.Put_Literal(",\"fields\":[");
    else
        Put_Fields(out, result.Packet, result.Hex_Text, result.Hex_Is_Digits, hex_at);
    if (result.Messages.isEmpty() && result.Warnings.isEmpty())
        return out.Put_Literal("],\"messages\":[],\"warnings\":[]}\n"); // nearly every record
    out.Put(']');
    Put_Messages(out, result.Messages);
    out.Put_Literal(",\"warnings\":[");
    for (qsizetype i = 0; i < result.Warnings.size(); ++i) {
        if (i > 0)
            out.Put(',');
        Put_String(out, result.Warnings.at(i));
    }
    out.Put_Literal("]}\n");
}
