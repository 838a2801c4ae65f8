#include "CsvTable.h"

#include "HexText.h"
#include "JsonRecord.h"
#include "ResultRenderer.h"
#include "Utf8Writer.h"

#include <QHash>
#include <QSet>

namespace {

const QStringList Fixed_Columns{"file", "line", "input", "form",    "device",
                                "ok",   "type", "error", "warnings"};

} // namespace

CsvTable::CsvTable(const QString& device_name, const DeviceTemplateFile* file)
    : File(file), Device_Name(device_name) {
    if (!File)
        return;
    for (const PacketTemplate& packet_template : File->Templates()) {
        // The n-th field of a name within one packet type takes the n-th column of that name.
        QHash<QString, int> seen;
        std::vector<int>& columns = Field_Columns.emplace_back(1, -1);
        const auto add = [&](const QString& name) {
            columns.push_back(Column_For(name, seen[name]++));
        };
        for (const ByteFieldEntry& field : packet_template.Data) {
            // A number with a unit is headed with it; its cells hold the number alone.
            add(field.Line->Unit.isEmpty()
                    ? field.Name
                    : QStringLiteral("%1 (%2)").arg(field.Name, field.Line->Unit));
            for (const BitFieldEntry& bit : field.Bitmap)
                add(field.Name + u'.' + bit.Name);
        }
    }
    QStringList wanted = Fixed_Columns;
    for (const Column& column : Columns)
        wanted.append(column.Name);
    Headers = Unique_Headers(wanted);
}

int CsvTable::Column_For(const QString& name, int repeat) {
    for (qsizetype i = 0; i < Columns.size(); ++i) {
        if (Columns.at(i).Name == name && Columns.at(i).Repeat == repeat)
            return static_cast<int>(i);
    }
    Columns.append({name, repeat});
    return static_cast<int>(Columns.size() - 1);
}

QStringList CsvTable::Unique_Headers(const QStringList& wanted) {
    QSet<QString> taken;
    QStringList headers;
    headers.reserve(wanted.size());
    for (const QString& name : wanted) {
        QString header = name;
        for (int number = 2; taken.contains(header); ++number)
            header = QStringLiteral("%1#%2").arg(name).arg(number);
        taken.insert(header);
        headers.append(header);
    }
    return headers;
}

void CsvTable::Put_Cell(Utf8Writer& out, QStringView text) {
    // Without branches, so that the look at a whole cell runs as vector code.
    bool quote = false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        quote |= (u == u',') | (u == u'"') | (u == u'\r') | (u == u'\n');
    }
    if (!quote)
        return out.Put_Text(text);
    out.Put('"');
    qsizetype from = 0;
    for (qsizetype at = text.indexOf(u'"'); at >= 0; at = text.indexOf(u'"', at + 1)) {
        out.Put_Text(text.sliced(from, at + 1 - from));
        out.Put('"');
        from = at + 1;
    }
    out.Put_Text(text.sliced(from));
    out.Put('"');
}

// Labels as they are, dates in ISO 8601 (which need no quotes), numbers without their unit,
// anything else as its text.
void CsvTable::Put_Value(Utf8Writer& out, const DecodedField& field) {
    if (field.Is_Label)
        return Put_Cell(out, field.Value);
    if (field.Line && field.Line->Is_Time)
        return ResultRenderer::Put_Iso_Time(out, field.Value);
    if (field.Is_Date)
        return ResultRenderer::Put_Iso_Time_Of(out, JsonRecord::Date_Second(field));
    if (!JsonRecord::Put_Number(out, field, true))
        Put_Cell(out, field.Value);
}

void CsvTable::Append_Header(QByteArray& bytes) const {
    Utf8Writer out(bytes);
    for (qsizetype i = 0; i < Headers.size(); ++i) {
        if (i > 0)
            out.Put(',');
        Put_Cell(out, Headers.at(i));
    }
    out.Put_Literal("\r\n");
}

void CsvTable::Append_Row(QByteArray& bytes, const QString& input,
                          const PacketConversion::Result& result, const RecordSource* source) {
    Utf8Writer out(bytes);
    if (source) {
        Put_Cell(out, source->File);
        out.Put(',');
        out.Put_Decimal(source->Line);
    } else {
        out.Put(',');
    }
    out.Put(',');
    Put_Cell(out, input);
    out.Put(',');
    const QLatin1StringView form = PasteForm::Name(result.Form);
    out.Put(QByteArrayView(form.data(), form.size()));
    out.Put(',');
    Put_Cell(out, Device_Name);
    const bool decoded = result.Is_Decoded();
    if (decoded)
        out.Put_Literal(",true,");
    else
        out.Put_Literal(",false,");
    if (decoded)
        Put_Cell(out, result.Packet.first().Value); // "Тип пакета"
    out.Put(',');
    if (result.Is_Length_Error())
        Put_Cell(out, result.Packet.first().Value);
    out.Put(',');
    if (!result.Warnings.isEmpty())
        Put_Cell(out, result.Warnings.join(QStringLiteral("; ")));

    // The decoded packet lists its template's fields in the template's order.
    Row.assign(Columns.size(), -1);
    if (decoded && File) {
        const int index = File->Select(HexText::Type_Byte(result.Hex_Text)).Index;
        const std::vector<int>& columns = Field_Columns.at(index);
        for (qsizetype i = 0; i < result.Packet.size() && i < qsizetype(columns.size()); ++i) {
            if (columns[i] >= 0)
                Row[columns[i]] = i;
        }
    }
    for (qsizetype c = 0; c < Columns.size(); ++c) {
        out.Put(',');
        if (Row[c] < 0)
            continue;
        Put_Value(out, result.Packet.at(Row[c]));
    }
    out.Put_Literal("\r\n");
}
