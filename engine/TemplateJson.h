#pragma once

#include <QJsonValue>
#include <QString>

// The reading rules every template key follows.
namespace TemplateJson {

// A whole JSON number within the signed 32-bit range; anything else (missing, string, boolean,
// fraction, out of range) reads as 0.
int Read_Int(const QJsonValue& value);

// Whether a value that is there reads as another number than it shows: a string, a boolean, null,
// a fraction or a number out of range, which Read_Int takes for 0. The constructor lists these
// when it opens a file (a save writes the 0), and the linter reports them.
bool Reads_Otherwise(const QJsonValue& value);

// A JSON string; anything else reads as empty text.
QString Read_Name(const QJsonValue& value);

} // namespace TemplateJson
