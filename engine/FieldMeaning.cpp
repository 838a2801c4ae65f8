#include "FieldMeaning.h"

#include <QJsonValue>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

const QString Key_Format = QStringLiteral("format");
const QString Key_Order = QStringLiteral("order");
const QString Key_Signed = QStringLiteral("signed");
const QString Key_Scale = QStringLiteral("scale");
const QString Key_Offset = QStringLiteral("offset");
const QString Key_Decimals = QStringLiteral("decimals");
const QString Key_Unit = QStringLiteral("unit");
const QString Key_Enum = QStringLiteral("enum");

using Format = FieldMeaning::Format;
using Rule = FieldMeaning::Rule;

struct Format_Name_Pair {
    Format Kind;
    const char* Name;
};
constexpr Format_Name_Pair Format_Names[] = {{Format::Dec, "dec"},     {Format::Hex, "hex"},
                                             {Format::Float, "float"}, {Format::Ascii, "ascii"},
                                             {Format::Time, "time"},   {Format::Bits, "bits"}};

// A decimal integer as a label key: an optional minus sign, then digits without leading zeros
// ("0" itself, but not "-0"). Only such a text can equal the decimal text of a value.
bool Is_Integer_Text(const QString& text) {
    const qsizetype start = text.startsWith(u'-') ? 1 : 0;
    if (text.size() == start || (text[start] == u'0' && text.size() > start + 1))
        return false;
    if (start == 1 && text == QLatin1String("-0"))
        return false;
    for (qsizetype i = start; i < text.size(); ++i)
        if (text[i] < u'0' || text[i] > u'9')
            return false;
    return true;
}

// Digits after the point in the shortest text that reads back as the value: 0.01 gives 2.
int Shortest_Digits(double value) {
    char text[400];
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    if (error != std::errc())
        return 0;
    const char* point = std::find(text, end, '.');
    return point == end ? 0 : static_cast<int>(end - point - 1);
}

QString Shortest(double value) {
    char text[400];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? QString::fromLatin1(text, end - text) : QString();
}

} // namespace

QString FieldMeaning::Format_Name(Format format) {
    for (const Format_Name_Pair& pair : Format_Names)
        if (pair.Kind == format)
            return QString::fromLatin1(pair.Name);
    return QString();
}

void FieldMeaning::Read_Common(const QJsonObject& entry) {
    if (const QJsonValue order = entry.value(Key_Order); !order.isUndefined()) {
        const QString text = order.toString();
        if (order.isString() && (text == QLatin1String("le") || text == QLatin1String("be"))) {
            Has_Order = true;
            Big_Endian = text == QLatin1String("be");
        } else {
            Problems.append(QStringLiteral("\"order\" must be \"le\" or \"be\": read as \"le\""));
        }
    }
    if (const QJsonValue is_signed = entry.value(Key_Signed); !is_signed.isUndefined()) {
        if (is_signed.isBool())
            Signed = is_signed.toBool();
        else
            Problems.append(QStringLiteral("\"signed\" must be true or false: read as absent"));
    }
    for (const auto& [key, slot] :
         {std::pair{&Key_Scale, &Scale}, std::pair{&Key_Offset, &Offset}}) {
        const QJsonValue number = entry.value(*key);
        if (number.isUndefined())
            continue;
        if (number.isDouble())
            *slot = number.toDouble();
        else
            Problems.append(QStringLiteral("\"%1\" must be a number: read as absent").arg(*key));
    }
    if (const QJsonValue decimals = entry.value(Key_Decimals); !decimals.isUndefined()) {
        const double value = decimals.toDouble(-1);
        if (decimals.isDouble() && value >= 0 && value <= 17 && std::trunc(value) == value)
            Decimals = static_cast<int>(value);
        else
            Problems.append(
                QStringLiteral("\"decimals\" must be a whole number 0-17: read as absent"));
    }
    if (const QJsonValue unit = entry.value(Key_Unit); !unit.isUndefined()) {
        if (unit.isString() && !unit.toString().isEmpty())
            Unit = unit.toString();
        else
            Problems.append(QStringLiteral("\"unit\" must be a text that is not empty: read as "
                                           "absent"));
    }
    Print_Digits = Decimals >= 0 ? Decimals
                                 : std::min(17, std::max(Scale ? Shortest_Digits(*Scale) : 0,
                                                         Offset ? Shortest_Digits(*Offset) : 0));
}

void FieldMeaning::Read_Labels(const QJsonObject& entry) {
    const QJsonValue labels = entry.value(Key_Enum);
    if (labels.isUndefined())
        return;
    if (!labels.isObject()) {
        Problems.append(QStringLiteral("\"enum\" must be an object of labels: read as absent"));
        return;
    }
    const QJsonObject object = labels.toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!Is_Integer_Text(it.key()))
            Problems.append(QStringLiteral("\"enum\" key \"%1\" is not a decimal integer: never "
                                           "matches")
                                .arg(it.key()));
        else if (!it.value().isString())
            Problems.append(
                QStringLiteral("\"enum\" label of %1 is not a text: ignored").arg(it.key()));
        else
            Labels.append({it.key(), it.value().toString()});
    }
    Index_Labels();
}

void FieldMeaning::Index_Labels() {
    Small_Labels.clear();
    Wide_Labels.clear();
    for (const auto& [key, label] : Labels) {
        bool ok = false;
        const qint64 value = key.toLongLong(&ok, 10);
        if (ok)
            Small_Labels.insert(value, label);
        else
            Wide_Labels.insert(key, label);
    }
}

FieldMeaning FieldMeaning::Of_Byte_Field(const QJsonObject& entry) {
    FieldMeaning meaning;
    if (const QJsonValue format = entry.value(Key_Format); !format.isUndefined()) {
        const QString text = format.toString();
        for (const Format_Name_Pair& pair : Format_Names)
            if (pair.Kind != Format::Bits && text == QLatin1String(pair.Name))
                meaning.Kind = pair.Kind;
        if (meaning.Kind == Format::Absent)
            meaning.Problems.append(QStringLiteral("\"format\" must be \"dec\", \"hex\", "
                                                   "\"float\", \"ascii\" or \"time\": read as "
                                                   "absent"));
    }
    meaning.Read_Common(entry);
    meaning.Read_Labels(entry);
    return meaning;
}

FieldMeaning FieldMeaning::Of_Bit_Field(const QJsonObject& entry) {
    FieldMeaning meaning;
    if (const QJsonValue format = entry.value(Key_Format); !format.isUndefined()) {
        const QString text = format.toString();
        if (text == QLatin1String("bits"))
            meaning.Kind = Format::Bits;
        else if (text == QLatin1String("dec"))
            meaning.Kind = Format::Dec;
        else
            meaning.Problems.append(
                QStringLiteral("\"format\" of a bit field must be \"bits\" or \"dec\": read as "
                               "\"bits\""));
    }
    meaning.Read_Labels(entry);
    for (const QString* key :
         {&Key_Order, &Key_Signed, &Key_Scale, &Key_Offset, &Key_Decimals, &Key_Unit})
        if (entry.contains(*key))
            meaning.Problems.append(
                QStringLiteral("\"%1\" does not apply to a bit field: ignored").arg(*key));
    return meaning;
}

void FieldMeaning::Write_To(QJsonObject& entry) const {
    for (const QString* key : {&Key_Format, &Key_Order, &Key_Signed, &Key_Scale, &Key_Offset,
                               &Key_Decimals, &Key_Unit, &Key_Enum})
        entry.remove(*key);
    if (Kind != Format::Absent)
        entry.insert(Key_Format, Format_Name(Kind));
    if (Has_Order)
        entry.insert(Key_Order, Big_Endian ? QStringLiteral("be") : QStringLiteral("le"));
    if (Signed)
        entry.insert(Key_Signed, *Signed);
    if (Scale)
        entry.insert(Key_Scale, *Scale);
    if (Offset)
        entry.insert(Key_Offset, *Offset);
    if (Decimals >= 0)
        entry.insert(Key_Decimals, Decimals);
    if (!Unit.isEmpty())
        entry.insert(Key_Unit, Unit);
    if (!Labels.isEmpty()) {
        QJsonObject labels;
        for (const auto& [key, label] : Labels)
            labels.insert(key, label);
        entry.insert(Key_Enum, labels);
    }
}

QJsonObject FieldMeaning::To_Json() const {
    QJsonObject keys;
    Write_To(keys);
    return keys;
}

bool FieldMeaning::Is_Empty() const {
    return !Has_Order && !Signed && !Has_Value_Keys();
}

bool FieldMeaning::Has_Value_Keys() const {
    return Kind != Format::Absent || Scale || Offset || Decimals >= 0 || !Unit.isEmpty() ||
           !Labels.isEmpty();
}

const QString* FieldMeaning::Label_Of(qint64 value) const {
    if (Small_Labels.isEmpty())
        return nullptr;
    const auto it = Small_Labels.constFind(value);
    return it == Small_Labels.cend() ? nullptr : &*it;
}

const QString* FieldMeaning::Label_Of_Text(QStringView decimal) const {
    bool ok = false;
    const qint64 value = decimal.toLongLong(&ok, 10);
    if (ok)
        return Label_Of(value);
    const auto it = Wide_Labels.constFind(decimal.toString());
    return it == Wide_Labels.cend() ? nullptr : &*it;
}

FieldMeaning::Rule FieldMeaning::Rule_For(int size, bool has_bitmap, bool time_name) const {
    if (has_bitmap)
        return Rule::Bitmap;
    if (size == -1)
        return Kind == Format::Hex     ? Rule::Tail_Hex
               : Kind == Format::Ascii ? Rule::Tail_Ascii
                                       : Rule::Tail;
    switch (Kind) {
    case Format::Dec:
        return Rule::Dec;
    case Format::Hex:
        return Rule::Hex;
    case Format::Float:
        return Rule::Float;
    case Format::Ascii:
        return Rule::Ascii;
    case Format::Time:
        return Rule::Time;
    default:
        break;
    }
    if (size == 6)
        return Rule::Hex_As_Typed;
    if (size == 20)
        return Rule::Beacon;
    if (Is_Empty())
        return Rule::Number;
    return time_name && !Has_Value_Keys() ? Rule::Time : Rule::Dec;
}

QStringList FieldMeaning::Unused_Keys(Rule rule) const {
    // The keys each rule reads.
    bool order = false, sign = false, scale = false, decimals = false, unit = false, labels = false,
         format = Kind != Format::Absent;
    switch (rule) {
    case Rule::Bitmap:
        order = sign = true;
        format = false;
        break;
    case Rule::Dec:
        order = sign = scale = decimals = unit = labels = true;
        break;
    case Rule::Hex:
        order = sign = labels = true;
        break;
    case Rule::Float:
        order = true;
        scale = decimals = unit = true;
        break;
    case Rule::Time:
        order = sign = scale = true;
        break;
    case Rule::Tail_Hex:
    case Rule::Tail_Ascii:
        break;
    case Rule::Tail:
    case Rule::Hex_As_Typed:
    case Rule::Beacon:
        format = false;
        break;
    default:
        break;
    }
    QStringList unused;
    const auto check = [&](bool set, bool used, const QString& key) {
        if (set && !used)
            unused.append(key);
    };
    check(Kind != Format::Absent, format, Key_Format);
    check(Has_Order, order, Key_Order);
    check(Signed.has_value(), sign, Key_Signed);
    check(Scale.has_value(), scale, Key_Scale);
    check(Offset.has_value(), scale, Key_Offset);
    check(Decimals >= 0, decimals, Key_Decimals);
    check(!Unit.isEmpty(), unit, Key_Unit);
    check(!Labels.isEmpty(), labels, Key_Enum);
    return unused;
}

QString FieldMeaning::Summary(int size, bool is_bit_field) const {
    if (Is_Empty())
        return QString();
    QStringList parts;
    if (is_bit_field) {
        parts.append(Kind == Format::Dec ? QStringLiteral("dec") : QStringLiteral("bits"));
    } else {
        const bool is_signed = Signed.value_or(size == 1 || size == 2 || size == 4);
        switch (Kind) {
        case Format::Absent:
        case Format::Dec:
            parts.append((is_signed ? u's' : u'u') + QString::number(8 * size));
            break;
        case Format::Float:
            parts.append(QStringLiteral("f%1").arg(8 * size));
            break;
        default:
            parts.append(Format_Name(Kind));
        }
        if (Kind != Format::Ascii)
            parts.append(Big_Endian ? QStringLiteral("be") : QStringLiteral("le"));
    }
    if (Scale)
        parts.append(QStringLiteral("×") + Shortest(*Scale));
    if (Offset)
        parts.append((*Offset < 0 ? QString() : QStringLiteral("+")) + Shortest(*Offset));
    if (Decimals >= 0)
        parts.append(QStringLiteral(".%1").arg(Decimals));
    if (!Unit.isEmpty())
        parts.append(Unit);
    if (!Labels.isEmpty())
        parts.append(QStringLiteral("метки: %1").arg(Labels.size()));
    return parts.join(u' ');
}
