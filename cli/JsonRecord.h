#pragma once

#include "PacketConversion.h"
#include "UserMessage.h"

#include <QList>
#include <QString>
#include <QStringView>

class OutputBuffer;
class Utf8ResultWriter;

// One conversion as one compact JSON object on one line (UTF-8):
//   input    the paste as given
//   hex      the text handed to the decoder
//   base64   whether the paste was taken for base64
//   device   the device name the header line shows
//   ok       false when the decoder returned nothing (or the paste was empty)
//   fields   [{name, value}] as the decoder produced them; a time field also has "time", the
//            date the window prints for it
//   messages [{title, text}] in the order the window would show them
namespace JsonRecord {

void Append_Line(OutputBuffer& out, Utf8ResultWriter& names, const QString& input,
                 const QString& device_name, const PacketConversion::Result& result,
                 const QList<UserMessage>& messages);

// A JSON string: quotes, backslashes and control characters escaped, the rest as UTF-8.
void Append_String(OutputBuffer& out, QStringView text);

} // namespace JsonRecord
