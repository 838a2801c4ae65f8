#include "SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

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

// The file a path names through any symbolic links, whether or not it exists yet: the one a
// replacement writes.
QString Resolved(const QString& path) {
    QFileInfo info(path);
    for (int depth = 0; depth < 128 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.filePath();
}

// Writes all of the content, or returns the reason it could not. A write may stop short (at a size
// limit, say) without an error; the next one then fails with the reason.
QString Write_All(QFile& file, const QByteArray& content) {
    for (qint64 written = 0; written < content.size();) {
        const qint64 step = file.write(content.constData() + written, content.size() - written);
        if (step <= 0)
            return file.errorString();
        written += step;
    }
#ifdef Q_OS_UNIX
    // On the disk before it is renamed into place, so that no crash leaves an empty file there.
    if (::fsync(file.handle()) != 0)
        return qt_error_string(errno);
#endif
    return QString();
}

QString Too_Large_Reason() {
    return QStringLiteral("File too large: more than %1").arg(SafeFile::Max_Read_Text());
}

std::filesystem::path Native(const QString& path) {
    return QFileInfo(path).filesystemFilePath();
}

} // namespace

QString SafeFile::Max_Read_Text() {
    return QStringLiteral("%1 MiB").arg(Max_Read_Size >> 20);
}

SafeFile::Contents SafeFile::Read(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile())
        return {{},
                ReadFailure::Cannot_Open,
                info.exists() ? Not_Regular : QStringLiteral("No such file or directory")};
    if (info.size() > Max_Read_Size)
        return {{}, ReadFailure::Too_Large, Too_Large_Reason()};
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
        return {{}, ReadFailure::Too_Large, Too_Large_Reason()};
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

QString SafeFile::Name_Beside(const QString& path, const QString& kind) {
    return QFileInfo(path).dir().filePath(
        QStringLiteral(".kivo-%1-%2")
            .arg(kind)
            .arg(qulonglong(QRandomGenerator::global()->generate64()), 16, 16, QLatin1Char('0')));
}

SafeFile::SafeFile(const QString& path)
    : Path(path), Target(Resolved(path)), Scratch(Name_Beside(Target, QStringLiteral("new"))),
      Backup(Name_Beside(Target, QStringLiteral("backup"))), Had_Old(QFileInfo(Target).exists()) {}

SafeFile::~SafeFile() {
    Undo();
    std::error_code error;
    if (Prepared)
        std::filesystem::remove(Native(Scratch), error);
}

// The old file keeps a second name until the new one is kept, so that putting it back is one
// rename and needs no room on the disk. A hard link costs nothing; where the file system has
// none, a copy does the same.
bool SafeFile::Keep_Old_Aside() {
    std::error_code error;
    std::filesystem::create_hard_link(Native(Target), Native(Backup), error);
    if (error) {
        error.clear();
        std::filesystem::copy_file(Native(Target), Native(Backup), error);
    }
    if (error)
        return Fail(true, QString::fromLocal8Bit(error.message()));
    Has_Backup = true;
    return true;
}

void SafeFile::Drop_Backup() {
    std::error_code error;
    if (Has_Backup)
        std::filesystem::remove(Native(Backup), error);
    Has_Backup = false;
}

// Unbuffered, so that a failing write (a full disk, a quota, a size limit) fails here, and read
// back, since a write that reported no error may still have stored something else.
bool SafeFile::Prepare(const QByteArray& content) {
    if (Had_Old && !QFileInfo(Target).isFile())
        return Fail(true, Not_Regular);
    QFile file(Scratch);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        return Fail(true, file.errorString());
    Prepared = true;
    if (Had_Old)
        file.setPermissions(QFileInfo(Target).permissions());
    const QString reason = Write_All(file, content);
    file.close();
    if (!reason.isEmpty())
        return Fail(false, reason);
    const Contents written = Read(Scratch);
    if (written.Failed != ReadFailure::None || written.Bytes != content)
        return Fail(false, Read_Back_Reason());
    return true;
}

bool SafeFile::Commit() {
    if (Had_Old && !Keep_Old_Aside())
        return false;
    std::error_code error;
    std::filesystem::rename(Native(Scratch), Native(Target), error);
    if (error) {
        Drop_Backup();
        return Fail(false, QString::fromLocal8Bit(error.message()));
    }
    Prepared = false;
    Replaced = true;
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
    std::filesystem::rename(Native(Backup), Native(Target), error);
    if (!error)
        Has_Backup = false;
}

UserMessage SafeFile::Failure_Message() const {
    return Open_Failed ? Open_Failure_Message(Path, Reason) : Write_Failure_Message(Path, Reason);
}

bool SafeFile::Fail(bool opening, const QString& reason) {
    Open_Failed = opening;
    Reason = reason;
    return false;
}
