// Every input with which a fuzzer in fuzz/ once found a fault, replayed in the ordinary suite.

#include "OutputBuffer.h"

#include <QTemporaryFile>
#include <QTest>

class FuzzRegressionTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void utf8_output_data();
    void utf8_output();
};

// fuzz_utf8_output: a buffer smaller than three bytes per character of the text wrote past its
// end (heap-buffer-overflow in OutputBuffer::Append_Utf8).
void FuzzRegressionTest::utf8_output_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("3-byte characters") << QString(45, QChar(0xA2A2));
    QTest::newRow("Cyrillic") << QStringLiteral("Тип пакета: --- Телеметрия\n").repeated(4);
    QTest::newRow("surrogate pairs") << QString::fromUcs4(U"\U0001F600").repeated(40);
}

void FuzzRegressionTest::utf8_output() {
    QFETCH(QString, text);
    QTemporaryFile file;
    QVERIFY(file.open());
    OutputBuffer(file.handle(), 64).Append_Utf8(text); // written out as the buffer goes
    QVERIFY(file.seek(0));
    QCOMPARE(file.readAll(), text.toUtf8());
}

QTEST_GUILESS_MAIN(FuzzRegressionTest)
#include "FuzzRegressionTest.moc"
