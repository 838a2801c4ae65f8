#include "LaunchOptions.h"
#include "TestWorkspace.h"
#include "UserWorkspace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestLaunchOptions : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // The window's options leave argv; the toolkit's stay, in order.
    void take_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<LaunchOptions::Action>("action");
        QTest::addColumn<QString>("outcome"); // the work directory, or the error
        QTest::addColumn<QStringList>("left");
        using enum LaunchOptions::Action;
        const auto row = [](const char* name, const QStringList& arguments,
                            LaunchOptions::Action action, const QString& outcome,
                            const QStringList& left = {}) {
            QTest::newRow(name) << arguments << action << outcome << left;
        };
        const QString dir = QDir::tempPath();
        const QString needs = "-C (--workdir) needs a directory";
        row("none", {}, Run, "");
        row("toolkit options pass", {"-platform", "offscreen", "-C", dir, "-style", "x"}, Run, dir,
            {"-platform", "offscreen", "-style", "x"});
        row("-CDIR", {"-C" + dir}, Run, dir);
        row("--workdir=DIR", {"--workdir=" + dir}, Run, dir);
        row("user workspace", {"--user-workspace"}, Run, "");
        row("both", {"-C", dir, "--user-workspace"}, Refuse,
            "-C and --user-workspace exclude each other");
        row("-C last", {"-platform", "offscreen", "-C"}, Refuse, needs, {"-platform", "offscreen"});
        row("--workdir=", {"--workdir="}, Refuse, needs);
        row("no such directory", {"-C", dir + "/kivo-none"}, Refuse,
            "no such directory: " + dir + "/kivo-none");
        row("help over an error", {"--help", "-C"}, Show_Help, needs);
        row("version", {"-x", "-v"}, Show_Version, "", {"-x"});
    }
    void take() {
        QFETCH(QStringList, arguments);
        QFETCH(LaunchOptions::Action, action);
        QFETCH(QString, outcome);
        QFETCH(QStringList, left);
        QList<QByteArray> storage{"kivo-parser"};
        for (const QString& argument : arguments)
            storage.append(argument.toLocal8Bit());
        QList<char*> argv;
        for (QByteArray& argument : storage)
            argv.append(argument.data());
        int argc = int(argv.size());

        const LaunchOptions options = LaunchOptions::Take(argc, argv.data());
        QCOMPARE(options.What, action);
        QCOMPARE(options.Error.isEmpty() ? options.Workdir : options.Error, outcome);
        QCOMPARE(options.User_Workspace, arguments.contains("--user-workspace"));
        QStringList kept;
        for (const char* argument : argv.first(argc))
            kept.append(QString::fromLocal8Bit(argument));
        QCOMPARE(kept, QStringList{"kivo-parser"} + left);
    }

    // Made once from the sample, then the user's: a second start copies nothing over it.
    void user_workspace_is_made_once() {
        QTemporaryDir home;
        const QString sample = KIVO_EXAMPLES_DIR "/workspace";
        const QString workspace = home.filePath("share/kivo-parser");
        QCOMPARE(UserWorkspace::Prepare(workspace, sample), QString());
        for (const char* file : {"Dev.conf", "Device/sensor1.json", "Device/thermometer.json"})
            QCOMPARE(TestWorkspace::Read(workspace + '/' + file),
                     TestWorkspace::Read(sample + '/' + file));
        QCOMPARE(QDir(home.filePath("share"))
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"kivo-parser"});

        QFile conf(workspace + "/Dev.conf");
        QVERIFY(conf.open(QIODevice::WriteOnly) && conf.write("[Dev]\nMine=mine.json\n") > 0);
        conf.close();
        QVERIFY(QFile::remove(workspace + "/Device/beacon.json"));
        QCOMPARE(UserWorkspace::Prepare(workspace, sample), QString());
        QCOMPARE(TestWorkspace::Read(workspace + "/Dev.conf"), "[Dev]\nMine=mine.json\n");
        QVERIFY(!QFile::exists(workspace + "/Device/beacon.json"));
    }

    void user_workspace_failures() {
        QTemporaryDir home;
        const QString missing = home.filePath("no-sample");
        QCOMPARE(UserWorkspace::Prepare(home.filePath("ws"), missing),
                 "the sample workspace is not installed: " + missing + " is missing");
        QVERIFY(!QFile::exists(home.filePath("ws")));

        QFile in_the_way(home.filePath("file"));
        QVERIFY(in_the_way.open(QIODevice::WriteOnly));
        QCOMPARE(UserWorkspace::Prepare(home.filePath("file"), KIVO_EXAMPLES_DIR "/workspace"),
                 home.filePath("file") + " is in the way of the workspace: it is not a folder");
    }
};

QTEST_GUILESS_MAIN(TestLaunchOptions)
#include "tst_LaunchOptions.moc"
