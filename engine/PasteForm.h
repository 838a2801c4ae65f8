#pragma once

#include <QLatin1StringView>
#include <QString>
#include <QStringView>

// The forms in which BLE apps, loggers and C code copy bytes, read as the plain hex they spell:
//   0x0100F153...              one "0x"-prefixed hex run
//   01:00:F1  01-00-F1  01,00,F1  01;00;F1  0x01,0x00   byte groups of one or two hex digits,
//                              each with an optional "0x", split by one kind of separator
//   0x01 0x00 0xF1             groups that all carry "0x" need no separator (the blanks
//                              between them are gone after cleaning)
//   {0x01, 0x00,}  [01,00]     any of the groups inside braces or brackets, one trailing
//                              separator allowed
// A one-digit group is one byte ("0x1" is 01). Any other text is no such form: it is read as
// plain hex or base64 as it always was.
class PasteForm {
  public:
    enum class Kind { Hex, Base64, Prefixed_Hex, Byte_Groups };
    static constexpr int Kind_Count = 4;

    // The name records give the form: "hex", "base64", "0x" or "bytes".
    static QLatin1StringView Name(Kind kind);

    // When the cleaned paste (blanks removed) is one of the forms above, sets `hex` to the plain
    // hex it spells, the digits in the case typed, and returns its kind; otherwise returns Hex
    // and leaves `hex` alone.
    static Kind Read(QStringView cleaned, QString& hex);
};
