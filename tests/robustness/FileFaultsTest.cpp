// Faults around the files the program reads and writes: Dev.conf, the templates in Device/ and
// the save of a template. Every case must end in a clear message, and nothing the user already
// had may be lost.

#include "BuilderDriver.h"
#include "DeviceRegistry.h"
#include "ModalBoxRecorder.h"
#include "PacketBuilder.h"
#include "PacketConversion.h"
#include "PacketDecoder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

#include <unistd.h>

namespace {

const QString Telemetry_Template = QStringLiteral(
    R"({"packet_data": [{"packet_type": 1, "name": "Telemetry", "total_size": 3,
        "data": [{"num_byte": 1, "size": 2, "name": "Value"}]}]})");

bool Write_File(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

QByteArray Read_File(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class Text_Output : public PacketConversion::Output {
  public:
    void Clear() override { Text.clear(); }
    void Insert(const QString& text) override { Text.append(text); }
    QString Text;
};

// One conversion as the window runs it: the template file is read again for this packet.
struct Conversion {
    QList<UserMessage> Messages;
    PacketConversion::Result Result;
    QString Output;
};

Conversion Convert(const QString& file_name, const QString& paste) {
    Conversion conversion;
    const MessageReporter reporter = [&](const UserMessage& m) { conversion.Messages.append(m); };
    Text_Output output;
    conversion.Result = PacketConversion::Run(
        paste, QStringLiteral("Device"),
        [&](const QString& hex) { return PacketDecoder(file_name, reporter).Parse_Packet(hex); },
        reporter, output);
    conversion.Output = output.Text;
    return conversion;
}

bool Running_As_Root() {
    return ::geteuid() == 0;
}

} // namespace

class FileFaultsTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void init();

    void registry_read_data();
    void registry_read();
    void registry_at_save_data();
    void registry_at_save();

    void unusable_template_data();
    void unusable_template();
    void huge_template();
    void template_edited_between_conversions();

    void save_without_device_directory();
    void save_onto_directory_keeps_registry();

  private:
    std::unique_ptr<QTemporaryDir> Work_Dir;
};

void FileFaultsTest::init() {
    Work_Dir = std::make_unique<QTemporaryDir>();
    QVERIFY(Work_Dir->isValid());
    QVERIFY(QDir::setCurrent(Work_Dir->path()));
    QVERIFY(QDir().mkdir(QStringLiteral("Device")));
}

void FileFaultsTest::registry_read_data() {
    QTest::addColumn<QByteArray>("content"); // empty: no file at all
    QTest::addColumn<bool>("as_directory");
    QTest::addColumn<QStringList>("devices");

    QTest::newRow("missing") << QByteArray() << false << QStringList();
    QTest::newRow("directory") << QByteArray() << true << QStringList();
    QTest::newRow("binary junk") << QByteArray("\x00\xff\xfe\x01[\x80\n=\x1b", 10) << false
                                 << QStringList();
    QTest::newRow("junk around the group")
        << QByteArray("garbage line\n\x01\x02\n[Dev]\nSensor=s.json\n[Other]\nX=y.json\n") << false
        << QStringList{QStringLiteral("Sensor")};
}

void FileFaultsTest::registry_read() {
    QFETCH(QByteArray, content);
    QFETCH(bool, as_directory);
    QFETCH(QStringList, devices);
    if (as_directory)
        QVERIFY(QDir().mkdir(QStringLiteral("Dev.conf")));
    else if (!content.isEmpty())
        QVERIFY(Write_File(QStringLiteral("Dev.conf"), content));

    QStringList names;
    for (const DeviceRegistry::Device& device : DeviceRegistry::Read())
        names.append(device.Name);
    QCOMPARE(names, devices);
}

// Saving registers the device in whatever state Dev.conf is in: created when missing, added to
// a hand-damaged file without losing its devices, and never half-done when it cannot be written.
void FileFaultsTest::registry_at_save_data() {
    QTest::addColumn<QString>("state");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("title");

    const QByteArray registry = "[Dev]\nOld=old.json\n";
    QTest::newRow("missing") << QStringLiteral("missing") << QByteArray()
                             << QStringLiteral("Готово");
    QTest::newRow("junk") << QStringLiteral("junk")
                          << QByteArray("\x01\x02 junk\n[Dev]\nOld=old.json\nbroken line\n")
                          << QStringLiteral("Готово");
    QTest::newRow("read-only") << QStringLiteral("read-only") << registry
                               << QStringLiteral("Ошибка");
    QTest::newRow("directory") << QStringLiteral("directory") << QByteArray()
                               << QStringLiteral("Ошибка");
}

void FileFaultsTest::registry_at_save() {
    QFETCH(QString, state);
    QFETCH(QByteArray, content);
    QFETCH(QString, title);
    if (state == QLatin1String("read-only") && Running_As_Root())
        QSKIP("running as root: permission bits do not stop root from writing Dev.conf");
    if (state == QLatin1String("directory"))
        QVERIFY(QDir().mkdir(QStringLiteral("Dev.conf")));
    if (!content.isEmpty())
        QVERIFY(Write_File(QStringLiteral("Dev.conf"), content));
    if (state == QLatin1String("read-only"))
        QVERIFY(QFile::setPermissions(QStringLiteral("Dev.conf"), QFile::ReadOwner));

    PacketBuilder builder;
    builder.show();
    BuilderDriver driver(builder);
    driver.Set_Names(QStringLiteral("New"), QStringLiteral("new"));
    ModalBoxRecorder boxes;
    driver.Press_Save();
    QTRY_COMPARE(boxes.Boxes.size(), 1);
    QCOMPARE(boxes.Boxes.first().Title, title);

    QMap<QString, QString> registered;
    for (const DeviceRegistry::Device& device : DeviceRegistry::Read())
        registered.insert(device.Name, device.File_Name);
    if (title == QStringLiteral("Готово")) {
        QCOMPARE(registered.value(QStringLiteral("New")), QStringLiteral("new.json"));
        QCOMPARE(registered.value(QStringLiteral("Old")),
                 content.isEmpty() ? QString() : QStringLiteral("old.json"));
    } else {
        QCOMPARE(boxes.Boxes.first().Text, QStringLiteral("Не удалось открыть файлDev.conf"));
        if (!content.isEmpty())
            QCOMPARE(Read_File(QStringLiteral("Dev.conf")), content);
        // Nor may this session's device list show a device that Dev.conf does not hold.
        QVERIFY(!registered.contains(QStringLiteral("New")));
    }
}

void FileFaultsTest::unusable_template_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("as_directory");
    QTest::addColumn<QString>("first_message");

    const QString open_failure = QStringLiteral("Не удалось открыть файлDevice/t.json");
    const QString no_template = PacketDecoder::Missing_Template_Message(1, "Device/t.json").Text;
    QTest::newRow("directory") << QByteArray() << true << open_failure;
    QTest::newRow("empty") << QByteArray() << false << no_template;
    QTest::newRow("latin-1 name") << Telemetry_Template.toLatin1().replace("Telemetry", "T\xe9l")
                                  << false << no_template;
    QTest::newRow("utf-16") << QByteArray(reinterpret_cast<const char*>(Telemetry_Template.utf16()),
                                          Telemetry_Template.size() * 2)
                            << false << no_template;
    QTest::newRow("binary") << QByteArray("\x00\x01\xff{\"packet_data\"", 16) << false
                            << no_template;
    // 10 MB of nesting: the parser must give up, not overflow the stack.
    QTest::newRow("deep nesting") << QByteArray(10 << 20, '[') << false << no_template;
}

void FileFaultsTest::unusable_template() {
    QFETCH(QByteArray, content);
    QFETCH(bool, as_directory);
    QFETCH(QString, first_message);
    if (as_directory)
        QVERIFY(QDir().mkdir(QStringLiteral("Device/t.json")));
    else
        QVERIFY(Write_File(QStringLiteral("Device/t.json"), content));

    const Conversion conversion = Convert(QStringLiteral("t.json"), QStringLiteral("010203"));
    QCOMPARE(conversion.Result.State, PacketConversion::Outcome::Not_Decoded);
    QCOMPARE(conversion.Messages.size(), 2);
    QCOMPARE(conversion.Messages.at(0).Text, first_message);
    QCOMPARE(conversion.Messages.at(1), PacketConversion::Not_Decoded_Message());
    QVERIFY(conversion.Output.isEmpty());
    QCOMPARE(Read_File(QStringLiteral("Device/t.json")), content); // reading never writes
}

// 10 MB of valid JSON: 200 000 byte fields in one template, all decoded.
void FileFaultsTest::huge_template() {
    QByteArray document = R"({"packet_data": [{"packet_type": 1, "name": "Big", "total_size": 3,
        "data": [)";
    constexpr int Field_Count = 200000;
    for (int i = 0; i < Field_Count; ++i) {
        document += R"({"num_byte": 1, "size": 2, "name": "Field number )" + QByteArray::number(i) +
                    R"( with a long name to fill the file"},)";
    }
    document += R"({"num_byte": 2, "size": 1, "name": "Last"}]}]})";
    QVERIFY(document.size() > 10 << 20);
    QVERIFY(Write_File(QStringLiteral("Device/big.json"), document));

    const Conversion conversion = Convert(QStringLiteral("big.json"), QStringLiteral("013412"));
    QCOMPARE(conversion.Result.State, PacketConversion::Outcome::Decoded);
    QVERIFY(conversion.Messages.isEmpty());
    const DecodedPacket& packet = conversion.Result.Packet;
    QCOMPARE(packet.size(), Field_Count + 2);
    QCOMPARE(packet.at(1).Value, QStringLiteral("4660"));
    QCOMPARE(packet.at(Field_Count).Value, QStringLiteral("4660"));
    QCOMPARE(packet.last(), (DecodedField{QStringLiteral("Last"), QStringLiteral("18")}));
}

// The window re-reads the template at every conversion: an edit made in between is seen.
void FileFaultsTest::template_edited_between_conversions() {
    QVERIFY(Write_File(QStringLiteral("Device/t.json"), Telemetry_Template.toUtf8()));
    const Conversion first = Convert(QStringLiteral("t.json"), QStringLiteral("013412"));
    QCOMPARE(first.Result.Packet.value(1).Value, QStringLiteral("4660"));

    QString edited = Telemetry_Template;
    edited.replace(QStringLiteral("\"size\": 2, \"name\": \"Value\""),
                   QStringLiteral("\"size\": 1, \"name\": \"Low\""));
    QVERIFY(Write_File(QStringLiteral("Device/t.json"), edited.toUtf8()));
    const Conversion second = Convert(QStringLiteral("t.json"), QStringLiteral("013412"));
    QCOMPARE(second.Result.Packet.value(1),
             (DecodedField{QStringLiteral("Low"), QStringLiteral("52")}));

    QVERIFY(QFile::remove(QStringLiteral("Device/t.json")));
    const Conversion third = Convert(QStringLiteral("t.json"), QStringLiteral("013412"));
    QCOMPARE(third.Result.State, PacketConversion::Outcome::Not_Decoded);
    QCOMPARE(third.Messages.first().Text, QStringLiteral("Не удалось открыть файлDevice/t.json"));
}

// Without Device/ the save fails: the user is told, nothing is registered, nothing is created.
void FileFaultsTest::save_without_device_directory() {
    QVERIFY(QDir().rmdir(QStringLiteral("Device")));
    const QByteArray registry = "[Dev]\nOld=old.json\n";
    QVERIFY(Write_File(QStringLiteral("Dev.conf"), registry));
    PacketBuilder builder;
    builder.show();
    BuilderDriver driver(builder);
    driver.Add_Packet_Type({QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("T")});
    driver.Set_Names(QStringLiteral("Old"), QStringLiteral("a"));
    ModalBoxRecorder boxes;
    driver.Press_Save();
    QTRY_COMPARE(boxes.Boxes.size(), 1);

    QCOMPARE(boxes.Boxes.first().Icon, QMessageBox::Information);
    QCOMPARE(boxes.Boxes.first().Title, QStringLiteral("Ошибка"));
    QCOMPARE(boxes.Boxes.first().Text, QStringLiteral("Не удалось открыть файлDevice/a.json"));
    QCOMPARE(Read_File(QStringLiteral("Dev.conf")), registry);
    QVERIFY(!QFileInfo::exists(QStringLiteral("Device")));
    QCOMPARE(driver.Tree->topLevelItemCount(), 1); // the tree is kept for another try
}

// A save that cannot replace the template keeps the old registry entry pointing at a real file.
void FileFaultsTest::save_onto_directory_keeps_registry() {
    QVERIFY(QDir().mkdir(QStringLiteral("Device/a.json")));
    QVERIFY(Write_File(QStringLiteral("Device/a.json/keep"), "user data"));
    const QByteArray registry = "[Dev]\nOld=old.json\n";
    QVERIFY(Write_File(QStringLiteral("Dev.conf"), registry));
    PacketBuilder builder;
    builder.show();
    BuilderDriver driver(builder);
    driver.Set_Names(QStringLiteral("Old"), QStringLiteral("a"));
    ModalBoxRecorder boxes;
    driver.Press_Save();
    QTRY_COMPARE(boxes.Boxes.size(), 1);

    QCOMPARE(boxes.Boxes.first().Title, QStringLiteral("Ошибка"));
    QCOMPARE(Read_File(QStringLiteral("Dev.conf")), registry);
    QCOMPARE(Read_File(QStringLiteral("Device/a.json/keep")), QByteArray("user data"));
}

QTEST_MAIN(FileFaultsTest)
#include "FileFaultsTest.moc"
