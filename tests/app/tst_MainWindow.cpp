#include "MainWindow.h"

#include "PacketBuilder.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
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

// A time word, "bit" in names (it wins over the time word), a "%1" typed into a name.
const char* const Clock_Json =
    R"({"packet_data": [{"packet_type": 5, "name": "Clock", "total_size": 6,
   "data": [{"num_byte": 1, "size": 4, "name": "Время"}, {"num_byte": 1, "size": 4, "name": "bitUTC"},
            {"num_byte": 5, "size": 1, "name": "Orbit"}, {"num_byte": 5, "size": 1, "name": "Заряд %1"}]}]})";

struct ShownBox {
    QMessageBox::Icon Icon;
    QString Title;
    QString Text;
    bool operator==(const ShownBox&) const = default;
};
using Boxes = QList<ShownBox>;

ShownBox Info(const QString& title, const QString& text) {
    return {QMessageBox::Information, title, text};
}
const ShownBox Not_Decoded = Info("Ошибка", "Не удалось распаристь пакет.");

// Answers every modal message box as soon as it is shown, remembering what it said.
class BoxAnswerer : public QObject {
  public:
    BoxAnswerer() { Arm(); }
    Boxes Shown;

  private:
    void Arm() {
        QTimer::singleShot(5, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                Shown.append({box->icon(), box->windowTitle(), box->text()});
                box->button(QMessageBox::Ok)->click();
            }
            Arm();
        });
    }
};

void Register(const QString& device, const QString& file_name) {
    QSettings("Dev.conf", QSettings::IniFormat).setValue("Dev/" + device, file_name);
}

void Copy_Into(const QString& from, const QString& to) {
    for (const QString& name : QDir(from).entryList(QDir::Files))
        QVERIFY(QFile::copy(from + '/' + name, to + name));
}

} // namespace

Q_DECLARE_METATYPE(Boxes)

class TestMainWindow : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> Work_Dir;

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
    void init() {
        Work_Dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(Work_Dir->path()) && QDir().mkdir("Device"));
        Copy_Into(KIVO_EXAMPLES_DIR "/workspace", "");
        Copy_Into(KIVO_EXAMPLES_DIR "/workspace/Device", "Device/");
        QFile clock("Device/clock.json");
        QVERIFY(clock.open(QIODevice::WriteOnly) && clock.write(Clock_Json) > 0);
        Register("Часы", "clock.json");
        Register("Ghost", "ghost.json");
    }
    void cleanup() {
        QDir::setCurrent(QDir::tempPath());
        Work_Dir.reset();
    }

    // The samples of examples/packets.txt ("== <device> | <packet>" starts an entry, "! <title> |
    // <text>" is a box shown, ">" a line of the pane), then the window's own cases.
    void convert_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        QTest::addColumn<Boxes>("boxes");
        const auto row = [](const QString& device, const QString& input, const QString& output,
                            const Boxes& boxes) {
            QTest::newRow(qPrintable(device + ' ' + input)) << device << input << output << boxes;
        };
        QFile file(KIVO_EXAMPLES_DIR "/packets.txt");
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        QStringList entries = QString::fromUtf8(file.readAll()).split("\n== ");
        entries.removeFirst();
        for (const QString& entry : entries) {
            QStringList lines = entry.split(u'\n'), output;
            Boxes boxes;
            for (const QString& line : lines.mid(1)) {
                if (line.startsWith(u'>'))
                    output.append(line.mid(1));
                else if (line.startsWith("! "))
                    boxes.append(Info(line.mid(2).section(" | ", 0, 0), line.section(" | ", 1)));
            }
            row(lines[0].section(" | ", 0, 0), lines[0].section(" | ", 1), output.join(u'\n'),
                boxes);
        }
        row("Ghost", "0100F15365FBFF05", "",
            {Info("Ошибка", "Не удалось открыть файлDevice/ghost.json"), Not_Decoded});
        row("Sensor-1", "  ", "previous output", {Info("Ошибка", "Пустые входные данные")});
        QTest::newRow("100,000-character paste")
            << "Sensor-1"
            << "01" + QString(99998, u'0')
            << "\t\t\tSensor-1\nERROR: --- Не верный размер парадаваемого пакета. Ожидаемый: 8, "
               "фактический: 50000\n\n\n"
            << Boxes{};
        row("Часы", "0500F1536507",
            "\t\t\tЧасы\nТип пакета: --- Clock\nВремя: --- 14.11.2023 - 22:13:20(UTC+0)\n"
            "\tUTC: --- 1700000000\n\tOr: --- 7\nЗаряд %1: --- 7\n\n\n",
            {});
    }
    void convert() {
        QFETCH(QString, device);
        QFETCH(QString, input);
        QFETCH(QString, output);
        QFETCH(Boxes, boxes);
        BoxAnswerer answerer;
        MainWindow window;
        window.Text_Output->setPlainText("previous output");
        QCOMPARE(Convert(window, device, input), output);
        QCOMPARE(answerer.Shown, boxes);
    }

    // With no registry the list is empty and the empty device name names no file.
    void no_registry() {
        QVERIFY(QFile::remove("Dev.conf"));
        BoxAnswerer answerer;
        MainWindow window;
        QCOMPARE(window.Combo_Device->count(), 0);
        Convert(window, QString(), "0100F15365FBFF05");
        QCOMPARE(answerer.Shown,
                 (Boxes{Info("Ошибка", "Не удалось открыть файлDevice/"), Not_Decoded}));
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
        Register("Added", "added.json");
        builder->close();
        QVERIFY(window.Builder_Window == nullptr);
        QStringList items;
        for (int i = 0; i < window.Combo_Device->count(); ++i)
            items.append(window.Combo_Device->itemText(i));
        QCOMPARE(items, (QStringList{"Added", "Ghost", "Sensor-1", "Tag-20", "Термометр", "Часы"}));
        QCOMPARE(window.Combo_Device->currentIndex(), 0);
        QCOMPARE(window.Device_Files.keys(), items);
        QTRY_VERIFY(builder.isNull());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_MainWindow.moc"
