#include "DeviceTemplateFile.h"

#include "TemplateJson.h"
#include "TemplateKeys.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <numeric>

using TemplateJson::Read_Int;
using TemplateJson::Read_Name;
namespace Keys = TemplateKeys;

namespace {

QList<BitFieldEntry> Read_Bitmap(const QJsonArray& array) {
    QList<BitFieldEntry> bits;
    bits.reserve(array.size());
    for (const QJsonValue& value : array) {
        const QJsonObject entry = value.toObject();
        const QString name = Read_Name(entry.value(Keys::Name));
        bits.append({Read_Int(entry.value(Keys::Num_Bit)), Read_Int(entry.value(Keys::Size)), name,
                     FieldLine::Bit_Field_Name(name), FieldLine::Of_Bitmap_Entry(name),
                     FieldMeaning::Of_Bit_Field(entry)});
    }
    return bits;
}

ByteFieldEntry Read_Byte_Field(const QJsonObject& entry) {
    ByteFieldEntry field;
    field.Num_Byte = Read_Int(entry.value(Keys::Num_Byte));
    field.Size = Read_Int(entry.value(Keys::Size));
    field.Name = Read_Name(entry.value(Keys::Name));
    const QJsonValue bitmap = entry.value(Keys::Bitmap);
    field.Has_Bitmap = bitmap.isArray();
    if (field.Has_Bitmap)
        field.Bitmap = Read_Bitmap(bitmap.toArray());
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

PacketTemplate DeviceTemplateFile::Read_Template(const QJsonObject& json) {
    PacketTemplate result;
    result.Is_Empty = json.isEmpty();
    const QJsonValue type = json.value(Keys::Packet_Type);
    result.Is_Type_Array = type.isArray();
    if (result.Is_Type_Array) {
        const QJsonArray entries = type.toArray();
        result.Types.reserve(entries.size());
        for (const QJsonValue& value : entries) {
            const QJsonObject entry = value.toObject();
            result.Types.append(
                {Read_Int(entry.value(Keys::Type)), Read_Name(entry.value(Keys::Name))});
        }
    } else {
        result.Packet_Type = Read_Int(type);
        result.Name = Read_Name(json.value(Keys::Name));
    }
    result.Total_Size = Read_Int(json.value(Keys::Total_Size));
    result.Has_Min_Size = json.contains(Keys::Min_Size);
    result.Min_Size = Read_Int(json.value(Keys::Min_Size));
    result.Has_Err = json.contains(Keys::Error_Mark);
    const QJsonArray data = json.value(Keys::Data).toArray();
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
    const QJsonValue packet_data = root.value(Keys::Packet_Data);
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

namespace {

QJsonObject Write_Bit_Field(const BitFieldEntry& bit) {
    QJsonObject entry{{Keys::Num_Bit, bit.Num_Bit}, {Keys::Size, bit.Size}, {Keys::Name, bit.Name}};
    bit.Meaning.Write_To(entry);
    return entry;
}

QJsonObject Write_Byte_Field(const ByteFieldEntry& field) {
    QJsonObject entry{
        {Keys::Num_Byte, field.Num_Byte}, {Keys::Size, field.Size}, {Keys::Name, field.Name}};
    if (field.Has_Bitmap) {
        QJsonArray bitmap;
        for (const BitFieldEntry& bit : field.Bitmap)
            bitmap.append(Write_Bit_Field(bit));
        entry.insert(Keys::Bitmap, bitmap);
    }
    field.Meaning.Write_To(entry);
    return entry;
}

} // namespace

QJsonObject DeviceTemplateFile::Write_Template(const PacketTemplate& packet_template) {
    QJsonObject json;
    if (packet_template.Is_Type_Array) {
        QJsonArray types;
        for (const TypeEntry& entry : packet_template.Types)
            types.append(QJsonObject{{Keys::Type, entry.T}, {Keys::Name, entry.Name}});
        json.insert(Keys::Packet_Type, types);
    } else {
        json.insert(Keys::Packet_Type, packet_template.Packet_Type);
        json.insert(Keys::Name, packet_template.Name);
    }
    json.insert(Keys::Total_Size, packet_template.Total_Size);
    if (packet_template.Has_Min_Size)
        json.insert(Keys::Min_Size, packet_template.Min_Size);
    if (!packet_template.Data.isEmpty()) {
        QJsonArray data;
        for (const ByteFieldEntry& field : packet_template.Data)
            data.append(Write_Byte_Field(field));
        json.insert(Keys::Data, data);
    }
    return json;
}

QJsonObject DeviceTemplateFile::Write_Document(const QList<PacketTemplate>& templates) {
    QJsonArray packet_data;
    for (const PacketTemplate& packet_template : templates)
        packet_data.append(Write_Template(packet_template));
    return {{Keys::Packet_Data, packet_data}};
}
