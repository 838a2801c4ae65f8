#include "FieldLine.h"

#include "JsonRecord.h"

namespace {

QByteArray Json_Opening_Of(const QString& name) {
    return "{\"name\":" + JsonRecord::Quoted(name) + ",\"value\":";
}

} // namespace

std::shared_ptr<const FieldLine> FieldLine::Of(const QString& name, bool time_by_name,
                                               const QString& unit) {
    auto line = std::make_shared<FieldLine>();
    line->Is_Bit = name.contains(Bit_Marker);
    line->Is_Time = time_by_name && !line->Is_Bit && Is_Time_Name(name);
    if (!unit.isEmpty()) {
        line->Unit = unit;
        line->Unit_Json = JsonRecord::Quoted(unit);
    }
    // The name is copied as it is: a "%1" typed into a name stays "%1".
    line->Prefix =
        line->Is_Bit ? ('\t' + QString(name).remove(Bit_Marker).toUtf8()) : name.toUtf8();
    line->Prefix.append(": --- ");
    line->Json_Opening = Json_Opening_Of(name);
    return line;
}

QString FieldLine::Bit_Field_Name(const QString& template_name) {
    return Bit_Marker + template_name;
}

std::shared_ptr<const FieldLine> FieldLine::Of_Bitmap_Entry(const QString& template_name) {
    auto line = std::const_pointer_cast<FieldLine>(Of(Bit_Field_Name(template_name)));
    line->Is_Bitmap_Entry = true;
    line->Json_Opening = Json_Opening_Of(template_name);
    return line;
}

bool FieldLine::Is_Time_Name(QStringView name) {
    if (name.contains(u"Время") || name.contains(u"UTC") || name.contains(u"utc"))
        return true;
    // "nixtime" preceded by U, u or a comma.
    for (qsizetype at = name.indexOf(u"nixtime"); at >= 0; at = name.indexOf(u"nixtime", at + 1)) {
        if (at > 0 && (name[at - 1] == u'U' || name[at - 1] == u'u' || name[at - 1] == u','))
            return true;
    }
    return false;
}
