#include "DeviceRegistry.h"

#include <QSettings>

QList<DeviceRegistry::Device> DeviceRegistry::Read(const QString& conf_path) {
    QSettings settings(conf_path, QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("Dev"));
    QList<Device> devices;
    const QStringList keys = settings.allKeys();
    devices.reserve(keys.size());
    for (const QString& key : keys)
        devices.append({key, settings.value(key).toString()});
    settings.endGroup();
    return devices;
}
