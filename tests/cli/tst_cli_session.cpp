#include "DecodeSession.h"
#include "LineReader.h"
#include "OutputBuffer.h"
#include "PacketConversion.h"
#include "PacketDecoder.h"
#include "SamplePackets.h"
#include "TemplateLinter.h"

#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryFile>
#include <QTest>

#include <unistd.h>

namespace {

// Field names that exercise every rendering rule: time words, "bit" inside names, Cyrillic, a
// "%1" typed into a name, a beacon and a variable tail.
const QByteArray Rich_Template = R"({"packet_data": [
  {"packet_type": -1, "name": "Прочее %1", "total_size": 40, "min_size": 3,
   "data": [{"num_byte": 1, "size": 1, "name": "Orbit"},
            {"num_byte": 2, "size": -1, "name": "Хвост"}]},
  {"packet_type": 1, "name": "Время", "total_size": 12,
   "data": [{"num_byte": 1, "size": 4, "name": "Время"},
            {"num_byte": 5, "size": 4, "name": "UTC_offset"},
            {"num_byte": 9, "size": 2, "name": "Unixtime %1"},
            {"num_byte": 11, "size": 1, "name": "Флаги",
             "bitmap": [{"num_bit": 0, "size": 3, "name": "UTC"},
                        {"num_bit": 3, "size": 5, "name": "Режим"}]}]},
  {"packet_type": [{"T": 2, "name": "Маяк"}], "total_size": 21,
   "data": [{"num_byte": 1, "size": 20, "name": "bitmask"}]}
]})";

// Reads back what an OutputBuffer wrote to a file.
struct Captured_File {
    QTemporaryFile File;
    Captured_File() { QVERIFY(File.open()); }
    int Fd() { return File.handle(); }
    QByteArray Read() {
        File.seek(0);
        return File.readAll();
    }
};

// What the window prints for one paste: PacketConversion::Run into a pane-like text.
struct Pane_Output : PacketConversion::Output {
    QString Text;
    void Clear() override { Text.clear(); }
    void Insert(const QString& text) override { Text += text; }
};

QByteArray Window_Text(const QString& paste, const QString& device, const QString& path,
                       const std::optional<DeviceTemplateFile>& file, QByteArray& messages) {
    const MessageReporter reporter = [&](const UserMessage& message) {
        messages += (message.Title + QStringLiteral(": ") + message.Text + u'\n').toUtf8();
    };
    PacketDecoder decoder(QString(), reporter);
    decoder.Template_Path = path;
    Pane_Output pane;
    PacketConversion::Run(
        paste, device,
        [&](const QString& hex) {
            if (!file) {
                reporter(PacketDecoder::Open_Failure_Message(path));
                return DecodedPacket();
            }
            return decoder.Parse_Packet(*file, hex);
        },
        reporter, pane);
    return pane.Text.toUtf8();
}

QStringList Rich_Pastes(std::mt19937& random, int count) {
    QStringList pastes{QString(),
                       QStringLiteral(" \t\n"),
                       QStringLiteral("AQID"),
                       QStringLiteral("0x01"),
                       QStringLiteral("ZZ"),
                       QStringLiteral("01 00\tF1\n53"),
                       QStringLiteral("01\r02"),
                       QStringLiteral("a-b_"),
                       QStringLiteral("01Ж"),
                       QStringLiteral("7"),
                       QString(QChar(0xD800)) + QStringLiteral("01")};
    for (int i = 0; i < count; ++i) {
        QByteArray bytes(1 + static_cast<int>(random() % 24), Qt::Uninitialized);
        for (char& byte : bytes)
            byte = static_cast<char>(random() & 0xFF);
        bytes[0] = static_cast<char>(random() % 4);
        pastes.append(random() % 3 ? QString::fromLatin1(bytes.toHex())
                                   : QString::fromLatin1(bytes.toBase64()));
    }
    // Mostly hex digits, with now and then a character that matters anywhere in a long line:
    // blanks, base64 markers and letters, a character beyond ASCII.
    const QString rare = QStringLiteral(" \t\n+=/\\gZЖ\r-");
    const QString hex = QStringLiteral("0123456789abcdefABCDEF");
    for (int i = 0; i < count / 2; ++i) {
        QString paste;
        for (int length = static_cast<int>(random() % 64); length > 0; --length)
            paste += random() % 12 ? hex[random() % hex.size()] : rare[random() % rare.size()];
        pastes.append(paste);
    }
    return pastes;
}

} // namespace

class TestCliSession : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() {
        QLoggingCategory::setFilterRules(QStringLiteral("kivo.conversion.debug=false"));
    }
    void Text_Equals_Window_Conversion_data();
    void Text_Equals_Window_Conversion();
    void Utf8_Equals_Toolkit_Encoding();
    void Line_Reader_Splits_Lines_data();
    void Line_Reader_Splits_Lines();
    void Linter_Finds_Each_Kind_data();
    void Linter_Finds_Each_Kind();
};

void TestCliSession::Text_Equals_Window_Conversion_data() {
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<bool>("file_present");
    QTest::addColumn<bool>("as_lines");
    QTest::newRow("sensor, arguments") << SamplePackets::Sensor_Template() << true << false;
    QTest::newRow("sensor, input lines") << SamplePackets::Sensor_Template() << true << true;
    QTest::newRow("rich names, arguments") << Rich_Template << true << false;
    QTest::newRow("rich names, input lines") << Rich_Template << true << true;
    QTest::newRow("file missing") << QByteArray() << false << true;
}

// The fast text path must print, paste by paste, exactly what the window's conversion prints,
// and report the same messages in the same order.
void TestCliSession::Text_Equals_Window_Conversion() {
    QFETCH(QByteArray, document);
    QFETCH(bool, file_present);
    QFETCH(bool, as_lines);
    const QString device = QStringLiteral("Датчик-1");
    const QString path = QStringLiteral("Device/x.json");
    std::optional<DeviceTemplateFile> file;
    if (file_present)
        file = DeviceTemplateFile::From_Json(document);

    std::mt19937 random(7);
    QStringList pastes = Rich_Pastes(random, 1500);
    for (int i = 0; i < 1500; ++i)
        pastes.append(SamplePackets::Random_Paste(random));

    Captured_File out_file;
    Captured_File err_file;
    QByteArray expected_out;
    QByteArray expected_err;
    {
        OutputBuffer out(out_file.Fd());
        OutputBuffer err(err_file.Fd());
        DecodeSession session({device, path, file, DecodeSession::Format::Text}, out, err);
        for (const QString& paste : pastes) {
            const QByteArray line = paste.toUtf8();
            // A line of input is what its UTF-8 decodes to (a lone surrogate does not survive).
            const QString given = as_lines ? QString::fromUtf8(line) : paste;
            expected_out += Window_Text(given, device, path, file, expected_err);
            if (as_lines)
                session.Decode_Line(QByteArrayView(line));
            else
                session.Decode(paste);
        }
    }
    QVERIFY(expected_out.count("to HEX - ") > 500);
    QCOMPARE(out_file.Read(), expected_out);
    QCOMPARE(err_file.Read(), expected_err);
}

void TestCliSession::Utf8_Equals_Toolkit_Encoding() {
    const QString pair = QString::fromUcs4(U"\U0001F600");
    const QStringList texts{QStringLiteral("plain ascii, longer than eight"),
                            QStringLiteral("Киво - MAC- 0123456789ab Бат.- -12 Темп.- 300 Влаж.- "
                                           "7 Резерв 00112233445566778899"),
                            QStringLiteral("Тип пакета: --- Киво"),
                            pair + QStringLiteral("x") + pair,
                            QStringLiteral("ab") + QChar(0xD800) + QStringLiteral("cd"),
                            QString(QChar(0xDC00)),
                            QString(9000, QChar(u'ж')) + QString(5000, QChar(u'q'))};
    for (const QString& text : texts) {
        Captured_File file;
        {
            OutputBuffer out(file.Fd(), 100);
            out.Append_Utf8(text);
        }
        QCOMPARE(file.Read(), text.toUtf8());
    }
    // One after the other, so that texts start at every position of the small buffer.
    Captured_File file;
    QByteArray expected;
    {
        OutputBuffer out(file.Fd(), 100);
        for (int round = 0; round < 7; ++round) {
            for (const QString& text : texts) {
                const QString piece = text.left(round * 13 + 1) + text.mid(round * 29);
                out.Append_Utf8(piece);
                expected += piece.toUtf8();
            }
        }
    }
    QCOMPARE(file.Read(), expected);
}

void TestCliSession::Line_Reader_Splits_Lines_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("LF") << QByteArray("a\nbb\n") << QStringList{"a", "bb"};
    QTest::newRow("CR LF") << QByteArray("a\r\nbb\r\n") << QStringList{"a", "bb"};
    QTest::newRow("no final LF") << QByteArray("a\nbb") << QStringList{"a", "bb"};
    QTest::newRow("blank lines kept") << QByteArray("\n\r\na\n") << QStringList{"", "", "a"};
    QTest::newRow("inner CR kept") << QByteArray("a\rb\n") << QStringList{"a\rb"};
    QTest::newRow("longer than a block")
        << QByteArray(QByteArray(50, 'x') + "\n" + QByteArray(33, 'y'))
        << QStringList{QString(50, u'x'), QString(33, u'y')};
    QTest::newRow("empty") << QByteArray() << QStringList{};
}

// Read through a pipe in blocks of 16 bytes, so lines straddle blocks.
void TestCliSession::Line_Reader_Splits_Lines() {
    QFETCH(QByteArray, input);
    QFETCH(QStringList, lines);
    int fds[2];
    QCOMPARE(::pipe(fds), 0);
    QCOMPARE(::write(fds[1], input.constData(), input.size()), ssize_t(input.size()));
    ::close(fds[1]);
    LineReader reader(fds[0], {}, 16);
    QStringList read;
    QByteArrayView line;
    while (reader.Next(line))
        read.append(QString::fromUtf8(line));
    ::close(fds[0]);
    QCOMPARE(read, lines);
}

void TestCliSession::Linter_Finds_Each_Kind_data() {
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QStringList>("findings");
    const auto one = [](const char* data) {
        return QByteArray(R"({"packet_data": [{"packet_type": 1, "name": "T", "total_size": 4, )") +
               data + "}]}";
    };
    QTest::newRow("clean") << SamplePackets::Sensor_Template() << QStringList{};
    QTest::newRow("invalid JSON") << QByteArray("{\"packet_data\": [")
                                  << QStringList{"document: invalid JSON"};
    QTest::newRow("root array") << QByteArray("[]") << QStringList{"document: the root is not"};
    QTest::newRow("no packet_data") << QByteArray("{}") << QStringList{"document: no packet_data"};
    QTest::newRow("beyond total_size")
        << one(R"("data": [{"num_byte": 2, "size": 4, "name": "Long"}])")
        << QStringList{"template 0, field \"Long\": bytes 2..5 reach beyond total_size 4"};
    QTest::newRow("overlap")
        << one(R"("data": [{"num_byte": 1, "size": 2, "name": "A"}, {"num_byte": 2, "size": 1, "name": "B"}])")
        << QStringList{"template 0, field \"B\": bytes 2..2 overlap field \"A\" (bytes 1..2)"};
    QTest::newRow("size -1 without min_size")
        << one(R"("data": [{"num_byte": 1, "size": -1, "name": "Tail"}])")
        << QStringList{"template 0, field \"Tail\": size -1 in a template without min_size"};
    QTest::newRow("bits outside the byte")
        << one(R"("data": [{"num_byte": 1, "size": 1, "name": "S", "bitmap": [{"num_bit": 6, "size": 3, "name": "M"}, {"num_bit": 0, "size": 0, "name": "Z"}]}])")
        << QStringList{"template 0, field \"S\": bit field \"M\" covers bits 6..8, outside 0..7",
                       "template 0, field \"S\": bit field \"Z\" has size 0"};
    QTest::newRow("bit in a byte-field name")
        << one(R"("data": [{"num_byte": 1, "size": 1, "name": "Orbit"}])")
        << QStringList{"template 0, field \"Orbit\": the name contains \"bit\""};
    QTest::newRow("shadowed template")
        << QByteArray(
               R"({"packet_data": [{"packet_type": 1, "total_size": 1}, {"packet_type": -1, "total_size": 1}, {"packet_type": [], "total_size": 1}]})")
        << QStringList{"template 0: never selected: shadowed by template 1",
                       "template 2: accepts no type byte"};
}

void TestCliSession::Linter_Finds_Each_Kind() {
    QFETCH(QByteArray, document);
    QFETCH(QStringList, findings);
    const QList<TemplateLinter::Finding> found = TemplateLinter::Lint(document);
    QStringList lines;
    for (const TemplateLinter::Finding& finding : found)
        lines.append(finding.Line());
    QCOMPARE(lines.size(), findings.size());
    for (int i = 0; i < findings.size(); ++i)
        QVERIFY2(lines.at(i).startsWith(findings.at(i)), qPrintable(lines.at(i)));
}

QTEST_GUILESS_MAIN(TestCliSession)
#include "tst_cli_session.moc"
