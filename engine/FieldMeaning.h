#pragma once

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <utility>

// What a field's bytes mean, beside where they are: the optional keys of a byte-field or bit-field
// entry that say how its value is read and shown (number kind, byte order, scale and unit, value
// labels). Read once with the template. A key of the wrong type, or with a text it does not know,
// reads as absent; Problems says which, for kivo-decode --check. Reading and writing the keys both
// live here, so that the constructor writes exactly what the decoder reads.
struct FieldMeaning {
    enum class Format : quint8 { Absent, Dec, Hex, Float, Ascii, Time, Bits };

    // The rule that makes a byte field's value text, decided once when the template is read.
    // Number, Hex_As_Typed, Beacon and Tail are the rules of a field without meaning keys (by its
    // size); the others are those of a `format`.
    enum class Rule : quint8 {
        Bitmap,
        Number,
        Hex_As_Typed,
        Beacon,
        Tail,
        Dec,
        Hex,
        Float,
        Ascii,
        Time,
        Tail_Hex,
        Tail_Ascii
    };

    Format Kind = Format::Absent;
    bool Has_Order = false;
    bool Big_Endian = false;
    std::optional<bool> Signed;
    std::optional<double> Scale;
    std::optional<double> Offset;
    int Decimals = -1; // digits after the point; -1 when absent
    QString Unit;      // empty when absent
    // The labels in the file's order: decimal integer text, label.
    QList<std::pair<QString, QString>> Labels;
    QStringList Problems; // keys read as absent, and why

    // The keys of a byte-field entry ("format" dec, hex, float, ascii, time) or a bit-field entry
    // ("format" bits or dec, and "enum").
    static FieldMeaning Of_Byte_Field(const QJsonObject& entry);
    static FieldMeaning Of_Bit_Field(const QJsonObject& entry);
    // Adds the keys that are set, and no other, to an entry; removes the meaning keys it has not.
    void Write_To(QJsonObject& entry) const;
    // The same keys in a fresh object.
    QJsonObject To_Json() const;

    bool Is_Empty() const;
    // A key that makes the value a number of its own: format, scale, offset, decimals, unit or
    // enum. A field with any of them is never a date by its name.
    bool Has_Value_Keys() const;
    // The number of digits after the point when a value is printed with the double rule: the
    // decimals, or else the larger number of digits after the point in the shortest forms of the
    // scale and offset. Worked out once, when the keys are read.
    int Digits() const { return Print_Digits; }

    // A bit map decides first; then a format, whatever the size (on a variable tail only hex and
    // ascii); then the size: 6, 20 and -1 as without keys, every other size a number. A field
    // named as a time, whose only keys are order or signed, stays a date.
    Rule Rule_For(int size, bool has_bitmap, bool time_name) const;
    // The keys that are set but take no part under a rule, for the linter: "unit", "scale", ...
    QStringList Unused_Keys(Rule rule) const;

    // The label of an integer, or null.
    const QString* Label_Of(qint64 value) const;
    const QString* Label_Of_Text(QStringView decimal) const;

    // A short description for the constructor's tree: "s16 le ×0.01 °C", "time be", "bits, 3
    // метки". `size` is the field's byte count (0 for a bit field); empty when nothing is set.
    QString Summary(int size, bool is_bit_field) const;

    // The format names as a file writes them.
    static QString Format_Name(Format format);

    friend bool operator==(const FieldMeaning& a, const FieldMeaning& b) {
        return a.To_Json() == b.To_Json();
    }

  private:
    void Read_Common(const QJsonObject& entry);
    void Read_Labels(const QJsonObject& entry);
    void Index_Labels();

    int Print_Digits = 0;
    QHash<qint64, QString> Small_Labels; // keys within 64 bits
    QHash<QString, QString> Wide_Labels; // longer keys, looked up by text
};
