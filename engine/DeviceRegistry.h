#pragma once

#include "UserMessage.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The device registry Dev.conf: an INI file whose group "Dev" maps device names to template file
// names inside Device/.
class DeviceRegistry {
  public:
    struct Device {
        QString Name;
        QString File_Name;
    };

    // The devices in the order the settings reader lists the keys; empty when the file is
    // missing or unreadable.
    static QList<Device> Read(const QString& conf_path = QStringLiteral("Dev.conf"));

    // Whether the settings format stores the name as typed. It drops a leading or trailing
    // slash and merges slashes in a row, so such a name would come back as another key, or none.
    static bool Keeps_Name(const QString& device_name);

    // What Dev.conf is to hold once the device is registered with file_name: made by the settings
    // writer in a scratch copy and read back, while Dev.conf itself is left alone. Nothing, after
    // a report, when the name would not be kept or the copy does not read back as it should.
    static std::optional<QByteArray>
    With_Device(const QString& device_name, const QString& file_name, const MessageReporter& report,
                const QString& conf_path = QStringLiteral("Dev.conf"));
    // Replaces Dev.conf by the content; false, after a report, with Dev.conf as it was.
    static bool Write(const QByteArray& content, const MessageReporter& report,
                      const QString& conf_path = QStringLiteral("Dev.conf"));
};
