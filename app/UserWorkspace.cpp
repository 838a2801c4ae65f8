#include "UserWorkspace.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

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

} // namespace

QString UserWorkspace::Location() {
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
}

QString UserWorkspace::Installed_Sample() {
    return QDir::cleanPath(QDir(QCoreApplication::applicationDirPath())
                               .filePath(QStringLiteral(KIVO_SAMPLE_WORKSPACE)));
}

QString UserWorkspace::Prepare(const QString& workspace, const QString& sample) {
    const QFileInfo existing(workspace);
    if (existing.isDir())
        return {};
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
    if (QDir().rename(staging.path(), workspace)) {
        staging.setAutoRemove(false);
        return {};
    }
    // Another start may have made it in the meantime; that one is kept.
    return QFileInfo(workspace).isDir()
               ? QString()
               : QStringLiteral("cannot create the workspace %1").arg(workspace);
}
