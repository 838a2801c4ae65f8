// The printed result text and the conversion of a pasted text, with a recording output and
// reporter in place of the window.
#include "DecimalText.h"
#include "JsonRecord.h"
#include "PacketConversion.h"
#include "ResultRenderer.h"
#include "TestTable.h"
#include "Utf8Writer.h"

#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>

#include <limits>

namespace {

// "name=value" pairs separated by "|"; the inverse of Flat.
DecodedPacket Packet(const QString& flat) {
    DecodedPacket packet;
    for (const QString& field : flat.split(u'|', Qt::SkipEmptyParts))
        packet.append({field.section(u'=', 0, 0), field.section(u'=', 1)});
    return packet;
}

// Records the pane's operations, and the messages in between, as texts.
struct Recording_Output : PacketConversion::Output {
    QStringList Calls{u"(old text)"_qs};
    void Clear() override { Calls = {u"clear"_qs}; }
    void Show() override {
        if (!Text.isEmpty())
            Calls << QString::fromUtf8(Text);
        Text.clear();
    }
};

// clang-format off
// input | fields decoded | what the decoder got |
// the pane's operations and the messages ("I|title|text"), in order; the device is named "%1"
const Rows Run_Rows = {
    "blank | \t\n  | T=X | (not called) | (old text)|I|Ошибка|Пустые входные данные",
    "hex | 02 01\t06\n1A | T=X | 0201061A | clear|\t\t\t%1\nT: --- X\n\n\n",
    "only blanks go | 01\r\u00a0:,02 | T=X | 01\r\u00a0:,02 | clear|\t\t\t%1\nT: --- X\n\n\n",
    "unpadded | AQI | T=X | 0102 | clear|to HEX - 0102\n\n\t\t\t%1\nT: --- X\n\n\n",
    "inner = | A=QI |  |  | clear|to HEX - \n\n|I|Ошибка|Не удалось распаристь пакет.",
    "not Latin | AQIDЖ |  |  | clear|to HEX - \n\n|I|Ошибка|Не удалось распаристь пакет.",
    "printed | 01 | Тип пакета=2|Время=1700000000|Orbit=7|UTC=|=ࠀ😀 | 01 | clear|\t\t\t%1\n"
    "Тип пакета: --- 2\nВремя: --- 14.11.2023 - 22:13:20(UTC+0)\n\tOr: --- 7\nUTC: --- \n"
    ": --- ࠀ😀\n\n\n",
    "bit lines, %1 | 01 | bitUTC=5|bitbit=x|bitmaskBit=|Bit=1|unixtime=abc|a%1b=%2 | 01 | clear|"
    "\t\t\t%1\n\tUTC: --- 5\n\t: --- x\n\tmaskBit: --- \nBit: --- 1\n"
    "unixtime: --- 01.01.1970 - 00:00:00(UTC+0)\na%1b: --- %2\n\n\n"};

// paste | the form records name | what the decoder got | how many warnings
const Rows Form_Rows = {
    "0x run | 0x0100F15365FBFF05 | 0x | 0100F15365FBFF05 | 0",
    "0x one digit | 0x1 | 0x | 01 | 0",
    "0x odd run | 0x123 | 0x | 123 | 1",
    "colons | 01:00:F1:53:65:FB:FF:05 | bytes | 0100F15365FBFF05 | 0",
    "dashes, blanks | 01-00 -\tF1\n | bytes | 0100F1 | 0",
    "commas | 01, 00, f1 | bytes | 0100f1 | 0",
    "semicolons, one trailing | 1;2;3; | bytes | 010203 | 0",
    "0x groups by blanks | 0x01 0x00 0xF1 | bytes | 0100F1 | 0",
    "0x one-digit groups | 0x1 0x0 0xa | bytes | 01000a | 0",
    "C array | {0x01, 0x00, 0xF1,} | bytes | 0100F1 | 0",
    "brackets, mixed 0x | [1,0x2,03] | bytes | 010203 | 0",
    "one group in braces | {0x7} | bytes | 07 | 0",
    // Look-alikes keep today's reading.
    "plain hex | 0100F1 | hex | 0100F1 | 0",
    "base64 with x | AQxD | base64 | 010c43 | 0",
    "0x alone | 0x | base64 | d3 | 0",
    "upper 0X | 0X0100 | base64 | d17d35d3 | 0",
    "0x run then g | 0x01g | base64 | d31d35 | 0",
    "0x group of three | 0x01 0x2 03 | base64 | d31d35d31db4 | 0",
    "digits before 0x | 10x01 | base64 | d74c74 | 0",
    "two separators | 01:02-03 | hex | 01:02-03 | 1",
    "group of three | 001:02 | hex | 001:02 | 1",
    "empty group | 01::02 | hex | 01::02 | 1",
    "leading separator | :01:02 | hex | :01:02 | 1",
    "two trailing | 01,02,, | hex | 01,02,, | 2",
    "unmatched brackets | {01,02] | hex | {01,02] | 2",
    "braces around a run | {0100F1} | hex | {0100F1} | 1",
    "carriage return | 01:02\r | hex | 01:02\r | 1",
    "a UUID | 550e8400-e29b-41d4 | hex | 550e8400-e29b-41d4 | 1"};
// clang-format on

} // namespace

class TestPacketConversion : public QObject {
    Q_OBJECT

    QTemporaryDir Work_Dir;
    QList<UserMessage> Messages;
    const MessageReporter Recorder = [this](const UserMessage& m) { Messages.append(m); };

  private Q_SLOTS:
    void initTestCase() { QVERIFY(QDir::setCurrent(Work_Dir.path())); }
    void init() { Messages.clear(); }

    // Every signed 32-bit count of seconds prints as QDateTime prints it, any other text as 0.
    void render_time() {
        QRandomGenerator random(20261206);
        for (int i = 0; i < 20000; ++i) {
            const qint64 v = i < 2 ? (i ? INT_MIN : INT_MAX) : qint32(random.generate());
            const QDateTime time = QDateTime::fromSecsSinceEpoch(v, QTimeZone(0));
            QCOMPARE(ResultRenderer::Render_Time(QString::number(v)),
                     time.toString(u"dd.MM.yyyy - hh:mm:ss'(UTC+0)'"_qs));
        }
        for (const char* text : {"abc", " ", "2147483648", "-2147483649", "1.5", "1e3"})
            QCOMPARE(ResultRenderer::Render_Time(QString::fromLatin1(text)),
                     u"01.01.1970 - 00:00:00(UTC+0)"_qs);
        QCOMPARE(ResultRenderer::Render_Time(u""), QString()); // a field outside the packet
    }

    // The writers of printed and recorded text, which look at several characters at a time: every
    // length up to 20 with one special character at each place, as Qt writes them; numbers next
    // to every power of ten.
    void text_writers() {
        for (const QChar special : u"\"\\\x1f\x7f\u00e9\u0416\uffff"_qs)
            for (int length = 1; length <= 20; ++length)
                for (int at = 0; at < length; ++at) {
                    QString text(length, u'a');
                    text[at] = special;
                    QByteArray written;
                    {
                        Utf8Writer out(written);
                        out.Put_Text(text);
                        JsonRecord::Put_String(out, text);
                    }
                    const QByteArray json =
                        QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
                    QCOMPARE(written, text.toUtf8() + json.sliced(1, json.size() - 2));
                }
        for (qint64 power = 1;; power *= 10) {
            for (const qint64 value :
                 {power - 1, power, -power, 1 - power, std::numeric_limits<qint64>::min(),
                  std::numeric_limits<qint64>::max()}) {
                char digits[DecimalText::Max_Length];
                const char* const end = DecimalText::Put(digits, value);
                QCOMPARE(QByteArray(digits, end - digits), QByteArray::number(value));
                QCOMPARE(DecimalText::Length(value), end - digits);
            }
            if (power > std::numeric_limits<qint64>::max() / 10)
                break;
        }
    }

    // Base64 is detected where the detection pattern of the conversion matches, at the same place.
    void detect_base64() {
        const QRegularExpression pattern(u"(\\\\|\\+|\\=)|(?:[g-z]|(?:[G-Z]))"_qs);
        const QString alphabet = u"0123456789abcdefABCDEFgqxzGQXZ\\+=/-_Ж"_qs;
        QRandomGenerator random(7);
        for (int i = 0; i < 20000; ++i) {
            QString text;
            for (int length = random.bounded(9); length > 0; --length)
                text += alphabet[random.bounded(alphabet.size())];
            const QRegularExpressionMatch match = pattern.match(text);
            const PacketConversion::Detection found = PacketConversion::Detect_Base64(text);
            QCOMPARE(found.Position, match.hasMatch() ? match.capturedStart() : -1);
            QCOMPARE(found.Captured_Texts(text), match.capturedTexts());
        }
    }

    // The quick decoder of plain base64 and Qt's decoder behind it give what Qt's decoder gives
    // alone: edge cases, and every text of up to six of these characters.
    void hex_from_base64() {
        QStringList texts =
            u"QQ==QUJD|QU_D|QU\\D|QU D|QUéD|+/09azAZ|QUJD====|QUI=|QQ="_qs.split(u'|');
        const QString symbols = u"A/+9z=-.Ж"_qs;
        for (int length = 0, count = 1; length <= 6; ++length, count *= symbols.size())
            for (int n = 0; n < count; ++n) {
                QString& text = texts.emplace_back();
                for (int rest = n; text.size() < length; rest /= symbols.size())
                    text += symbols[rest % symbols.size()];
            }
        QString hex = u"left over"_qs;
        for (const QString& text : texts) {
            const auto qt = QByteArray::fromBase64Encoding(text.toUtf8(),
                                                           QByteArray::AbortOnBase64DecodingErrors);
            PacketConversion::Hex_From_Base64(text, hex);
            if (hex != QString::fromLatin1(qt ? qt.decoded.toHex() : QByteArray()))
                QFAIL(qPrintable(text));
        }
    }

    // The forms read as the hex they spell; the pane shows no line of their own.
    void paste_forms_data() { Add_Rows(Form_Rows); }
    void paste_forms() {
        const QStringList c = Row(4);
        Recording_Output output;
        PacketConversion conversion(u"D"_qs, Recorder);
        QString received;
        const auto& result = conversion.Run(
            c[0], [&](const QString& hex, DecodedPacket&) { received = hex; }, &output);
        QCOMPARE(received, c[2]);
        QCOMPARE(PasteForm::Name(result.Form), c[1]);
        QCOMPARE(result.Is_Base64, c[1] == u"base64");
        QCOMPARE(result.Warnings.size(), c[3].toInt());
        QCOMPARE(output.Calls.size(), c[1] == u"base64" ? 2 : 1); // clear, "to HEX" for base64
    }

    void run_data() { Add_Rows(Run_Rows); }
    void run() {
        const QStringList c = Row(4);
        Recording_Output output;
        PacketConversion conversion(u"%1"_qs, [&](const UserMessage& m) {
            output.Calls << Flat(QList{m});
            Messages.append(m);
        });
        QString received = u"(not called)"_qs;
        const auto decode = [&](const QString& hex, DecodedPacket& packet) {
            received = hex;
            packet = Packet(c[1]);
        };
        const auto& result = conversion.Run(c[0], decode, &output);
        QCOMPARE(received, c[2]);
        QCOMPARE(output.Calls.join(u'|'), c[3]);
        QCOMPARE(result.Messages, Messages);
        using Outcome = PacketConversion::Outcome;
        QCOMPARE(result.State, Messages.isEmpty()             ? Outcome::Decoded
                               : c[3].startsWith(u"clear"_qs) ? Outcome::Not_Decoded
                                                              : Outcome::Empty_Input);
    }
};

QTEST_GUILESS_MAIN(TestPacketConversion)
#include "tst_PacketConversion.moc"
