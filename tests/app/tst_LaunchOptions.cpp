#include "LaunchOptions.h"
#include "UserWorkspace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

} // namespace

class TestLaunchOptions : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // The window's options leave argv; the toolkit's stay, in order.
    void take_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("workdir_or_error");
        QTest::addColumn<bool>("user_workspace");
        QTest::addColumn<QStringList>("left");
        const int run = int(LaunchOptions::Action::Run);
        const int refuse = int(LaunchOptions::Action::Refuse);
        const QString dir = QDir::tempPath();
        const QStringList none;
        QTest::newRow("none") << none << run << "" << false << none;
        QTest::newRow("toolkit options pass")
            << QStringList{"-platform", "offscreen", "-C", dir, "-style", "x"} << run << dir
            << false << QStringList{"-platform", "offscreen", "-style", "x"};
        QTest::newRow("-CDIR") << QStringList{"-C" + dir} << run << dir << false << none;
        QTest::newRow("--workdir DIR")
            << QStringList{"--workdir", dir} << run << dir << false << none;
        QTest::newRow("--workdir=DIR")
            << QStringList{"--workdir=" + dir} << run << dir << false << none;
        QTest::newRow("user workspace")
            << QStringList{"--user-workspace"} << run << "" << true << none;
        QTest::newRow("both") << QStringList{"-C", dir, "--user-workspace"} << refuse
                              << "-C and --user-workspace exclude each other" << true << none;
        QTest::newRow("-C last") << QStringList{"-platform", "offscreen", "-C"} << refuse
                                 << "-C (--workdir) needs a directory" << false
                                 << QStringList{"-platform", "offscreen"};
        QTest::newRow("--workdir=") << QStringList{"--workdir="} << refuse
                                    << "-C (--workdir) needs a directory" << false << none;
        QTest::newRow("no such directory")
            << QStringList{"-C", dir + "/kivo-none"} << refuse
            << "no such directory: " + dir + "/kivo-none" << false << none;
        QTest::newRow("help over an error")
            << QStringList{"--help", "-C"} << int(LaunchOptions::Action::Show_Help)
            << "-C (--workdir) needs a directory" << false << none;
        QTest::newRow("version") << QStringList{"-x", "-v"}
                                 << int(LaunchOptions::Action::Show_Version) << "" << false
                                 << QStringList{"-x"};
    }
    void take() {
        QFETCH(QStringList, arguments);
        QFETCH(int, action);
        QFETCH(QString, workdir_or_error);
        QFETCH(bool, user_workspace);
        QFETCH(QStringList, left);
        QList<QByteArray> storage{"kivo-parser"};
        for (const QString& argument : arguments)
            storage.append(argument.toLocal8Bit());
        QList<char*> argv;
        for (QByteArray& argument : storage)
            argv.append(argument.data());
        int argc = int(argv.size());

        const LaunchOptions options = LaunchOptions::Take(argc, argv.data());
        QCOMPARE(int(options.What), action);
        QCOMPARE(options.Error.isEmpty() ? options.Workdir : options.Error, workdir_or_error);
        QCOMPARE(options.User_Workspace, user_workspace);
        QStringList kept;
        for (int i = 0; i < argc; ++i)
            kept.append(QString::fromLocal8Bit(argv[i]));
        QCOMPARE(kept, QStringList{"kivo-parser"} + left);
    }

    // Made once from the sample, then the user's: a second start copies nothing over it.
    void user_workspace_is_made_once() {
        QTemporaryDir home;
        const QString sample = KIVO_EXAMPLES_DIR "/workspace";
        const QString workspace = home.filePath("share/kivo-parser");
        QCOMPARE(UserWorkspace::Prepare(workspace, sample), QString());
        for (const char* file : {"Dev.conf", "Device/sensor1.json", "Device/thermometer.json"})
            QCOMPARE(Read(workspace + '/' + file), Read(sample + '/' + file));
        QCOMPARE(QDir(home.filePath("share"))
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"kivo-parser"});

        QFile conf(workspace + "/Dev.conf");
        QVERIFY(conf.open(QIODevice::WriteOnly) && conf.write("[Dev]\nMine=mine.json\n") > 0);
        conf.close();
        QVERIFY(QFile::remove(workspace + "/Device/beacon.json"));
        QCOMPARE(UserWorkspace::Prepare(workspace, sample), QString());
        QCOMPARE(Read(workspace + "/Dev.conf"), "[Dev]\nMine=mine.json\n");
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
