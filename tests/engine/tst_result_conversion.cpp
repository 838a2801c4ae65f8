// The printed result text and the conversion of a pasted text, with a recording output and
// reporter in place of the window.
#include "PacketConversion.h"
#include "PacketDecoder.h"
#include "ResultRenderer.h"
#include "TestTable.h"

#include <QDateTime>
#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>

namespace {

// "name=value" pairs separated by "|"; the inverse of Flat.
DecodedPacket Packet(const QString& flat) {
    DecodedPacket packet;
    for (const QString& field : flat.split(u'|', Qt::SkipEmptyParts))
        packet.append({field.section(u'=', 0, 0), field.section(u'=', 1)});
    return packet;
}

class Recording_Output : public PacketConversion::Output {
  public:
    QStringList Calls{u"(old text)"_qs};
    void Clear() override { Calls = {u"clear"_qs}; }
    void Insert(const QString& text) override { Calls << text; }
};

} // namespace

class ResultConversionTest : public QObject {
    Q_OBJECT

    QList<UserMessage> Messages;
    MessageReporter Recorder() {
        return [this](const UserMessage& message) { Messages.append(message); };
    }

  private Q_SLOTS:
    void init() { Messages.clear(); }

    void render_time_data() {
        Add_Table({"value", "expected"},
                  {
                      {"-1", "-1", "31.12.1969 - 23:59:59(UTC+0)"},
                      {"int max", "2147483647", "19.01.2038 - 03:14:07(UTC+0)"},
                      {"int min", "-2147483648", "13.12.1901 - 20:45:52(UTC+0)"},
                      {"1700000000", "1700000000", "14.11.2023 - 22:13:20(UTC+0)"},
                      {"leap day", "951868799", "29.02.2000 - 23:59:59(UTC+0)"},
                  });
        for (const char* value : {"0", "abc", "", "2147483648", "-2147483649", "1.5", "1e3"})
            QTest::newRow(value) << QString::fromLatin1(value)
                                 << u"01.01.1970 - 00:00:00(UTC+0)"_qs;
    }
    void render_time() {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QCOMPARE(ResultRenderer::Render_Time(value), expected);
    }

    void render_time_matches_qdatetime() {
        QRandomGenerator random(20261206);
        QList<qint64> values = {0, -1, 86399, 86400, -86400, -86401, INT_MIN, INT_MAX};
        for (int i = 0; i < 20000; ++i)
            values << static_cast<qint32>(random.generate());
        for (const qint64 v : values) {
            const QDateTime time = QDateTime::fromSecsSinceEpoch(v, QTimeZone(0));
            QCOMPARE(ResultRenderer::Render_Time(QString::number(v)),
                     time.toString(u"dd.MM.yyyy - hh:mm:ss"_qs) + u"(UTC+0)"_qs);
        }
    }

    void is_time_name_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("is_time");
        for (const char* name : {"Время", "Время пакета", "Unixtime", "unixtime", ",nixtime",
                                 "a,nixtime1", "UTC_offset", "utc_shift", "xUTCx"})
            QTest::newRow(name) << QString::fromUtf8(name) << true;
        for (const char* name :
             {"время", "ВРЕМЯ", "Unix time", "UnixTime", "nixtime", "Xnixtime", "Utc", "Time", ""})
            QTest::newRow(name) << QString::fromUtf8(name) << false;
    }
    void is_time_name() {
        QFETCH(QString, name);
        QFETCH(bool, is_time);
        QCOMPARE(ResultRenderer::Is_Time_Name(name), is_time);
    }

    void render_result_data() {
        Add_Table({"device", "fields", "expected"},
                  {
                      {"example", "Sensor-1", "Тип пакета=2|Время=1700000000|bitAlarm=1|Orbit=7",
                       "\t\t\tSensor-1\nТип пакета: --- 2\nВремя: --- 14.11.2023 - "
                       "22:13:20(UTC+0)\n\tAlarm: --- 1\n\tOr: --- 7\n\n\n"},
                      {"empty packet", "Dev", "", "\t\t\tDev\n\n\n"},
                      {"%1 verbatim", "%1", "a%1b=%2", "\t\t\t%1\na%1b: --- %2\n\n\n"},
                      {"bit lines", "D", "bitUTC=5|bitbit=x|bitmaskBit=",
                       "\t\t\tD\n\tUTC: --- 5\n\t: --- x\n\tmaskBit: --- \n\n\n"},
                      {"Bit is not bit", "D", "Bit=1|unixtime=abc",
                       "\t\t\tD\nBit: --- 1\nunixtime: --- 01.01.1970 - 00:00:00(UTC+0)\n\n\n"},
                  });
    }
    void render_result() {
        QFETCH(QString, device);
        QFETCH(QString, fields);
        QFETCH(QString, expected);
        QCOMPARE(ResultRenderer::Render_Result(device, Packet(fields)), expected);
    }

    void clean_input_data() {
        Add_Table({"input", "expected"}, {
                                             {"pieces", "02 01\t06\n1A", "0201061A"},
                                             {"others stay", " 0x\r\u00a0:,\t", "0x\r\u00a0:,"},
                                             {"blank", " \t\n \n", ""},
                                         });
    }
    void clean_input() {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(PacketConversion::Clean_Input(input), expected);
    }

    void detect_base64_matches_pattern() {
        const QRegularExpression pattern(u"(\\\\|\\+|\\=)|(?:[g-z]|(?:[G-Z]))"_qs);
        QCOMPARE(pattern.pattern().size(), 30);
        const QString alphabet = u"0123456789abcdefABCDEFgqxzGQXZ\\+=/-_Ж"_qs;
        QRandomGenerator random(7);
        for (int i = 0; i < 20000; ++i) {
            QString text;
            for (int length = random.bounded(9); length > 0; --length)
                text += alphabet[random.bounded(alphabet.size())];
            const QRegularExpressionMatch match = pattern.match(text);
            const PacketConversion::Detection found = PacketConversion::Detect_Base64(text);
            QCOMPARE(found.Found(), match.hasMatch());
            QCOMPARE(found.Position, match.hasMatch() ? match.capturedStart() : -1);
            QCOMPARE(found.Captured, match.capturedTexts());
        }
    }

    void hex_from_base64_data() {
        Add_Table({"text", "expected"}, {
                                            {"AQID", "AQID", "010203"},
                                            {"padded", "AQI=", "0102"},
                                            {"unpadded", "AQI", "0102"},
                                            {"hyphen", "AQ-D", ""},
                                            {"inner =", "A=QI", ""},
                                            {"Cyrillic", "AQIDЖ", ""},
                                        });
    }
    void hex_from_base64() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(PacketConversion::Hex_From_Base64(text), expected);
    }

    // decoded: what the decode step returns; calls: what the output received, "|"-separated.
    void run_data() {
        const char* printed = "clear|\t\t\tDev\nТип пакета: --- X\n\n\n";
        Add_Table({"input", "decoded", "decoder_input", "calls", "messages"},
                  {
                      {"blank keeps output", " \t\n", "Тип пакета=X", "(not called)", "(old text)",
                       "I|Ошибка|Пустые входные данные"},
                      {"hex as typed", "02 01\t06\n1A", "Тип пакета=X", "0201061A", printed, ""},
                      {"base64", "AQID", "Тип пакета=X", "010203",
                       "clear|to HEX - 010203\n\n|\t\t\tDev\nТип пакета: --- X\n\n\n", ""},
                      {"bad base64", "AQ-g", "", "", "clear|to HEX - \n\n",
                       "I|Ошибка|Не удалось распаристь пакет."},
                      {"not decoded", "0102", "", "0102", "clear",
                       "I|Ошибка|Не удалось распаристь пакет."},
                  });
    }
    void run() {
        QFETCH(QString, input);
        QFETCH(QString, decoded);
        QFETCH(QString, decoder_input);
        QFETCH(QString, calls);
        QFETCH(QString, messages);
        Recording_Output output;
        QString received = u"(not called)"_qs;
        const auto decode = [&](const QString& hex) {
            received = hex;
            return Packet(decoded);
        };
        const PacketConversion::Result result =
            PacketConversion::Run(input, u"Dev"_qs, decode, Recorder(), output);
        QCOMPARE(received, decoder_input);
        QCOMPARE(output.Calls.join(u'|'), calls);
        QCOMPARE(Flat(Messages), messages);
        using Outcome = PacketConversion::Outcome;
        QCOMPARE(result.State, messages.isEmpty()           ? Outcome::Decoded
                               : calls.startsWith(u"clear") ? Outcome::Not_Decoded
                                                            : Outcome::Empty_Input);
    }

    // The decoder's own message comes first, the conversion's failure after it.
    void run_with_decoder_messages_in_order() {
        QTemporaryDir dir;
        const QString start = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        const PacketDecoder decoder(u"none.json"_qs, Recorder());
        Recording_Output output;
        PacketConversion::Run(
            u"0102"_qs, u"Dev"_qs, [&](const QString& hex) { return decoder.Parse_Packet(hex); },
            Recorder(), output);
        QDir::setCurrent(start);
        QCOMPARE(Flat(Messages), u"I|Ошибка|Не удалось открыть файлDevice/none.json\n"
                                 u"I|Ошибка|Не удалось распаристь пакет."_qs);
        QCOMPARE(output.Calls, QStringList{u"clear"_qs});
    }
};

QTEST_GUILESS_MAIN(ResultConversionTest)
#include "tst_result_conversion.moc"
