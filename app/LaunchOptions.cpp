#include "LaunchOptions.h"

#include "UserWorkspace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

const char* const Help_Text =
    "Usage: kivo-parser [OPTION...] [TOOLKIT OPTION...]\n"
    "Opens the IOT Kivo Parser window. Devices are read from Dev.conf and Device/ in the work\n"
    "directory, and the template constructor saves there.\n"
    "\n"
    "  -C, --workdir DIR     Work in DIR (default: the current directory).\n"
    "      --user-workspace  Work in your own workspace, %1,\n"
    "                        made from the installed sample workspace on first start.\n"
    "  -h, --help            Show this help and exit.\n"
    "  -v, --version         Show the version and exit.\n"
    "\n"
    "Other arguments go to the toolkit, for example -platform offscreen.\n";

void Print(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

void Print_Error(const QString& text) {
    Print(stderr, QStringLiteral("kivo-parser: %1\n").arg(text));
}

// The value of -C DIR, -CDIR, --workdir DIR or --workdir=DIR at argv[index]; `index` moves past
// a value in the next argument. Nothing when argv[index] is another option.
std::optional<QByteArray> Workdir_Value(int& index, int argc, char** argv) {
    const QByteArray argument(argv[index]);
    if (argument == "-C" || argument == "--workdir")
        return ++index < argc ? QByteArray(argv[index]) : QByteArray();
    for (const QByteArray& joined : {QByteArray("--workdir="), QByteArray("-C")}) {
        if (argument.startsWith(joined))
            return argument.sliced(joined.size());
    }
    return std::nullopt;
}

} // namespace

void LaunchOptions::Name_Application() {
    QCoreApplication::setApplicationName(QStringLiteral("kivo-parser"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KIVO_VERSION));
    // Lets the desktop match the running window to its entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(KIVO_APP_ID));
}

LaunchOptions LaunchOptions::Take(int& argc, char** argv) {
    LaunchOptions options;
    bool help = false;
    bool version = false;
    int kept = std::min(argc, 1);
    for (int index = 1; index < argc; ++index) {
        const QByteArray argument(argv[index]);
        if (argument == "-h" || argument == "--help") {
            help = true;
        } else if (argument == "-v" || argument == "--version") {
            version = true;
        } else if (argument == "--user-workspace") {
            options.User_Workspace = true;
        } else if (const std::optional<QByteArray> value = Workdir_Value(index, argc, argv)) {
            options.Workdir = QString::fromLocal8Bit(*value);
            if (options.Workdir.isEmpty() && options.Error.isEmpty())
                options.Error = QStringLiteral("-C (--workdir) needs a directory");
        } else {
            argv[kept++] = argv[index];
        }
    }
    argc = kept;

    if (options.Error.isEmpty() && !options.Workdir.isEmpty()) {
        if (options.User_Workspace)
            options.Error = QStringLiteral("-C and --user-workspace exclude each other");
        else if (!QFileInfo(options.Workdir).isDir())
            options.Error = QStringLiteral("no such directory: %1").arg(options.Workdir);
    }
    if (help)
        options.What = Action::Show_Help;
    else if (version)
        options.What = Action::Show_Version;
    else if (!options.Error.isEmpty())
        options.What = Action::Refuse;
    return options;
}

int LaunchOptions::Report() const {
    switch (What) {
    case Action::Show_Help:
        Print(stdout, QString::fromUtf8(Help_Text).arg(UserWorkspace::Location()));
        return Success;
    case Action::Show_Version:
        Print(stdout,
              QStringLiteral("kivo-parser %1\n").arg(QCoreApplication::applicationVersion()));
        return Success;
    case Action::Refuse:
        Print_Error(QStringLiteral("%1\nTry 'kivo-parser --help'.").arg(Error));
        return Usage_Error;
    case Action::Run:
        break;
    }
    return Success;
}

bool LaunchOptions::Enter_Work_Directory() const {
    QString directory = Workdir;
    if (User_Workspace) {
        directory = UserWorkspace::Location();
        const QString error = UserWorkspace::Prepare(directory, UserWorkspace::Installed_Sample());
        if (!error.isEmpty()) {
            Print_Error(error);
            return false;
        }
    }
    if (!directory.isEmpty() && !QDir::setCurrent(directory)) {
        Print_Error(QStringLiteral("cannot enter the directory %1").arg(directory));
        return false;
    }
    return true;
}
