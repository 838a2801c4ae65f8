#include "MainWindow.h"

#include "PacketBuilder.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

// The worked example: a catch-all, a Telemetry packet with bit fields, a beacon pair.
const char* const Sensor_Json = R"({"packet_data": [
  {"packet_type": -1, "name": "Other", "total_size": 30, "min_size": 2,
   "data": [{"num_byte": 1, "size": -1, "name": "Payload"}]},
  {"packet_type": 1, "name": "Telemetry", "total_size": 8,
   "data": [{"num_byte": 1, "size": 4, "name": "Time"},
            {"num_byte": 5, "size": 2, "name": "Temperature"},
            {"num_byte": 7, "size": 1, "name": "Status", "bitmap": [
              {"num_bit": 0, "size": 1, "name": "Alarm"},
              {"num_bit": 1, "size": 2, "name": "Mode"}]}]},
  {"packet_type": [{"T": 2, "name": "BeaconA"}, {"T": 3, "name": "BeaconB"}], "total_size": 21,
   "data": [{"num_byte": 1, "size": 20, "name": "Beacon"}]}]})";

// Names that exercise the renderer: time words, "bit" inside names, a "%1" typed into a name.
// Bytes 1-4 are read as a signed time, 5-9 as a wide unsigned time, 10-15 as hex text.
const char* const Clock_Json = R"({"packet_data": [
  {"packet_type": 5, "name": "Clock", "total_size": 16,
   "data": [{"num_byte": 1, "size": 4, "name": "Время"},
            {"num_byte": 1, "size": 4, "name": "время"},
            {"num_byte": 1, "size": 4, "name": "Unix time"},
            {"num_byte": 1, "size": 4, "name": "bitUTC"},
            {"num_byte": 5, "size": 5, "name": "utc_shift"},
            {"num_byte": 10, "size": 6, "name": "UTC_raw"},
            {"num_byte": 15, "size": 1, "name": "Orbit"},
            {"num_byte": 15, "size": 1, "name": "Заряд %1"}]}]})";

const QString Telemetry_Output =
    QStringLiteral("\t\t\tSensor-1\nТип пакета: --- Telemetry\nTime: --- 1700000000\n"
                   "Temperature: --- -5\nStatus: --- \n\tAlarm: --- 1\n\tMode: --- 01\n\n\n");

const QString Not_Decoded = QStringLiteral("Не удалось распаристь пакет.");

struct ShownBox {
    QMessageBox::Icon Icon;
    QString Title;
    QString Text;
    bool operator==(const ShownBox&) const = default;
};

// Answers every modal message box as soon as it is shown, remembering what it said.
class BoxAnswerer : public QObject {
  public:
    BoxAnswerer() { Arm(); }
    QList<ShownBox> Boxes;

  private:
    void Arm() {
        QTimer::singleShot(5, this, [this] { Answer(); });
    }
    void Answer() {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            Boxes.append({box->icon(), box->windowTitle(), box->text()});
            box->button(QMessageBox::Ok)->click();
        }
        Arm();
    }
};

ShownBox Info(const QString& title, const QString& text) {
    return {QMessageBox::Information, title, text};
}

void Write_File(const QString& path, const QByteArray& content) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

void Register(const QString& device, const QString& file_name) {
    QSettings settings(QStringLiteral("Dev.conf"), QSettings::IniFormat);
    settings.setValue(QStringLiteral("Dev/") + device, file_name);
}

} // namespace

Q_DECLARE_METATYPE(QList<ShownBox>)

class TestMainWindow : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> Work_Dir;

    // Puts the text into the input line the way a user would, then presses "Конвертировать".
    static void Convert(MainWindow& window, const QString& device, const QString& input) {
        window.Combo_Device->setCurrentText(device);
        window.Edit_Packet->clear();
        if (input.contains(u'\t') || input.contains(u'\n'))
            window.Edit_Packet->setText(input); // tab and line feed cannot be typed into a line
        else
            QTest::keyClicks(window.Edit_Packet, input);
        QTest::mouseClick(window.Button_Convert, Qt::LeftButton);
    }

  private Q_SLOTS:
    void init() {
        Work_Dir = std::make_unique<QTemporaryDir>();
        QVERIFY(Work_Dir->isValid());
        QVERIFY(QDir::setCurrent(Work_Dir->path()));
        QVERIFY(QDir().mkdir(QStringLiteral("Device")));
        Write_File(QStringLiteral("Device/sensor1.json"), Sensor_Json);
        Write_File(QStringLiteral("Device/clock.json"), Clock_Json);
        Register(QStringLiteral("Sensor-1"), QStringLiteral("sensor1.json"));
        Register(QStringLiteral("Часы"), QStringLiteral("clock.json"));
        Register(QStringLiteral("Ghost"), QStringLiteral("ghost.json"));
    }

    void cleanup() {
        QDir::setCurrent(QDir::tempPath());
        Work_Dir.reset();
    }

    void window_layout() {
        MainWindow window;
        QCOMPARE(window.minimumSize(), QSize(673, 503));
        QCOMPARE(window.maximumSize(), QSize(673, 503));
        QVERIFY(window.Text_Output->isReadOnly());
        QCOMPARE(window.Combo_Device->count(), 3);
        QCOMPARE(window.Combo_Device->currentIndex(), 0);
        QCOMPARE(window.Device_Files.value(QStringLiteral("Часы")), QStringLiteral("clock.json"));
        QVERIFY(window.Builder_Window == nullptr);
    }

    void no_registry_gives_empty_list() {
        QVERIFY(QFile::remove(QStringLiteral("Dev.conf")));
        BoxAnswerer answerer;
        MainWindow window;
        QCOMPARE(window.Combo_Device->count(), 0);
        QVERIFY(window.Device_Files.isEmpty());
        // With no device the empty file name names no file.
        Convert(window, QString(), QStringLiteral("0100F15365FBFF05"));
        QCOMPARE(answerer.Boxes,
                 (QList<ShownBox>{Info(QStringLiteral("Ошибка"),
                                       QStringLiteral("Не удалось открыть файлDevice/")),
                                  Info(QStringLiteral("Ошибка"), Not_Decoded)}));
    }

    void convert_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QList<ShownBox>>("boxes");

        QTest::newRow("telemetry") << "Sensor-1"
                                   << "0100F15365FBFF05" << Telemetry_Output << QList<ShownBox>{};
        QTest::newRow("length error")
            << "Sensor-1"
            << "01AABB"
            << "\t\t\tSensor-1\nERROR: --- Не верный размер парадаваемого пакета. Ожидаемый: 8, "
               "фактический: 3\n\n\n"
            << QList<ShownBox>{};
        QTest::newRow("base64") << "Sensor-1"
                                << "AQDxU2X7/wU="
                                << "to HEX - 0100f15365fbff05\n\n" + Telemetry_Output
                                << QList<ShownBox>{};
        QTest::newRow("base64 AQID")
            << "Sensor-1"
            << "AQID"
            << "to HEX - 010203\n\n\t\t\tSensor-1\nERROR: --- Не верный размер парадаваемого "
               "пакета. Ожидаемый: 8, фактический: 3\n\n\n"
            << QList<ShownBox>{};
        QTest::newRow("invalid base64")
            << "Часы"
            << "AQ-D"
            << "to HEX - \n\n"
            << QList<ShownBox>{Info("ERROR",
                                    "Не удалось найти шаблон для парсинга пакета. Проверьте "
                                    "поддержку типа пакета - 0 в протоколе или наличие в файле: "
                                    "Device/clock.json"),
                               Info("Ошибка", Not_Decoded)};
        QTest::newRow("missing template file")
            << "Ghost"
            << "0100F15365FBFF05" << QString()
            << QList<ShownBox>{Info("Ошибка", "Не удалось открыть файлDevice/ghost.json"),
                               Info("Ошибка", Not_Decoded)};
    }

    void convert() {
        QFETCH(QString, device);
        QFETCH(QString, input);
        QFETCH(QString, output);
        QFETCH(QList<ShownBox>, boxes);
        BoxAnswerer answerer;
        MainWindow window;
        window.Text_Output->setPlainText(QStringLiteral("previous output"));
        Convert(window, device, input);
        QCOMPARE(answerer.Boxes, boxes);
        QCOMPARE(window.Text_Output->toPlainText(), output);
    }

    void empty_input_keeps_output() {
        BoxAnswerer answerer;
        MainWindow window;
        Convert(window, QStringLiteral("Sensor-1"), QStringLiteral("0100F15365FBFF05"));
        Convert(window, QStringLiteral("Sensor-1"), QStringLiteral(" \t\n "));
        QCOMPARE(answerer.Boxes, QList<ShownBox>{Info("Ошибка", "Пустые входные данные")});
        QCOMPARE(window.Text_Output->toPlainText(), Telemetry_Output);
    }

    // The button acts when it goes down, before any release.
    void acts_on_press() {
        MainWindow window;
        window.Combo_Device->setCurrentText(QStringLiteral("Sensor-1"));
        window.Edit_Packet->setText(QStringLiteral("0100F15365FBFF05"));
        QTest::mousePress(window.Button_Convert, Qt::LeftButton);
        QCOMPARE(window.Text_Output->toPlainText(), Telemetry_Output);
        QTest::mouseRelease(window.Button_Convert, Qt::LeftButton);
    }

    void time_and_bit_names_data() {
        QTest::addColumn<QString>("time_bytes"); // bytes 1-4, little-endian signed
        QTest::addColumn<QString>("wide_bytes"); // bytes 5-9, little-endian unsigned
        QTest::addColumn<QString>("raw_time");
        QTest::addColumn<QString>("time_text");
        QTest::addColumn<QString>("wide_text");
        const QString epoch = QStringLiteral("01.01.1970 - 00:00:00(UTC+0)");
        const QString max = QStringLiteral("19.01.2038 - 03:14:07(UTC+0)");
        QTest::newRow("zero") << "00000000"
                              << "0000000000"
                              << "0" << epoch << epoch;
        QTest::newRow("minus one") << "FFFFFFFF"
                                   << "FFFFFF7F00"
                                   << "-1"
                                   << "31.12.1969 - 23:59:59(UTC+0)" << max;
        QTest::newRow("largest") << "FFFFFF7F"
                                 << "0000008000"
                                 << "2147483647" << max << epoch;
        QTest::newRow("smallest") << "00000080"
                                  << "0000000001"
                                  << "-2147483648"
                                  << "13.12.1901 - 20:45:52(UTC+0)" << epoch;
        QTest::newRow("worked example") << "00F15365"
                                        << "00F1536500"
                                        << "1700000000"
                                        << "14.11.2023 - 22:13:20(UTC+0)"
                                        << "14.11.2023 - 22:13:20(UTC+0)";
    }

    // Time fields are recognised by name only; "bit" anywhere in a name indents it and wins over
    // time; a name holding %1 is printed as it is.
    void time_and_bit_names() {
        QFETCH(QString, time_bytes);
        QFETCH(QString, wide_bytes);
        QFETCH(QString, raw_time);
        QFETCH(QString, time_text);
        QFETCH(QString, wide_text);
        MainWindow window;
        Convert(window, QStringLiteral("Часы"),
                "05" + time_bytes + wide_bytes + QStringLiteral("aabbccddee07"));
        const QString expected = "\t\t\tЧасы\nТип пакета: --- Clock\nВремя: --- " + time_text +
                                 "\nвремя: --- " + raw_time + "\nUnix time: --- " + raw_time +
                                 "\n\tUTC: --- " + raw_time + "\nutc_shift: --- " + wide_text +
                                 "\nUTC_raw: --- 01.01.1970 - 00:00:00(UTC+0)\n\tOr: --- 7\n"
                                 "Заряд %1: --- 7\n\n\n";
        QCOMPARE(window.Text_Output->toPlainText(), expected);
    }

    void print_empty_packet() {
        MainWindow window;
        window.Combo_Device->setCurrentText(QStringLiteral("Sensor-1"));
        window.Print_Result(DecodedPacket{});
        QCOMPARE(window.Text_Output->toPlainText(), QStringLiteral("\t\t\tSensor-1\n\n\n"));
    }

    // Closing the constructor rebuilds the list from the registry: each device once, the first
    // one current, a device saved meanwhile included.
    void device_list_after_constructor() {
        MainWindow window;
        window.show();
        window.Combo_Device->setCurrentIndex(2);
        QTest::mouseClick(window.Button_Constructor, Qt::LeftButton);
        QPointer<PacketBuilder> builder = window.Builder_Window;
        QVERIFY(builder);
        QVERIFY(builder->isVisible());
        QCOMPARE(builder->windowModality(), Qt::ApplicationModal);

        Register(QStringLiteral("Added"), QStringLiteral("added.json"));
        builder->close();
        QVERIFY(window.Builder_Window == nullptr);
        QStringList items;
        for (int i = 0; i < window.Combo_Device->count(); ++i)
            items.append(window.Combo_Device->itemText(i));
        QCOMPARE(items, (QStringList{"Added", "Ghost", "Sensor-1", "Часы"}));
        QCOMPARE(window.Combo_Device->currentIndex(), 0);
        QCOMPARE(window.Device_Files.keys(), items);
        QTRY_VERIFY(builder.isNull());
    }

    void sample_packets_data();
    void sample_packets();
};

// examples/packets.txt: each entry starts with "== <device> | <packet>"; lines starting with "!"
// are the boxes shown ("! <title> | <text>"), lines starting with ">" the pane's text line by line.
void TestMainWindow::sample_packets_data() {
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QList<ShownBox>>("boxes");
    QFile file(QStringLiteral(KIVO_EXAMPLES_DIR "/packets.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    QString device, input;
    QStringList output;
    QList<ShownBox> boxes;
    const auto add_row = [&] {
        if (!input.isEmpty())
            QTest::newRow(qPrintable(device + " " + input))
                << device << input << output.join(u'\n') << boxes;
    };
    for (const QString& line : lines) {
        if (line.startsWith(QStringLiteral("== "))) {
            add_row();
            device = line.section(QStringLiteral(" | "), 0, 0).mid(3);
            input = line.section(QStringLiteral(" | "), 1);
            output.clear();
            boxes.clear();
        } else if (line.startsWith(u'>')) {
            output.append(line.mid(1));
        } else if (line.startsWith(QStringLiteral("! "))) {
            boxes.append(Info(line.mid(2).section(QStringLiteral(" | "), 0, 0),
                              line.section(QStringLiteral(" | "), 1)));
        }
    }
    add_row();
}

void TestMainWindow::sample_packets() {
    QFETCH(QString, device);
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(QList<ShownBox>, boxes);
    const QString workspace = QStringLiteral(KIVO_EXAMPLES_DIR "/workspace");
    QFile::remove(QStringLiteral("Dev.conf"));
    QVERIFY(QFile::copy(workspace + "/Dev.conf", QStringLiteral("Dev.conf")));
    for (const QString& name : QDir(workspace + "/Device").entryList(QDir::Files)) {
        QFile::remove("Device/" + name);
        QVERIFY(QFile::copy(workspace + "/Device/" + name, "Device/" + name));
    }

    BoxAnswerer answerer;
    MainWindow window;
    QVERIFY(window.Device_Files.contains(device));
    Convert(window, device, input);
    QCOMPARE(answerer.Boxes, boxes);
    QCOMPARE(window.Text_Output->toPlainText(), output);
}

QTEST_MAIN(TestMainWindow)
#include "tst_MainWindow.moc"
