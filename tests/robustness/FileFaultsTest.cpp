// Faults around the files the program reads and writes: Dev.conf, the templates in Device/ and the
// save of a template. Each ends in a clear message, and nothing the user already had is lost.

#include "BuilderDriver.h"
#include "DeviceRegistry.h"
#include "PacketBuilder.h"
#include "PacketDecoder.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray Telemetry = R"({"packet_data": [{"packet_type": 1, "name": "Telemetry",
    "total_size": 3, "data": [{"num_byte": 1, "size": 2, "name": "Value"}]}]})";

bool Write_File(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray Read_File(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Packet 013412 decoded as one conversion does it: the template file is read again for it.
std::pair<DecodedPacket, QStringList> Decode(const QString& file_name) {
    QStringList messages;
    const DecodedPacket packet = PacketDecoder(file_name, [&](const UserMessage& message) {
                                     messages.append(message.Text);
                                 }).Parse_Packet(u"013412"_s);
    return {packet, messages};
}

} // namespace

class FileFaultsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> Work_Dir;

  private Q_SLOTS:
    void init() {
        Work_Dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(Work_Dir->path()) && QDir().mkdir(u"Device"_s));
    }
    void save_data();
    void save();
    void read_template_data();
    void read_template();
    void template_edited_between_conversions();
};

// A save registers the device whatever state Dev.conf is in, keeping the devices it holds, or
// fails as a whole: the tree stays for another try, Dev.conf and Device/ are left as they were.
void FileFaultsTest::save_data() {
    QTest::addColumn<QString>("state");
    QTest::addColumn<QByteArray>("registry"); // Dev.conf before the save; empty: none
    QTest::addColumn<QStringList>("box");
    QTest::addColumn<QStringList>("devices"); // name=file in Dev.conf after the save
    const QStringList saved{u"Готово"_s, u"JSON файл сохранен!"_s}, kept{u"Old=old.json"_s};
    const QByteArray old = "[Dev]\nOld=old.json\n";
    QTest::newRow("Dev.conf missing")
        << u""_s << QByteArray() << saved << QStringList{u"New=new.json"_s};
    QTest::newRow("Dev.conf junk")
        << u""_s << QByteArray("\x01 junk\n[Dev]\nOld=old.json\n[Other]\nX=y.json\nbroken\n")
        << saved << QStringList{u"New=new.json"_s, u"Old=old.json"_s};
    QTest::newRow("Dev.conf binary") << u""_s << QByteArray("\x00\xff\xfe\x01[\x80\n=\x1b", 10)
                                     << saved << QStringList{u"New=new.json"_s};
    QTest::newRow("Dev.conf read-only")
        << u"read-only"_s << old << QStringList{u"Ошибка"_s, u"Не удалось открыть файлDev.conf"_s}
        << kept;
    QTest::newRow("Dev.conf a directory")
        << u"directory"_s << QByteArray()
        << QStringList{u"Ошибка"_s, u"Не удалось открыть файлDev.conf"_s} << QStringList();
    QTest::newRow("Device/ missing")
        << u"no Device/"_s << old
        << QStringList{u"Ошибка"_s, u"Не удалось открыть файлDevice/new.json"_s} << kept;
}

void FileFaultsTest::save() {
    QFETCH(QString, state);
    QFETCH(QByteArray, registry);
    QFETCH(QStringList, box);
    QFETCH(QStringList, devices);
    if (state == u"read-only" && ::geteuid() == 0)
        QSKIP("root writes files whatever their permission bits");
    QVERIFY(state != u"no Device/" || QDir().rmdir(u"Device"_s));
    QVERIFY(state != u"directory" || QDir().mkdir(u"Dev.conf"_s));
    QVERIFY(registry.isEmpty() || Write_File(u"Dev.conf"_s, registry));
    QVERIFY(state != u"read-only" || QFile::setPermissions(u"Dev.conf"_s, QFile::ReadOwner));
    PacketBuilder builder;
    builder.show();
    BuilderDriver driver(builder);
    QVERIFY(driver.Add(BuilderDriver::Packet_Type, {u"1"_s, u"3"_s, u"T"_s}));

    QCOMPARE(driver.Save(u"New"_s, u"new"_s), box);
    QStringList registered;
    for (const DeviceRegistry::Device& device : DeviceRegistry::Read())
        registered.append(device.Name + u"="_s + device.File_Name);
    QCOMPARE(registered, devices);
    QCOMPARE(QFileInfo(u"Device"_s).isDir(), state != u"no Device/");
    if (box.first() == u"Ошибка") {
        QCOMPARE(Read_File(u"Dev.conf"_s), registry);
        QCOMPARE(builder.findChild<QTreeWidget*>()->topLevelItemCount(), 1);
    }
}

void FileFaultsTest::read_template_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message"); // empty: the packet decodes
    const QString no_template = PacketDecoder::Missing_Template_Message(1, u"Device/t.json"_s).Text;
    const QString utf16 = QString::fromUtf8(Telemetry);
    QTest::newRow("directory") << QByteArray() << u"Не удалось открыть файлDevice/t.json"_s;
    QTest::newRow("empty") << QByteArray() << no_template;
    QTest::newRow("latin-1 name") << QByteArray(Telemetry).replace("Telemetry", "T\xe9l")
                                  << no_template;
    QTest::newRow("utf-16") << QByteArray(reinterpret_cast<const char*>(utf16.utf16()),
                                          utf16.size() * 2)
                            << no_template;
    QTest::newRow("binary") << QByteArray("\x00\x01\xff{\"packet_data\"", 16) << no_template;
    // 10 MB of nesting: the parser must give up, not overflow the stack.
    QTest::newRow("10 MB deep") << QByteArray(10 << 20, '[') << no_template;
    // 10 MB of valid JSON: 200 000 byte fields, all decoded.
    QTest::newRow("10 MB valid")
        << R"({"packet_data": [{"packet_type": 1, "name": "Big", "total_size": 3, "data": [)" +
               QByteArray(R"({"num_byte": 1, "size": 2, "name": "A field with a long name"},)")
                   .repeated(200000) +
               R"({"num_byte": 2, "size": 1, "name": "Last"}]}]})"
        << QString();
}

void FileFaultsTest::read_template() {
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QVERIFY(QByteArray(QTest::currentDataTag()) == "directory"
                ? QDir().mkdir(u"Device/t.json"_s)
                : Write_File(u"Device/t.json"_s, content));
    const auto [packet, messages] = Decode(u"t.json"_s);
    QCOMPARE(messages, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(packet.size(), message.isEmpty() ? 200002 : 0);
    QCOMPARE(packet.value(100000).Value, message.isEmpty() ? u"4660"_s : QString());
    QCOMPARE(packet.value(200001).Value, message.isEmpty() ? u"18"_s : QString());
    QCOMPARE(Read_File(u"Device/t.json"_s), content); // reading never writes
}

// The window reads the template again at every conversion: an edit made in between is seen.
void FileFaultsTest::template_edited_between_conversions() {
    QVERIFY(Write_File(u"Device/t.json"_s, Telemetry));
    QCOMPARE(Decode(u"t.json"_s).first.value(1), (DecodedField{u"Value"_s, u"4660"_s}));
    QVERIFY(Write_File(u"Device/t.json"_s, QByteArray(Telemetry).replace("2, \"name\": \"Value",
                                                                         "1, \"name\": \"Low")));
    QCOMPARE(Decode(u"t.json"_s).first.value(1), (DecodedField{u"Low"_s, u"52"_s}));
}

QTEST_MAIN(FileFaultsTest)
#include "FileFaultsTest.moc"
