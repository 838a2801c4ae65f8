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

#include <optional>

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

// Packet 013412 decoded as a conversion does, reading the template file again: the messages and
// "name = value" lines.
QString Decode(const QString& file_name) {
    QString text;
    const auto report = [&](const UserMessage& message) { text += message.Text + u'\n'; };
    for (const DecodedField& field : PacketDecoder(file_name, report).Parse_Packet(u"013412"_s))
        text += field.Name + u" = "_s + field.Value + u'\n';
    return text;
}

} // namespace

class FileFaultsTest : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> Work_Dir;

  private Q_SLOTS:
    void init() {
        QVERIFY(QDir::setCurrent(Work_Dir.emplace().path()) && QDir().mkdir(u"Device"_s));
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
    const QStringList saved{u"Готово"_s, u"JSON файл сохранен!"_s}, old{u"Old=old.json"_s};
    const auto failed = [](const QString& path) {
        return QStringList{u"Ошибка"_s, u"Не удалось открыть файл"_s + path};
    };
    QTest::newRow("Dev.conf missing")
        << u""_s << QByteArray() << saved << QStringList{u"New=new.json"_s};
    QTest::newRow("Dev.conf junk")
        << u""_s << QByteArray("\x01 junk\n[Dev]\nOld=old.json\nbroken\n") << saved
        << QStringList{u"New=new.json"_s, old[0]};
    QTest::newRow("Dev.conf read-only")
        << u"read-only"_s << QByteArray("[Dev]\nOld=old.json\n") << failed(u"Dev.conf"_s) << old;
    QTest::newRow("Device/ missing") << u"no Device/"_s << QByteArray("[Dev]\nOld=old.json\n")
                                     << failed(u"Device/new.json"_s) << old;
}

void FileFaultsTest::save() {
    QFETCH(QString, state);
    QFETCH(QByteArray, registry);
    QFETCH(QStringList, box);
    QFETCH(QStringList, devices);
    if (state == u"read-only" && ::geteuid() == 0)
        QSKIP("root writes files whatever their permission bits");
    QVERIFY(state != u"no Device/" || QDir().rmdir(u"Device"_s));
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
    QTest::addColumn<QString>("decoded"); // the messages and fields
    const QString none =
        PacketDecoder::Missing_Template_Message(1, u"Device/t.json"_s).Text + u'\n';
    const QString utf16 = QString::fromUtf8(Telemetry);
    QTest::newRow("directory") << QByteArray() << u"Не удалось открыть файлDevice/t.json\n"_s;
    QTest::newRow("empty") << QByteArray() << none;
    QTest::newRow("latin-1") << QByteArray(Telemetry).replace("Telemetry", "T\xe9l") << none;
    QTest::newRow("utf-16") << QByteArray(reinterpret_cast<const char*>(utf16.utf16()),
                                          utf16.size() * 2)
                            << none;
    // The parser must give up on deep nesting, not overflow the stack.
    QTest::newRow("10 MB deep") << QByteArray(10 << 20, '[') << none;
    const QByteArray other = R"({"packet_type": 2, "name": "Other packet", "total_size": 3,
        "data": [{"num_byte": 1, "size": 2, "name": "Other value"}]},)";
    QTest::newRow("10 MB valid") << QByteArray(Telemetry).replace(
                                        "_data\": [", "_data\": [" + other.repeated(100000))
                                 << u"Тип пакета = Telemetry\nValue = 4660\n"_s;
}

void FileFaultsTest::read_template() {
    QFETCH(QByteArray, content);
    QVERIFY(QTest::currentDataTag() == "directory"_ba ? QDir().mkdir(u"Device/t.json"_s)
                                                      : Write_File(u"Device/t.json"_s, content));
    QTEST(Decode(u"t.json"_s), "decoded");
    QCOMPARE(Read_File(u"Device/t.json"_s), content); // reading never writes
}

// The window reads the template again at every conversion: an edit made in between is seen.
void FileFaultsTest::template_edited_between_conversions() {
    QVERIFY(Write_File(u"Device/t.json"_s, Telemetry));
    QCOMPARE(Decode(u"t.json"_s), u"Тип пакета = Telemetry\nValue = 4660\n"_s);
    QVERIFY(Write_File(u"Device/t.json"_s, QByteArray(Telemetry).replace("2, \"name\": \"Value",
                                                                         "1, \"name\": \"Low")));
    QCOMPARE(Decode(u"t.json"_s), u"Тип пакета = Telemetry\nLow = 52\n"_s);
}

QTEST_MAIN(FileFaultsTest)
#include "FileFaultsTest.moc"
