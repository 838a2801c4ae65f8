#include "UserMessage.h"

#include <QDebug>

MessageReporter Log_Reporter() {
    return [](const UserMessage& message) {
        qWarning().noquote() << message.Title + QStringLiteral(": ") + message.Text;
    };
}
