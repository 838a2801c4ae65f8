#include "TestWorkspace.h"

#include "DeviceRegistry.h"

#include <QDir>
#include <QSettings>

TestWorkspace::TestWorkspace(Contents contents) {
    if (!QDir::setCurrent(Dir.path()) || !QDir().mkdir(u"Device"_qs) ||
        (contents == Sample && !Copy(KIVO_EXAMPLES_DIR "/workspace", Dir.path())))
        qFatal("cannot prepare the workspace %s", qPrintable(Dir.path()));
}

// Left before the folder goes, so that no test runs inside a removed directory.
TestWorkspace::~TestWorkspace() {
    QDir::setCurrent(QDir::tempPath());
}

QByteArray TestWorkspace::Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

bool TestWorkspace::Write(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

void TestWorkspace::Register(const QString& device, const QString& file_name) {
    QSettings(u"Dev.conf"_qs, QSettings::IniFormat).setValue(u"Dev/"_qs + device, file_name);
}

QString TestWorkspace::Registry() {
    QStringList entries;
    for (const DeviceRegistry::Device& device : DeviceRegistry::Read())
        entries << device.Name + u'=' + device.File_Name;
    return entries.join(u'|');
}

bool TestWorkspace::Copy(const QString& from, const QString& to) {
    QDir().mkpath(to);
    for (const QFileInfo& entry :
         QDir(from).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + u'/' + entry.fileName();
        if (entry.isDir() ? !Copy(entry.filePath(), target)
                          : !QFile::copy(entry.filePath(), target))
            return false;
    }
    return true;
}
