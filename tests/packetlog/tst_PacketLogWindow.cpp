#include "DecodeCommand.h"
#include "MainWindow.h"
#include "ModalBoxes.h"
#include "PacketLogChart.h"
#include "PacketLogLoader.h"
#include "PacketLogWindow.h"
#include "TestTable.h"
#include "TestWorkspace.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QLineSeries>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTextBlock>
#include <QToolTip>
#include <QtTest>

#include <optional>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

namespace {

// Comments, blank lines, base64, a length error, an odd digit count, a CR LF end, a type no
// template names, binary garbage, invalid UTF-8, a 0x prefix and a beacon.
const QByteArray Log_Lines = "# a capture from the bench\n"
                             "0100F15365FBFF05\n"
                             "AQDxU2X7/wU=\n"
                             "\n"
                             "  # indented comment\n"
                             "01AABB\n"
                             "0100F15365FBFF0\n"
                             "0100F2536500010B\r\n"
                             "7F0102\n"
                             "\x01\x02\x7f garbage, \"quoted\"\n"
                             "01\xff\xfe\n"
                             "0x0100\n"
                             "0200112233445502776655443322110FFEEDDCCBBAA\n"
                             "0100F453650A0003";

// What `kivo-decode -d Sensor-1 --csv -i <log>` prints, through the command its main runs.
QByteArray Kivo_Decode_Csv(const QString& log) {
    QTemporaryFile out;
    if (!out.open())
        return "(no output file)";
    const int errors = ::open("/dev/null", O_WRONLY);
    DecodeCommand::Run({"kivo-decode", "-d", "Sensor-1", "--csv", "-i", log}, -1, out.handle(),
                       errors);
    ::close(errors);
    return TestWorkspace::Read(out.fileName());
}

} // namespace

class TestPacketLogWindow : public QObject {
    Q_OBJECT
    std::optional<TestWorkspace> Work_Dir;

    // The device's log, as Ctrl+L in the main window opens it.
    static PacketLogWindow* Open_Log(MainWindow& window, const QString& device = "Sensor-1") {
        window.show();
        if (!QTest::qWaitForWindowActive(&window))
            return nullptr;
        window.findChild<QComboBox*>()->setCurrentText(device);
        QTest::keyClick(&window, Qt::Key_L, Qt::ControlModifier);
        return window.findChild<PacketLogWindow*>();
    }
    // Opens the file through "Открыть..." and waits until it is read.
    static void Load(PacketLogWindow& log, const QString& path) {
        ModalBoxes dialog({}, QDir::current().absoluteFilePath(path));
        log.Action_Open->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!log.Loader->Is_Running(), 60000);
    }
    static int Column_Of(const PacketLogWindow& log, const QString& name) {
        return int(log.Model.Csv_Header().indexOf(name));
    }

  private Q_SLOTS:
    void init() {
        Work_Dir.emplace(TestWorkspace::Sample);
        QVERIFY(TestWorkspace::Write("bench.log", Log_Lines));
    }
    void cleanup() { Work_Dir.reset(); }

    // The table holds kivo-decode's CSV rows, cell for cell; "Экспорт CSV" writes its very bytes,
    // of the shown rows only once a filter is set.
    void file_rows_filters_and_export() {
        MainWindow window;
        PacketLogWindow* log = Open_Log(window);
        QVERIFY(log && log->isVisible() && !log->isModal());
        QCOMPARE(log->windowTitle(), "Журнал пакетов «Sensor-1»");
        // The device list's menu item brings the same log forward.
        const QList<QAction*> items = window.findChild<QComboBox*>()->actions();
        const auto item = std::find_if(items.begin(), items.end(), [](QAction* action) {
            return action->text() == "Журнал пакетов «Sensor-1»";
        });
        QVERIFY(item != items.end());
        (*item)->trigger();
        QCOMPARE(window.findChildren<PacketLogWindow*>(), QList<PacketLogWindow*>{log});
        Load(*log, "bench.log");
        const QByteArray csv = Kivo_Decode_Csv(Work_Dir->Path() + "/bench.log");
        const QList<QStringList> expected = Read_Csv(csv);
        QCOMPARE(expected.size(), 12); // the header and eleven pastes
        QCOMPARE(log->Model.Csv_Header(), expected.first());
        QCOMPARE(log->Model.rowCount(), expected.size() - 1);
        for (int row = 0; row < log->Model.rowCount(); ++row)
            for (int column = 0; column < log->Model.columnCount(); ++column)
                QCOMPARE(log->Model.index(row, column).data().toString(),
                         expected[row + 1][PacketLogModel::Csv_Column(column)]);

        int exports = 0; // a new file each time: the dialog would ask before replacing one
        const auto export_rows = [&] {
            const QString path = Work_Dir->Path() + u"/export%1.csv"_qs.arg(++exports);
            ModalBoxes dialog({}, path);
            log->Action_Export->trigger();
            return TestWorkspace::Read(path);
        };
        QCOMPARE(export_rows(), csv);
        // type | outcome filter | the kivo-decode rows expected (ok, type cells)
        constexpr int Ok = PacketLogModel::Csv_Ok, Type = PacketLogModel::Csv_Ok + 1;
        const QList<std::tuple<QString, int, std::function<bool(const QStringList&)>>> filters = {
            {"Telemetry", 0, [](auto& r) { return r[Type] == "Telemetry"; }},
            {"Все типы", 1, [](auto& r) { return r[Ok] == "false"; }},
            {"Telemetry", 2, [](auto& r) { return r[Type] == "Telemetry" && r[Ok] == "true"; }},
            {"BeaconB", 0, [](auto&) { return false; }}};
        for (const auto& [type, outcome, wanted] : filters) {
            log->Type_Filter->setCurrentText(type);
            log->Outcome_Filter->setCurrentIndex(outcome);
            QList<QStringList> rows = {expected.first()};
            std::copy_if(expected.begin() + 1, expected.end(), std::back_inserter(rows), wanted);
            QCOMPARE(Read_Csv(export_rows()), rows);
        }

        // The template saved anew: "Декодировать заново" gives kivo-decode's rows with it.
        const QString path = Here.Template_Path("sensor1.json");
        QByteArray json = TestWorkspace::Read(path);
        QVERIFY(TestWorkspace::Write(path, json.replace("Temperature", "Темп")));
        log->Type_Filter->setCurrentIndex(0);
        log->Action_Decode_Again->trigger();
        QTRY_VERIFY(!log->Loader->Is_Running());
        QCOMPARE(export_rows(), Kivo_Decode_Csv(Work_Dir->Path() + "/bench.log"));
        QVERIFY(log->Model.Csv_Header().contains("Темп"));
    }

    // A chosen row shows what the main window's pane shows for the same paste, with the same
    // byte tooltips; the chart of a column holds its numbers, hovering names the row.
    void detail_and_chart() {
        MainWindow window;
        PacketLogWindow* log = Open_Log(window);
        QVERIFY(log);
        Load(*log, "bench.log");
        ModalBoxes boxes; // the main window's, for the packets it does not decode
        const auto pane = [&](const QString& input) {
            window.findChild<QLineEdit*>()->setText(input);
            for (QPushButton* button : window.findChildren<QPushButton*>())
                if (button->text() == "Конвертировать")
                    QTest::mousePress(button, Qt::LeftButton),
                        QTest::mouseRelease(button, Qt::LeftButton);
            return window.findChild<QPlainTextEdit*>()->toPlainText();
        };
        for (int row = 0; row < log->Model.rowCount(); ++row) {
            log->Table->selectRow(row);
            const QString input = log->Model.Cells(row)[PacketLogModel::Csv_Input];
            QCOMPARE(log->Detail->toPlainText(), pane(input));
        }
        log->Table->selectRow(0);
        const QTextBlock time_line = log->Detail->document()->findBlockByNumber(2);
        QVERIFY(time_line.text().startsWith("Time: "));
        const QPoint at = log->Detail->cursorRect(QTextCursor(time_line)).center() + QPoint(30, 0);
        QHelpEvent hover(QEvent::ToolTip, at, log->Detail->viewport()->mapToGlobal(at));
        QApplication::sendEvent(log->Detail->viewport(), &hover);
        QCOMPARE(QToolTip::text(), "Байты 1-4: 00 F1 53 65");

        const int temperature = Column_Of(*log, "Temperature");
        log->Chart->Plot(temperature);
        QList<QPointF> numbers;
        for (int row = 0; row < log->Model.rowCount(); ++row) {
            bool ok = false;
            const double value = log->Model.Cells(row)[temperature].toDouble(&ok);
            if (ok)
                numbers.append(QPointF(log->Model.Stored_Row(row) + 1, value));
        }
        QCOMPARE(numbers.size(), 4);
        QCOMPARE(log->Chart->Series()->points(), numbers);
        QCOMPARE(log->Chart->Describe(numbers[1]), "Строка 3: Temperature = -5");
    }

    // A dropped file is read. Field meanings come as the CSV gives them (scaled numbers, units in
    // the header); a time field is an X axis of dates.
    void time_field_chart() {
        QVERIFY(TestWorkspace::Write("thermo.log", "212EFB409C0500F15365\n2100000000F8FFFFFFFF\n"));
        MainWindow window;
        PacketLogWindow* log = Open_Log(window, "Thermo-21");
        QVERIFY(log);
        QMimeData file; // dropped on the window
        file.setUrls({QUrl::fromLocalFile(Work_Dir->Path() + "/thermo.log")});
        QDragEnterEvent enter({5, 5}, Qt::CopyAction, &file, Qt::LeftButton, {});
        QApplication::sendEvent(log, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop({5, 5}, Qt::CopyAction, &file, Qt::LeftButton, {});
        QApplication::sendEvent(log, &drop);
        QTRY_COMPARE(log->Model.rowCount(), 2);
        log->Chart->Plot(Column_Of(*log, "Temperature (°C)"), Column_Of(*log, "Time"));
        QCOMPARE(log->Chart->Series()->points(),
                 (QList<QPointF>{{1700000000000.0, -12.34}, {-1000.0, 0.0}}));
    }

    // Lines from a serial port (a pseudo-terminal here) join the table as they come, with their
    // arrival times, and the chart follows; an unplugged port is told in the status bar and the
    // rows stay.
    void serial_port() {
        int master = -1, slave = -1;
        QVERIFY(::openpty(&master, &slave, nullptr, nullptr, nullptr) == 0);
        const QString port = QString::fromLocal8Bit(::ttyname(slave));
        MainWindow window;
        PacketLogWindow* log = Open_Log(window);
        QVERIFY(log);
        log->Port_Choice->setCurrentText(port);
        log->Action_Start->trigger();
        QVERIFY2(log->Serial->Is_Running(), qPrintable(log->statusBar()->currentMessage()));
        const auto send = [&](const QByteArray& lines) {
            QCOMPARE(::write(master, lines.constData(), size_t(lines.size())), lines.size());
        };
        send("0100F15365FBFF05\r\n# comment\n01AA");
        send("BB\n");
        QTRY_COMPARE(log->Model.rowCount(), 2);
        QCOMPARE(log->Model.headerData(0, Qt::Horizontal).toString(), "time");
        QVERIFY(
            QTime::fromString(log->Model.index(0, 0).data().toString(), "hh:mm:ss.zzz").isValid());
        QCOMPARE(log->Model.Cells(1).mid(1, 4), (QStringList{"3", "01AABB", "hex", "Sensor-1"}));
        log->Chart->Plot(Column_Of(*log, "Temperature"), PacketLogChart::Arrival_Time);
        QCOMPARE(log->Chart->Series()->count(), 1);
        send("0100F2536500010B\n");
        QTRY_COMPARE(log->Chart->Series()->count(), 2);
        QCOMPARE(log->Chart->Series()->at(1).y(), 256.0);
        QVERIFY(!log->Action_Start->isEnabled());

        ::close(master); // unplugged
        QTRY_VERIFY(log->statusBar()->currentMessage().startsWith("Порт " + port + " потерян"));
        QVERIFY(!log->Serial->Is_Running() && log->Action_Start->isEnabled());
        QCOMPARE(log->Model.rowCount(), 3);
        ::close(slave);
    }

    // Cancel stops a long file midway; the rows read so far stay, and the window says so.
    void cancel_mid_file() {
        const int lines = 400000;
        QVERIFY(TestWorkspace::Write("long.log", QByteArray("0100F15365FBFF05\n").repeated(lines)));
        MainWindow window;
        PacketLogWindow* log = Open_Log(window);
        QVERIFY(log);
        QObject::connect(&log->Model, &QAbstractItemModel::rowsInserted, log->Button_Cancel,
                         &QPushButton::click, Qt::SingleShotConnection);
        Load(*log, "long.log");
        QVERIFY(log->Model.rowCount() > 0 && log->Model.rowCount() < lines);
        QVERIFY(log->statusBar()->currentMessage().startsWith("Отменено"));
        QVERIFY(log->Progress->isHidden());
        // What is not a regular file is refused at once, in the status bar.
        for (const QString& path :
             QStringList{"missing.log", Here.Template_Folder(), "/dev/zero"}) {
            log->Open_File(path);
            QCOMPARE(log->statusBar()->currentMessage(), "Не удалось открыть файл " + path);
            QVERIFY(!log->Loader->Is_Running());
        }
    }
};

QTEST_MAIN(TestPacketLogWindow)
#include "tst_PacketLogWindow.moc"
