#pragma once

#include "PacketTemplate.h"
#include "SafeFile.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <array>
#include <optional>

// A device's template file, parsed once. It can decode any number of packets afterwards; the
// choice of template for each of the 256 type bytes is made here, when the file is read, so
// choosing one per packet costs nothing.
class DeviceTemplateFile {
  public:
    // Which template a type byte selects, and the name "Тип пакета" shows for it.
    struct Selection {
        int Index = -1; // into Templates(); -1 when no template accepts the type
        QString Type_Name;
    };

    // Parses a document. Invalid JSON, a root that is not an object or a missing `packet_data`
    // array give a file without templates, which accepts no packet.
    static DeviceTemplateFile From_Json(const QByteArray& document);

    // Reads and parses the file at path; nothing when it is not a regular file that can be read
    // or is larger than SafeFile::Max_Read_Size (`failure` then says which).
    static std::optional<DeviceTemplateFile> Load(const QString& path,
                                                  SafeFile::ReadFailure* failure = nullptr);

    // One element of `packet_data`, read by the template rules.
    static PacketTemplate Read_Template(const QJsonObject& json);
    // The type bytes (0-255) a template accepts by itself: the T of each entry of the array form,
    // the integer form's value, or every type for -1. Among the templates accepting a type, the
    // last one in the file is selected.
    static QList<int> Accepted_Types(const PacketTemplate& packet_template);
    // The name of a type in a template: for the array form, the first entry with that T.
    static QString Type_Name(const PacketTemplate& packet_template, int type_byte);

    // The keys of a template, and of a document of templates, that Read_Template and From_Json
    // read back as the same values. `min_size` is written with Has_Min_Size only, the template's
    // `name` with the integer form only, `data` only when there are fields, `bitmap` with
    // Has_Bitmap only, and `ERR` (a hand-written mark) never.
    static QJsonObject Write_Template(const PacketTemplate& packet_template);
    static QJsonObject Write_Document(const QList<PacketTemplate>& templates);

    const QList<PacketTemplate>& Templates() const { return Templates_List; }
    const Selection& Select(int type_byte) const { return Selections[type_byte & 0xFF]; }
    bool Is_Valid_Document() const { return Valid_Document; }

  private:
    void Build_Selections();

    QList<PacketTemplate> Templates_List;
    std::array<Selection, 256> Selections;
    bool Valid_Document = false; // parsed as an object holding a `packet_data` array
};
