// Dev.conf changed one key at a time: hand-written files keep every other line, the settings
// reader finds exactly the old entries and the change, and a save killed at any step is undone
// (or kept, once done) by the next start.
#include "DeviceRegistry.h"
#include "SafeFile.h"
#include "TestTable.h"
#include "TestWorkspace.h"

#include <QtTest>

#include <optional>

#include <sys/stat.h>

namespace {

using Entries = QMap<QString, QString>;

// What the settings reader finds in group Dev of the bytes (under a name it has not read yet).
Entries Settings_Entries(const QByteArray& content, const QString& name) {
    TestWorkspace::Write(name, content);
    QSettings settings(name, QSettings::IniFormat);
    settings.beginGroup("Dev");
    Entries entries;
    for (const QString& key : settings.allKeys())
        entries.insert(key, settings.value(key).toString());
    return entries;
}

// Dev.conf as the program reads it.
Entries Read_Entries() {
    Entries entries;
    for (const DeviceRegistry::Device& device : DeviceRegistry::Read(Here.Registry_Path()))
        entries.insert(device.Name, device.File_Name);
    return entries;
}

QByteArray Unescaped(const QString& cell) {
    return QByteArray(cell.toUtf8())
        .replace("\\n", "\n")
        .replace("\\r", "\r")
        .replace("\\q", "\"")
        .replace("\\b", "\xef\xbb\xbf");
}

} // namespace

class TestDeviceRegistry : public QObject {
    Q_OBJECT
    std::optional<TestWorkspace> Work_Dir;

  private Q_SLOTS:
    void init() { Work_Dir.emplace(); }
    void cleanup() { Work_Dir.reset(); }

    // clang-format off
    // Dev.conf before (none: no file; \n \r, \q a quote, \b a byte order mark) | device | its
    // file (none: removed) | Dev.conf after
    void hand_written_data() { Add_Rows({
        R"(comments and junk | ; mine\n# hash\n\x01 junk\n[Dev]\nOld=old.json\nbroken\n | New | new.json | ; mine\n# hash\n\x01 junk\n[Dev]\nOld=old.json\nbroken\nNew=new.json\n)",
        R"(re-pointed in place | [Dev]\nA=a.json ;note\nB=b.json\n | A | c.json | [Dev]\nA=c.json;note\nB=b.json\n)",
        R"(repeated key | [Dev]\nA=1.json\nB=b.json\nA=2.json\n | A | 3.json | [Dev]\nA=3.json\nB=b.json\n)",
        R"(escaped Cyrillic key | [Dev]\n%U0414=d.json\nX=x.json\n | Д | e.json | [Dev]\n%U0414=e.json\nX=x.json\n)",
        R"(raw Cyrillic key | [Dev]\nДатчик = d.json\n | Датчик | e.json | [Dev]\n%U0414%U0430%U0442%U0447%U0438%U043A=e.json\n)",
        R"(new Cyrillic key | [Dev]\nA=a.json\n | Датчик №1 | д.json | [Dev]\nA=a.json\n%U0414%U0430%U0442%U0447%U0438%U043A%20%U21161=д.json\n)",
        R"(sections around | [Dev]\nA=a.json\n[Other]\nA=1\n[Dev]\nB=b.json\n\n[Tail]\nY=2\n | C | c.json | [Dev]\nA=a.json\n[Other]\nA=1\n[Dev]\nB=b.json\nC=c.json\n\n[Tail]\nY=2\n)",
        R"(no Dev section | [Other]\nX=1 | A | a.json | [Other]\nX=1\n\n[Dev]\nA=a.json\n)",
        R"(another case | [dev]\nA=a.json\n | A | a.json | [dev]\nA=a.json\n\n[Dev]\nA=a.json\n)",
        R"(no file | none | A | a.json | [Dev]\nA=a.json\n)",
        R"(CR LF | [Dev]\r\nA=a.json\r\n | B | b.json | [Dev]\r\nA=a.json\r\nB=b.json\r\n)",
        R"(byte order mark | \b[Dev]\nA=a.json | B | b.json | \b[Dev]\nA=a.json\nB=b.json)",
        R"(quoted line break | [Dev]\nA=\qx\ny\q\nB=b.json\n | B | c.json | [Dev]\nA=\qx\ny\q\nB=c.json\n)",
        R"(value escaped | [Dev]\n | A | @x;y, z.json | [Dev]\nA=\q@@x;y, z.json\q\n)",
        R"(value outside the BMP | [Dev]\n | A | 😀.json | [Dev]\nA=😀.json\n)",
        R"(slash in a name | [Dev]\n | x/y | a.json | [Dev]\nx\y=a.json\n)",
        R"(removed | [Dev]\nA=a.json\n;note\nB=b.json\nA=2.json\n | A | none | [Dev]\n;note\nB=b.json\n)"});
    }
    // clang-format on
    void hand_written() {
        const QStringList c = Row(4);
        const QByteArray before = Unescaped(c[0]), after = Unescaped(c[3]);
        const std::optional<QString> file_name =
            c[2] == "none" ? std::nullopt : std::optional<QString>(c[2]);
        QVERIFY(c[0] == "none" || TestWorkspace::Write(Here.Registry_Path(), before));
        QStringList shown;
        QVERIFY(DeviceRegistry::Change(
            c[1], file_name, [&](const UserMessage& m) { shown << m.Text; }, std::nullopt,
            Here.Registry_Path()));
        QCOMPARE(shown, QStringList());
        QCOMPARE(TestWorkspace::Read(Here.Registry_Path()), after);
        Entries expected = Settings_Entries(c[0] == "none" ? "" : before, "before.conf");
        if (file_name)
            expected.insert(c[1], *file_name);
        else
            expected.remove(c[1]);
        QCOMPARE(Settings_Entries(after, "after.conf"), expected);
        QCOMPARE(Read_Entries(), expected); // the program's own reading agrees
        QStringList left = TestWorkspace::Entries(".");
        left.sort();
        QCOMPARE(left, QStringList({"Dev.conf", "Device", "after.conf", "before.conf"}));
    }

    // A save killed after each of its steps: the next start puts the template and Dev.conf back
    // byte for byte and says so once, or, once the save was done, keeps it; either way nothing
    // is left behind, not even a scratch file the journal could not name. A template that did not
    // exist before is taken away again.
    void killed_save_data() {
        QTest::addColumn<QByteArray>("old"); // the template before; null: none
        QTest::newRow("replaced template") << QByteArray("old template");
        QTest::newRow("new template") << QByteArray();
    }
    void killed_save() {
        QFETCH(QByteArray, old);
        const QByteArray registry = "; mine\n[Dev]\nOld=t.json\n";
        const QStringList device_files = old.isNull() ? QStringList() : QStringList{"t.json"};
        const QString conf = Here.Registry_Path(), file = Here.Template_Path("t.json");
        for (int step = 1; step <= 7; ++step) {
            QVERIFY(TestWorkspace::Write(conf, registry));
            QVERIFY(old.isNull() || TestWorkspace::Write(file, old));
            QVERIFY(TestWorkspace::Save_Killed_At(step, "New", "t.json", "new template"));
            QVERIFY(TestWorkspace::Write(".kivo-new-0", "as if killed while writing the journal"));
            QStringList shown;
            const auto record = [&](const UserMessage& m) { shown << m.Title + '|' + m.Text; };
            DeviceRegistry::Recover(record, conf);
            DeviceRegistry::Recover(record, conf);
            const bool undone = step <= 5, said = step >= 2 && undone;
            QCOMPARE(shown, said ? QStringList{"Восстановление|Сохранение было прервано: файлы "
                                               "Device/t.json, Dev.conf возвращены в прежнее "
                                               "состояние."}
                                 : QStringList());
            QCOMPARE(TestWorkspace::Read(conf), undone ? registry : registry + "New=t.json\n");
            QCOMPARE(TestWorkspace::Read(file),
                     undone ? (old.isNull() ? "(missing)" : old) : "new template");
            QCOMPARE(TestWorkspace::Entries("."), QStringList({"Dev.conf", "Device"}));
            QCOMPARE(TestWorkspace::Entries(Here.Template_Folder()),
                     undone ? device_files : QStringList{"t.json"});
            QFile::remove(file);
        }
    }

    // The program reads every value as the settings reader does: quotes, escapes, blanks, lists,
    // typed values, comments, continued lines, keys of other sections that only look like
    // devices, and keys that the settings object cannot look up again.
    void values_as_settings_read_them() {
        const QByteArray registry =
            "x=top\n[General]\nDev\\g=general\n[Dev]\nl1=a,b\nl2=a,\nq=\"a,b\"\nat=@@x\n"
            "inv=@Invalid()\nba=@ByteArray(xy)\nst=@String(s t)\nrect=@Rect(1 2 3 4)\n"
            "rect3=@Rect(1 2 3)\nsz=@Size(1 2)\nother=@Foo(x)\nsp= a b  \n"
            "esc=a\\x41g\\101\\q\\\n\nnext=1 ;c\n\\x=slash\nquoted=\"a\"  b \"c\" \n"
            "tab=\ta\t\ncont=a\\\r\nb\n  %U0414=d\n;comment=no\nno equals\n[%General]\nk=v\n"
            "[Dev%2Fsub]\nk=sub\n[Dev]\nat=again\nutf=Датчик\n";
        QVERIFY(TestWorkspace::Write(Here.Registry_Path(), registry));
        QCOMPARE(Read_Entries(), Settings_Entries(registry, "copy.conf"));
        QCOMPARE(Read_Entries().size(), 20);
    }

    // Dev.conf that is no regular file, or too large, is reported at once with the reason; a
    // missing one is simply empty.
    void unreadable_data() {
        Add_Rows({"FIFO | Not a regular file", "/dev/zero | Not a regular file",
                  "64 MiB and a byte | File too large: more than 64 MiB", "missing | "});
    }
    void unreadable() {
        const QString tag = QTest::currentDataTag(), reason = Row(1)[0];
        const QString conf = Here.Registry_Path();
        QFile big(conf);
        QVERIFY(tag != "FIFO" || ::mkfifo(QFile::encodeName(conf), 0600) == 0);
        QVERIFY(tag != "/dev/zero" || QFile::link("/dev/zero", conf));
        QVERIFY(!tag.startsWith("64") ||
                (big.open(QIODevice::WriteOnly) && big.resize(SafeFile::Max_Read_Size + 1)));
        big.close();
        QStringList shown;
        QCOMPARE(DeviceRegistry::Read(conf, [&](const UserMessage& m) { shown << m.Text; }).size(),
                 0);
        QCOMPARE(shown, reason.isEmpty()
                            ? QStringList()
                            : QStringList{"Не удалось открыть файлDev.conf\n" + reason});
    }
};

QTEST_GUILESS_MAIN(TestDeviceRegistry)
#include "tst_DeviceRegistry.moc"
