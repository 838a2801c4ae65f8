#pragma once

#include "PacketConversion.h"
#include "UserMessage.h"

#include <QByteArray>
#include <QList>
#include <QString>

// One conversion as one compact JSON object (UTF-8, no line feed):
//   input    the paste as given
//   hex      the text handed to the decoder
//   base64   whether the paste was taken for base64
//   device   the device name the header line shows
//   ok       false when the decoder returned nothing (or the paste was empty)
//   fields   [{name, value}] as the decoder produced them; a time field also has "time", the
//            date the window prints for it
//   messages [{title, text}] in the order the window would show them
namespace JsonRecord {

QByteArray Line(const QString& input, const QString& device_name,
                const PacketConversion::Result& result, const QList<UserMessage>& messages);

} // namespace JsonRecord
