#pragma once

#include "PacketConversion.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

class Utf8Writer;

// One conversion as one compact JSON object on one line (UTF-8), written beside the rendered
// text from the same result:
//   input    the paste as given
//   hex      the text handed to the decoder
//   base64   whether the paste was taken for base64
//   device   the device name the header line shows
//   ok       false when the decoder returned nothing (or the paste was empty)
//   fields   [{name, value}] as the decoder produced them; a time field also has "time", the
//            date the window prints for it
//   messages [{title, text}] in the order the window shows them
class JsonRecord {
  public:
    explicit JsonRecord(const QString& device_name);

    void Append(QByteArray& out, const QString& input,
                const PacketConversion::Result& result) const;

    // A JSON string: quotes, backslashes and control characters escaped, the rest as UTF-8.
    static void Put_String(Utf8Writer& out, QStringView text);
    static QByteArray Quoted(QStringView text);

  private:
    QByteArray Device_Json;
};
