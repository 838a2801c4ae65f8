#pragma once

#include <QJsonValue>
#include <QString>

// The reading rules every template key follows.
namespace TemplateJson {

// A whole JSON number within the signed 32-bit range; anything else (missing, string, boolean,
// fraction, out of range) reads as 0.
int Read_Int(const QJsonValue& value);

// A JSON string; anything else reads as empty text.
QString Read_Name(const QJsonValue& value);

} // namespace TemplateJson
