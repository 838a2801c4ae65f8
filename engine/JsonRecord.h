#pragma once

#include "PacketConversion.h"
#include "RecordSource.h"

#include <QByteArray>

#include <QString>
#include <QStringView>
#include <array>

class Utf8Writer;

// One conversion as one compact JSON object on one line (UTF-8), written beside the rendered
// text from the same result:
//   source   {file, line} where the paste was read, null for a paste given otherwise
//   input    the paste as given
//   hex      the text handed to the decoder
//   base64   whether the paste was taken for base64
//   form     how the paste spelled its bytes: "hex", "base64", "0x" (one 0x-prefixed run) or
//            "bytes" (byte groups such as 01:00:F1 or {0x01, 0x00})
//   device   the device name the header line shows
//   ok       true only when the packet was decoded, without a length error
//   type     {code: the type byte, name: the packet type's name or null when not decoded}, null
//            when there is no type byte
//   error    the length error's text, or null; with it `fields` is empty
//   fields   [{name, value, number, unit, label, offset, size, raw}] in the decoder's order:
//            number the value as a JSON number (null where it has none), unit the unit shown
//            after it, label the label that is the value (both null otherwise), offset and size
//            the bytes read (null for a field outside the packet), raw those bytes as hex; a time
//            field also has "time", the date the window prints, and "utc" in ISO 8601; a byte
//            field with a bit map holds its bit fields as "bits" [{name (without "bit"), value,
//            number, unit, label, bit, size}]
//   messages [{title, text}] in the order the window shows them
//   warnings [text] what the conversion passed over silently
class JsonRecord {
  public:
    explicit JsonRecord(const QString& device_name);

    // Appends the record and a line feed.
    void Append(QByteArray& out, const QString& input, const PacketConversion::Result& result,
                const RecordSource* source = nullptr);
    // One record, without a source and without the line feed: what kivo-decode --json prints for
    // this paste.
    static QByteArray Of(const QString& device_name, const QString& input,
                         const PacketConversion::Result& result);

    // A JSON string: quotes, backslashes and control characters escaped, the rest as UTF-8.
    static void Put_String(Utf8Writer& out, QStringView text);
    // A field's number as a JSON number; false, writing nothing, when it has none. A number that
    // is not finite is written as "nan", "inf" or "-inf" when `non_finite` allows, else counts as
    // none.
    static bool Put_Number(Utf8Writer& out, const DecodedField& field, bool non_finite = false);
    // The second of a date field's value (its number, rounded down).
    static qint64 Date_Second(const DecodedField& field);
    static QByteArray Quoted(QStringView text);

  private:
    // `,"base64":<b>,"form":"<form>","device":<device>,"ok":` for each paste form, the middle of
    // every record in one piece.
    std::array<QByteArray, PasteForm::Kind_Count> Form_Pieces;
    QString Source_File;       // the file of the last source written...
    QByteArray Source_Opening; // ...and `{"file":"<file>","line":` for it
};
