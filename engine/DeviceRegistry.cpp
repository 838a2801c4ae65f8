#include "DeviceRegistry.h"

#include "SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSettings>
#include <QTemporaryDir>

namespace {

const QString Group = QStringLiteral("Dev");

QMap<QString, QString> Entries(const QString& conf_path) {
    QMap<QString, QString> entries;
    for (const DeviceRegistry::Device& device : DeviceRegistry::Read(conf_path))
        entries.insert(device.Name, device.File_Name);
    return entries;
}

// Dev.conf's bytes as they are, empty when there is no such file yet.
std::optional<QByteArray> Current_Content(const QString& conf_path, const MessageReporter& report) {
    if (!QFileInfo::exists(conf_path))
        return QByteArray();
    const SafeFile::Contents contents = SafeFile::Read(conf_path);
    if (contents.Failed == SafeFile::ReadFailure::None)
        return contents.Bytes;
    report(SafeFile::Open_Failure_Message(conf_path, contents.Reason));
    return std::nullopt;
}

// What the settings writer makes of `old` with one key of the group set. It cannot be trusted to
// report a failed write on this Qt, so it writes a scratch copy, which must read back with exactly
// the old entries plus the new one. The copy is read back under a new name: under its first one
// the settings cache would answer from memory.
std::optional<QByteArray> Settings_Output(const QByteArray& old, const QString& key,
                                          const QString& value, const QString& conf_path,
                                          const MessageReporter& report) {
    const QTemporaryDir scratch(QDir::temp().filePath(QStringLiteral("kivo-registry-XXXXXX")));
    const QString made = scratch.filePath(QStringLiteral("made.conf"));
    const QString checked = scratch.filePath(QStringLiteral("checked.conf"));
    QFile copy(made);
    if (!scratch.isValid() || !copy.open(QIODevice::WriteOnly) || copy.write(old) != old.size() ||
        !copy.flush()) {
        report(SafeFile::Write_Failure_Message(
            conf_path, scratch.isValid() ? copy.errorString() : scratch.errorString()));
        return std::nullopt;
    }
    copy.close();
    QMap<QString, QString> expected = Entries(made);
    expected.insert(key, value);
    {
        QSettings settings(made, QSettings::IniFormat);
        settings.beginGroup(Group);
        settings.setValue(key, value);
        settings.endGroup();
    }
    const bool renamed = QFile::rename(made, checked);
    const SafeFile::Contents result = SafeFile::Read(checked);
    if (!renamed || Entries(checked) != expected || result.Failed != SafeFile::ReadFailure::None) {
        report(SafeFile::Write_Failure_Message(conf_path, SafeFile::Read_Back_Reason()));
        return std::nullopt;
    }
    return result.Bytes;
}

} // namespace

QList<DeviceRegistry::Device> DeviceRegistry::Read(const QString& conf_path) {
    QSettings settings(conf_path, QSettings::IniFormat);
    settings.beginGroup(Group);
    QList<Device> devices;
    const QStringList keys = settings.allKeys();
    devices.reserve(keys.size());
    for (const QString& key : keys)
        devices.append({key, settings.value(key).toString()});
    settings.endGroup();
    return devices;
}

bool DeviceRegistry::Keeps_Name(const QString& device_name) {
    return !device_name.isEmpty() && !device_name.startsWith(u'/') && !device_name.endsWith(u'/') &&
           !device_name.contains(QStringLiteral("//"));
}

std::optional<QByteArray> DeviceRegistry::With_Device(const QString& device_name,
                                                      const QString& file_name,
                                                      const MessageReporter& report,
                                                      const QString& conf_path) {
    if (!Keeps_Name(device_name)) {
        report({MessageIcon::Information, QStringLiteral("Ошибка"),
                QStringLiteral("Название устройства «%1» нельзя записать в %2 как есть: косые "
                               "черты в начале и в конце названия и две косые черты подряд там "
                               "теряются.")
                    .arg(device_name, conf_path)});
        return std::nullopt;
    }
    const std::optional<QByteArray> old = Current_Content(conf_path, report);
    if (!old)
        return std::nullopt;
    return Settings_Output(*old, device_name, file_name, conf_path, report);
}

bool DeviceRegistry::Write(const QByteArray& content, const MessageReporter& report,
                           const QString& conf_path) {
    SafeFile file(conf_path);
    if (!file.Replace(content)) {
        report(file.Failure_Message());
        return false;
    }
    file.Keep();
    return true;
}
