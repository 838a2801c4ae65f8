// The constructor driven as a user would; the template file and Dev.conf read back.
#include "DeviceRegistry.h"
#include "MainWindow.h"
#include "PacketBuilder.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>
#include <optional>

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
    // Presses "Сохранить" and answers the one box it shows: "icon|title|text", or empty text
    // when no box is left open.
    QString Save(const QString& file_name = "a", const QString& device_name = "S") {
        const auto edits = Driven->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly);
        edits[0]->setText(device_name);
        edits[1]->setText(file_name);
        std::optional<QString> seen;
        QTimer::singleShot(0, this, [&seen] {
            seen = QString();
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                const bool critical = box->icon() == QMessageBox::Critical;
                seen = (critical ? "C|" : "I|") + box->windowTitle() + u'|' + box->text();
                box->close();
            }
        });
        Press(Driven, "Сохранить");
        [&] { QTRY_VERIFY(seen); }();
        return seen.value_or("no answer");
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
        const auto row = [](const char* codes, const char* size, const char* names,
                            const char* json) {
            QTest::newRow(json) << QStringList{codes, size, names} << QByteArray(json);
        };
        row("1,2", "10", "A,B",
            R"({"packet_type":[{"T":1,"name":"A"},{"T":2,"name":"B"}],"total_size":10})");
        row("1,2,3", "10", "A,B",
            R"({"packet_type":[{"T":1,"name":"A"},{"T":2,"name":"B"}],"total_size":10})");
        row("1,2", "10", "A", R"({"packet_type":0,"name":"A","total_size":10})");
        row("5", "10", "A,B", R"({"packet_type":5,"name":"A,B","total_size":10})");
        row("1,,x", "1", ",B,C",
            R"({"packet_type":[{"T":1,"name":""},{"T":0,"name":"B"},{"T":0,"name":"C"}],"total_size":1})");
        row("7", "5-10", "N", R"({"packet_type":7,"name":"N","min_size":5,"total_size":10})");
        row("7", "5-", "N", R"({"packet_type":7,"name":"N","min_size":5,"total_size":0})");
        row("7", "-7", "N", R"({"packet_type":7,"name":"N","min_size":0,"total_size":7})");
        row("7", "5-10-20", "N", R"({"packet_type":7,"name":"N","min_size":5,"total_size":10})");
        row("0x1A", "2.5", " N ", R"({"packet_type":0,"name":" N ","total_size":0})");
    }
    // Each form of the type and size cells, and the file laid out as indented JSON.
    void savingForms() {
        QFETCH(QStringList, cells);
        QFETCH(QByteArray, expected);
        Add("Тип пакета", cells);
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

    // The whole round: the worked example's Telemetry type built in the constructor opened from
    // the main window, saved, the constructor closed, the new device picked, a packet decoded.
    void fullCycle() {
        Builder.reset();
        MainWindow window;
        window.show();
        Press(&window, "Конструктор");
        Drive(qobject_cast<PacketBuilder*>(QApplication::activeModalWidget()));
        Add("Тип пакета", {"1", {}, "Telemetry"});
        Add("Поле данных(байт)", {"1", "4", "Time"});
        Add("Поле данных(байт)", {"5", "2", "Temperature"});
        Add("Поле данных(байт)", {"7", "1", "Status"});
        Add("Поле данных(бит)", {"0", "1", "Alarm"});
        Add("Поле данных(бит)", {"1", "2", "Mode"});
        QCOMPARE(Save("sensor1", "Sensor-1"), Saved);
        QPointer<PacketBuilder> closing = Driven;
        Driven->close();
        QTRY_VERIFY(closing.isNull());

        QCOMPARE(window.findChild<QComboBox*>()->currentText(), u"Sensor-1"_qs);
        QTest::keyClicks(window.findChild<QLineEdit*>(), "0100F15365FBFF05");
        Press(&window, "Конвертировать");
        QCOMPARE(window.findChild<QPlainTextEdit*>()->toPlainText(),
                 u"\t\t\tSensor-1\nТип пакета: --- Telemetry\nTime: --- 1700000000\nTemperature: "
                 "--- -5\nStatus: --- \n\tAlarm: --- 1\n\tMode: --- 01\n\n\n"_qs);
    }
};

QTEST_MAIN(PacketBuilderTest)
#include "tst_packetbuilder.moc"
