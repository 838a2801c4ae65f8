#include "ResultRenderer.h"

#include <cstdint>

namespace ResultRenderer {

namespace {

const QString Bit_Marker = QStringLiteral("bit");

// Appends a number of exactly `width` digits (values here are never negative).
void Append_Digits(QString& out, std::int64_t value, int width) {
    QChar digits[8];
    for (int i = width - 1; i >= 0; --i) {
        digits[i] = QChar(u'0' + static_cast<char16_t>(value % 10));
        value /= 10;
    }
    out.append(digits, width);
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

bool Is_Time_Name(QStringView name) {
    if (name.contains(u"Время") || name.contains(u"UTC") || name.contains(u"utc"))
        return true;
    // "nixtime" preceded by U, u or a comma.
    for (qsizetype at = name.indexOf(u"nixtime"); at >= 0; at = name.indexOf(u"nixtime", at + 1)) {
        if (at > 0 && (name[at - 1] == u'U' || name[at - 1] == u'u' || name[at - 1] == u','))
            return true;
    }
    return false;
}

QString Render_Time(const QString& value) {
    bool ok = false;
    const std::int64_t seconds = value.toInt(&ok, 10); // 0 when not a 32-bit decimal integer
    const std::int64_t day_count = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
    const std::int64_t second_of_day = seconds - day_count * 86400;
    std::int64_t year = 0;
    int month = 0;
    int day = 0;
    Civil_From_Days(day_count, year, month, day);

    QString text;
    text.reserve(28);
    Append_Digits(text, day, 2);
    text.append(u'.');
    Append_Digits(text, month, 2);
    text.append(u'.');
    Append_Digits(text, year, 4);
    text.append(u" - ");
    Append_Digits(text, second_of_day / 3600, 2);
    text.append(u':');
    Append_Digits(text, second_of_day / 60 % 60, 2);
    text.append(u':');
    Append_Digits(text, second_of_day % 60, 2);
    text.append(u"(UTC+0)");
    return text;
}

// Appends a field's line up to its value; true when the value is to be shown as a date. A name
// containing "bit" is a bit field: indented, "bit" taken out, never a date. The name is copied as
// it is: a "%1" typed into a name stays "%1".
static bool Append_Prefix(QString& out, const QString& name) {
    const bool is_bit = name.contains(Bit_Marker);
    if (is_bit) {
        out.append(u'\t');
        out.append(QString(name).remove(Bit_Marker));
    } else {
        out.append(name);
    }
    out.append(u": --- ");
    return !is_bit && Is_Time_Name(name);
}

Field_Line Describe_Field(const QString& name) {
    Field_Line line;
    line.Is_Time = Append_Prefix(line.Prefix, name);
    return line;
}

void Append_Result(QString& out, const QString& device_name, const DecodedPacket& packet) {
    out.append(u"\t\t\t");
    out.append(device_name);
    out.append(u'\n');
    for (const DecodedField& field : packet) {
        const bool is_time = Append_Prefix(out, field.Name);
        out.append(is_time ? Render_Time(field.Value) : field.Value);
        out.append(u'\n');
    }
    out.append(u"\n\n");
}

QString Render_Result(const QString& device_name, const DecodedPacket& packet) {
    QString out;
    Append_Result(out, device_name, packet);
    return out;
}

} // namespace ResultRenderer
