// Where a workspace's files are, however its folder is given, and the registry value a typed
// template name is saved under.
#include "TestTable.h"
#include "Workspace.h"

#include <QDir>

// Named apart from the suites' TestWorkspace helper, which makes a scratch workspace.
class TestWorkspacePaths : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // root ("" the current directory) | template name as typed | registry path | template path |
    // template folder
    void paths_data() {
        Add_Rows(
            {"current directory |  | x | Dev.conf | Device/x.json | Device",
             "dot | . | x.json | ./Dev.conf | ./Device/x.json | ./Device",
             "trailing slash | /w/ | x | /w/Dev.conf | /w/Device/x.json | /w/Device",
             "no trailing slash | /w | x | /w/Dev.conf | /w/Device/x.json | /w/Device",
             "filesystem root | / | x | /Dev.conf | /Device/x.json | /Device",
             "subfolder | w | sub/x | w/Dev.conf | w/Device/sub/x.json | w/Device",
             "doubled .json | w | x.json.json | w/Dev.conf | w/Device/x.json.json | w/Device"});
    }
    void paths() {
        const QStringList c = Row(5);
        const Workspace workspace(c[0]);
        const QString file_name = Workspace::Saved_File_Name(c[1]);
        QCOMPARE(workspace.Registry_Path(), c[2]);
        QCOMPARE(workspace.Template_Path(file_name), c[3]);
        QCOMPARE(workspace.Template_Folder(), c[4]);
        // Messages name the file inside the workspace, wherever it is.
        QCOMPARE(Workspace::Template_Name(file_name), c[3].mid(c[3].indexOf(u"Device/"_qs)));
        // The current directory has the path the process reports, the key of a remembered device.
        QVERIFY(!c[0].isEmpty() || workspace.Absolute_Root() == QDir::currentPath());
    }
};

QTEST_GUILESS_MAIN(TestWorkspacePaths)
#include "tst_Workspace.moc"
