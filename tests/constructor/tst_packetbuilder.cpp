// The constructor driven as a user would; the template file and Dev.conf read back.
#include "BuilderDriver.h"
#include "ModalBoxes.h"
#include "PacketBuilder.h"
#include "TestWorkspace.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>
#include <optional>

namespace {

const QStringList Saved{u"I|Готово|JSON файл сохранен!"_qs};

QJsonObject Template(int index) {
    return QJsonDocument::fromJson(
               TestWorkspace::Read(u"Device/a.json"_qs))[u"packet_data"_qs][index]
        .toObject();
}

} // namespace

class PacketBuilderTest : public QObject {
    Q_OBJECT
    std::optional<TestWorkspace> Work_Dir;
    std::unique_ptr<PacketBuilder> Builder;
    std::optional<BuilderDriver> D;

  private Q_SLOTS:
    // The main window reads the user's remembered device: from a test location only.
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() {
        Work_Dir.emplace();
        Builder = std::make_unique<PacketBuilder>();
        D.emplace(Builder.get());
    }
    void cleanup() {
        D.reset();
        Builder.reset();
        Work_Dir.reset();
    }

    // A new byte field starts where the last one ends; the type's size follows its last field
    // only: other fields, and the fields of another type, move neither.
    void numbering() {
        QTreeWidgetItem* type = D->Add_Type("1");
        QTreeWidgetItem* first = D->Add_Byte("2");
        QCOMPARE(first->text(0), u"0"_qs);
        QTreeWidgetItem* second = D->Add_Byte({});
        QCOMPARE(second->text(0), u"2"_qs);
        second->setText(1, "3");
        QCOMPARE(type->text(1), u"5"_qs);
        first->setText(1, "40");
        QCOMPARE(type->text(1), u"5"_qs);
        D->Click(first);
        QTreeWidgetItem* last = D->Add_Byte("1");
        QCOMPARE(last->text(0), u"5"_qs);
        QCOMPARE(type->text(1), u"6"_qs);
        last->setText(0, "2147483647"); // the end lies past the 32-bit range
        QCOMPARE(type->text(1), u"2147483648"_qs);
        QCOMPARE(D->Add_Byte({})->text(0), u"6"_qs);
        QTreeWidgetItem* other = D->Add_Type("2");
        D->Click(last);
        QCOMPARE(D->Add_Byte("1")->text(0), u"0"_qs);
        QCOMPARE(other->text(1), u"1"_qs);
    }

    // Deleting takes the clicked row and everything beneath it; no pointer to any of them stays
    // behind (the sanitizer build proves nothing dangles).
    void deleting() {
        QTreeWidgetItem* a = D->Add_Type("1");
        D->Press("Удалить элемент"); // nothing clicked yet
        QCOMPARE(D->Tree->topLevelItemCount(), 1);
        QTreeWidgetItem* a0 = D->Add_Byte("2");
        QTreeWidgetItem* b = D->Add_Type("2");
        QTreeWidgetItem* b0 = D->Add_Byte("3");
        D->Click(a0);
        D->Click(a);
        D->Press("Удалить элемент"); // the type that held the current byte field
        D->Press("Удалить элемент");
        D->Press("Поле данных(бит)");
        D->Press("Поле данных(байт)");
        QCOMPARE(D->Tree_Text(), "2|3|T\n 0|3|\n");
        D->Click(b0); // a byte field while no packet type is current
        b0->setText(1, "9");
        QCOMPARE(b->text(1), u"3"_qs);
        D->Press("Поле данных(бит)");
        QCOMPARE(b0->childCount(), 1);
        QCOMPARE(D->Save("S", "a"), Saved);
        QCOMPARE(Template(0)[u"data"_qs][0][u"size"_qs].toInt(), 9);
    }

    void savingForms_data() {
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<QString>("marked"); // the tooltips of cells 0 and 1 that will save as 0
        const auto row = [](const char* codes, const char* size, const char* names,
                            const char* json, const char* marked = "|") {
            QTest::newRow(json) << QStringList{codes, size, names} << QByteArray(json)
                                << QString(marked);
        };
        row("1,2,3", "10", "A,B",
            R"({"packet_type":[{"T":1,"name":"A"},{"T":2,"name":"B"}],"total_size":10})");
        row("1,2", "10", "A", R"({"packet_type":0,"name":"A","total_size":10})", "«1,2»|");
        row("5", "10", "A,B", R"({"packet_type":5,"name":"A,B","total_size":10})");
        row("1,,x", "1", ",B,C",
            R"({"packet_type":[{"T":1,"name":""},{"T":0,"name":"B"},{"T":0,"name":"C"}],"total_size":1})",
            "«», «x»|");
        row("7", "5-10-20", "N", R"({"packet_type":7,"name":"N","min_size":5,"total_size":10})");
        row("7", "5-", "N", R"({"packet_type":7,"name":"N","min_size":5,"total_size":0})", "|«»");
        row("7", "-7", "N", R"({"packet_type":7,"name":"N","min_size":0,"total_size":7})", "|«»");
        row("0x1A", "2.5", " N ", R"({"packet_type":0,"name":" N ","total_size":0})",
            "«0x1A»|«2.5»");
    }
    // Each form of the type and size cells, and the file laid out as indented JSON. A number that
    // will be saved as 0 shows red with a tooltip.
    void savingForms() {
        QFETCH(QStringList, cells);
        QFETCH(QByteArray, expected);
        QTreeWidgetItem* row = D->Add(BuilderDriver::Type, cells);
        QStringList marked;
        for (int column : {0, 1}) {
            QString tip = row->toolTip(column);
            QCOMPARE(row->foreground(column).color() == Qt::red, !tip.isEmpty());
            marked << tip.remove("Сохранится как 0: не десятичное целое число ");
        }
        QTEST(marked.join(u'|'), "marked");
        QCOMPARE(D->Save("S", "a"), Saved);
        QCOMPARE(Template(0), QJsonDocument::fromJson(expected).object());
        const QByteArray file = TestWorkspace::Read("Device/a.json");
        QCOMPARE(file, QJsonDocument::fromJson(file).toJson(QJsonDocument::Indented));
    }

    // A template opened: the rows the decoder reads, and one box listing what a save would drop
    // or change. Then the window goes on as if the user had clicked the last type's last field.
    // A file that is not JSON, or none: a box, and the tree stays as it was.
    void opening_data() {
        QTest::addColumn<QByteArray>("json"); // the elements of packet_data, or !the whole file
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QString>("next"); // the byte number a new field gets
        QTest::addColumn<QString>("box");  // the lines of the box
        const auto row = [](const char* tag, const char* json, const char* rows, const char* next,
                            const QString& box = {}) {
            QTest::newRow(tag) << QByteArray(json) << QString(rows) << QString(next) << box;
        };
        row("as saved",
            R"({"packet_type":-1,"name":"All","total_size":30},{"packet_type":[{"T":2,"name":"A"},
            {"T":3,"name":"B"}],"min_size":2,"total_size":30,"data":[{"num_byte":3,"size":1,
            "name":"F","bitmap":[{"num_bit":1,"size":2,"name":"M"}]},{"num_byte":1,"size":20,
            "name":"Beacon"}]})",
            "-1|30|All\n2,3|2-30|A,B\n 3|1|F\n  1|2|M\n 1|20|Beacon\n", "21");
        row("unknown keys", R"({"packet_type":1,"name":"T","total_size":2,"note":1,"ERR":"x"})",
            "1|2|T\n", "0",
            "packet_data[0].ERR: будет удалено (\"x\")\npacket_data[0].note: будет удалено (1)");
        row("not whole", R"({"packet_type":"1","total_size":2.5,"min_size":-3})", "0|-3-0|\n", "0",
            "packet_data[0].min_size: -3 станет 0\npacket_data[0].packet_type: \"1\" станет 0\n"
            "packet_data[0].total_size: 2.5 станет 3");
        row("not an object", "7", "0|0|\n", "0",
            R"(packet_data[0]: 7 станет {"name":"","packet_type":0,"total_size")"
            "\u2026");
        row("too deep, bitmap object",
            R"({"packet_type":1,"name":"T","total_size":2,"data":[{"num_byte":1,"size":1,"name":"F",
            "bitmap":[{"num_bit":0,"size":1,"name":"b","data":[]}]},{"num_byte":2,"size":1,
            "name":"G","bitmap":{}}]})",
            "1|2|T\n 1|1|F\n  0|1|b\n 2|1|G\n", "3",
            "packet_data[0].data[0].bitmap[0].data: будет удалено ([])\n"
            "packet_data[0].data[1].bitmap: будет удалено ({})");
        row("list of one", R"({"packet_type":[{"T":4,"name":"X,Y"}],"total_size":3})", "4|3|X,Y\n",
            "0",
            "packet_data[0].packet_type: [{\"T\":4,\"name\":\"X,Y\"}] станет 4\n"
            "packet_data[0].name: будет добавлено \"X,Y\"");
        row("root", R"(!{"version": 2})", "", "-", "version: будет удалено (2)");
        row("not JSON", R"(!{"packet_data": [)", "9|0|T\n", "0",
            "I|Ошибка|Файл Device/t.json не является документом JSON: unterminated array "
            "(байт 17).");
        row("no file", "!", "9|0|T\n", "0", u"I|Ошибка|Не удалось открыть файлDevice/t.json"_qs);
    }
    void opening() {
        QFETCH(QByteArray, json);
        QFETCH(QString, box);
        const bool fails = box.contains("Ошибка");
        if (fails)
            D->Add_Type("9");
        else if (!box.isEmpty())
            box = "I|Внимание|Файл Device/t.json содержит то, что конструктор не может показать. "
                  "При сохранении изменится:\n" +
                  box;
        json = json.startsWith('!') ? json.sliced(1) : R"({"packet_data": [)" + json + "]}";
        QVERIFY(json.isEmpty() || TestWorkspace::Write("Device/t.json", json));
        {
            ModalBoxes boxes;
            QCOMPARE(Builder->Open_Device_Template("D", "t.json"), !fails);
            QCOMPARE(boxes.Shown.join(u'\n'), box);
        }
        QTEST(D->Tree_Text(), "rows");
        QCOMPARE(D->Names(), fails ? "|" : "D|t");
        D->Press("Поле данных(байт)");
        QTreeWidgetItem* added = D->Tree->currentItem();
        QTEST(added && added->parent() ? added->text(0) : "-", "next");
    }

    // Ctrl+O offers Device/; a tree with rows is replaced only after "Да". The file name follows
    // the file, the device name the one device registered to it (none: left empty).
    void openDialog_data() {
        QTest::addColumn<QStringList>("cells"); // answer, devices registered, name fields after
        for (const char* row : {"|S|S|a", "Нет|S|typed|x", "Да|S,R||a"})
            QTest::newRow(row) << QString(row).split(u'|');
    }
    void openDialog() {
        QFETCH(QStringList, cells);
        const QString answer = cells[0];
        for (const QString& device : cells[1].split(u','))
            TestWorkspace::Register(device, "a.json");
        QVERIFY(QFile::copy(KIVO_EXAMPLES_DIR "/workspace/Device/sensor1.json", "Device/a.json"));
        D->Set_Names("typed", "x");
        if (!answer.isEmpty())
            D->Add_Type("9");
        QVERIFY(QTest::qWaitForWindowActive(Builder.get()));
        ModalBoxes boxes(answer, QDir("Device").absoluteFilePath("a.json"));
        QTest::keyClick(D->Tree, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(boxes.Shown.join(u'\n'),
                 u"Device|Шаблоны (*.json)"_qs +
                     (answer.isEmpty() ? ""
                                       : "\nQ|Подтверждение|Заменить шаблон в окне шаблоном "
                                         "из файла Device/a.json? Несохранённые изменения "
                                         "пропадут."));
        QCOMPARE(D->Names(), cells[2] + u'|' + cells[3]);
        QCOMPARE(D->Tree->topLevelItemCount(), answer == "Нет" ? 1 : 3);
    }
};

QTEST_MAIN(PacketBuilderTest)
#include "tst_packetbuilder.moc"
