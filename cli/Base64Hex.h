#pragma once

#include <QString>
#include <QStringView>

// A quick decoder for the base64 pastes met in practice, for the command-line decoder's hot path.
// It takes only plain base64 text, on which it gives exactly what
// PacketConversion::Hex_From_Base64 gives, and declines everything else, which the caller then
// hands to Hex_From_Base64 itself.
namespace Base64Hex {

// Plain base64 is made of A-Z, a-z, 0-9, '+' and '/' only, followed by nothing, or by one or two
// '=' when the whole text has a multiple of four characters. For such text, sets `hex` to the
// lower-case hex of the decoded bytes (bits left over at the end are dropped, as Qt drops them),
// reusing its buffer, and returns true; returns false for any other text.
bool Decode_Plain(QStringView text, QString& hex);

} // namespace Base64Hex
