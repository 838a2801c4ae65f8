#pragma once

#include <QList>
#include <QString>

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
};
