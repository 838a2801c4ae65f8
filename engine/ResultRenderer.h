#pragma once

#include "DecodedField.h"

#include <QString>
#include <QStringView>

// Turns a decoded packet into the text the user reads. The window's output pane and the
// command-line decoder both print exactly this text.
namespace ResultRenderer {

// Appends the header "\t\t\t<device>\n", one line per field and the trailer "\n\n".
void Append_Result(QString& out, const QString& device_name, const DecodedPacket& packet);
QString Render_Result(const QString& device_name, const DecodedPacket& packet);

// How a field's line is printed: the text before its value ("<name>: --- ", or for a bit field
// "\t<name without bit>: --- ") and whether its value is shown as a date.
struct Field_Line {
    QString Prefix;
    bool Is_Time = false;
};
Field_Line Describe_Field(const QString& name);

// True when a field name marks a Unix time: it contains "Время", "Unixtime", "unixtime",
// ",nixtime", "UTC" or "utc" (case-sensitive, anywhere in the name).
bool Is_Time_Name(QStringView name);

// A decimal count of seconds since 1970 as "dd.MM.yyyy - hh:mm:ss(UTC+0)" in UTC. A text that is
// not a signed 32-bit decimal integer shows the epoch.
QString Render_Time(const QString& value);

} // namespace ResultRenderer
