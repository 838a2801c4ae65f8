#include "LaunchOptions.h"
#include "TestTable.h"
#include "TestWorkspace.h"
#include "UserWorkspace.h"

#include <QDir>
#include <QTemporaryDir>

class TestLaunchOptions : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // The window's options leave argv; the toolkit's stay, in order. %T is the temporary folder.
    // clang-format off
    // arguments (between blanks) | what to do | the work directory, or the error | arguments left
    void take_data() { Add_Rows({
        "none |  | Run |  | ",
        "toolkit options pass | -platform offscreen -C %T -style x | Run | %T | -platform offscreen -style x",
        "-CDIR | -C%T | Run | %T | ", "--workdir=DIR | --workdir=%T | Run | %T | ",
        "user workspace | --user-workspace | Run |  | ",
        "both | -C %T --user-workspace | Refuse | -C and --user-workspace exclude each other | ",
        "-C last | -platform offscreen -C | Refuse | -C (--workdir) needs a directory | -platform offscreen",
        "--workdir= | --workdir= | Refuse | -C (--workdir) needs a directory | ",
        "no such directory | -C %T/kivo-none | Refuse | no such directory: %T/kivo-none | ",
        "help over an error | --help -C | Show_Help | -C (--workdir) needs a directory | ",
        "version | -x -v | Show_Version |  | -x"});
    }
    // clang-format on
    void take() {
        QStringList c = Row(4);
        for (QString& cell : c)
            cell.replace(u"%T"_qs, QDir::tempPath());
        const QStringList arguments = c[0].split(u' ', Qt::SkipEmptyParts);
        QList<QByteArray> storage{"kivo-parser"};
        for (const QString& argument : arguments)
            storage.append(argument.toLocal8Bit());
        QList<char*> argv;
        for (QByteArray& argument : storage)
            argv.append(argument.data());
        int argc = int(argv.size());

        const LaunchOptions options = LaunchOptions::Take(argc, argv.data());
        QCOMPARE(int(options.What),
                 QStringList({"Run", "Show_Help", "Show_Version", "Refuse"}).indexOf(c[1]));
        QCOMPARE(options.Error.isEmpty() ? options.Workdir : options.Error, c[2]);
        QCOMPARE(options.User_Workspace, arguments.contains("--user-workspace"));
        QStringList kept;
        for (const char* argument : argv.first(argc))
            kept.append(QString::fromLocal8Bit(argument));
        QCOMPARE(kept, QStringList{"kivo-parser"} + c[3].split(u' ', Qt::SkipEmptyParts));
    }

    // Made once from the sample, its folder too, with no staging folder left beside it (not even
    // one an interrupted first start left); then the
    // user's: a second start copies nothing over it. No sample, or a file in its place, is an
    // error.
    void user_workspace() {
        QTemporaryDir home;
        const QString sample = KIVO_EXAMPLES_DIR "/workspace",
                      workspace = home.filePath("share/ws");
        const Workspace copy(workspace), installed(sample);
        QCOMPARE(UserWorkspace::Prepare(workspace, home.filePath("none")),
                 "the sample workspace is not installed: " + home.filePath("none") + " is missing");
        QVERIFY(QDir().mkpath(Workspace(home.filePath("share/.workspace-left")).Template_Folder()));
        QCOMPARE(UserWorkspace::Prepare(workspace, sample), QString());
        QCOMPARE(TestWorkspace::Read(copy.Registry_Path()),
                 TestWorkspace::Read(installed.Registry_Path()));
        for (const char* file : {"sensor1.json", "thermometer.json"})
            QCOMPARE(TestWorkspace::Read(copy.Template_Path(file)),
                     TestWorkspace::Read(installed.Template_Path(file)));
        QCOMPARE(QDir(home.filePath("share"))
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"ws"});
        QVERIFY(TestWorkspace::Write(copy.Registry_Path(), "[Dev]\nMine=mine.json\n"));
        QVERIFY(QFile::remove(copy.Template_Path("beacon.json")));
        QCOMPARE(UserWorkspace::Prepare(workspace, sample), QString());
        QCOMPARE(TestWorkspace::Read(copy.Registry_Path()), "[Dev]\nMine=mine.json\n");
        QVERIFY(!QFile::exists(copy.Template_Path("beacon.json")));
        QCOMPARE(UserWorkspace::Prepare(copy.Registry_Path(), sample),
                 copy.Registry_Path() + " is in the way of the workspace: it is not a folder");
        // A link to nowhere is in the way too; the system's reason follows the first line.
        QVERIFY(QFile::link(home.filePath("nowhere"), home.filePath("dangling")));
        QCOMPARE(UserWorkspace::Prepare(home.filePath("dangling"), sample),
                 "cannot create the workspace " + home.filePath("dangling") + "\nNot a directory");
    }
};

QTEST_GUILESS_MAIN(TestLaunchOptions)
#include "tst_LaunchOptions.moc"
