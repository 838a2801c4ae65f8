// Where a workspace's files are, however its folder is given, and the registry value a typed
// template name is saved under.
#include "TestTable.h"
#include "Workspace.h"

#include <QDir>

// Named apart from the suites' TestWorkspace helper, which makes a scratch workspace.
class TestWorkspacePaths : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // root ("" the current directory) | registry value | registry path | template path | folder
    void paths_data() {
        Add_Rows({"current directory |  | x.json | Dev.conf | Device/x.json | Device",
                  "dot | . | x.json | ./Dev.conf | ./Device/x.json | ./Device",
                  "trailing slash | /w/ | x.json | /w/Dev.conf | /w/Device/x.json | /w/Device",
                  "no trailing slash | /w | x.json | /w/Dev.conf | /w/Device/x.json | /w/Device",
                  "filesystem root | / | x.json | /Dev.conf | /Device/x.json | /Device",
                  "subfolder value | w | sub/x.json | w/Dev.conf | w/Device/sub/x.json | w/Device",
                  "empty value | w |  | w/Dev.conf | w/Device/ | w/Device"});
    }
    void paths() {
        const QStringList c = Row(5);
        const Workspace workspace(c[0]);
        QCOMPARE(workspace.Registry_Path(), c[2]);
        QCOMPARE(workspace.Template_Path(c[1]), c[3]);
        QCOMPARE(workspace.Template_Folder(), c[4]);
        // Messages name the file inside the workspace, wherever it is.
        QCOMPARE(Workspace::Template_Name(c[1]), c[3].mid(c[3].indexOf(u"Device/"_qs)));
        // The current directory has the path the process reports, the key of a remembered device.
        QVERIFY(!c[0].isEmpty() || workspace.Absolute_Root() == QDir::currentPath());
    }

    // typed | saved under | shown as
    void typed_names_data() {
        Add_Rows({"plain | a | a.json | a", "with .json | a.json | a.json | a",
                  "doubled | a.json.json | a.json.json | a.json", "only .json | .json | .json | "});
    }
    void typed_names() {
        const QStringList c = Row(3);
        QCOMPARE(Workspace::Saved_File_Name(c[0]), c[1]);
        QCOMPARE(Workspace::Typed_Name(c[1]), c[2]);
    }
};

QTEST_GUILESS_MAIN(TestWorkspacePaths)
#include "tst_Workspace.moc"
