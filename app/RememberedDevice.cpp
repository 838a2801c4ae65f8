#include "RememberedDevice.h"

#include <QList>
#include <QPair>
#include <QSettings>
#include <QStandardPaths>

namespace {

// One entry per workspace, path and device, so that the file reads plainly: paths hold the
// slashes that QSettings takes for group separators in keys.
const QString Group = QStringLiteral("Workspaces");
const QString Path_Key = QStringLiteral("Path");
const QString Device_Key = QStringLiteral("Device");

using Entries = QList<QPair<QString, QString>>;

Entries Read_Entries(QSettings& settings) {
    Entries entries;
    const int count = settings.beginReadArray(Group);
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        entries.append(
            {settings.value(Path_Key).toString(), settings.value(Device_Key).toString()});
    }
    settings.endArray();
    return entries;
}

} // namespace

QString RememberedDevice::Settings_Path() {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
           QStringLiteral("/remembered-devices.conf");
}

QString RememberedDevice::Read(const QString& workspace) {
    QSettings settings(Settings_Path(), QSettings::IniFormat);
    for (const auto& [path, device] : Read_Entries(settings))
        if (path == workspace)
            return device;
    return QString();
}

void RememberedDevice::Write(const QString& workspace, const QString& device) {
    QSettings settings(Settings_Path(), QSettings::IniFormat);
    Entries entries = Read_Entries(settings);
    auto entry = std::find_if(entries.begin(), entries.end(),
                              [&](const auto& e) { return e.first == workspace; });
    if (entry != entries.end())
        entry->second = device;
    else
        entries.append({workspace, device});
    // Rewritten whole, so that no entry of a longer earlier array is left behind.
    settings.remove(Group);
    settings.beginWriteArray(Group, static_cast<int>(entries.size()));
    for (int i = 0; i < entries.size(); ++i) {
        settings.setArrayIndex(i);
        settings.setValue(Path_Key, entries[i].first);
        settings.setValue(Device_Key, entries[i].second);
    }
    settings.endArray();
}
