#pragma once

#include <QString>

#include <functional>

// The engine never talks to the user itself: every message it has for the user leaves it through
// a MessageReporter. The window shows a message box, the command-line tool prints a line and the
// tests record it, all from the same call.
enum class MessageIcon { Information, Critical };

struct UserMessage {
    MessageIcon Icon = MessageIcon::Information;
    QString Title;
    QString Text;

    friend bool operator==(const UserMessage&, const UserMessage&) = default;
};

// Called synchronously; decoding continues once it returns (a modal box returns when dismissed).
using MessageReporter = std::function<void(const UserMessage&)>;

// A reporter that writes the message to the toolkit's warning log, for callers that give none.
MessageReporter Log_Reporter();
