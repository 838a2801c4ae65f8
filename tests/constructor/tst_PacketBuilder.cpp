// The constructor driven as a user would; the template file and Dev.conf read back.
#include "BuilderDriver.h"
#include "FieldPropertiesDialog.h"
#include "ModalBoxes.h"
#include "PacketBuilder.h"
#include "TestTable.h"
#include "TestWorkspace.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>
#include <optional>

#include <sys/stat.h>

namespace {

const QStringList Saved{u"I|Готово|JSON файл сохранен!"_qs};

// The dialog's controls, as it creates them: format, order, sign; scale, offset, unit, sample.
template <typename Widget> QList<Widget*> Controls(QDialog* dialog) {
    return dialog->findChildren<Widget*>(Qt::FindDirectChildrenOnly);
}

QJsonObject Template(int index) {
    return QJsonDocument::fromJson(
               TestWorkspace::Read(Here.Template_Path(u"a.json"_qs)))[u"packet_data"_qs][index]
        .toObject();
}

} // namespace

class TestPacketBuilder : public QObject {
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

    // The question lists every red cell; "Нет" (the default) saves nothing.
    void zero_cells_asked() {
        D->Add(BuilderDriver::Type, {"1,x", "5-", "A,B"});
        D->Add_Byte("4 байта")->setText(2, "Time");
        D->Press("Поле данных(бит)");
        D->Tree->currentItem()->setText(0, "0x");
        const QString question =
            "Q|Подтверждение|Эти значения не читаются как числа и сохранятся как 0:\n"
            "Тип пакета «A,B», код: «x»\nПоле «Time», размер: «4 байта»\nБит «», номер бита: "
            "«0x»\nСохранить?";
        QCOMPARE(D->Save("S", "a"), QStringList{question});
        QCOMPARE(TestWorkspace::Read(Here.Template_Path("a.json")), "(missing)");
        QCOMPARE(TestWorkspace::Registry(), QString());
    }

    // A ".json" typed with the file name is not doubled; a name that is nothing else is empty.
    void typed_extension() {
        D->Add_Type("1");
        QCOMPARE(D->Save("S", "a.json"), Saved);
        QCOMPARE(TestWorkspace::Registry(), u"S=a.json"_qs);
        QCOMPARE(QDir(Here.Template_Folder()).entryList(QDir::Files), QStringList{"a.json"});
        QCOMPARE(D->Save("S", ".json"),
                 QStringList{"C|Ошибка|Незавние устройтсва или файла пустое."});
    }

    // Each form of the type and size cells, and the file laid out as indented JSON. A number that
    // will be saved as 0 shows red with a tooltip.
    // clang-format off
    // codes | size | names | the template saved | the tooltips of cells 0 and 1 (saved as 0)
    void saving_forms_data() { Add_Rows({
        R"(list | 1,2,3 | 10 | A,B | {"packet_type":[{"T":1,"name":"A"},{"T":2,"name":"B"}],"total_size":10} | |)",
        R"(names short | 1,2 | 10 | A | {"packet_type":0,"name":"A","total_size":10} | «1,2»|)",
        R"(one code | 5 | 10 | A,B | {"packet_type":5,"name":"A,B","total_size":10} | |)",
        R"(empty codes | 1,,x | 1 | ,B,C | {"packet_type":[{"T":1,"name":""},{"T":0,"name":"B"},{"T":0,"name":"C"}],"total_size":1} | «», «x»|)",
        R"(range | 7 | 5-10-20 | N | {"packet_type":7,"name":"N","min_size":5,"total_size":10} | |)",
        R"(no maximum | 7 | 5- | N | {"packet_type":7,"name":"N","min_size":5,"total_size":0} | |«»)",
        R"(no minimum | 7 | -7 | N | {"packet_type":7,"name":"N","min_size":0,"total_size":7} | |«»)",
        R"(not whole | 0x1G | 2.5 |  N  | {"packet_type":0,"name":" N ","total_size":0} | «0x1G»|«2.5»)",
        R"(hex | 0x1A,0x0 | 0x10 | A,B | {"packet_type":[{"T":26,"name":"A"},{"T":0,"name":"B"}],"total_size":16} | |)",
        R"(hex, no sign | 0x-1 | 0x | N | {"packet_type":0,"name":"N","total_size":0} | «0x-1»|«0x»)"});
    }
    // clang-format on
    void saving_forms() {
        const QStringList c = Row(5);
        QTreeWidgetItem* row = D->Add(BuilderDriver::Type, c.first(3));
        QStringList marked;
        for (int column : {0, 1}) {
            QString tip = row->toolTip(column);
            QCOMPARE(row->foreground(column).color() == Qt::red, !tip.isEmpty());
            marked << tip.remove("Сохранится как 0: не десятичное целое число ");
        }
        QCOMPARE(marked.join(u'|'), c[4]);
        // Red cells are saved as 0 only after "Да".
        const QStringList asked = D->Save("S", "a", "Да");
        QCOMPARE(asked.last(), Saved.last());
        QCOMPARE(asked.size(), c[4] == u"|" ? 1 : 2);
        QCOMPARE(Template(0), QJsonDocument::fromJson(c[3].toUtf8()).object());
        const QByteArray file = TestWorkspace::Read(Here.Template_Path("a.json"));
        QCOMPARE(file, QJsonDocument::fromJson(file).toJson(QJsonDocument::Indented));
    }

    // A field's meaning set in "Свойства поля" (Alt+Enter on its row): the dialog's live sample
    // starts from the sample packet's bytes of the field; the tree shows the meaning and the
    // sample's values under the unsaved tree; the save writes just the keys set, and opening the
    // file shows them again. Bad or short samples say so under the tree, in no box.
    void field_properties() {
        QTreeWidgetItem* type = D->Add(BuilderDriver::Type, {"33", {}, "Measurement"});
        QTreeWidgetItem* temperature = D->Add(BuilderDriver::Byte, {"1", "2", "Temperature"});
        QTreeWidgetItem* status = D->Add(BuilderDriver::Byte, {{}, "1", "Status"});
        QTreeWidgetItem* mode = D->Add(BuilderDriver::Bit, {"1", "2", "Mode"});
        auto* sample = Builder->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly)[2];
        QTest::keyClicks(sample, "21 2EFB 05");
        const auto column = [&](int c) {
            return QStringList{type->text(c), temperature->text(c), status->text(c), mode->text(c)};
        };
        QCOMPARE(column(4), (QStringList{"Measurement", "-1234", "", "01"}));
        QStringList seen;
        const auto set = [&](QTreeWidgetItem* row, const std::function<void(QDialog*)>& fill) {
            D->Set_Properties(row, [&](QDialog* dialog) {
                fill(dialog);
                seen << qobject_cast<FieldPropertiesDialog*>(dialog)->Sample_Value();
            });
        };
        set(temperature, [](QDialog* dialog) {
            Controls<QLineEdit>(dialog)[0]->setText("0,01");
            Controls<QLineEdit>(dialog)[2]->setText("°C");
        });
        set(mode, [](QDialog* dialog) {
            Controls<QComboBox>(dialog)[0]->setCurrentText("dec");
            auto* labels = dialog->findChild<QTableWidget*>();
            labels->insertRow(0);
            labels->setItem(0, 0, new QTableWidgetItem(" 2"));
            labels->setItem(0, 1, new QTableWidgetItem("норма"));
        });
        QCOMPARE(seen, (QStringList{"-12.34 °C", "норма"}));
        QCOMPARE(column(3), (QStringList{"", "s16 le ×0.01 °C", "", "dec метки: 1"}));
        QCOMPARE(column(4), (QStringList{"Measurement", "-12.34 °C", "", "норма"}));
        QLabel* status_line = Builder->findChildren<QLabel*>(Qt::FindDirectChildrenOnly).last();
        for (const auto& [paste, shown] :
             {std::pair{"212EFB", "Не верный размер парадаваемого пакета. Ожидаемый: 4, "
                                  "фактический: 3"},
              {"01", "Не удалось найти шаблон для парсинга пакета. Проверьте поддержку типа "
                     "пакета - 1 в протоколе или наличие в файле: Device/.json; Не удалось "
                     "распаристь пакет."},
              {"212EFB05", ""}}) {
            sample->setText(paste);
            QCOMPARE(status_line->text(), shown);
        }
        QCOMPARE(D->Save("S", "a"), Saved);
        QCOMPARE(Template(0)[u"data"_qs],
                 QJsonDocument::fromJson(R"([{"num_byte":1,"size":2,"name":"Temperature",)"
                                         R"("scale":0.01,"unit":"°C"},{"num_byte":3,"size":1,)"
                                         R"("name":"Status","bitmap":[{"num_bit":1,"size":2,)"
                                         R"("name":"Mode","format":"dec","enum":{"2":"норма"}}]}])")
                     .array());
        PacketBuilder opened;
        QVERIFY(opened.Open_Device_Template("S", "a.json"));
        QTreeWidgetItem* opened_type = opened.findChild<QTreeWidget*>()->topLevelItem(0);
        QCOMPARE(opened_type->child(0)->text(3), "s16 le ×0.01 °C");
        QCOMPARE(opened_type->child(1)->child(0)->text(3), "dec метки: 1");
    }

    // A template opened: the rows the decoder reads, and one box listing what a save would drop
    // or change. Then the window goes on as if the user had clicked the last type's last field.
    // A file that is not JSON, or none: a box, and the tree stays as it was.
    // clang-format off
    // the elements of packet_data, or !the whole file | the rows | the byte number a new field
    // gets | the lines of the box (";" ends a row and a line)
    void opening_data() { Add_Rows({
        R"(as saved | {"packet_type":-1,"name":"All","total_size":30},{"packet_type":[{"T":2,"name":"A"},{"T":3,"name":"B"}],"min_size":2,"total_size":30,"data":[{"num_byte":3,"size":1,"name":"F","bitmap":[{"num_bit":1,"size":2,"name":"M"}]},{"num_byte":1,"size":20,"name":"Beacon"}]} | -1|30|All;2,3|2-30|A,B; 3|1|F;  1|2|M; 1|20|Beacon; | 21 | )",
        R"(unknown keys | {"packet_type":1,"name":"T","total_size":2,"note":1,"ERR":"x"} | 1|2|T; | 0 | packet_data[0].ERR: будет удалено ("x");packet_data[0].note: будет удалено (1))",
        R"(not whole | {"packet_type":"1","total_size":2.5,"min_size":-3} | 0|-3-0|; | 0 | packet_data[0].min_size: -3 станет 0;packet_data[0].packet_type: "1" станет 0;packet_data[0].total_size: 2.5 станет 3)",
        R"(not an object | 7 | 0|0|; | 0 | packet_data[0]: 7 станет {"name":"","packet_type":0,"total_size"…)",
        R"(too deep, bitmap object | {"packet_type":1,"name":"T","total_size":2,"data":[{"num_byte":1,"size":1,"name":"F","bitmap":[{"num_bit":0,"size":1,"name":"b","data":[]}]},{"num_byte":2,"size":1,"name":"G","bitmap":{}}]} | 1|2|T; 1|1|F;  0|1|b; 2|1|G; | 3 | packet_data[0].data[0].bitmap[0].data: будет удалено ([]);packet_data[0].data[1].bitmap: будет удалено ({}))",
        R"(list of one | {"packet_type":[{"T":4,"name":"X,Y"}],"total_size":3} | 4|3|X,Y; | 0 | packet_data[0].packet_type: [{"T":4,"name":"X,Y"}] станет 4;packet_data[0].name: будет добавлено "X,Y")",
        R"(root | !{"version": 2} |  | - | version: будет удалено (2))",
        R"(not JSON | !{"packet_data": [ | 9|0|T; | 0 | I|Ошибка|Файл Device/t.json не является документом JSON: unterminated array (байт 17).)",
        R"(no file | ! | 9|0|T; | 0 | I|Ошибка|Не удалось открыть файлDevice/t.json;No such file or directory)",
        R"(FIFO | !FIFO | 9|0|T; | 0 | I|Ошибка|Не удалось открыть файлDevice/t.json;Not a regular file)"});
    }
    // clang-format on
    void opening() {
        const QStringList c = Row(4);
        QByteArray json = c[0].toUtf8();
        QString box = QString(c[3]).replace(u';', u'\n');
        const bool fails = box.contains("Ошибка");
        if (fails)
            D->Add_Type("9");
        else if (!box.isEmpty())
            box = "I|Внимание|Файл Device/t.json содержит то, что конструктор не может показать. "
                  "При сохранении изменится:\n" +
                  box;
        json = json.startsWith('!') ? json.sliced(1) : R"({"packet_data": [)" + json + "]}";
        const QString path = Here.Template_Path("t.json");
        if (json == "FIFO")
            QVERIFY(::mkfifo(QFile::encodeName(path), 0600) == 0);
        else
            QVERIFY(json.isEmpty() || TestWorkspace::Write(path, json));
        {
            ModalBoxes boxes;
            QCOMPARE(Builder->Open_Device_Template("D", "t.json"), !fails);
            QCOMPARE(boxes.Shown.join(u'\n'), box);
        }
        QCOMPARE(D->Tree_Text(), QString(c[1]).replace(u';', u'\n'));
        QCOMPARE(D->Names(), fails ? "|" : "D|t");
        D->Press("Поле данных(байт)");
        QTreeWidgetItem* added = D->Tree->currentItem();
        QCOMPARE(added && added->parent() ? added->text(0) : "-", c[2]);
    }

    // Ctrl+O offers Device/; a tree with rows is replaced only after "Да". The file name follows
    // the file, the device name the one device registered to it (none: left empty).
    void open_dialog_data() {
        QTest::addColumn<QStringList>("cells"); // answer, devices registered, name fields after
        for (const char* row : {"|S|S|a", "Нет|S|typed|x", "Да|S,R||a"})
            QTest::newRow(row) << QString(row).split(u'|');
    }
    void open_dialog() {
        QFETCH(QStringList, cells);
        const QString answer = cells[0];
        for (const QString& device : cells[1].split(u','))
            TestWorkspace::Register(device, "a.json");
        const QString path = Here.Template_Path("a.json");
        QVERIFY(QFile::copy(Workspace(KIVO_EXAMPLES_DIR "/workspace").Template_Path("sensor1.json"),
                            path));
        D->Set_Names("typed", "x");
        if (!answer.isEmpty())
            D->Add_Type("9");
        QVERIFY(QTest::qWaitForWindowActive(Builder.get()));
        ModalBoxes boxes(answer, QFileInfo(path).absoluteFilePath());
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

QTEST_MAIN(TestPacketBuilder)
#include "tst_PacketBuilder.moc"
