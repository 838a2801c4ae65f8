#include "DeviceRegistry.h"

#include "SafeFile.h"
#include "SaveJournal.h"
#include "SettingsText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMap>
#include <QSettings>

namespace {

const QString Group = QStringLiteral("Dev");
// Long enough for another instance to finish its save; a save holds the lock for milliseconds.
constexpr int Lock_Wait_Ms = 10000;

using Entries = QMap<QString, QString>;

// The entries the settings reader finds in the file's group Dev.
Entries Settings_Entries(const QString& path) {
    Entries entries;
    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(Group);
    for (const QString& key : settings.allKeys())
        entries.insert(key, settings.value(key).toString());
    return entries;
}

// What the settings reader makes of the bytes, read from a file of a name never read before: the
// settings cache answers for names it has seen.
std::optional<Entries> Entries_Of(const QByteArray& content, const QString& scratch_path) {
    if (content.isEmpty())
        return Entries();
    QFile file(scratch_path);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::NewOnly) &&
                         file.write(content) == content.size() && file.flush();
    file.close();
    std::optional<Entries> entries;
    if (written)
        entries = Settings_Entries(scratch_path);
    QFile::remove(scratch_path);
    return entries;
}

// Dev.conf's bytes as they are, empty when there is no such file yet.
std::optional<QByteArray> Current_Content(const QString& conf_path, const MessageReporter& report) {
    if (!QFileInfo::exists(conf_path))
        return QByteArray();
    const SafeFile::Contents contents = SafeFile::Read(conf_path);
    if (contents.Failed == SafeFile::ReadFailure::None)
        return contents.Bytes;
    if (report)
        report(SafeFile::Open_Failure_Message(conf_path, contents.Reason));
    return std::nullopt;
}

QString Lock_Failure(const QLockFile& lock, const QString& conf_path) {
    switch (lock.error()) {
    case QLockFile::LockFailedError:
        return QStringLiteral("%1.lock is held by another program that is saving").arg(conf_path);
    case QLockFile::PermissionError:
        return QStringLiteral("Permission denied: cannot create %1.lock").arg(conf_path);
    default:
        return QStringLiteral("Cannot create %1.lock").arg(conf_path);
    }
}

void Step(int number) {
    if (DeviceRegistry::After_Step)
        DeviceRegistry::After_Step(number);
}

// Under the lock no save is running, so scratch files beside Dev.conf are leftovers: those of a
// save killed while it wrote its journal, which the journal cannot name.
void Report_Recovery(const QString& conf_path, const MessageReporter& report) {
    if (const std::optional<UserMessage> message = SaveJournal::Recover(conf_path);
        message && report)
        report(*message);
    const QDir folder = QFileInfo(conf_path).dir();
    for (const QString& name :
         folder.entryList({QStringLiteral(".kivo-*")}, QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(folder.filePath(name));
}

SaveJournal::Entry Journal_Entry(const SafeFile& file) {
    return {file.Target_Path(), file.Backup_Path(), file.Scratch_Path(), file.Had_Old_File()};
}

// The steps of a change once the lock is held and the new registry text is known: the journal,
// both scratch files, the check that the new registry reads back as intended, both renames, and
// the end of the journal. The files put themselves back when a step fails.
bool Replace_Together(SaveJournal& journal, SafeFile& registry, SafeFile* along,
                      const QByteArray& along_content, const QByteArray& old,
                      const QString& device_name, const std::optional<QString>& file_name,
                      const MessageReporter& report) {
    QList<SaveJournal::Entry> entries{Journal_Entry(registry)};
    if (along)
        entries.prepend(Journal_Entry(*along));
    const QString check_path = SafeFile::Name_Beside(registry.Target_Path(), "check");
    if (const std::optional<UserMessage> failure = journal.Begin(entries, {check_path}))
        return report(*failure), false;
    Step(2);
    if (along && !along->Prepare(along_content))
        return report(along->Failure_Message()), false;
    if (!registry.Prepare(DeviceRegistry::With_Key(old, device_name, file_name)))
        return report(registry.Failure_Message()), false;
    std::optional<Entries> expected = Entries_Of(old, check_path);
    if (expected && file_name)
        expected->insert(device_name, *file_name);
    else if (expected)
        expected->remove(device_name);
    Step(3);
    if (!expected || Settings_Entries(registry.Scratch_Path()) != *expected)
        return report(SafeFile::Write_Failure_Message(registry.Given_Path(),
                                                      SafeFile::Read_Back_Reason())),
               false;
    if (along && !along->Commit())
        return report(along->Failure_Message()), false;
    Step(4);
    if (!registry.Commit())
        return report(registry.Failure_Message()), false;
    Step(5);
    if (const std::optional<UserMessage> failure = journal.Mark_Done())
        return report(*failure), false;
    Step(6);
    registry.Keep();
    if (along)
        along->Keep();
    Step(7);
    return true;
}

} // namespace

QList<DeviceRegistry::Device> DeviceRegistry::Read(const QString& conf_path,
                                                   const MessageReporter& report) {
    // Parsed from the very bytes of the bounded read: the file is opened once, and no settings
    // cache answers for it.
    const std::optional<QByteArray> content = Current_Content(conf_path, report);
    QList<Device> devices;
    for (const auto& [name, file_name] : SettingsText::Group_Entries(content.value_or(""), Group))
        devices.append({name, file_name});
    return devices;
}

bool DeviceRegistry::Keeps_Name(const QString& device_name) {
    return !device_name.isEmpty() && !device_name.startsWith(u'/') && !device_name.endsWith(u'/') &&
           !device_name.contains(QStringLiteral("//"));
}

bool DeviceRegistry::Check_Name(const QString& device_name, const MessageReporter& report,
                                const QString& conf_path) {
    if (Keeps_Name(device_name))
        return true;
    report({MessageIcon::Information, QStringLiteral("Ошибка"),
            QStringLiteral("Название устройства «%1» нельзя записать в %2 как есть: косые "
                           "черты в начале и в конце названия и две косые черты подряд там "
                           "теряются.")
                .arg(device_name, conf_path)});
    return false;
}

QByteArray DeviceRegistry::With_Key(QByteArrayView content, const QString& device_name,
                                    const std::optional<QString>& file_name) {
    return SettingsText::With_Key(content, Group, device_name, file_name);
}

bool DeviceRegistry::Change(const QString& device_name, const std::optional<QString>& file_name,
                            const MessageReporter& report, const std::optional<Companion>& along,
                            const QString& conf_path) {
    if (file_name && !Check_Name(device_name, report, conf_path))
        return false;
    QLockFile lock(conf_path + QStringLiteral(".lock"));
    lock.setStaleLockTime(0); // only a lock whose program is gone is stale
    if (!lock.tryLock(Lock_Wait_Ms)) {
        report(SafeFile::Write_Failure_Message(conf_path, Lock_Failure(lock, conf_path)));
        return false;
    }
    Report_Recovery(conf_path, report);
    Step(1);
    const std::optional<QByteArray> old = Current_Content(conf_path, report);
    if (!old)
        return false;
    SaveJournal journal(conf_path);
    bool done = false;
    {
        SafeFile registry(conf_path);
        std::optional<SafeFile> other;
        if (along)
            other.emplace(along->Path);
        done = Replace_Together(journal, registry, other ? &*other : nullptr,
                                along ? along->Content : QByteArray(), *old, device_name, file_name,
                                report);
    } // a failed step's files are back as they were before the journal goes
    journal.Finish();
    return done;
}

void DeviceRegistry::Recover(const MessageReporter& report, const QString& conf_path) {
    // A lock left by a program that died goes too, once taken.
    if (!QFileInfo::exists(SaveJournal::Path_For(conf_path)) &&
        !QFileInfo::exists(conf_path + QStringLiteral(".lock")))
        return;
    QLockFile lock(conf_path + QStringLiteral(".lock"));
    lock.setStaleLockTime(0);
    if (lock.tryLock(0))
        Report_Recovery(conf_path, report);
}
