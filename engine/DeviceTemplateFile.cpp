#include "DeviceTemplateFile.h"

#include "TemplateJson.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <numeric>

using TemplateJson::Read_Int;
using TemplateJson::Read_Name;

namespace {

ByteFieldEntry Read_Byte_Field(const QJsonObject& entry) {
    ByteFieldEntry field;
    field.Num_Byte = Read_Int(entry.value(QLatin1String("num_byte")));
    field.Size = Read_Int(entry.value(QLatin1String("size")));
    field.Name = Read_Name(entry.value(QLatin1String("name")));
    const QJsonValue bitmap = entry.value(QLatin1String("bitmap"));
    field.Has_Bitmap = bitmap.isArray();
    if (field.Has_Bitmap)
        field.Bitmap = DeviceTemplateFile::Read_Bitmap(bitmap.toArray());
    field.Meaning = FieldMeaning::Of_Byte_Field(entry);
    const bool time_name =
        !field.Name.contains(FieldLine::Bit_Marker) && FieldLine::Is_Time_Name(field.Name);
    field.Rule = field.Meaning.Rule_For(field.Size, field.Has_Bitmap, time_name);
    // A unit shows only after a number; a field with keys that make its value is no date by name.
    const bool shows_unit =
        field.Rule == FieldMeaning::Rule::Dec || field.Rule == FieldMeaning::Rule::Float;
    // A field whose keys make its value is no date by its name; one whose only keys are order or
    // signed is, but the time rule has made its date already.
    field.Line = FieldLine::Of(
        field.Name, !field.Meaning.Has_Value_Keys() && field.Rule != FieldMeaning::Rule::Time,
        shows_unit ? field.Meaning.Unit : QString());
    return field;
}

} // namespace

QList<BitFieldEntry> DeviceTemplateFile::Read_Bitmap(const QJsonArray& array) {
    QList<BitFieldEntry> bits;
    bits.reserve(array.size());
    for (const QJsonValue& value : array) {
        const QJsonObject entry = value.toObject();
        const QString name = Read_Name(entry.value(QLatin1String("name")));
        bits.append({Read_Int(entry.value(QLatin1String("num_bit"))),
                     Read_Int(entry.value(QLatin1String("size"))), name,
                     FieldLine::Bit_Field_Name(name), FieldLine::Of_Bitmap_Entry(name),
                     FieldMeaning::Of_Bit_Field(entry)});
    }
    return bits;
}

PacketTemplate DeviceTemplateFile::Read_Template(const QJsonObject& json) {
    PacketTemplate result;
    result.Is_Empty = json.isEmpty();
    const QJsonValue type = json.value(QLatin1String("packet_type"));
    result.Is_Type_Array = type.isArray();
    if (result.Is_Type_Array) {
        const QJsonArray entries = type.toArray();
        result.Types.reserve(entries.size());
        for (const QJsonValue& value : entries) {
            const QJsonObject entry = value.toObject();
            result.Types.append({Read_Int(entry.value(QLatin1String("T"))),
                                 Read_Name(entry.value(QLatin1String("name")))});
        }
    } else {
        result.Packet_Type = Read_Int(type);
        result.Name = Read_Name(json.value(QLatin1String("name")));
    }
    result.Total_Size = Read_Int(json.value(QLatin1String("total_size")));
    result.Has_Min_Size = json.contains(QLatin1String("min_size"));
    result.Min_Size = Read_Int(json.value(QLatin1String("min_size")));
    result.Has_Err = json.contains(QLatin1String("ERR"));
    const QJsonArray data = json.value(QLatin1String("data")).toArray();
    result.Data.reserve(data.size());
    for (const QJsonValue& value : data) {
        result.Data.append(Read_Byte_Field(value.toObject()));
        result.Field_Count += 1 + result.Data.last().Bitmap.size();
    }
    return result;
}

QString DeviceTemplateFile::Type_Name(const PacketTemplate& packet_template, int type_byte) {
    if (!packet_template.Is_Type_Array)
        return packet_template.Name;
    for (const TypeEntry& entry : packet_template.Types) {
        if (entry.T == type_byte)
            return entry.Name;
    }
    return QString();
}

DeviceTemplateFile DeviceTemplateFile::From_Json(const QByteArray& document) {
    DeviceTemplateFile file;
    const QJsonObject root = QJsonDocument::fromJson(document).object();
    const QJsonValue packet_data = root.value(QLatin1String("packet_data"));
    file.Valid_Document = packet_data.isArray();
    const QJsonArray templates = packet_data.toArray();
    file.Templates_List.reserve(templates.size());
    for (const QJsonValue& value : templates)
        file.Templates_List.append(Read_Template(value.toObject()));
    file.Build_Selections();
    return file;
}

std::optional<DeviceTemplateFile> DeviceTemplateFile::Load(const QString& path,
                                                           SafeFile::ReadFailure* failure) {
    const SafeFile::Contents contents = SafeFile::Read(path);
    if (failure)
        *failure = contents.Failed;
    if (contents.Failed != SafeFile::ReadFailure::None)
        return std::nullopt;
    return From_Json(contents.Bytes);
}

QList<int> DeviceTemplateFile::Accepted_Types(const PacketTemplate& packet_template) {
    QList<int> types;
    if (packet_template.Is_Type_Array) {
        for (const TypeEntry& entry : packet_template.Types) {
            if (entry.T >= 0 && entry.T <= 255)
                types.append(entry.T);
        }
    } else if (packet_template.Packet_Type == -1) {
        types.resize(256);
        std::iota(types.begin(), types.end(), 0);
    } else if (packet_template.Packet_Type >= 0 && packet_template.Packet_Type <= 255) {
        types.append(packet_template.Packet_Type);
    }
    return types;
}

// Walks the templates in file order so that a later match replaces an earlier one: the last
// template that accepts a type wins.
void DeviceTemplateFile::Build_Selections() {
    for (int index = 0; index < Templates_List.size(); ++index) {
        for (const int type : Accepted_Types(Templates_List.at(index)))
            Selections[type].Index = index;
    }
    for (int type = 0; type < 256; ++type) {
        if (Selections[type].Index >= 0)
            Selections[type].Type_Name = Type_Name(Templates_List.at(Selections[type].Index), type);
    }
}
