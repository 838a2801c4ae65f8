// The constructor driven as a user would; the template file and Dev.conf read back.
#include "DeviceRegistry.h"
#include "PacketBuilder.h"
#include "TreeText.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>
#include <memory>

namespace {

const QString Saved = u"I|Готово|JSON файл сохранен!"_qs;
const QString Empty_Name = u"C|Ошибка|Незавние устройтсва или файла пустое."_qs;

QByteArray Read_File(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Register(const QString& device, const QString& file_name) {
    QSettings("Dev.conf", QSettings::IniFormat).setValue("Dev/" + device, file_name);
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

void Press(QWidget* window, const QString& text) {
    for (QPushButton* button : window->findChildren<QPushButton*>())
        if (button->text() == text)
            return QTest::mouseClick(button, Qt::LeftButton);
    QFAIL(qPrintable("no button " + text));
}

} // namespace

class PacketBuilderTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> Work_Dir;
    std::unique_ptr<PacketBuilder> Builder;
    PacketBuilder* Driven = nullptr; // the constructor the helpers below act on
    QTreeWidget* Tree = nullptr;
    int Questions = 0; // asked through the question seam

    void Drive(PacketBuilder* builder) {
        QVERIFY(builder && QTest::qWaitForWindowExposed(builder));
        Driven = builder;
        Tree = builder->findChild<QTreeWidget*>();
    }
    void Click(QTreeWidgetItem* row) {
        QTest::mouseClick(Tree->viewport(), Qt::LeftButton, {}, Tree->visualItemRect(row).center());
    }
    // Presses an add button and fills the new row's cells as its editor would; null cells stay.
    QTreeWidgetItem* Add(const QString& button, const QStringList& cells) {
        Press(Driven, button);
        QTreeWidgetItem* row = Tree->currentItem();
        for (int column = 0; column < cells.size(); ++column)
            if (!cells[column].isNull())
                row->setText(column, cells[column]);
        return row;
    }
    QTreeWidgetItem* Add_Type(const QString& codes) { return Add("Тип пакета", {codes, {}, "T"}); }
    QTreeWidgetItem* Add_Byte(const QString& size) { return Add("Поле данных(байт)", {{}, size}); }
    QList<QLineEdit*> Names() { // device name, file name
        return Driven->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly);
    }
    // Runs `act` while a timer answers what it opens: a file dialog picks `pick`, a question gets
    // `answer` (none: the test answers it), a message is closed. Returns what was shown:
    // "Device|<filter>" for the dialog, "icon|title|text" for a box.
    QString Answering(const std::function<void()>& act, const QString& pick = {},
                      const QString& answer = {}) {
        QStringList seen;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                seen << dialog->directory().dirName() + u'|' + dialog->nameFilters().join(u';');
                dialog->selectFile(pick);
                static_cast<QDialog*>(dialog)->accept(); // QFileDialog hides it
            } else if (auto* box = qobject_cast<QMessageBox*>(modal);
                       box && (box->buttons().size() == 1 || !answer.isEmpty())) {
                seen << QString("-IWCQ")[box->icon()] + u'|' + box->windowTitle() + u'|' +
                            box->text();
                for (QAbstractButton* button : box->buttons())
                    if (box->buttons().size() == 1 || button->text() == answer)
                        button->click();
            }
        });
        timer.start(5);
        act();
        return seen.join(u'\n');
    }
    // Presses "Сохранить" and answers the box it shows: "icon|title|text".
    QString Save(const QString& file_name = "a", const QString& device_name = "S") {
        Names()[0]->setText(device_name);
        Names()[1]->setText(file_name);
        return Answering([this] { Press(Driven, "Сохранить"); });
    }

  private Q_SLOTS:
    // The main window reads the user's remembered device: from a test location only.
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() {
        Work_Dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(Work_Dir->path()) && QDir().mkdir("Device"));
        Builder = std::make_unique<PacketBuilder>();
        Builder->show();
        Drive(Builder.get());
    }
    void cleanup() {
        Builder.reset();
        QDir::setCurrent(QDir::tempPath());
        Work_Dir.reset();
    }

    // A new byte field starts where the last one ends; the type's size follows its last field
    // only: other fields, and the fields of another type, move neither.
    void numbering() {
        QTreeWidgetItem* type = Add_Type("1");
        QTreeWidgetItem* first = Add_Byte("2");
        QCOMPARE(first->text(0), u"0"_qs);
        QTreeWidgetItem* second = Add_Byte({});
        QCOMPARE(second->text(0), u"2"_qs);
        second->setText(1, "3");
        QCOMPARE(type->text(1), u"5"_qs);
        first->setText(1, "40");
        QCOMPARE(type->text(1), u"5"_qs);
        Click(first);
        QTreeWidgetItem* last = Add_Byte("1");
        QCOMPARE(last->text(0), u"5"_qs);
        QCOMPARE(type->text(1), u"6"_qs);
        last->setText(0, "2147483647"); // the end lies past the 32-bit range
        QCOMPARE(type->text(1), u"2147483648"_qs);
        QCOMPARE(Add_Byte({})->text(0), u"6"_qs);
        QTreeWidgetItem* other = Add_Type("2");
        Click(last);
        QCOMPARE(Add_Byte("1")->text(0), u"0"_qs);
        QCOMPARE(other->text(1), u"1"_qs);
    }

    // Deleting takes the clicked row and everything beneath it; no pointer to any of them stays
    // behind (the sanitizer build proves nothing dangles).
    void deleting() {
        QTreeWidgetItem* a = Add_Type("1");
        Press(Driven, "Удалить элемент"); // nothing clicked yet
        QCOMPARE(Tree->topLevelItemCount(), 1);
        QTreeWidgetItem* a0 = Add_Byte("2");
        QTreeWidgetItem* b = Add_Type("2");
        QTreeWidgetItem* b0 = Add_Byte("3");
        Click(a0);
        Click(a);
        Press(Driven, "Удалить элемент"); // the type that held the current byte field
        Press(Driven, "Удалить элемент");
        Press(Driven, "Поле данных(бит)");
        Press(Driven, "Поле данных(байт)");
        QCOMPARE(Tree->topLevelItemCount(), 1);
        QCOMPARE(b->childCount(), 1);
        QCOMPARE(b0->childCount(), 0);
        Click(b0); // a byte field while no packet type is current
        b0->setText(1, "9");
        QCOMPARE(b->text(1), u"3"_qs);
        Press(Driven, "Поле данных(бит)");
        QCOMPARE(b0->childCount(), 1);
        QCOMPARE(Save(), Saved);
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
        row("1,2", "10", "A,B",
            R"({"packet_type":[{"T":1,"name":"A"},{"T":2,"name":"B"}],"total_size":10})");
        row("1,2,3", "10", "A,B",
            R"({"packet_type":[{"T":1,"name":"A"},{"T":2,"name":"B"}],"total_size":10})");
        row("1,2", "10", "A", R"({"packet_type":0,"name":"A","total_size":10})", "«1,2»|");
        row("5", "10", "A,B", R"({"packet_type":5,"name":"A,B","total_size":10})");
        row("1,,x", "1", ",B,C",
            R"({"packet_type":[{"T":1,"name":""},{"T":0,"name":"B"},{"T":0,"name":"C"}],"total_size":1})",
            "«», «x»|");
        row("7", "5-10", "N", R"({"packet_type":7,"name":"N","min_size":5,"total_size":10})");
        row("7", "5-", "N", R"({"packet_type":7,"name":"N","min_size":5,"total_size":0})", "|«»");
        row("7", "-7", "N", R"({"packet_type":7,"name":"N","min_size":0,"total_size":7})", "|«»");
        row("7", "5-10-20", "N", R"({"packet_type":7,"name":"N","min_size":5,"total_size":10})");
        row("0x1A", "2.5", " N ", R"({"packet_type":0,"name":" N ","total_size":0})",
            "«0x1A»|«2.5»");
    }
    // Each form of the type and size cells, and the file laid out as indented JSON. A number that
    // will be saved as 0 shows red with a tooltip.
    void savingForms() {
        QFETCH(QStringList, cells);
        QFETCH(QByteArray, expected);
        QTreeWidgetItem* row = Add("Тип пакета", cells);
        QStringList marked;
        for (int column : {0, 1}) {
            QString tip = row->toolTip(column);
            QCOMPARE(row->foreground(column).color() == Qt::red, !tip.isEmpty());
            marked << tip.remove("Сохранится как 0: не десятичное целое число ");
        }
        QTEST(marked.join(u'|'), "marked");
        QCOMPARE(Save(), Saved);
        QCOMPARE(Template(0), QJsonDocument::fromJson(expected).object());
        const QByteArray file = Read_File("Device/a.json");
        QCOMPARE(file, QJsonDocument::fromJson(file).toJson(QJsonDocument::Indented));
    }

    // An empty tree saved, then a type: the file is replaced, the device listed once as typed.
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
        Register("Other", "other.json");
        QCOMPARE(Save(file_name, device), Saved);
        const QString path = "Device/" + file_name + ".json";
        QCOMPARE(Read_File(path), "{\n    \"packet_data\": [\n    ]\n}\n");
        Add_Type("3");
        QCOMPARE(Save(file_name, device), Saved);
        QCOMPARE(Template(0, path)[u"packet_type"_qs].toInt(), 3);
        const QString entry = device + u'=' + file_name + ".json";
        QCOMPARE(Registry_Text(),
                 device < "Other" ? entry + "|Other=other.json" : "Other=other.json|" + entry);
    }

    // A template file this window did not write is replaced only when the user agrees; the
    // question names the other devices using it. Once the window has saved or opened the file,
    // it asks no more.
    void overwriteQuestion() {
        QFile old("Device/a.json");
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        Register("S", "a.json");
        Register("Other", "a.json");
        Register("Else", "a.json");
        const QString before = Registry_Text();
        Add_Type("1");
        QStringList asked;
        QTimer::singleShot(0, this, [&asked] { // the real box, answered with Escape
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            asked << box->windowTitle() << box->text() << box->defaultButton()->text()
                  << box->escapeButton()->text();
            for (QAbstractButton* button : box->buttons())
                asked << button->text();
            QTest::keyClick(box, Qt::Key_Escape);
        });
        QCOMPARE(Save("a", "S"), QString()); // nothing more to say
        QCOMPARE(asked, (QStringList{"Подтверждение",
                                     "Файл Device/a.json уже существует и используется "
                                     "устройствами «Else», «Other». Заменить его?",
                                     "Нет", "Нет", "Да", "Нет"}));
        QCOMPARE(Read_File("Device/a.json"), "old");
        QCOMPARE(Registry_Text(), before);

        Driven->Set_Question([this](const QString&, const QString&) { return ++Questions; });
        QCOMPARE(Save("a", "S"), Saved);
        QCOMPARE(Template(0)[u"packet_type"_qs].toInt(), 1);
        QCOMPARE(Save("a", "New"), Saved); // saved by this window: no question
        QCOMPARE(Questions, 1);
        PacketBuilder opened;
        opened.Own_File("a");
        opened.show();
        Drive(&opened);
        QCOMPARE(Save("a", "S"), Saved);
        QCOMPARE(Questions, 1);
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
            Add_Type("9");
        else
            box = box.isEmpty() ? box
                                : "I|Внимание|Файл Device/t.json содержит то, что конструктор "
                                  "не может показать. При сохранении изменится:\n" +
                                      box;
        QFile file("Device/t.json");
        json = json.startsWith('!') ? json.sliced(1) : R"({"packet_data": [)" + json + "]}";
        QVERIFY(json.isEmpty() || (file.open(QIODevice::WriteOnly) && file.write(json) > 0));
        file.close();
        QCOMPARE(Answering([&] { QCOMPARE(Driven->Open_Device_Template("D", "t.json"), !fails); }),
                 box);
        QTEST(Tree_Text(Tree), "rows");
        QCOMPARE(Names()[0]->text() + Names()[1]->text(), fails ? "" : "Dt");
        Press(Driven, "Поле данных(байт)");
        QTreeWidgetItem* added = Tree->currentItem();
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
            Register(device, "a.json");
        QVERIFY(QFile::copy(KIVO_EXAMPLES_DIR "/workspace/Device/sensor1.json", "Device/a.json"));
        Names()[0]->setText("typed");
        Names()[1]->setText("x");
        const QString question = "Q|Подтверждение|Заменить шаблон в окне шаблоном из файла "
                                 "Device/a.json? Несохранённые изменения пропадут.";
        if (!answer.isEmpty())
            Add_Type("9");
        QVERIFY(QTest::qWaitForWindowActive(Driven));
        const QString shown =
            Answering([&] { QTest::keyClick(Tree, Qt::Key_O, Qt::ControlModifier); },
                      QDir("Device").absoluteFilePath("a.json"), answer);
        QCOMPARE(shown, "Device|Шаблоны (*.json)" + (answer.isEmpty() ? "" : u'\n' + question));
        QCOMPARE(Names()[0]->text() + u'|' + Names()[1]->text(), cells[2] + u'|' + cells[3]);
        QCOMPARE(Tree->topLevelItemCount(), answer == "Нет" ? 1 : 3);
    }
};

QTEST_MAIN(PacketBuilderTest)
#include "tst_packetbuilder.moc"
