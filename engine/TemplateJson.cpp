#include "TemplateJson.h"

#include <cmath>
#include <limits>

namespace TemplateJson {

int Read_Int(const QJsonValue& value) {
    if (!value.isDouble())
        return 0;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::trunc(number) != number)
        return 0;
    if (number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
        return 0;
    return static_cast<int>(number);
}

bool Reads_Otherwise(const QJsonValue& value) {
    return !value.isUndefined() && !(value.isDouble() && Read_Int(value) == value.toDouble());
}

QString Read_Name(const QJsonValue& value) {
    return value.isString() ? value.toString() : QString();
}

} // namespace TemplateJson
