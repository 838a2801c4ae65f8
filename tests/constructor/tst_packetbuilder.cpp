// The constructor window driven as a user drives it: buttons pressed, rows clicked, cells typed,
// "Сохранить" pressed and its message box answered; then the template file and Dev.conf read back.
#include "DeviceRegistry.h"
#include "PacketBuilder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <memory>
#include <unistd.h>

namespace {

const QString Saved = u"I|Готово|JSON файл сохранен!"_qs;

QString Failed(const QString& path) {
    return u"I|Ошибка|Не удалось открыть файл"_qs + path;
}

QByteArray Read_File(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write_File(const QString& path, const QByteArray& content) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

void Register(const QString& device, const QString& file_name) {
    QSettings settings(u"Dev.conf"_qs, QSettings::IniFormat);
    settings.setValue(u"Dev/"_qs + device, file_name);
}

QString Registry_Text() {
    QStringList entries;
    for (const DeviceRegistry::Device& device : DeviceRegistry::Read())
        entries << device.Name + u'=' + device.File_Name;
    return entries.join(u'|');
}

QJsonObject Template(int index, const QString& path = u"Device/a.json"_qs) {
    return QJsonDocument::fromJson(Read_File(path))[u"packet_data"_qs][index].toObject();
}

} // namespace

class PacketBuilderTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> Work_Dir;
    std::unique_ptr<PacketBuilder> Builder;
    QString Start_Dir = QDir::currentPath();
    QTreeWidget* Tree = nullptr;

    void Press(const QString& text) {
        for (QPushButton* button : Builder->findChildren<QPushButton*>())
            if (button->text() == text)
                return QTest::mouseClick(button, Qt::LeftButton);
        QFAIL(qPrintable(u"no button "_qs + text));
    }
    void Click(QTreeWidgetItem* row) {
        const QRect rect = Tree->visualItemRect(row);
        QVERIFY(!rect.isEmpty());
        QTest::mouseClick(Tree->viewport(), Qt::LeftButton, {}, rect.center());
    }
    // Presses an add button and fills the new row's cells as its editor would; null cells stay.
    QTreeWidgetItem* Add(const QString& button, const QStringList& cells) {
        Press(button);
        QTreeWidgetItem* row = Tree->currentItem();
        for (int column = 0; column < cells.size(); ++column)
            if (!cells[column].isNull())
                row->setText(column, cells[column]);
        return row;
    }
    QTreeWidgetItem* Add_Type(const QString& codes, const QString& names) {
        return Add(u"Тип пакета"_qs, {codes, QString(), names});
    }
    QTreeWidgetItem* Add_Byte(const QString& size, const QString& name) {
        return Add(u"Поле данных(байт)"_qs, {QString(), size, name});
    }
    int Rows() const {
        int count = 0;
        for (QTreeWidgetItemIterator it(Tree); *it; ++it)
            ++count;
        return count;
    }
    // Presses "Сохранить" and answers the one box it shows: "icon|title|text".
    QString Save(const QString& file_name, const QString& device_name) {
        const auto edits = Builder->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly);
        edits[0]->setText(device_name);
        edits[1]->setText(file_name);
        QString seen;
        QTimer::singleShot(0, this, [&seen] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                const bool critical = box->icon() == QMessageBox::Critical;
                seen = (critical ? u"C|"_qs : u"I|"_qs) + box->windowTitle() + u'|' + box->text();
                box->close();
            }
        });
        Press(u"Сохранить"_qs);
        [&] { QTRY_VERIFY(!seen.isEmpty()); }();
        return seen;
    }

  private Q_SLOTS:
    void init() {
        Work_Dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(Work_Dir->path()));
        QVERIFY(QDir().mkdir(u"Device"_qs));
        Builder = std::make_unique<PacketBuilder>();
        Builder->show();
        QVERIFY(QTest::qWaitForWindowExposed(Builder.get()));
        Tree = Builder->findChild<QTreeWidget*>();
    }
    void cleanup() {
        Builder.reset();
        QFile::setPermissions(u"Device"_qs, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir::setCurrent(Start_Dir);
        Work_Dir.reset();
    }

    void byteFieldsAreNumberedConsecutively() {
        QTreeWidgetItem* type = Add_Type(u"1"_qs, u"T"_qs);
        QCOMPARE(type->text(1), u"0"_qs);
        QTreeWidgetItem* first = Add_Byte(u"2"_qs, u"A"_qs);
        QCOMPARE(first->text(0), u"0"_qs);
        QCOMPARE(type->text(1), u"2"_qs);
        QTreeWidgetItem* second = Add_Byte({}, u"B"_qs);
        QCOMPARE(second->text(0), u"2"_qs);
        QCOMPARE(type->text(1), u"2"_qs);
        second->setText(1, u"3"_qs);
        QCOMPARE(type->text(1), u"5"_qs);
        QTreeWidgetItem* last = Add_Byte(u"1"_qs, {});
        QCOMPARE(last->text(0), u"5"_qs);
        QCOMPARE(type->text(1), u"6"_qs);
        last->setText(0, u"2147483647"_qs); // the end lies past the 32-bit range
        QCOMPARE(type->text(1), u"2147483648"_qs);
        QCOMPARE(Add_Byte({}, {})->text(0), u"6"_qs);
    }

    // Only the last byte field of the current packet type moves the size and the numbering.
    void onlyTheLastFieldOfTheCurrentTypeCounts() {
        QTreeWidgetItem* a = Add_Type(u"1"_qs, u"A"_qs);
        QTreeWidgetItem* a0 = Add_Byte(u"2"_qs, {});
        QTreeWidgetItem* a1 = Add_Byte(u"3"_qs, {});
        a0->setText(1, u"40"_qs);
        QCOMPARE(a->text(1), u"5"_qs);
        a->setText(1, u"5-30"_qs);
        a1->setText(2, u"renamed"_qs);
        QCOMPARE(a->text(1), u"5"_qs);
        Click(a0);
        QTreeWidgetItem* a2 = Add_Byte(u"1"_qs, {});
        QCOMPARE(a2->text(0), u"5"_qs);
        a1->setText(1, u"10"_qs);
        QCOMPARE(a->text(1), u"6"_qs);

        Click(a0);
        QTreeWidgetItem* b = Add_Type(u"2"_qs, u"B"_qs);
        Click(a2); // a field of another packet type: numbering of B stays
        QCOMPARE(Add_Byte(u"1"_qs, {})->text(0), u"0"_qs);
        QCOMPARE(b->text(1), u"1"_qs);
        Click(a);
        Click(a2);
        QCOMPARE(Add_Byte({}, {})->text(0), u"6"_qs);
    }

    void deletingRemovesTheRowClickedLast() {
        QTreeWidgetItem* a = Add_Type(u"1"_qs, u"A"_qs);
        Press(u"Удалить элемент"_qs); // nothing clicked yet
        QCOMPARE(Rows(), 1);
        Click(a);
        QTreeWidgetItem* a0 = Add_Byte(u"2"_qs, {});
        Add(u"Поле данных(бит)"_qs, {u"0"_qs, u"1"_qs, u"bit"_qs});
        Click(a0);
        Add_Type(u"2"_qs, u"B"_qs);
        Press(u"Удалить элемент"_qs); // the clicked field with its bit, not the new type
        QCOMPARE(Rows(), 2);
        QCOMPARE(a->childCount(), 0);
        Press(u"Удалить элемент"_qs);
        QCOMPARE(Rows(), 2);
        Press(u"Поле данных(бит)"_qs); // its byte field is gone
        QCOMPARE(Rows(), 2);
    }

    // The deleted type held both current rows; the sanitizer build proves nothing dangles.
    void deletedTypeTakesTheCurrentFieldAlong() {
        QTreeWidgetItem* a = Add_Type(u"1"_qs, u"A"_qs);
        QTreeWidgetItem* a0 = Add_Byte(u"2"_qs, {});
        QTreeWidgetItem* b = Add_Type(u"2"_qs, u"B"_qs);
        QTreeWidgetItem* b0 = Add_Byte(u"3"_qs, {});
        Click(a0);
        Click(a);
        Press(u"Удалить элемент"_qs);
        QCOMPARE(Rows(), 2);
        QTreeWidgetItem* highlighted = Tree->currentItem();
        QVERIFY(highlighted);
        Press(u"Поле данных(бит)"_qs);
        Press(u"Поле данных(байт)"_qs);
        QCOMPARE(Rows(), 2);
        QCOMPARE(Tree->currentItem(), highlighted); // no row was made anywhere

        Click(b0); // a byte field while no packet type is current
        b0->setText(1, u"9"_qs);
        QCOMPARE(b->text(1), u"3"_qs);
        Press(u"Поле данных(бит)"_qs);
        QCOMPARE(b0->childCount(), 1);
        QCOMPARE(Save(u"a"_qs, u"S"_qs), Saved);
        QCOMPARE(Template(0)[u"data"_qs][0][u"size"_qs].toInt(), 9);
    }

    void savingForms_data() {
        QTest::addColumn<QString>("codes");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("names");
        QTest::addColumn<QByteArray>("expected");
        const auto row = [](const char* tag, const char* codes, const char* size, const char* names,
                            const char* expected) {
            QTest::newRow(tag) << QString::fromUtf8(codes) << QString::fromUtf8(size)
                               << QString::fromUtf8(names) << QByteArray(expected);
        };
        row("pairs", "1,2", "10", "A,B",
            R"({"packet_type":[{"T":1,"name":"A"},{"T":2,"name":"B"}],"total_size":10})");
        row("more codes", "1,2,3", "10", "A,B",
            R"({"packet_type":[{"T":1,"name":"A"},{"T":2,"name":"B"}],"total_size":10})");
        row("one name", "1,2", "10", "A", R"({"packet_type":0,"name":"A","total_size":10})");
        row("one code", "5", "10", "A,B", R"({"packet_type":5,"name":"A,B","total_size":10})");
        row("empty pieces", "1,,x", "1", ",B,C",
            R"({"packet_type":[{"T":1,"name":""},{"T":0,"name":"B"},{"T":0,"name":"C"}],
                "total_size":1})");
        row("range", "7", "5-10", "N",
            R"({"packet_type":7,"name":"N","min_size":5,"total_size":10})");
        row("open range", "7", "5-", "N",
            R"({"packet_type":7,"name":"N","min_size":5,"total_size":0})");
        row("no minimum", "7", "-7", "N",
            R"({"packet_type":7,"name":"N","min_size":0,"total_size":7})");
        row("two dashes", "7", "5-10-20", "N",
            R"({"packet_type":7,"name":"N","min_size":5,"total_size":10})");
        row("not numbers", "0x1A", "2.5", " N ",
            R"({"packet_type":0,"name":" N ","total_size":0})");
    }
    void savingForms() {
        QFETCH(QString, codes);
        QFETCH(QString, size);
        QFETCH(QString, names);
        QFETCH(QByteArray, expected);
        Add(u"Тип пакета"_qs, {codes, size, names});
        QCOMPARE(Save(u"a"_qs, u"S"_qs), Saved);
        QCOMPARE(Template(0), QJsonDocument::fromJson(expected).object());
    }

    void documentLayout() {
        QTreeWidgetItem* type = Add_Type(u"7"_qs, u"Тип"_qs);
        Add_Byte(u"1"_qs, u"Байт"_qs);
        Add(u"Поле данных(бит)"_qs, {u"0"_qs, u"1"_qs, u"Флаг"_qs});
        type->setText(1, u"2-9"_qs);
        Add(u"Тип пакета"_qs, {u"8"_qs, u"3"_qs, u"N"_qs});
        QCOMPARE(Save(u"a"_qs, u"S"_qs), Saved);
        QCOMPARE(QString::fromUtf8(Read_File(u"Device/a.json"_qs)), QStringLiteral(R"({
    "packet_data": [
        {
            "data": [
                {
                    "bitmap": [
                        {
                            "name": "Флаг",
                            "num_bit": 0,
                            "size": 1
                        }
                    ],
                    "name": "Байт",
                    "num_byte": 0,
                    "size": 1
                }
            ],
            "min_size": 2,
            "name": "Тип",
            "packet_type": 7,
            "total_size": 9
        },
        {
            "name": "N",
            "packet_type": 8,
            "total_size": 3
        }
    ]
}
)"));
    }

    // Saved twice under the same names: the file is replaced and the device listed once.
    void registration_data() {
        QTest::addColumn<QString>("file_name");
        QTest::addColumn<QString>("device");
        QTest::newRow("plain") << u"a"_qs << u"Sensor"_qs;
        QTest::newRow("Cyrillic") << u"датчик"_qs << u"Датчик №1"_qs;
        QTest::newRow("blanks") << u" "_qs << u" "_qs;
    }
    void registration() {
        QFETCH(QString, file_name);
        QFETCH(QString, device);
        Register(u"Other"_qs, u"other.json"_qs);
        QCOMPARE(Save(file_name, device), Saved);
        const QString path = u"Device/"_qs + file_name + u".json"_qs;
        QCOMPARE(QJsonDocument::fromJson(Read_File(path)).object(),
                 QJsonObject({{u"packet_data"_qs, QJsonArray()}}));
        Add_Type(u"3"_qs, u"T"_qs);
        QCOMPARE(Save(file_name, device), Saved);
        QCOMPARE(Template(0, path)[u"packet_type"_qs].toInt(), 3);
        QCOMPARE(Registry_Text(),
                 device < u"Other"_qs
                     ? device + u'=' + file_name + u".json|Other=other.json"_qs
                     : u"Other=other.json|"_qs + device + u'=' + file_name + u".json"_qs);
    }

    void emptyNamesWriteNothing_data() {
        QTest::addColumn<QString>("file_name");
        QTest::addColumn<QString>("device");
        QTest::newRow("no file name") << QString() << u"S"_qs;
        QTest::newRow("no device name") << u"a"_qs << QString();
        QTest::newRow("neither") << QString() << QString();
    }
    void emptyNamesWriteNothing() {
        QFETCH(QString, file_name);
        QFETCH(QString, device);
        QCOMPARE(Save(file_name, device), u"C|Ошибка|Незавние устройтсва или файла пустое."_qs);
        QVERIFY(QDir(u"Device"_qs).isEmpty());
        QVERIFY(!QFile::exists(u"Dev.conf"_qs));
    }

    void missingDeviceDirectory() {
        QVERIFY(QDir(u"Device"_qs).removeRecursively());
        QCOMPARE(Save(u"a"_qs, u"S"_qs), Failed(u"Device/a.json"_qs));
        QVERIFY(!QFile::exists(u"Device"_qs));
        QVERIFY(!QFile::exists(u"Dev.conf"_qs));
    }

    // A save that cannot complete keeps the previous file and the previous registry entry.
    void failedSaveKeepsWhatWasThere_data() {
        QTest::addColumn<QString>("file_name");
        QTest::addColumn<QString>("fault");
        QTest::newRow("read-only Device/") << u"a"_qs << u"read-only"_qs;
        // No room beside the file for the temporary copy: works even with root's rights.
        QTest::newRow("long name") << QString(250, u'n') << u"long"_qs;
        QTest::newRow("target is a directory") << u"b"_qs << u"directory"_qs;
    }
    void failedSaveKeepsWhatWasThere() {
        QFETCH(QString, file_name);
        QFETCH(QString, fault);
        if (fault == u"read-only"_qs && geteuid() == 0)
            QSKIP("permission bits do not stop root from writing");
        const QString old_file = fault == u"directory"_qs ? u"a"_qs : file_name;
        Write_File(u"Device/"_qs + old_file + u".json"_qs, "old");
        Register(u"S"_qs, old_file + u".json"_qs);
        if (fault == u"directory"_qs)
            QVERIFY(QDir().mkdir(u"Device/b.json"_qs));
        if (fault == u"read-only"_qs)
            QVERIFY(QFile::setPermissions(u"Device"_qs, QFile::ReadOwner | QFile::ExeOwner));
        Add_Type(u"1"_qs, u"T"_qs);
        QCOMPARE(Save(file_name, u"S"_qs), Failed(u"Device/"_qs + file_name + u".json"_qs));
        QCOMPARE(Read_File(u"Device/"_qs + old_file + u".json"_qs), QByteArray("old"));
        QCOMPARE(Registry_Text(), u"S="_qs + old_file + u".json"_qs);
        QCOMPARE(QDir(u"Device"_qs).entryList(QDir::Files).size(), 1);
    }

    // The template is on disk but the device could not be listed: no success is claimed.
    void unwritableRegistry() {
        QVERIFY(QDir().mkdir(u"Dev.conf"_qs));
        QCOMPARE(Save(u"a"_qs, u"S"_qs), Failed(u"Dev.conf"_qs));
        QVERIFY(QFile::exists(u"Device/a.json"_qs));
    }
};

QTEST_MAIN(PacketBuilderTest)
#include "tst_packetbuilder.moc"
