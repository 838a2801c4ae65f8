#include "Base64Hex.h"
#include "PacketConversion.h"

#include <QTest>

#include <random>

namespace {

// The decoder's promise: whatever it accepts, Qt's strict base64 decoding accepts as well and
// turns into the same bytes, and Hex_From_Base64 into the same text.
void Check_Same(const QString& text, QString& hex, bool& accepted) {
    accepted = Base64Hex::Decode_Plain(text, hex);
    if (!accepted)
        return;
    const QByteArray::FromBase64Result qt =
        QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    QVERIFY2(bool(qt), qPrintable(text));
    QCOMPARE(hex, QString::fromLatin1(qt.decoded.toHex()));
    QCOMPARE(hex, PacketConversion::Hex_From_Base64(text));
}

} // namespace

class Base64HexTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void edge_cases_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("plain");
        const auto row = [](const char* name, const char* text, bool plain) {
            QTest::newRow(name) << QString::fromUtf8(text) << plain;
        };
        row("empty", "", true);
        row("four digits", "QUJD", true);
        row("one pad", "QUI=", true);
        row("two pads", "QQ==", true);
        row("all symbols", "+/09azAZ", true);
        row("no padding, 2 left", "QUI", true);
        row("no padding, 1 left", "QUJDR", true);
        row("three pads", "Q===", false);
        row("four pads", "====", false);
        row("pad, length 5", "QUJD=", false);
        row("pads, length 6", "QUJD==", false);
        row("pad inside", "QU=D", false);
        row("pad inside, pad at end", "Q=I=", false);
        row("pad then digits", "QQ==QUJD", false);
        row("url alphabet -", "QU-D", false);
        row("url alphabet _", "QU_D", false);
        row("backslash", "QU\\D", false);
        row("space", "QU D", false);
        row("dot", "QU.D", false);
        row("Cyrillic", "QUЖD", false);
        row("Latin-1 letter",
            "QU\xC3\xA9"
            "D",
            false);
    }
    void edge_cases() {
        QFETCH(QString, text);
        QFETCH(bool, plain);
        QString hex = QStringLiteral("left over from an earlier paste");
        bool accepted = false;
        Check_Same(text, hex, accepted);
        QCOMPARE(accepted, plain);
    }

    // Every text up to six characters over symbols that matter: digits of each range, the two
    // specials, padding, URL-safe and foreign characters.
    void every_short_text() {
        const QString symbols = QStringLiteral("A/+9z=-.Ж");
        QString hex;
        qint64 accepted_count = 0;
        for (int length = 0; length <= 6; ++length) {
            std::vector<int> digit(length, 0);
            while (true) {
                QString text;
                for (const int d : digit)
                    text += symbols[d];
                bool accepted = false;
                Check_Same(text, hex, accepted);
                if (QTest::currentTestFailed())
                    return;
                accepted_count += accepted;
                int position = 0;
                while (position < length && ++digit[position] == symbols.size())
                    digit[position++] = 0;
                if (position == length)
                    break;
            }
        }
        QVERIFY(accepted_count > 1000);
    }

    // Whatever Qt encodes, with or without padding, is plain and decodes the same.
    void encoded_bytes() {
        std::mt19937 random(7);
        QString hex;
        for (int round = 0; round < 2000; ++round) {
            QByteArray bytes(static_cast<int>(random() % 48), Qt::Uninitialized);
            for (char& byte : bytes)
                byte = static_cast<char>(random());
            for (const auto options :
                 {QByteArray::Base64Encoding, QByteArray::OmitTrailingEquals}) {
                bool accepted = false;
                Check_Same(QString::fromLatin1(bytes.toBase64(options)), hex, accepted);
                QVERIFY(accepted);
                QCOMPARE(hex, QString::fromLatin1(bytes.toHex()));
            }
        }
    }
};

QTEST_APPLESS_MAIN(Base64HexTest)
#include "tst_base64_hex.moc"
