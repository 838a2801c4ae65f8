#include "ResultRenderer.h"

#include "Utf8Writer.h"

#include <QString>

#include <cstdint>

namespace ResultRenderer {

namespace {

// Writes a number of exactly `width` digits (values here are never negative).
char* Put_Digits(char* out, std::int64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + width;
}

// Proleptic Gregorian date of a day count since 1970-01-01 (Howard Hinnant's days_from_civil
// inverse), exact for every day a 32-bit second count can reach.
void Civil_From_Days(std::int64_t days, std::int64_t& year, int& month, int& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t day_of_era = days - era * 146097;
    const std::int64_t year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const std::int64_t day_of_year =
        day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const std::int64_t month_index = (5 * day_of_year + 2) / 153;
    day = static_cast<int>(day_of_year - (153 * month_index + 2) / 5 + 1);
    month = static_cast<int>(month_index < 10 ? month_index + 3 : month_index - 9);
    year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
}

} // namespace

namespace {

// A moment of a count of seconds since 1970, in UTC.
struct Moment {
    std::int64_t Year = 0;
    int Month = 0;
    int Day = 0;
    std::int64_t Second_Of_Day = 0;
};

Moment Moment_Of(std::int64_t seconds) {
    const std::int64_t day_count = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
    Moment moment;
    moment.Second_Of_Day = seconds - day_count * 86400;
    Civil_From_Days(day_count, moment.Year, moment.Month, moment.Day);
    return moment;
}

Moment Moment_Of(QStringView value) {
    return Moment_Of(std::int64_t(value.toInt(nullptr, 10))); // 0 unless a 32-bit decimal
}

// "hh:mm:ss"
char* Put_Clock(char* at, std::int64_t second_of_day) {
    at = Put_Digits(at, second_of_day / 3600, 2);
    *at++ = ':';
    at = Put_Digits(at, second_of_day / 60 % 60, 2);
    *at++ = ':';
    return Put_Digits(at, second_of_day % 60, 2);
}

} // namespace

namespace {

// "dd.MM.yyyy - hh:mm:ss(UTC+0)", 28 characters; returns the position after them.
char* Write_Moment(char* at, const Moment& moment) {
    static constexpr char Trailer[] = "(UTC+0)";
    at = Put_Digits(at, moment.Day, 2);
    *at++ = '.';
    at = Put_Digits(at, moment.Month, 2);
    *at++ = '.';
    at = Put_Digits(at, moment.Year, 4);
    at = std::copy_n(" - ", 3, at);
    at = Put_Clock(at, moment.Second_Of_Day);
    return std::copy_n(Trailer, sizeof Trailer - 1, at);
}

void Put_Moment(Utf8Writer& out, const Moment& moment) {
    out.Reserve(Time_Length);
    out.Advance(Write_Moment(out.Cursor(), moment) - out.Cursor());
}

void Put_Iso_Moment(Utf8Writer& out, const Moment& moment) {
    out.Reserve(20);
    char* at = out.Cursor();
    char* const start = at;
    at = Put_Digits(at, moment.Year, 4);
    *at++ = '-';
    at = Put_Digits(at, moment.Month, 2);
    *at++ = '-';
    at = Put_Digits(at, moment.Day, 2);
    *at++ = 'T';
    at = Put_Clock(at, moment.Second_Of_Day);
    *at++ = 'Z';
    out.Advance(at - start);
}

} // namespace

void Put_Time(Utf8Writer& out, QStringView value) {
    if (!value.isEmpty())
        Put_Moment(out, Moment_Of(value));
}

void Put_Iso_Time(Utf8Writer& out, QStringView value) {
    if (!value.isEmpty())
        Put_Iso_Moment(out, Moment_Of(value));
}

bool Is_Date_Second(qint64 seconds) {
    return seconds >= First_Date_Second && seconds <= Last_Date_Second;
}

void Put_Iso_Time_Of(Utf8Writer& out, qint64 seconds) {
    Put_Iso_Moment(out, Moment_Of(std::int64_t(seconds)));
}

char16_t* Write_Time_Of(char16_t* out, qint64 seconds) {
    char text[Time_Length];
    const char* const end = Write_Moment(text, Moment_Of(std::int64_t(seconds)));
    return std::copy(static_cast<const char*>(text), end, out);
}

QString Render_Time(QStringView value) {
    QByteArray text;
    {
        Utf8Writer out(text);
        Put_Time(out, value);
    }
    return QString::fromLatin1(text);
}

void Append_Result(QByteArray& bytes, QByteArrayView device_utf8, const DecodedPacket& packet,
                   QList<qsizetype>* field_starts) {
    Utf8Writer out(bytes);
    out.Put(QByteArrayView("\t\t\t", 3));
    out.Put(device_utf8);
    out.Put('\n');
    for (const DecodedField& field : packet) {
        if (field_starts)
            field_starts->append(out.Position());
        // A field made by hand has no line yet: it is worked out from its name here.
        std::shared_ptr<const FieldLine> made;
        const FieldLine& line = field.Line ? *field.Line : *(made = FieldLine::Of(field.Name));
        out.Put(line.Prefix);
        if (line.Is_Time)
            Put_Time(out, field.Value);
        else
            out.Put_Text(field.Value);
        out.Put('\n');
    }
    if (field_starts)
        field_starts->append(out.Position());
    out.Put(QByteArrayView("\n\n", 2));
}

} // namespace ResultRenderer
