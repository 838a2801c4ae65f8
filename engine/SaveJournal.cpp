#include "SaveJournal.h"

#include "SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <filesystem>
#include <system_error>

namespace {

const QString Done_Key = QStringLiteral("done");
const QString Files_Key = QStringLiteral("files");
const QString Scratch_Key = QStringLiteral("scratch");

std::filesystem::path Native(const QString& path) {
    return QFileInfo(path).filesystemFilePath();
}

void Remove(const QString& path) {
    std::error_code error;
    std::filesystem::remove(Native(path), error);
}

bool Exists(const QString& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(Native(path), error));
}

// The old content goes back under its name. Backup and file may be two names of the same file
// (the save stopped before it renamed anything), in which case renaming changes nothing and the
// second name is simply dropped.
void Put_Back(const SaveJournal::Entry& entry) {
    std::error_code error;
    if (!entry.Had_Old)
        Remove(entry.Target);
    else if (Exists(entry.Backup))
        std::filesystem::rename(Native(entry.Backup), Native(entry.Target), error);
    Remove(entry.Backup);
}

} // namespace

SaveJournal::SaveJournal(const QString& conf_path) : Record_Path(Path_For(conf_path)) {}

QString SaveJournal::Path_For(const QString& conf_path) {
    return conf_path + QStringLiteral(".journal");
}

std::optional<UserMessage> SaveJournal::Begin(const QList<Entry>& files,
                                              const QStringList& scratch) {
    Files = files;
    Scratch = scratch;
    return Write(false);
}

std::optional<UserMessage> SaveJournal::Mark_Done() {
    return Write(true);
}

void SaveJournal::Finish() {
    Remove(Record_Path);
}

std::optional<UserMessage> SaveJournal::Write(bool done) {
    const QDir folder = QFileInfo(Record_Path).dir();
    QJsonArray files;
    for (const Entry& entry : Files)
        files.append(
            QJsonObject{{QStringLiteral("target"), folder.relativeFilePath(entry.Target)},
                        {QStringLiteral("backup"), folder.relativeFilePath(entry.Backup)},
                        {QStringLiteral("scratch"), folder.relativeFilePath(entry.Scratch)},
                        {QStringLiteral("had_old"), entry.Had_Old}});
    QJsonArray scratch;
    for (const QString& path : Scratch)
        scratch.append(folder.relativeFilePath(path));
    SafeFile record(Record_Path);
    if (!record.Replace(
            QJsonDocument(QJsonObject{{Done_Key, done}, {Files_Key, files}, {Scratch_Key, scratch}})
                .toJson(QJsonDocument::Compact)))
        return record.Failure_Message();
    record.Keep();
    return std::nullopt;
}

std::optional<UserMessage> SaveJournal::Recover(const QString& conf_path) {
    const QString path = Path_For(conf_path);
    const SafeFile::Contents contents = SafeFile::Read(path);
    if (contents.Failed != SafeFile::ReadFailure::None)
        return std::nullopt;
    const QDir folder = QFileInfo(path).dir();
    const auto full = [&](const QJsonValue& value) {
        return QDir::cleanPath(folder.filePath(value.toString()));
    };
    const QJsonObject record = QJsonDocument::fromJson(contents.Bytes).object();
    const bool done = record.value(Done_Key).toBool();
    for (const QJsonValue& scratch : record.value(Scratch_Key).toArray())
        Remove(full(scratch));
    QStringList restored;
    for (const QJsonValue& value : record.value(Files_Key).toArray()) {
        const QJsonObject file = value.toObject();
        const Entry entry{full(file.value(QStringLiteral("target"))),
                          full(file.value(QStringLiteral("backup"))),
                          full(file.value(QStringLiteral("scratch"))),
                          file.value(QStringLiteral("had_old")).toBool()};
        Remove(entry.Scratch);
        if (done) {
            Remove(entry.Backup);
        } else {
            Put_Back(entry);
            restored.append(file.value(QStringLiteral("target")).toString());
        }
    }
    Remove(path);
    if (done)
        return std::nullopt;
    return UserMessage{MessageIcon::Information, QStringLiteral("Восстановление"),
                       QStringLiteral("Сохранение было прервано: файлы %1 возвращены в прежнее "
                                      "состояние.")
                           .arg(restored.join(QStringLiteral(", ")))};
}
