#pragma once

#include <QLatin1String>

// The key names of a template file, looked up by its reader and its linter and written by its
// writer, so that a file saved is a file read. A field's meaning keys ("format", "order", ...) are
// FieldMeaning's own.
namespace TemplateKeys {

// The document: an object whose one key holds the templates.
inline constexpr QLatin1String Packet_Data("packet_data");

// A template: the type byte it accepts, as a number or as entries of a type and its name.
inline constexpr QLatin1String Packet_Type("packet_type");
inline constexpr QLatin1String Type("T");
inline constexpr QLatin1String Name("name"); // of a template, a type entry or a field
inline constexpr QLatin1String Total_Size("total_size");
inline constexpr QLatin1String Min_Size("min_size");
inline constexpr QLatin1String Error_Mark("ERR"); // written by hand: the template is a failed read
inline constexpr QLatin1String Data("data");

// A byte field, and a bit field of its bit map.
inline constexpr QLatin1String Num_Byte("num_byte");
inline constexpr QLatin1String Size("size");
inline constexpr QLatin1String Bitmap("bitmap");
inline constexpr QLatin1String Num_Bit("num_bit");

} // namespace TemplateKeys
