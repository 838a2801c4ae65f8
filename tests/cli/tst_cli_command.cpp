#include "DeviceTemplateFile.h"
#include "PacketDecoder.h"
#include "ResultRenderer.h"
#include "SamplePackets.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

struct Run_Result {
    int Status = -1;
    QByteArray Out;
    QByteArray Err;
};

Run_Result Run(const QStringList& arguments, const QByteArray& input = QByteArray()) {
    QProcess process;
    process.start(QStringLiteral(KIVO_DECODE_PATH), arguments);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

void Write_File(const QString& path, const QByteArray& content) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

const QString Escaped = QStringLiteral("\"\\ \x01\u0416\r");

const QStringList Sensor = {QStringLiteral("-d"), QStringLiteral("Sensor-1")};

} // namespace

class TestCliCommand : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void Worked_Example_Prints_The_Window_Text();
    void Arguments_And_Standard_Input_Agree_data();
    void Arguments_And_Standard_Input_Agree();
    void Exit_Status_data();
    void Exit_Status();
    void Output_Follows_Input_Through_A_Pipe();
    void Json_Round_Trips_Cyrillic();
    void Check_Reports_Problems();

  private:
    std::unique_ptr<QTemporaryDir> Dir;
};

// Each test works in a fresh Sensor-1 workspace as its current directory.
void TestCliCommand::init() {
    Dir = std::make_unique<QTemporaryDir>();
    QVERIFY(Dir->isValid());
    QVERIFY(QDir::setCurrent(Dir->path()));
    QVERIFY(SamplePackets::Write_Workspace(Dir->path()));
}

// The same packet through the engine and the shared renderer gives the expected text, and the
// command prints exactly that.
void TestCliCommand::Worked_Example_Prints_The_Window_Text() {
    const QString packet = QStringLiteral("0100F15365FBFF05");
    const DeviceTemplateFile file = DeviceTemplateFile::From_Json(SamplePackets::Sensor_Template());
    const QString rendered = ResultRenderer::Render_Result(
        QStringLiteral("Sensor-1"),
        PacketDecoder(QStringLiteral("sensor1.json")).Parse_Packet(file, packet));
    QCOMPARE(rendered, QStringLiteral("\t\t\tSensor-1\nТип пакета: --- Telemetry\nTime: --- "
                                      "1700000000\nTemperature: --- -5\nStatus: --- \n\tAlarm: "
                                      "--- 1\n\tMode: --- 01\n\n\n"));
    const Run_Result hex = Run({QStringLiteral("-C"), Dir->path(), "-d", "Sensor-1", packet});
    QCOMPARE(hex.Status, 0);
    QCOMPARE(hex.Out, rendered.toUtf8());
    QCOMPARE(hex.Err, QByteArray());

    // The same bytes as base64: the "to HEX" line first, with the lower-case hex text.
    const QString base64 = QString::fromLatin1(QByteArray::fromHex(packet.toLatin1()).toBase64());
    const Run_Result b64 = Run(Sensor + QStringList{base64});
    QCOMPARE(b64.Out, (QStringLiteral("to HEX - 0100f15365fbff05\n\n") + rendered).toUtf8());
}

void TestCliCommand::Arguments_And_Standard_Input_Agree_data() {
    QTest::addColumn<QByteArray>("line_end");
    QTest::newRow("LF") << QByteArray("\n");
    QTest::newRow("CR LF") << QByteArray("\r\n");
}

void TestCliCommand::Arguments_And_Standard_Input_Agree() {
    QFETCH(QByteArray, line_end);
    std::mt19937 random(11);
    QStringList packets{QStringLiteral("01AABB"), QStringLiteral("0x01"),
                        QStringLiteral("7F 01 02")};
    for (int i = 0; i < 200; ++i)
        packets.append(SamplePackets::Random_Paste(random));
    QByteArray input;
    for (const QString& packet : packets)
        input += packet.toUtf8() + line_end + (random() % 5 ? "" : " \t" + line_end + line_end);

    const Run_Result from_arguments = Run(Sensor + packets);
    const Run_Result from_input = Run(Sensor, input);
    QCOMPARE(from_input.Status, from_arguments.Status);
    QCOMPARE(from_input.Out, from_arguments.Out);
    QCOMPARE(from_input.Err, from_arguments.Err);
    QVERIFY(from_input.Out.count("\t\t\tSensor-1\n") >= 150);
}

void TestCliCommand::Exit_Status_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("conf");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("stderr_text");
    const QByteArray sensor = "[Dev]\nSensor-1=sensor1.json\n";
    const QByteArray two = "[Dev]\nSensor-1=sensor1.json\nGone=gone.json\n";
    QTest::newRow("decoded") << QStringList{"01AABB", "7F0102"} << sensor << 0 << QString();
    QTest::newRow("empty paste") << QStringList{"7F0102", " "} << sensor << 1
                                 << "Ошибка: Пустые входные данные\n";
    QTest::newRow("missing template file")
        << QStringList{"-d", "Gone", "01"} << two << 1
        << "Ошибка: Не удалось открыть файлDevice/gone.json\nОшибка: Не удалось распаристь "
           "пакет.\n";
    QTest::newRow("empty registry")
        << QStringList{"01"} << QByteArray() << 1
        << "Ошибка: Не удалось открыть файлDevice/\nОшибка: Не удалось распаристь пакет.\n";
    QTest::newRow("unknown option") << QStringList{"--bogus", "01"} << sensor << 2 << "bogus";
    QTest::newRow("unknown device lists the registered ones")
        << QStringList{"-d", "sensor-1", "01"} << two << 2
        << "unknown device \"sensor-1\"; registered devices: Gone, Sensor-1";
    QTest::newRow("unreadable template") << QStringList{"-t", "nothing.json", "01"} << sensor << 2
                                         << "cannot read the template file";
    QTest::newRow("template as a directory")
        << QStringList{"-t", "Device", "01"} << sensor << 2 << "cannot read the template file";
}

void TestCliCommand::Exit_Status() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, conf);
    QFETCH(int, status);
    QFETCH(QString, stderr_text);
    Write_File(QStringLiteral("Dev.conf"), conf);
    const Run_Result result = Run(arguments);
    QCOMPARE(result.Status, status);
    QVERIFY2(QString::fromUtf8(result.Err).contains(stderr_text), result.Err.constData());
    if (status == 2)
        QCOMPARE(result.Out, QByteArray()); // a usage error decodes nothing
}

// A packet's text arrives while standard input is still open: a producer that writes one line
// and waits gets its answer, though the output is a pipe and not flushed per line.
void TestCliCommand::Output_Follows_Input_Through_A_Pipe() {
    QProcess process;
    process.start(QStringLiteral(KIVO_DECODE_PATH), Sensor);
    QVERIFY(process.waitForStarted());
    process.write("0100F15365FBFF05\n");
    QByteArray out;
    for (int i = 0; i < 100 && !out.endsWith("\n\n\n"); ++i) {
        process.waitForReadyRead(100);
        out += process.readAllStandardOutput();
    }
    QVERIFY(out.startsWith("\t\t\tSensor-1\n"));
    QVERIFY(out.endsWith("\n\n\n"));
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.exitCode(), 0);
}

// Names and values in Cyrillic come back unchanged; the fields are the decoder's, unrendered.
void TestCliCommand::Json_Round_Trips_Cyrillic() {
    Write_File(QStringLiteral("Device/ru.json"),
               R"({"packet_data": [{"packet_type": 1, "name": "Телеметрия", "total_size": 5,
                   "data": [{"num_byte": 1, "size": 4, "name": "Время"}]}]})");
    {
        QSettings registry(QStringLiteral("Dev.conf"), QSettings::IniFormat);
        registry.setValue(QStringLiteral("Dev/Датчик"), QStringLiteral("ru.json"));
    }
    const Run_Result result =
        Run({"--json", "-d", QStringLiteral("Датчик"), "0100F15365", "0200", "AQID", Escaped});
    QCOMPARE(result.Status, 1);
    const QList<QByteArray> lines = result.Out.split('\n');
    QCOMPARE(lines.size(), 5);
    QVERIFY(lines.last().isEmpty());

    const QJsonObject first = QJsonDocument::fromJson(lines[0]).object();
    QCOMPARE(first.value("input").toString(), QStringLiteral("0100F15365"));
    QCOMPARE(first.value("hex").toString(), QStringLiteral("0100F15365"));
    QCOMPARE(first.value("device").toString(), QStringLiteral("Датчик"));
    QCOMPARE(first.value("ok").toBool(), true);
    const QJsonArray fields = first.value("fields").toArray();
    QCOMPARE(fields.size(), 2);
    QCOMPARE(fields[0].toObject().value("name").toString(), QStringLiteral("Тип пакета"));
    QCOMPARE(fields[0].toObject().value("value").toString(), QStringLiteral("Телеметрия"));
    QCOMPARE(fields[1].toObject().value("name").toString(), QStringLiteral("Время"));
    QCOMPARE(fields[1].toObject().value("value").toString(), QStringLiteral("1700000000"));
    QCOMPARE(fields[1].toObject().value("time").toString(),
             QStringLiteral("14.11.2023 - 22:13:20(UTC+0)"));

    const QJsonObject missing = QJsonDocument::fromJson(lines[1]).object();
    QCOMPARE(missing.value("ok").toBool(), false);
    const QJsonArray messages = missing.value("messages").toArray();
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages[0].toObject().value("title").toString(), QStringLiteral("ERROR"));
    QCOMPARE(messages[1].toObject().value("text").toString(),
             QStringLiteral("Не удалось распаристь пакет."));
    const QJsonObject base64 = QJsonDocument::fromJson(lines[2]).object();
    QCOMPARE(base64.value("hex").toString(), QStringLiteral("010203"));
    QCOMPARE(base64.value("base64").toBool(), true);
    // Quotes, backslashes and control characters are escaped, so the line still parses.
    QJsonParseError error;
    const QJsonObject escaped = QJsonDocument::fromJson(lines[3], &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(escaped.value("input").toString(), Escaped);
}

void TestCliCommand::Check_Reports_Problems() {
    const Run_Result clean = Run({"--check", "-d", "Sensor-1"});
    QCOMPARE(clean.Status, 0);
    QCOMPARE(clean.Out, QByteArray());

    Write_File(QStringLiteral("bad.json"),
               R"({"packet_data": [{"packet_type": 1, "total_size": 2,
                   "data": [{"num_byte": 1, "size": 2, "name": "Поле"}]}]})");
    const Run_Result bad = Run({"--check", "-t", "bad.json"});
    QCOMPARE(bad.Status, 1);
    QCOMPARE(QString::fromUtf8(bad.Out),
             QStringLiteral("bad.json: template 0, field \"Поле\": bytes 1..2 reach beyond "
                            "total_size 2\n"));
    QCOMPARE(Run({"--check", "-t", "absent.json"}).Status, 2);
}

QTEST_GUILESS_MAIN(TestCliCommand)
#include "tst_cli_command.moc"
