// Every input with which a fuzzer in fuzz/ once found a fault, replayed in the ordinary suite.

#include "OutputBuffer.h"

#include <QTest>

#include <sys/mman.h>
#include <unistd.h>

namespace {

// What an output buffer of the given capacity writes for the text, appended in one piece.
QByteArray Written(qsizetype capacity, const QString& text) {
    const int fd = ::memfd_create("kivo-test-output", 0);
    if (fd < 0)
        return QByteArray("memfd_create failed");
    {
        OutputBuffer output(fd, capacity);
        output.Append_Utf8(text);
    }
    QByteArray bytes(static_cast<qsizetype>(::lseek(fd, 0, SEEK_END)), Qt::Uninitialized);
    if (::pread(fd, bytes.data(), static_cast<size_t>(bytes.size()), 0) != bytes.size())
        bytes = "read failed";
    ::close(fd);
    return bytes;
}

} // namespace

class FuzzRegressionTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void utf8_output_data();
    void utf8_output();
};

void FuzzRegressionTest::utf8_output_data() {
    QTest::addColumn<qsizetype>("capacity");
    QTest::addColumn<QString>("text");

    // fuzz_utf8_output: a buffer smaller than three bytes per character of the text wrote past
    // its end (heap-buffer-overflow in OutputBuffer::Append_Utf8).
    QTest::newRow("3-byte characters beyond a small buffer")
        << qsizetype(64) << QString(45, QChar(0xA2A2));
    QTest::newRow("Cyrillic beyond a small buffer")
        << qsizetype(64) << QStringLiteral("Тип пакета: --- Телеметрия\n").repeated(4);
    QTest::newRow("surrogate pairs beyond a small buffer")
        << qsizetype(64) << QString::fromUcs4(U"\U0001F600").repeated(40);
}

void FuzzRegressionTest::utf8_output() {
    QFETCH(qsizetype, capacity);
    QFETCH(QString, text);
    QCOMPARE(Written(capacity, text), text.toUtf8());
}

QTEST_GUILESS_MAIN(FuzzRegressionTest)
#include "FuzzRegressionTest.moc"
