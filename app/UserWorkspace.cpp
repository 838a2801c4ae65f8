#include "UserWorkspace.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <filesystem>
#include <system_error>

namespace {

// Copies the files and folders under `from` into the existing folder `to`. The copies belong to
// the user and are writable, whatever the permissions of the installed files.
bool Copy_Tree(const QString& from, const QString& to) {
    const QDir source(from);
    const QDir target(to);
    QDirIterator entries(from, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QFileInfo entry(entries.next());
        const QString copy = target.filePath(source.relativeFilePath(entry.filePath()));
        if (entry.isDir()) {
            if (!target.mkpath(copy))
                return false;
            continue;
        }
        if (!QFile::copy(entry.filePath(), copy))
            return false;
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                        QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther);
    }
    return true;
}

// Staging folders of a first start that was interrupted; once the workspace is in place nothing
// renames them any more.
void Remove_Leftover_Stagings(const QString& parent) {
    const QDir folder(parent);
    for (const QString& name : folder.entryList({QStringLiteral(".workspace-*")},
                                                QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot))
        QDir(folder.filePath(name)).removeRecursively();
}

} // namespace

// Named after the window, not after the program asking: kivo-decode finds the same folder.
QString UserWorkspace::Location() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("kivo-parser"));
}

QString UserWorkspace::Installed_Sample() {
    return QDir::cleanPath(QDir(QCoreApplication::applicationDirPath())
                               .filePath(QStringLiteral(KIVO_SAMPLE_WORKSPACE)));
}

QString UserWorkspace::Prepare(const QString& workspace, const QString& sample) {
    const QFileInfo existing(workspace);
    if (existing.isDir()) {
        Remove_Leftover_Stagings(existing.absolutePath());
        return {};
    }
    if (existing.exists())
        return QStringLiteral("%1 is in the way of the workspace: it is not a folder")
            .arg(workspace);
    if (!QFileInfo(sample).isDir())
        return QStringLiteral("the sample workspace is not installed: %1 is missing").arg(sample);

    const QString parent = existing.absolutePath();
    if (!QDir().mkpath(parent))
        return QStringLiteral("cannot create the folder %1").arg(parent);
    QTemporaryDir staging(QDir(parent).filePath(QStringLiteral(".workspace-XXXXXX")));
    if (!staging.isValid() || !Copy_Tree(sample, staging.path()))
        return QStringLiteral("cannot copy the sample workspace %1 into %2").arg(sample, parent);
    std::error_code error;
    std::filesystem::rename(QFileInfo(staging.path()).filesystemFilePath(),
                            existing.filesystemFilePath(), error);
    if (!error)
        staging.setAutoRemove(false);
    // Another start may have made it in the meantime; that one is kept.
    if (!error || QFileInfo(workspace).isDir()) {
        Remove_Leftover_Stagings(parent);
        return {};
    }
    // A link to nowhere, say, is in the way: the system's reason follows on a line of its own.
    return QStringLiteral("cannot create the workspace %1\n%2")
        .arg(workspace, QString::fromLocal8Bit(error.message()));
}
