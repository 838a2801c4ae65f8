#include "TestWorkspace.h"

#include "DeviceRegistry.h"

#include <QDir>
#include <QSettings>

#include <csignal>

#include <sys/wait.h>
#include <unistd.h>

TestWorkspace::TestWorkspace(Contents contents) {
    if (!QDir::setCurrent(Dir.path()) || !QDir().mkdir(Here.Template_Folder()) ||
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
    QSettings(Here.Registry_Path(), QSettings::IniFormat).setValue(u"Dev/"_qs + device, file_name);
}

QString TestWorkspace::Registry() {
    QStringList entries;
    for (const DeviceRegistry::Device& device : DeviceRegistry::Read(Here.Registry_Path()))
        entries << device.Name + u'=' + device.File_Name;
    return entries.join(u'|');
}

namespace {
int Kill_Step = 0;
void Kill_At_Step(int step) {
    if (step == Kill_Step)
        ::raise(SIGKILL);
}
} // namespace

bool TestWorkspace::Save_Killed_At(int step, const QString& device, const QString& file_name,
                                   const QByteArray& content) {
    const pid_t child = ::fork();
    if (child == 0) { // only files are touched here: no event loop, no widgets
        Kill_Step = step;
        DeviceRegistry::After_Step = Kill_At_Step;
        DeviceRegistry::Change(
            device, file_name, [](const UserMessage&) {},
            DeviceRegistry::Companion{Here.Template_Path(file_name), content},
            Here.Registry_Path());
        ::_exit(0);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFSIGNALED(status) &&
           WTERMSIG(status) == SIGKILL;
}

QStringList TestWorkspace::Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot |
                                  QDir::System);
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
