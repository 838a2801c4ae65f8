#include "TemplateLinter.h"

#include "DeviceTemplateFile.h"
#include "TemplateJson.h"
#include "TemplateKeys.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>
#include <optional>
#include <set>

namespace {

using Finding = TemplateLinter::Finding;
namespace Keys = TemplateKeys;

Finding Field_Finding(int index, const QString& field_name, const QString& text) {
    return {index, true, field_name, text};
}

Finding Template_Finding(int index, const QString& text) {
    return {index, false, QString(), text};
}

// The bytes [Begin, End) a field occupies.
struct Byte_Range {
    qint64 Begin = 0;
    qint64 End = 0;
    QString Name;
};

QString Bytes_Text(qint64 begin, qint64 end) {
    return QStringLiteral("bytes %1..%2").arg(begin).arg(end - 1);
}

void Lint_Bitmap(int index, const ByteFieldEntry& field, QList<Finding>& findings) {
    for (const BitFieldEntry& bit : field.Bitmap) {
        const QString& bit_name = bit.Name;
        const qint64 first = bit.Num_Bit;
        const qint64 end = first + bit.Size;
        if (bit.Size <= 0) {
            findings.append(
                Field_Finding(index, field.Name,
                              QStringLiteral("bit field \"%1\" has size %2 and shows no bits")
                                  .arg(bit_name, QString::number(bit.Size))));
        } else if (first < 0 || end > 8) {
            findings.append(Field_Finding(
                index, field.Name,
                QStringLiteral("bit field \"%1\" covers bits %2..%3, outside 0..7")
                    .arg(bit_name, QString::number(first), QString::number(end - 1))));
        }
    }
}

QString Rule_Text(FieldMeaning::Rule rule) {
    using Rule = FieldMeaning::Rule;
    switch (rule) {
    case Rule::Bitmap:
        return QStringLiteral("the field has a bitmap, whose bits make its value");
    case Rule::Tail:
        return QStringLiteral("a variable tail shows its bytes as typed (only format hex and "
                              "ascii apply to it)");
    case Rule::Hex_As_Typed:
        return QStringLiteral("a 6-byte field without format shows its bytes as typed");
    case Rule::Beacon:
        return QStringLiteral("a 20-byte field without format is a beacon payload");
    case Rule::Hex:
    case Rule::Tail_Hex:
        return QStringLiteral("the value is hex");
    case Rule::Ascii:
    case Rule::Tail_Ascii:
        return QStringLiteral("the value is ascii text");
    case Rule::Float:
        return QStringLiteral("the value is a float");
    case Rule::Time:
        return QStringLiteral("the value is a date");
    default:
        return QStringLiteral("the value is a decimal number");
    }
}

// Meaning keys that read as absent, keys that take no part under the field's rule, and formats
// that cannot read the field's size.
void Lint_Meaning(int index, const ByteFieldEntry& field, QList<Finding>& findings) {
    using Rule = FieldMeaning::Rule;
    for (const QString& problem : field.Meaning.Problems)
        findings.append(Field_Finding(index, field.Name, problem));
    const QStringList unused = field.Meaning.Unused_Keys(field.Rule);
    if (!unused.isEmpty())
        findings.append(
            Field_Finding(index, field.Name,
                          QStringLiteral("\"%1\" take(s) no part: %2")
                              .arg(unused.join(QStringLiteral("\", \"")), Rule_Text(field.Rule))));
    const QString format = FieldMeaning::Format_Name(field.Meaning.Kind);
    if (field.Rule == Rule::Float && field.Size != 4 && field.Size != 8 && field.Size > 0)
        findings.append(Field_Finding(
            index, field.Name,
            QStringLiteral("format \"float\" reads 4 or 8 bytes, not %1: the value is empty")
                .arg(field.Size)));
    if ((field.Rule == Rule::Hex || field.Rule == Rule::Float || field.Rule == Rule::Ascii ||
         field.Rule == Rule::Time) &&
        field.Size <= 0)
        findings.append(Field_Finding(index, field.Name,
                                      QStringLiteral("format \"%1\" on size %2: the value is empty")
                                          .arg(format, QString::number(field.Size))));
    for (const BitFieldEntry& bit : field.Bitmap)
        for (const QString& problem : bit.Meaning.Problems)
            findings.append(Field_Finding(
                index, field.Name, QStringLiteral("bit field \"%1\": %2").arg(bit.Name, problem)));
}

// The field's bytes, or nothing for a field that occupies none; reports fields outside the packet.
std::optional<Byte_Range> Lint_Field(int index, const PacketTemplate& packet_template,
                                     const ByteFieldEntry& field, QList<Finding>& findings) {
    if (field.Line->Is_Bit)
        findings.append(
            Field_Finding(index, field.Name,
                          QStringLiteral("the name contains \"bit\": it prints as an indented bit "
                                         "field with \"bit\" removed")));
    if (field.Has_Bitmap)
        Lint_Bitmap(index, field, findings);
    Lint_Meaning(index, field, findings);
    const qint64 total = packet_template.Total_Size;
    if (field.Is_Tail()) {
        if (!packet_template.Has_Min_Size) {
            findings.append(Field_Finding(
                index, field.Name, QStringLiteral("size -1 in a template without min_size")));
            return std::nullopt;
        }
        const qint64 begin = packet_template.Tail_Start();
        if (begin < total)
            return Byte_Range{begin, total, field.Name};
        if (total > 0)
            findings.append(Field_Finding(
                index, field.Name,
                QStringLiteral("the variable tail starts at byte %1 (min_size %2), beyond "
                               "total_size %3")
                    .arg(QString::number(begin), QString::number(packet_template.Min_Size),
                         QString::number(total))));
        return std::nullopt;
    }
    if (field.Size <= 0)
        return std::nullopt;
    const qint64 begin = field.Num_Byte;
    const qint64 end = begin + field.Size;
    if (begin < 0) {
        findings.append(Field_Finding(
            index, field.Name, QStringLiteral("starts at byte %1, before the packet").arg(begin)));
        return std::nullopt;
    }
    if (end > total)
        findings.append(Field_Finding(index, field.Name,
                                      QStringLiteral("%1 reach beyond total_size %2")
                                          .arg(Bytes_Text(begin, end))
                                          .arg(total)));
    return Byte_Range{begin, end, field.Name};
}

// Sorted by their first byte, each range is compared with the one reaching furthest before it.
void Lint_Overlaps(int index, QList<Byte_Range> ranges, QList<Finding>& findings) {
    std::stable_sort(ranges.begin(), ranges.end(),
                     [](const Byte_Range& a, const Byte_Range& b) { return a.Begin < b.Begin; });
    const Byte_Range* furthest = nullptr;
    for (const Byte_Range& range : ranges) {
        if (furthest && range.Begin < furthest->End) {
            findings.append(
                Field_Finding(index, range.Name,
                              QStringLiteral("%1 overlap field \"%2\" (%3)")
                                  .arg(Bytes_Text(range.Begin, range.End), furthest->Name,
                                       Bytes_Text(furthest->Begin, furthest->End))));
        }
        if (!furthest || range.End > furthest->End)
            furthest = &range;
    }
}

// A packet is at least its type byte, and no packet is longer than total_size.
void Lint_Total_Size(int index, const PacketTemplate& packet_template, QList<Finding>& findings) {
    if (packet_template.Total_Size <= 0 && !packet_template.Is_Empty)
        findings.append(Template_Finding(
            index, QStringLiteral("total_size %1: no packet fits, the template never decodes")
                       .arg(packet_template.Total_Size)));
}

// Byte 0 is the type byte; a field over it reads the type code, which may be meant.
void Lint_Type_Byte(int index, const QList<Byte_Range>& ranges, QList<Finding>& findings) {
    for (const Byte_Range& range : ranges) {
        if (range.Begin == 0) {
            Finding finding = Field_Finding(
                index, range.Name,
                QStringLiteral("%1 include byte 0, the type byte").arg(Bytes_Text(0, range.End)));
            finding.Is_Warning = true;
            findings.append(finding);
        }
    }
}

void Lint_Selection(const DeviceTemplateFile& file, QList<Finding>& findings) {
    for (int index = 0; index < file.Templates().size(); ++index) {
        const QList<int> types = DeviceTemplateFile::Accepted_Types(file.Templates().at(index));
        if (types.isEmpty()) {
            findings.append(Template_Finding(
                index, QStringLiteral("accepts no type byte 0..255: never selected")));
            continue;
        }
        std::set<int> winners;
        for (const int type : types)
            winners.insert(file.Select(type).Index);
        if (winners.count(index)) {
            if (file.Templates().at(index).Is_Empty)
                findings.append(Template_Finding(
                    index, QStringLiteral("empty or not an object: the packets it selects (type "
                                          "0) are reported as having no template")));
            continue;
        }
        QStringList names;
        for (int winner : winners)
            names.append(QString::number(winner));
        findings.append(Template_Finding(
            index, QStringLiteral("never selected: shadowed by template %1 (a later "
                                  "template that accepts the same types wins)")
                       .arg(names.join(QStringLiteral(", ")))));
    }
}

// Integer keys whose values the reader takes for 0 although they show something else ("0x15",
// "2", 1.5, 2147483648, 1e308): each one a finding that names where it is and what it shows.
void Lint_Numbers(int index, const QJsonObject& json, QList<Finding>& findings) {
    const auto check = [&](const QJsonObject& object, const QStringList& keys, const QString* field,
                           const QString& where) {
        for (const QString& key : keys) {
            const QJsonValue value = object.value(key);
            if (!TemplateJson::Reads_Otherwise(value))
                continue;
            QString shown =
                QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact));
            const QString text = QStringLiteral("%1\"%2\": %3 reads as 0 (not a whole number "
                                                "within -2147483648..2147483647)")
                                     .arg(where, key, shown.sliced(1, shown.size() - 2));
            findings.append(field ? Field_Finding(index, *field, text)
                                  : Template_Finding(index, text));
        }
    };
    const QJsonValue type = json.value(Keys::Packet_Type);
    check(json, {Keys::Total_Size, Keys::Min_Size}, nullptr, QString());
    if (!type.isArray())
        check(json, {Keys::Packet_Type}, nullptr, QString());
    const QJsonArray entries = type.toArray();
    for (qsizetype i = 0; i < entries.size(); ++i)
        check(entries[i].toObject(), {Keys::Type}, nullptr,
              QStringLiteral("type entry %1: ").arg(i));
    for (const QJsonValue& value : json.value(Keys::Data).toArray()) {
        const QJsonObject field = value.toObject();
        const QString name = TemplateJson::Read_Name(field.value(Keys::Name));
        check(field, {Keys::Num_Byte, Keys::Size}, &name, QString());
        for (const QJsonValue& bit : field.value(Keys::Bitmap).toArray())
            check(bit.toObject(), {Keys::Num_Bit, Keys::Size}, &name,
                  QStringLiteral("bit field \"%1\": ")
                      .arg(TemplateJson::Read_Name(bit.toObject().value(Keys::Name))));
    }
}

std::optional<Finding> Lint_Document(const QByteArray& document) {
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(document, &error);
    if (error.error != QJsonParseError::NoError)
        return Template_Finding(-1, QStringLiteral("invalid JSON: %1 at offset %2")
                                        .arg(error.errorString(), QString::number(error.offset)));
    if (!json.isObject())
        return Template_Finding(-1, QStringLiteral("the root is not a JSON object"));
    if (!json.object().value(Keys::Packet_Data).isArray())
        return Template_Finding(-1, QStringLiteral("no packet_data array"));
    return std::nullopt;
}

} // namespace

QString TemplateLinter::Finding::Line() const {
    if (Template_Index < 0)
        return QStringLiteral("document: ") + Text;
    const QString index = QString::number(Template_Index);
    const QString text = Is_Warning ? QStringLiteral("warning: ") + Text : Text;
    if (!Of_Field)
        return QStringLiteral("template %1: %2").arg(index, text);
    return QStringLiteral("template %1, field \"%2\": %3").arg(index, Field_Name, text);
}

bool TemplateLinter::Has_Errors(const QList<Finding>& findings) {
    return std::any_of(findings.begin(), findings.end(),
                       [](const Finding& finding) { return !finding.Is_Warning; });
}

QList<TemplateLinter::Finding> TemplateLinter::Lint(const QByteArray& document) {
    QList<Finding> findings;
    if (const std::optional<Finding> problem = Lint_Document(document)) {
        findings.append(*problem);
        return findings;
    }
    const DeviceTemplateFile file = DeviceTemplateFile::From_Json(document);
    // The numbers are checked as they stand in the file, before the reading rules take them.
    const QJsonArray elements =
        QJsonDocument::fromJson(document).object().value(Keys::Packet_Data).toArray();
    for (int index = 0; index < file.Templates().size(); ++index) {
        const PacketTemplate& packet_template = file.Templates().at(index);
        Lint_Numbers(index, elements.at(index).toObject(), findings);
        Lint_Total_Size(index, packet_template, findings);
        QList<Byte_Range> ranges;
        for (const ByteFieldEntry& field : packet_template.Data) {
            if (const std::optional<Byte_Range> range =
                    Lint_Field(index, packet_template, field, findings))
                ranges.append(*range);
        }
        Lint_Type_Byte(index, ranges, findings);
        Lint_Overlaps(index, ranges, findings);
    }
    Lint_Selection(file, findings);
    return findings;
}
