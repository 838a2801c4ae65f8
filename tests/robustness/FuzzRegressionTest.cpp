// Every input with which a fuzzer in fuzz/ once found a fault, replayed in the ordinary suite.

#include "OutputBuffer.h"

#include <QTest>

#include <sys/mman.h>
#include <unistd.h>

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
    QTest::newRow("Cyrillic") << u"Тип пакета: --- Телеметрия\n"_qs.repeated(4);
    QTest::newRow("surrogate pairs") << QString::fromUcs4(U"\U0001F600").repeated(40);
}

// The text appended in one piece to a 64-byte buffer over a memory file comes out whole.
void FuzzRegressionTest::utf8_output() {
    QFETCH(QString, text);
    const int fd = ::memfd_create("kivo-test-output", 0);
    QVERIFY(fd >= 0);
    {
        OutputBuffer output(fd, 64);
        output.Append_Utf8(text);
    }
    QByteArray written(static_cast<qsizetype>(::lseek(fd, 0, SEEK_END)), Qt::Uninitialized);
    QCOMPARE(::pread(fd, written.data(), static_cast<size_t>(written.size()), 0), written.size());
    ::close(fd);
    QCOMPARE(written, text.toUtf8());
}

QTEST_GUILESS_MAIN(FuzzRegressionTest)
#include "FuzzRegressionTest.moc"
