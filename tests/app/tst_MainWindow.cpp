#include "MainWindow.h"

#include "BuilderDriver.h"
#include "ModalBoxes.h"
#include "PacketBuilder.h"
#include "RememberedDevice.h"
#include "SafeFile.h"
#include "TestTable.h"
#include "TestWorkspace.h"
#include "ToolkitTranslation.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTextBlock>
#include <QToolTip>
#include <QTranslator>
#include <QtTest>

#include <csignal>
#include <optional>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

// A time word, "bit" in names (it wins over the time word), a name of two lines (CR LF), a "%1"
// typed into a name.
const char* const Clock_Json =
    R"({"packet_data": [{"packet_type": 5, "name": "Clock", "total_size": 6,
   "data": [{"num_byte": 1, "size": 4, "name": "Время"}, {"num_byte": 1, "size": 4, "name": "bitUTC"},
            {"num_byte": 5, "size": 1, "name": "Orbit"}, {"num_byte": 1, "size": 1, "name": "Два\r\nслова"},
            {"num_byte": 5, "size": 1, "name": "Заряд %1"}]}]})";

const QString Not_Decoded = u"I|Ошибка|Не удалось распаристь пакет."_qs;

// The device the user picks with the keyboard, as a choice of theirs (not the program's).
void Choose(QComboBox* list, const QString& device) {
    QTest::keyClick(list, Qt::Key_Home);
    while (list->currentText() != device && list->currentIndex() + 1 < list->count())
        QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(list->currentText(), device);
}

// The output pane's context menu, as a right click opens it.
QMenu* Open_Menu(QPlainTextEdit* pane) {
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            pane->viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(pane->viewport(), &event);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
    std::optional<TestWorkspace> Work_Dir;

    // Pastes the input, then presses "Конвертировать"; returns the pane's text while the button
    // is still down: it acts on the press, not on the release.
    static QString Convert(MainWindow& window, const QString& device, const QString& input) {
        window.Combo_Device->setCurrentText(device);
        window.Edit_Packet->clear();
        QGuiApplication::clipboard()->setText(input);
        QTest::keySequence(window.Edit_Packet, QKeySequence::Paste);
        QTest::mousePress(window.Button_Convert, Qt::LeftButton);
        const QString shown = window.Text_Output->toPlainText();
        QTest::mouseRelease(window.Button_Convert, Qt::LeftButton);
        return shown;
    }

  private Q_SLOTS:
    // The remembered devices go to a test location, never to the user's own settings.
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() {
        QFile::remove(RememberedDevice::Settings_Path());
        Work_Dir.emplace(TestWorkspace::Sample);
        QVERIFY(TestWorkspace::Write(Here.Template_Path("clock.json"), Clock_Json));
        TestWorkspace::Register("Часы", "clock.json");
        TestWorkspace::Register("Ghost", "ghost.json");
    }
    void cleanup() { Work_Dir.reset(); }

    // The window's own cases; the samples of examples/workspace/packets.txt are checked through the
    // command-line decoder, which prints the same text from the same conversion. One base64
    // sample here shows the window takes that path too.
    void convert_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QStringList>("boxes");
        const auto row = [](const QString& device, const QString& input, const QString& output,
                            const QStringList& boxes) {
            QTest::newRow(qPrintable(device + ' ' + input)) << device << input << output << boxes;
        };
        row("Sensor-1", "AQDxU2X7/wU=",
            "to HEX - 0100f15365fbff05\n\n\t\t\tSensor-1\nТип пакета: --- Telemetry\nTime: --- "
            "1700000000\nTemperature: --- -5\nStatus: --- \n\tAlarm: --- 1\n\tMode: --- 01\n\n\n",
            {});
        row("Ghost", "0100F15365FBFF05", "",
            {"I|Ошибка|Не удалось открыть файлDevice/ghost.json", Not_Decoded});
        row("Sensor-1", "  ", "previous output", {"I|Ошибка|Пустые входные данные"});
        QTest::newRow("100,000-character paste")
            << "Sensor-1"
            << "01" + QString(99998, u'0')
            << "\t\t\tSensor-1\nERROR: --- Не верный размер парадаваемого пакета. Ожидаемый: 8, "
               "фактический: 50000\n\n\n"
            << QStringList();
        row("Часы", "0500F1536507",
            "\t\t\tЧасы\nТип пакета: --- Clock\nВремя: --- 14.11.2023 - 22:13:20(UTC+0)\n"
            "\tUTC: --- 1700000000\n\tOr: --- 7\nДва\nслова: --- 0\nЗаряд %1: --- 7\n\n\n",
            {});
    }
    // Each packet converted by a press on the button, then by Return and by the keypad's Enter
    // in the input line.
    void convert() {
        QFETCH(QString, device);
        QFETCH(QString, input);
        QFETCH(QString, output);
        QFETCH(QStringList, boxes);
        ModalBoxes answerer;
        MainWindow window;
        window.Text_Output->setPlainText("previous output");
        QCOMPARE(Convert(window, device, input), output);
        for (const Qt::KeyboardModifier keypad : {Qt::NoModifier, Qt::KeypadModifier}) {
            window.Text_Output->setPlainText("previous output");
            QTest::keyClick(window.Edit_Packet, keypad ? Qt::Key_Enter : Qt::Key_Return, keypad);
            QCOMPARE(window.Text_Output->toPlainText(), output);
        }
        QCOMPARE(answerer.Shown, boxes + boxes + boxes);
    }

    // Over a field's line the pane tells where its value came from; over other lines nothing.
    void field_tooltips_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QStringList>("hovers"); // "<how the line starts>=<tooltip>", "=" below
        const auto row = [](const char* name, const QString& device, const QString& input,
                            const QStringList& hovers) {
            QTest::newRow(name) << device << input << hovers;
        };
        row("telemetry", "Sensor-1", "0100F15365FBFF05",
            {"\t\t\t=", "Тип пакета=Байт 0: 01", "Time=Байты 1-4: 00 F1 53 65",
             "\tAlarm=Байт 7, бит 0", "\tMode=Байт 7, биты 1-2", "="});
        row("base64", "Sensor-1", "AQDxU2X7/wU=", {"to HEX=", "Temperature=Байты 5-6: fb ff"});
        row("tail", "Sensor-1", "7F0102", {"Payload=Байты 1-2: 01 02"});
        row("empty tail", "Sensor-1", "7F", {"Payload=Вне пакета"});
        row("beacon", "Tag-20", "100011223344550277665544332211FFEEDDCCBBAAC5",
            {"Payload=Байты 1-20: 00 11 22 33 44 55 02 77 66 55 44 33 22 11 FF EE DD CC BB AA"});
        row("length error", "Sensor-1", "01AABB", {"ERROR=Байты 0-2: 01 AA BB"});
        row("40 bytes", "Sensor-1", "01" + QString(78, '0'),
            {"ERROR=Байты 0-39: 01" + QString(" 00").repeated(31) + " …"});
        row("after two lines", "Часы", "0500F1536507", {"Заряд=Байт 5: 07"});
        // A 6-byte field shows the paste as typed, line breaks and all.
        const QString beacon = "0011223344550277665544332211FFEEDDCCBBAA";
        row("value of three lines", "Tag-20", "11A\rB\u2029CCDDEEFF" + beacon + beacon + "05",
            {"Beacon 2=Байты 27-46: 00 11 22 33 44 55 02 77 66 55 44 33 22 11 FF EE DD CC BB AA",
             "Count=Байт 47: 05"});
    }
    void field_tooltips() {
        QFETCH(QString, device);
        QFETCH(QString, input);
        QFETCH(QStringList, hovers);
        MainWindow window;
        window.show();
        Convert(window, device, input);
        QPlainTextEdit* pane = window.Text_Output;
        for (const QString& hover : hovers) {
            const QString line = hover.section(u'=', 0, 0);
            QPoint at(pane->viewport()->width() / 2, pane->viewport()->height() - 5);
            for (QTextBlock block = pane->document()->begin(); !line.isEmpty();
                 block = block.next()) {
                QVERIFY2(block.isValid(), qPrintable(line));
                if (block.text().startsWith(line)) {
                    at = pane->cursorRect(QTextCursor(block)).center() + QPoint(30, 0);
                    break;
                }
            }
            QToolTip::hideText(); // the tooltip of an earlier line
            QTRY_VERIFY(!QToolTip::isVisible());
            QHelpEvent event(QEvent::ToolTip, at, pane->viewport()->mapToGlobal(at));
            QApplication::sendEvent(pane->viewport(), &event);
            QCOMPARE(QToolTip::text(), hover.section(u'=', 1));
        }
    }

    // "Копировать как таблицу" copies the shown result for spreadsheets, "Копировать как JSON" as
    // kivo-decode prints it; both copy actions are in the pane's menu from the start and enabled
    // while the pane shows a decoded packet.
    void copy_actions() {
        ModalBoxes answerer;
        MainWindow window;
        window.show();
        QVERIFY(ToolkitTranslation::Install(*qApp)); // Qt's own entries speak Russian too
        QMenu* menu = Open_Menu(window.Text_Output);
        QVERIFY(menu != nullptr);
        QVERIFY(menu->actions().first()->text().startsWith(u"&Копировать"_qs));
        for (QTranslator* translator :
             qApp->findChildren<QTranslator*>()) // the other cases' English
            delete translator;
        QCOMPARE(menu->actions().mid(menu->actions().size() - 2),
                 (QList<QAction*>{window.Action_Copy_Json, window.Action_Copy_Table}));
        menu->close();
        const auto enabled = [&] {
            return QList<bool>{window.Action_Copy_Json->isEnabled(),
                               window.Action_Copy_Table->isEnabled()};
        };
        QCOMPARE(enabled(), QList<bool>({false, false}));
        Convert(window, "Часы", "0500F1536507");
        window.Action_Copy_Table->trigger();
        QCOMPARE(QApplication::clipboard()->text(),
                 "Название\tЗначение\tСмещение\tРазмер\nТип "
                 "пакета\tClock\t0\t1\nВремя\t1700000000\t1\t4\nbitUTC\t1700000000\t1\t4\n"
                 "Orbit\t7\t5\t1\n\"Два\r\nслова\"\t0\t1\t1\nЗаряд %1\t7\t5\t1\n");
        Convert(window, "Sensor-1", " "); // an empty paste leaves the shown result
        QCOMPARE(enabled(), QList<bool>({true, true}));
        Convert(window, "Sensor-1", "7F");
        window.Action_Copy_Table->trigger();
        QCOMPARE(QApplication::clipboard()->text(),
                 "Название\tЗначение\tСмещение\tРазмер\nТип пакета\tOther\t0\t1\nPayload\t\t\t\n");
        window.Action_Copy_Json->trigger(); // kivo-decode --json's record, one line
        QCOMPARE(QApplication::clipboard()->text(),
                 R"({"source":null,"input":"7F","hex":"7F","base64":false,"form":"hex",)"
                 R"("device":"Sensor-1",)"
                 R"("ok":true,"type":{"code":127,"name":"Other"},"error":null,"fields":[{"name":)"
                 R"("Тип пакета","value":"Other","number":127,"unit":null,"label":null,"offset":0,)"
                 R"("size":1,"raw":"7F"},{"name":"Payload","value":"","number":null,"unit":null,)"
                 R"("label":null,"offset":null,"size":null,"raw":null}],"messages":[],)"
                 R"("warnings":[]})");
        Convert(window, "Ghost", "7F"); // not decoded: the pane shows no result
        QCOMPARE(enabled(), QList<bool>({false, false}));
        QCOMPARE(answerer.Shown.size(), 3);
    }

    // With no registry the list is empty and the empty device name names no file.
    void no_registry() {
        QVERIFY(QFile::remove(Here.Registry_Path()));
        ModalBoxes answerer;
        MainWindow window;
        QCOMPARE(window.Combo_Device->count(), 0);
        // The empty pane says how to add a device; the texts themselves stay empty.
        QVERIFY(window.Text_Output->placeholderText().contains(u"«Конструктор»"_qs));
        QVERIFY(window.Text_Output->toPlainText().isEmpty() &&
                window.Edit_Packet->text().isEmpty());
        QCOMPARE(window.Edit_Packet->placeholderText(), u"Вставьте пакет: hex или base64"_qs);
        Convert(window, QString(), "0100F15365FBFF05");
        QCOMPARE(answerer.Shown,
                 (QStringList{"I|Ошибка|Не удалось открыть файлDevice/", Not_Decoded}));
    }

    // At start a save killed part-way is undone and said so once, before the devices are read;
    // a Dev.conf that cannot be read is reported at once, with the reason, and lists nothing.
    void start_up_messages_data() {
        Add_Rows({"killed save | I|Восстановление|Сохранение было прервано: файлы "
                  "Device/sensor1.json, Dev.conf возвращены в прежнее состояние.",
                  "FIFO | I|Ошибка|Не удалось открыть файлDev.conf\nNot a regular file",
                  "too large | I|Ошибка|Не удалось открыть файлDev.conf\nFile too large: more "
                  "than 64 MiB"});
    }
    void start_up_messages() {
        const QString tag = QTest::currentDataTag(), box = Row(1)[0];
        const QByteArray registry = TestWorkspace::Read(Here.Registry_Path());
        const int devices = int(TestWorkspace::Registry().split('|').size());
        QFile file(Here.Registry_Path());
        if (tag == "killed save")
            QVERIFY(TestWorkspace::Save_Killed_At(5, "Новый", "sensor1.json", "{}"));
        else if (tag == "FIFO")
            QVERIFY(file.remove() && ::mkfifo(QFile::encodeName(file.fileName()), 0600) == 0);
        else
            QVERIFY(file.open(QIODevice::ReadWrite) && file.resize(SafeFile::Max_Read_Size + 1));
        file.close();
        for (const QStringList& shown : {QStringList{box}, QStringList()}) {
            ModalBoxes answerer;
            MainWindow window;
            QCOMPARE(answerer.Shown, tag == "killed save" ? shown : QStringList{box});
            QCOMPARE(window.Combo_Device->count(), tag == "killed save" ? devices : 0);
        }
        QVERIFY(tag != "killed save" || TestWorkspace::Read(Here.Registry_Path()) == registry);
    }

    // The device the user picked comes back after a restart and after a constructor visit, in
    // this workspace only, and never goes into Dev.conf; a device no longer registered does not.
    // The list keeps its size; its popup shows the longest name whole, its tooltip the current one.
    void remembered_device() {
        const QByteArray registered = TestWorkspace::Read(Here.Registry_Path());
        {
            MainWindow window;
            QCOMPARE(window.Combo_Device->currentText(), "Ghost");
            Choose(window.Combo_Device, "Термометр");
            QCOMPARE(window.Combo_Device->toolTip(), "Термометр");
        }
        MainWindow window;
        window.show();
        QComboBox* list = window.Combo_Device;
        QCOMPARE(list->currentText(), "Термометр");
        QCOMPARE(list->toolTip(), "Термометр");
        list->showPopup();
        QTRY_VERIFY(list->view()->isVisible());
        const int needed = list->view()->sizeHintForIndex(list->view()->currentIndex()).width();
        QVERIFY(needed > list->width() && list->view()->viewport()->width() >= needed);
        list->hidePopup();
        QCOMPARE(list->geometry(), QRect(10, 20, 91, 24));

        QTest::mousePress(window.Button_Constructor, Qt::LeftButton);
        QVERIFY(window.Builder_Window != nullptr);
        window.Builder_Window->close();
        QCOMPARE(list->currentText(), "Термометр");
        QCOMPARE(TestWorkspace::Read(Here.Registry_Path()), registered);
        QVERIFY(QFile::exists(RememberedDevice::Settings_Path()));

        QTemporaryDir other;
        QVERIFY(QDir::setCurrent(other.path()));
        QVERIFY(QFile::copy(Workspace(Work_Dir->Path()).Registry_Path(), Here.Registry_Path()));
        QCOMPARE(MainWindow().Combo_Device->currentText(), "Ghost");
        QVERIFY(QDir::setCurrent(Work_Dir->Path()));
        QSettings(Here.Registry_Path(), QSettings::IniFormat).remove("Dev/Термометр");
        QCOMPARE(MainWindow().Combo_Device->currentText(), "Ghost");
    }

    // Closing the constructor rebuilds the list from the registry: each device once, the first
    // one current, a device saved meanwhile included.
    void device_list_after_constructor() {
        MainWindow window;
        window.show();
        QCOMPARE(window.size(), QSize(673, 503));
        window.Combo_Device->setCurrentIndex(2);
        QTest::mousePress(window.Button_Constructor, Qt::LeftButton);
        QPointer<PacketBuilder> builder = window.Builder_Window;
        QVERIFY(builder && builder->isVisible());
        TestWorkspace::Register("Added", "added.json");
        builder->close();
        QVERIFY(window.Builder_Window == nullptr);
        QStringList items;
        for (int i = 0; i < window.Combo_Device->count(); ++i)
            items.append(window.Combo_Device->itemText(i));
        QCOMPARE(items, (QStringList{"Added", "Ghost", "Sensor-1", "Tag-20", "Thermo-21",
                                     "Термометр", "Часы"}));
        QCOMPARE(window.Combo_Device->currentIndex(), 0);
        QCOMPARE(window.Device_Files.keys(), items);
        QTRY_VERIFY(builder.isNull());
    }

    // The device list's menu removes the current device after a question: its entry goes, its
    // file only when ticked and offered (used by no other device, inside Device/). A registry
    // that cannot be written (a size limit, as a full disk) changes nothing, the file included.
    // clang-format off
    // device | answer ("+": the box ticked) | the question's end after "Dev.conf." | the devices
    // left | the files of Device/ afterwards (with hidden ones)
    void remove_device_data() { Add_Rows({
        "file kept | Sensor-1 | Да |  Файл шаблона Device/sensor1.json остаётся, если не отметить ниже.|[Удалить и файл шаблона Device/sensor1.json] | Ghost,Tag-20,Thermo-21,Термометр,Часы | beacon,clock,sensor1,thermo21,thermometer",
        "file removed | Часы | Да+ |  Файл шаблона Device/clock.json остаётся, если не отметить ниже.|[Удалить и файл шаблона Device/clock.json] | Ghost,Sensor-1,Tag-20,Thermo-21,Термометр | beacon,sensor1,thermo21,thermometer",
        "declined | Часы | + |  Файл шаблона Device/clock.json остаётся, если не отметить ниже.|[Удалить и файл шаблона Device/clock.json] | Ghost,Sensor-1,Tag-20,Thermo-21,Термометр,Часы | beacon,clock,sensor1,thermo21,thermometer",
        "shared file | Часы | Да+ |  Файл шаблона Device/clock.json остаётся. | Clock-2,Ghost,Sensor-1,Tag-20,Thermo-21,Термометр | beacon,clock,sensor1,thermo21,thermometer",
        "missing file | Ghost | Да |  Файл шаблона Device/ghost.json остаётся. | Sensor-1,Tag-20,Thermo-21,Термометр,Часы | beacon,clock,sensor1,thermo21,thermometer",
        "outside Device/ | Out | Да+ |  Файл шаблона Device/../out.json остаётся. | Ghost,Sensor-1,Tag-20,Thermo-21,Термометр,Часы | beacon,clock,sensor1,thermo21,thermometer",
        "registry not written | Часы | Да+ |  Файл шаблона Device/clock.json остаётся, если не отметить ниже.|[Удалить и файл шаблона Device/clock.json] | Ghost,Sensor-1,Tag-20,Thermo-21,Термометр,Часы | beacon,clock,sensor1,thermo21,thermometer"});
    }
    // clang-format on
    void remove_device() {
        const QStringList c = Row(5);
        const QByteArray tag = QTest::currentDataTag();
        if (tag == "shared file")
            TestWorkspace::Register("Clock-2", "clock.json");
        if (tag == "outside Device/") {
            TestWorkspace::Register("Out", "../out.json");
            QVERIFY(TestWorkspace::Write("out.json", "{}"));
        }
        const QByteArray registry = TestWorkspace::Read(Here.Registry_Path());
        ModalBoxes answerer(QString(c[1]).remove(u'+'));
        answerer.Tick = c[1].endsWith(u'+');
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.Combo_Device->setCurrentText(c[0]);
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QAction* remove = menu->actions().constLast();
            QCOMPARE(remove->text(), "Удалить устройство «" + c[0] + "»...");
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(remove).center());
        });
        rlimit unlimited{};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &unlimited) == 0);
        rlimit limited = unlimited;
        limited.rlim_cur = 10;
        ::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails with EFBIG instead
        QVERIFY(tag != "registry not written" || ::setrlimit(RLIMIT_FSIZE, &limited) == 0);
        QContextMenuEvent event(QContextMenuEvent::Mouse, {}, window.mapToGlobal(QPoint()));
        QApplication::sendEvent(window.Combo_Device, &event);
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &unlimited) == 0);

        QStringList shown{"Q|Подтверждение|Удалить устройство «" + c[0] +
                          "»? Его запись удаляется из Dev.conf." + c[2]};
        if (tag == "registry not written")
            shown << "I|Ошибка|Не удалось записать файл Dev.conf"; // and the system's reason
        for (QString& box : answerer.Shown)
            box = box.section(u'\n', 0, 0);
        QCOMPARE(answerer.Shown, shown);
        QStringList left;
        for (const QString& entry : TestWorkspace::Registry().split(u'|'))
            left << entry.section(u'=', 0, 0);
        QStringList expected = c[3].split(u','), files;
        QCOMPARE(left, expected);
        expected.sort();
        QStringList listed;
        for (int i = 0; i < window.Combo_Device->count(); ++i)
            listed << window.Combo_Device->itemText(i);
        listed.sort();
        QCOMPARE(listed, expected);
        for (const QString& file :
             QDir(Here.Template_Folder()).entryList(QDir::Files | QDir::Hidden))
            files << file.chopped(5);
        QCOMPARE(files.join(u','), c[4]);
        if (left.contains(c[0]))
            QCOMPARE(TestWorkspace::Read(Here.Registry_Path()), registry);
    }

    // Ctrl+E, or the device list's menu, opens the current device's template in the constructor,
    // named as registered; saved unchanged it is the same file. A missing file opens no window.
    void edit_template_data() { // device | its file (none: missing) | how opened
        Add_Rows({"Sensor-1 | sensor1 | Ctrl+E", "Tag-20 | beacon | Ctrl+E",
                  "Термометр | thermometer | menu", "Ghost |  | Ctrl+E"});
    }
    void edit_template() {
        const QStringList cells = Row(2);
        const QString device = QString::fromUtf8(QTest::currentDataTag()), file = cells[0];
        ModalBoxes answerer;
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.Combo_Device->setCurrentText(device);
        const QByteArray before = TestWorkspace::Read(Here.Template_Path(file + ".json"));
        if (cells[1] == "menu") {
            QTimer::singleShot(0, [&] {
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                QCOMPARE(menu->actions().value(0)->text(), "Изменить шаблон «" + device + "»");
                QTest::mouseClick(menu, Qt::LeftButton, {},
                                  menu->actionGeometry(menu->actions()[0]).center());
            });
            QContextMenuEvent event(QContextMenuEvent::Mouse, {}, window.mapToGlobal(QPoint()));
            QApplication::sendEvent(window.Combo_Device, &event);
        } else {
            QTest::keyClick(window.Edit_Packet, Qt::Key_E, Qt::ControlModifier);
        }
        if (file.isEmpty()) {
            QVERIFY(!window.Builder_Window);
            QCOMPARE(answerer.Shown,
                     QStringList{"I|Ошибка|Не удалось открыть файлDevice/ghost.json\nNo such file "
                                 "or directory"});
            return;
        }
        QVERIFY(window.Builder_Window && window.Builder_Window->isModal());
        BuilderDriver builder(window.Builder_Window);
        QCOMPARE(builder.Names(), device + '|' + file);
        builder.Press("Сохранить");
        QCOMPARE(answerer.Shown, QStringList{"I|Готово|JSON файл сохранен!"});
        QCOMPARE(TestWorkspace::Read(Here.Template_Path(file + ".json")), before);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_MainWindow.moc"
