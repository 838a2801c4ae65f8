#pragma once

#include <QByteArray>
#include <QLatin1String>
#include <QString>
#include <QStringView>

#include <memory>

// How a decoded field's line is printed, worked out from the field's name alone. A name holding
// "bit" marks a bit field: its line is indented and "bit" is taken out of the name. Otherwise a
// name holding a time word marks a Unix time, whose value is printed as a UTC date. The decoder
// hands out the line the template's reader worked out once per field, so a packet is printed
// without looking at a single name. A bit field the decoder made from a `bitmap` entry also knows
// that it is one (a byte field may hold "bit" in its name too), which the records use to nest it
// under its byte field.
struct FieldLine {
    // The decoder names bit fields "bit" followed by the template's name.
    static constexpr QLatin1String Bit_Marker{"bit", 3};

    QByteArray Prefix; // UTF-8 "<name>: --- ", or "\t<name without bit>: --- " for a bit field
    // How a JSON record's object of the field starts, up to its value: {"name":<name>,"value":
    // with the name a bitmap entry's as the template writes it, any other field's whole name.
    QByteArray Json_Opening;
    bool Is_Bit = false;
    bool Is_Time = false;
    bool Is_Bitmap_Entry = false;
    // The unit a number of this field is shown with, "" for none; and as a JSON string or null.
    QString Unit;
    QByteArray Unit_Json = "null";

    // `time_by_name`: whether a time word in the name makes a date (not for a field whose keys
    // make its value).
    static std::shared_ptr<const FieldLine> Of(const QString& name, bool time_by_name = true,
                                               const QString& unit = QString());
    // The name of a bitmap entry's decoded field: "bit" followed by the template's name.
    static QString Bit_Field_Name(const QString& template_name);
    // The line of a bitmap entry's field, named as Bit_Field_Name gives it.
    static std::shared_ptr<const FieldLine> Of_Bitmap_Entry(const QString& template_name);

    // True when a name marks a Unix time: it contains "Время", "Unixtime", "unixtime", ",nixtime",
    // "UTC" or "utc" (case-sensitive, anywhere in the name).
    static bool Is_Time_Name(QStringView name);
};
