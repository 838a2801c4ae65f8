#include "SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <filesystem>
#include <system_error>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QString Not_Regular = QStringLiteral("Not a regular file");

// Opens the file for reading and returns empty text, or the reason it is not open. Opened without
// blocking, so that a path that became a FIFO after it was looked at cannot make us wait for a
// writer; only a regular file stays open.
QString Open_Regular(QFile& file) {
#ifdef Q_OS_UNIX
    const int fd =
        ::open(QFile::encodeName(file.fileName()).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return qt_error_string(errno);
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return Not_Regular;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return file.errorString();
    }
    return QString();
#else
    return file.open(QIODevice::ReadOnly) ? QString() : file.errorString();
#endif
}

// The file a path names through any symbolic links, whether or not it exists yet: the one that
// QSaveFile writes.
QString Resolved(const QString& path) {
    QFileInfo info(path);
    for (int depth = 0; depth < 128 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.filePath();
}

// Writes all of the content, or returns the reason it could not. A write may stop short (at a size
// limit, say) without an error; the next one then fails with the reason.
QString Write_All(QSaveFile& file, const QByteArray& content) {
    for (qint64 written = 0; written < content.size();) {
        const qint64 step = file.write(content.constData() + written, content.size() - written);
        if (step <= 0)
            return file.errorString();
        written += step;
    }
    return QString();
}

std::filesystem::path Native(const QString& path) {
    return QFileInfo(path).filesystemFilePath();
}

} // namespace

SafeFile::Contents SafeFile::Read(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile())
        return {{},
                ReadFailure::Cannot_Open,
                info.exists() ? Not_Regular : QStringLiteral("No such file or directory")};
    if (info.size() > Max_Read_Size)
        return {{}, ReadFailure::Too_Large, {}};
    QFile file(path);
    const QString reason = Open_Regular(file);
    if (!reason.isEmpty())
        return {{}, ReadFailure::Cannot_Open, reason};
    // A byte more than the size seen tells whether the file grew meanwhile; then read on, but
    // never past the limit.
    const qint64 expected = info.size();
    QByteArray bytes = file.read(expected + 1);
    while (bytes.size() > expected && bytes.size() <= Max_Read_Size) {
        const QByteArray more = file.read(qMin<qint64>(1 << 16, Max_Read_Size + 1 - bytes.size()));
        if (more.isEmpty())
            break;
        bytes += more;
    }
    if (file.error() != QFileDevice::NoError)
        return {{}, ReadFailure::Cannot_Open, file.errorString()};
    if (bytes.size() > Max_Read_Size)
        return {{}, ReadFailure::Too_Large, {}};
    return {bytes, ReadFailure::None, {}};
}

UserMessage SafeFile::Open_Failure_Message(const QString& path, const QString& reason) {
    QString text = QStringLiteral("Не удалось открыть файл") + path;
    if (!reason.isEmpty())
        text += u'\n' + reason;
    return {MessageIcon::Information, QStringLiteral("Ошибка"), text};
}

UserMessage SafeFile::Write_Failure_Message(const QString& path, const QString& reason) {
    return {MessageIcon::Information, QStringLiteral("Ошибка"),
            QStringLiteral("Не удалось записать файл %1\n%2").arg(path, reason)};
}

QString SafeFile::Read_Back_Reason() {
    return QStringLiteral("Записанный файл прочитан не таким, каким был записан");
}

SafeFile::SafeFile(const QString& path) : Path(path), Target(Resolved(path)) {}

SafeFile::~SafeFile() {
    Undo();
}

// The old file keeps a second name until the new one is kept, so that putting it back is one
// rename and needs no room on the disk. A hard link costs nothing; where the file system has
// none, a copy does the same.
bool SafeFile::Keep_Old_Aside() {
    // A name of its own in the same folder, whatever the length of the file's name.
    Backup_Path = QFileInfo(Target).dir().filePath(
        QStringLiteral(".kivo-backup-%1")
            .arg(qulonglong(QRandomGenerator::global()->generate()), 8, 16, QLatin1Char('0')));
    std::error_code error;
    std::filesystem::create_hard_link(Native(Target), Native(Backup_Path), error);
    if (error) {
        error.clear();
        std::filesystem::copy_file(Native(Target), Native(Backup_Path), error);
    }
    if (!error)
        return true;
    Backup_Path.clear();
    return Fail(true, QString::fromLocal8Bit(error.message()));
}

void SafeFile::Drop_Backup() {
    std::error_code error;
    if (!Backup_Path.isEmpty())
        std::filesystem::remove(Native(Backup_Path), error);
    Backup_Path.clear();
}

// Unbuffered, so that a failing write (a full disk, a quota, a size limit) fails here: this Qt
// ignores a failure in the flush inside commit() and renames the short file over the old one.
bool SafeFile::Replace(const QByteArray& content) {
    const QFileInfo info(Target);
    Had_Old = info.exists();
    if (Had_Old && !info.isFile())
        return Fail(true, Not_Regular);
    if (Had_Old && !Keep_Old_Aside())
        return false;
    QSaveFile file(Target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        Drop_Backup();
        return Fail(true, file.errorString());
    }
    const QString reason = Write_All(file, content);
    if (!reason.isEmpty()) {
        file.cancelWriting();
        Drop_Backup();
        return Fail(false, reason);
    }
    if (!file.commit()) {
        Drop_Backup();
        return Fail(false, file.errorString());
    }
    Replaced = true;
    const Contents written = Read(Target);
    if (written.Failed != ReadFailure::None || written.Bytes != content) {
        Undo();
        return Fail(false, Read_Back_Reason());
    }
    return true;
}

void SafeFile::Keep() {
    Replaced = false;
    Drop_Backup();
}

// The old file goes back by a rename over the new one, so the path never lacks a file. Should
// that fail, the old content stays under the backup name rather than being lost.
void SafeFile::Undo() {
    if (!Replaced)
        return;
    Replaced = false;
    std::error_code error;
    if (!Had_Old) {
        std::filesystem::remove(Native(Target), error);
        return;
    }
    std::filesystem::rename(Native(Backup_Path), Native(Target), error);
    if (!error)
        Backup_Path.clear();
}

UserMessage SafeFile::Failure_Message() const {
    return Open_Failed ? Open_Failure_Message(Path, Reason) : Write_Failure_Message(Path, Reason);
}

bool SafeFile::Fail(bool opening, const QString& reason) {
    Open_Failed = opening;
    Reason = reason;
    return false;
}
