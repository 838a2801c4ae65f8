#pragma once

#include "DecodedField.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

class Utf8Writer;

// Turns a decoded packet into the text the user reads, as UTF-8. The window's output pane and the
// command-line decoder both print exactly this text.
namespace ResultRenderer {

// Appends the header "\t\t\t<device>\n", one line per field and the trailer "\n\n". Given
// `field_starts`, also appends where in `out` each field's line starts, then where the trailer
// starts, so that a caller showing the text knows which line holds which field.
void Append_Result(QByteArray& out, QByteArrayView device_utf8, const DecodedPacket& packet,
                   QList<qsizetype>* field_starts = nullptr);

// A decimal count of seconds since 1970 as "dd.MM.yyyy - hh:mm:ss(UTC+0)" in UTC. A text that is
// not a signed 32-bit decimal integer shows the epoch; an empty value (a field outside the
// packet) shows nothing.
void Put_Time(Utf8Writer& out, QStringView value);
QString Render_Time(QStringView value);
// The same moment in ISO 8601, "yyyy-MM-ddThh:mm:ssZ"; nothing for an empty value.
void Put_Iso_Time(Utf8Writer& out, QStringView value);

// Dates of any second count from year 1 to year 9999.
inline constexpr qint64 First_Date_Second = -62135596800; // 0001-01-01T00:00:00Z
inline constexpr qint64 Last_Date_Second = 253402300799;  // 9999-12-31T23:59:59Z
bool Is_Date_Second(qint64 seconds);
void Put_Iso_Time_Of(Utf8Writer& out, qint64 seconds);
// The date as text into `out`, which has room for Time_Length characters; returns the position
// after it.
inline constexpr int Time_Length = 28;
char16_t* Write_Time_Of(char16_t* out, qint64 seconds);

} // namespace ResultRenderer
