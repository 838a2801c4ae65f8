// Random templates are built in the real constructor window, saved, read back by the decoder, and
// packets made for them decode exactly as the tree describes. The seed is printed; KIVO_SEED=<n>
// repeats a run and KIVO_ROUND_TRIP_CASES=<n> sets the number of saved templates (default 200).

#include "BuilderDriver.h"
#include "PacketBuilder.h"
#include "PacketDecoder.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidgetItem>

#include <random>

using namespace Qt::StringLiterals;

namespace {

struct Field {
    int Byte, Size; // Size -1: the variable tail
    QString Name;
    QList<std::pair<int, int>> Bits; // first bit and size of bit field <i>, named Name + "b<i>"
};
// One packet-type row: a single type ("-1" accepts all), or several types with a name each.
struct Row {
    QStringList Types, Names;
    int Total = 0, Min = 0, Fixed_End = 1; // Min 0: no minimum size
    QList<Field> Fields;
};

std::mt19937 Random;
int Between(int low, int high) {
    return std::uniform_int_distribution(low, high)(Random);
}
template <typename T> T Pick(const QList<T>& list) {
    return list.at(Between(0, list.size() - 1));
}

// Generated and typed into the constructor as a user adds the rows; the size cell comes last, as
// every change of a byte field rewrites it.
// A mistyped row shows as a decoding that differs from the expected one.
Row Add_Random_Row(BuilderDriver& driver, bool catch_all) {
    const auto add = [&](BuilderDriver::Kind kind, int first, int size, const QString& name) {
        return driver.Add(kind, {QString::number(first), QString::number(size), name});
    };
    const auto name = [](int index) { return u"Время %1 "_s + QString::number(index); };
    Row row;
    for (int i = 0, n = catch_all ? 1 : (Between(1, 4) == 1 ? Between(2, 3) : 1); i < n; ++i)
        row.Types << QString::number(catch_all ? -1 : Between(0, 255)), row.Names << name(i);
    QTreeWidgetItem* item =
        driver.Add(BuilderDriver::Packet_Type, {row.Types.join(u','), {}, row.Names.join(u',')});
    for (int i = 0, n = Between(0, 5); i < n; ++i) {
        Field field{row.Fixed_End, Pick(QList<int>{1, 2, 3, 4, 6, 8, 20}), name(i), {}};
        add(BuilderDriver::Byte_Field, field.Byte, field.Size, field.Name);
        for (int b = 0, bits = field.Size <= 4 ? Between(-3, 3) : 0; b < bits; ++b) {
            const int first = Between(0, 7), size = Between(1, 8 - first);
            field.Bits.append({first, size});
            add(BuilderDriver::Bit_Field, first, size, field.Name + u"b"_s + QString::number(b));
        }
        row.Fixed_End += field.Size;
        row.Fields.append(field);
    }
    row.Total = row.Fixed_End;
    if (Between(1, 3) == 1) {
        row.Min = row.Fixed_End + 1;
        row.Total += Between(0, 8);
        row.Fields.append({row.Fixed_End, -1, u"Хвост"_s, {}});
        add(BuilderDriver::Byte_Field, row.Fixed_End, -1, u"Хвост"_s);
    }
    if (item)
        item->setText(1, row.Min > 0 ? u"%1-%2"_s.arg(row.Min).arg(row.Total)
                                     : QString::number(row.Total));
    return row;
}

// The decoding the row promises, one "name = value" line per field.
QString Expected(const Row& row, const QByteArray& bytes, const QString& hex) {
    const int length = bytes.size();
    if (length != row.Total && !(row.Min > 0 && length <= row.Total))
        return u"ERROR = Не верный размер парадаваемого пакета. Ожидаемый: %1, фактический: %2\n"_s
            .arg(row.Total)
            .arg(length);
    QString text =
        u"Тип пакета = "_s +
        row.Names.value(row.Types.indexOf(QString::number(quint8(bytes[0]))), row.Names[0]) + u'\n';
    for (const Field& field : row.Fields) {
        const QString raw = hex.mid(2 * field.Byte, 2 * field.Size);
        std::uint64_t value = 0; // little-endian; 1, 2 and 4 bytes signed, 3 and 8 unsigned
        for (int i = field.Size - 1; i >= 0; --i)
            value = value << 8 | quint8(bytes.at(field.Byte + i));
        const int shift = 64 - 8 * field.Size;
        text += field.Name + u" = "_s;
        if (field.Size == -1)
            text += hex.mid(2 * (row.Min - 1));
        else if (field.Size == 6 || field.Size == 20) // beacons of kind 3 or 0 (no line)
            text += field.Size == 6           ? raw
                    : raw.mid(11, 2) == u"03" ? u"ALTBeacon - "_s + raw
                                              : u""_s;
        else if (field.Bits.isEmpty())
            text += field.Size == 3 || field.Size == 8
                        ? QString::number(value)
                        : QString::number(qint64(value << shift) >> shift);
        for (int b = 0; b < field.Bits.size(); ++b) {
            text += u"\nbit"_s + field.Name + u"b"_s + QString::number(b) + u" = "_s;
            for (int i = field.Bits[b].first; i < field.Bits[b].first + field.Bits[b].second; ++i)
                text += QChar(u'0' + (quint8(bytes.at(field.Byte)) >> i & 1));
        }
        text += u'\n';
    }
    return text;
}

} // namespace

class RoundTripTest : public QObject {
    Q_OBJECT
    QTemporaryDir Work_Dir;

  private Q_SLOTS:
    void saved_templates_decode_as_built();
};

void RoundTripTest::saved_templates_decode_as_built() {
    QVERIFY(QDir::setCurrent(Work_Dir.path()) && QDir().mkdir(u"Device"_s));
    const quint32 seed =
        qEnvironmentVariable("KIVO_SEED", QString::number(QRandomGenerator::global()->generate()))
            .toUInt();
    qInfo("round trip seed %u (repeat with KIVO_SEED=%u)", seed, seed);
    Random.seed(seed);
    const int cases = qEnvironmentVariableIntValue("KIVO_ROUND_TRIP_CASES");
    for (int index = 0; index < (cases > 0 ? cases : 200); ++index) {
        PacketBuilder builder;
        builder.show();
        BuilderDriver driver(builder);
        QList<Row> rows;
        for (int i = 0, n = Between(1, 4); i < n; ++i)
            rows.append(Add_Random_Row(driver, i == 0 && Between(1, 5) == 1));
        QCOMPARE(driver.Save(u"D%1"_s.arg(index), u"t%1"_s.arg(index)).value(0), u"Готово"_s);

        for (int packet = 0; packet < 5; ++packet) {
            const int picked = Pick(Pick(rows).Types).toInt();
            const int type = picked == -1 ? Between(0, 255) : picked;
            const Row* chosen = nullptr; // the last row that accepts the type decodes it
            for (const Row& row : rows) {
                if (row.Types.contains(QString::number(type)) || row.Types == QStringList{u"-1"_s})
                    chosen = &row;
            }
            int length =
                chosen->Min > 0 ? Between(chosen->Fixed_End, chosen->Total) : chosen->Total;
            length = Between(1, 10) == 1 ? chosen->Total + 1 : length; // a length error
            QByteArray bytes(1, char(type));
            while (bytes.size() < length)
                bytes += char(Between(0, 255));
            for (const Field& field : chosen->Fields) {
                if (field.Size == 20) { // kind digits: low of payload byte 5, high of byte 6
                    bytes[field.Byte + 5] = char(bytes[field.Byte + 5] & 0xF0);
                    bytes[field.Byte + 6] =
                        char((bytes[field.Byte + 6] & 0x0F) | 0x30 * Between(0, 1));
                }
            }
            const QString hex =
                QString::fromLatin1(Between(0, 1) ? bytes.toHex().toUpper() : bytes.toHex());
            QString actual; // the decoding with any message
            const auto report = [&](const UserMessage& m) { actual += u"message "_s + m.Text; };
            for (const DecodedField& field :
                 PacketDecoder(u"t%1.json"_s.arg(index), report).Parse_Packet(hex))
                actual += field.Name + u" = "_s + field.Value + u'\n';
            QCOMPARE(hex + u'\n' + actual, hex + u'\n' + Expected(*chosen, bytes, hex));
        }
    }
}

QTEST_MAIN(RoundTripTest)
#include "RoundTripTest.moc"
