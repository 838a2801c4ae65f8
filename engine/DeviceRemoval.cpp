#include "DeviceRemoval.h"

#include "DeviceRegistry.h"
#include "SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

UserMessage Remove_Failure_Message(const QString& path, const QString& reason) {
    return {MessageIcon::Information, QStringLiteral("Ошибка"),
            QStringLiteral("Не удалось удалить файл %1\n%2").arg(path, reason)};
}

} // namespace

QString DeviceRemoval::Removable_File(const QString& device_name, const Workspace& workspace) {
    const QList<DeviceRegistry::Device> devices = DeviceRegistry::Read(workspace.Registry_Path());
    const auto device = std::find_if(devices.begin(), devices.end(),
                                     [&](const auto& d) { return d.Name == device_name; });
    if (device == devices.end() || device->File_Name.isEmpty())
        return {};
    const bool shared = std::any_of(devices.begin(), devices.end(), [&](const auto& d) {
        return d.Name != device_name && d.File_Name == device->File_Name;
    });
    const QString path = workspace.Template_Path(device->File_Name);
    const QString inside = QDir::cleanPath(QDir(workspace.Template_Folder()).absolutePath()) + u'/';
    const QFileInfo file(path);
    if (shared || !file.isFile() || !QDir::cleanPath(file.absoluteFilePath()).startsWith(inside))
        return {};
    return path;
}

bool DeviceRemoval::Remove(const QString& device_name, bool with_file,
                           const MessageReporter& report, const Workspace& workspace) {
    const QString file = with_file ? Removable_File(device_name, workspace) : QString();
    // Moved aside under a hidden name of its own in its folder, it goes back with one rename.
    const QString aside =
        file.isEmpty() ? QString() : SafeFile::Name_Beside(file, QStringLiteral("removed"));
    if (!file.isEmpty()) {
        QFile moved(file);
        if (!moved.rename(aside)) {
            report(Remove_Failure_Message(file, moved.errorString()));
            return false;
        }
    }
    // The key goes under the registry's lock, with every other line of the registry kept.
    if (DeviceRegistry::Change(device_name, std::nullopt, report, std::nullopt,
                               workspace.Registry_Path())) {
        if (!file.isEmpty())
            QFile::remove(aside);
        return true;
    }
    // Should the file not go back, it stays under its hidden name rather than being lost.
    if (!file.isEmpty())
        QFile::rename(aside, file);
    return false;
}
