#pragma once

#include "SafeFile.h"
#include "UserMessage.h"

#include <QString>

// The texts decoding gives the user: the messages it reports, and the length error's value.
namespace DecoderMessages {

// Why a template file was not read: it cannot be opened, or it is too large.
UserMessage Load_Failure(SafeFile::ReadFailure failure, const QString& path);
// No template of the file accepts the packet's type byte.
UserMessage Missing_Template(int type_byte, const QString& path);
// The value of the length error's field.
QString Length_Error(qint64 expected, qint64 actual);

} // namespace DecoderMessages
