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
// without looking at a single name.
struct FieldLine {
    // The decoder names bit fields "bit" followed by the template's name.
    static constexpr QLatin1String Bit_Marker{"bit", 3};

    QByteArray Prefix;    // UTF-8 "<name>: --- ", or "\t<name without bit>: --- " for a bit field
    QByteArray Json_Name; // the name as a JSON string, quotes included, UTF-8
    bool Is_Bit = false;
    bool Is_Time = false;

    static std::shared_ptr<const FieldLine> Of(const QString& name);

    // True when a name marks a Unix time: it contains "Время", "Unixtime", "unixtime", ",nixtime",
    // "UTC" or "utc" (case-sensitive, anywhere in the name).
    static bool Is_Time_Name(QStringView name);
};
