// Writer and reader agree: random templates are built in the real constructor window, saved
// through its save button, read back by the decoder, and packets made for them decode exactly as
// the tree describes. Seeded: the seed is printed, and KIVO_SEED=<n> repeats a run;
// KIVO_ROUND_TRIP_CASES=<n> sets the number of templates (default 200).

#include "BuilderDriver.h"
#include "DeviceRegistry.h"
#include "ModalBoxRecorder.h"
#include "PacketBuilder.h"
#include "PacketDecoder.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <cstdint>
#include <memory>
#include <random>

namespace {

struct Bit_Spec {
    int Num_Bit = 0;
    int Size = 0;
    QString Name;
};

struct Field_Spec {
    int Num_Byte = 0;
    int Size = 0; // -1 for the variable tail
    QString Name;
    QList<Bit_Spec> Bits; // a bitmap when not empty
};

// One packet-type row: a single type (-1 accepts all), or several types with a name each.
struct Template_Spec {
    QList<int> Types;
    QStringList Names;
    int Total = 0;
    int Min = 0;       // 0: no min_size
    int Fixed_End = 1; // the first byte after the fixed fields
    QList<Field_Spec> Fields;

    bool Accepts(int type) const { return Types.contains(type) || Types == QList<int>{-1}; }
};

class Case_Generator {
  public:
    explicit Case_Generator(quint32 seed) : Random(seed) {}

    int Between(int low, int high) { return std::uniform_int_distribution(low, high)(Random); }
    bool Chance(int percent) { return Between(1, 100) <= percent; }
    template <typename T> T Pick(const QList<T>& list) {
        return list.at(Between(0, list.size() - 1));
    }

    QString Name(int index) {
        static const QStringList words = {QStringLiteral("Temp"),         QStringLiteral("Заряд"),
                                          QStringLiteral("Время работы"), QStringLiteral("%1 x"),
                                          QStringLiteral("Статус"),       QStringLiteral("unix")};
        return Pick(words) + QString::number(index);
    }

    Template_Spec Template(bool catch_all) {
        Template_Spec spec;
        const int type_count = catch_all ? 1 : (Chance(25) ? Between(2, 3) : 1);
        for (int i = 0; i < type_count; ++i) {
            spec.Types.append(catch_all ? -1 : Between(0, 255));
            spec.Names.append(Name(i));
        }
        int next_byte = 1;
        const int field_count = Between(0, 5);
        for (int i = 0; i < field_count; ++i) {
            Field_Spec field{next_byte, Pick(QList<int>{1, 2, 3, 4, 6, 8, 20}), Name(i), {}};
            if (field.Size <= 4 && Chance(40)) {
                for (int bit = 0, count = Between(1, 3); bit < count; ++bit) {
                    const int first = Between(0, 7);
                    field.Bits.append({first, Between(1, 8 - first), Name(10 + bit)});
                }
            }
            next_byte += field.Size;
            spec.Fields.append(field);
        }
        spec.Fixed_End = next_byte;
        spec.Total = next_byte;
        if (Chance(30)) {
            spec.Min = next_byte + 1;
            spec.Total = next_byte + Between(0, 8);
            spec.Fields.append({next_byte, -1, QStringLiteral("Хвост"), {}});
        }
        return spec;
    }

    std::mt19937 Random;
};

QString Hex_Byte(int byte, bool upper) {
    const QString text = QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0'));
    return upper ? text.toUpper() : text;
}

// The value the template promises for a field, computed from the packet's bytes.
QString Expected_Number(const QList<int>& bytes, int first, int size) {
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | static_cast<std::uint64_t>(bytes.at(first + i));
    switch (size) {
    case 1:
        return QString::number(static_cast<std::int8_t>(value));
    case 2:
        return QString::number(static_cast<std::int16_t>(value));
    case 4:
        return QString::number(static_cast<std::int32_t>(value));
    default:
        return QString::number(value);
    }
}

DecodedPacket Expected_Decoding(const Template_Spec& spec, int type, const QList<int>& bytes,
                                const QString& hex) {
    const int length = bytes.size();
    if (length != spec.Total && !(spec.Min > 0 && length <= spec.Total)) {
        return {{QStringLiteral("ERROR"),
                 QStringLiteral("Не верный размер парадаваемого пакета. Ожидаемый: %1, "
                                "фактический: %2")
                     .arg(spec.Total)
                     .arg(length)}};
    }
    const qsizetype type_index = spec.Types.indexOf(type);
    DecodedPacket packet{
        {QStringLiteral("Тип пакета"), spec.Names.value(type_index < 0 ? 0 : type_index)}};
    for (const Field_Spec& field : spec.Fields) {
        if (!field.Bits.isEmpty()) {
            packet.append({field.Name, QString()});
            for (const Bit_Spec& bit : field.Bits) {
                QString bits;
                for (int i = bit.Num_Bit; i < bit.Num_Bit + bit.Size; ++i)
                    bits += (bytes.at(field.Num_Byte) >> i) & 1 ? u'1' : u'0';
                packet.append({QStringLiteral("bit") + bit.Name, bits});
            }
        } else if (field.Size == -1) {
            const int start = spec.Min - 1;
            packet.append({field.Name, length > start ? hex.mid(2 * start) : QString()});
        } else if (field.Size == 6) {
            packet.append({field.Name, hex.mid(2 * field.Num_Byte, 12)});
        } else if (field.Size == 20) {
            // Payloads are made with kind 3 (ALTBeacon) or kind 0 (no line).
            const QString payload = hex.mid(2 * field.Num_Byte, 40);
            packet.append({field.Name, payload.mid(11, 2) == QLatin1String("03")
                                           ? QStringLiteral("ALTBeacon - ") + payload
                                           : QString()});
        } else {
            packet.append({field.Name, Expected_Number(bytes, field.Num_Byte, field.Size)});
        }
    }
    return packet;
}

QString Describe(const DecodedPacket& packet) {
    QStringList lines;
    for (const DecodedField& field : packet)
        lines.append(field.Name + QStringLiteral(" = ") + field.Value);
    return lines.join(QStringLiteral(" | "));
}

quint32 Seed() {
    bool given = false;
    const quint32 seed = qEnvironmentVariable("KIVO_SEED").toUInt(&given);
    return given ? seed : QRandomGenerator::global()->generate();
}

} // namespace

class RoundTripTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase();
    void saved_templates_decode_as_built();

  private:
    void Build(PacketBuilder& builder, const QList<Template_Spec>& specs);
    void Check_Packets(const QList<Template_Spec>& specs, const QString& file_name);

    std::unique_ptr<QTemporaryDir> Work_Dir;
    quint32 Seed_Value = 0;
    std::unique_ptr<Case_Generator> Generator;
};

void RoundTripTest::initTestCase() {
    Work_Dir = std::make_unique<QTemporaryDir>();
    QVERIFY(Work_Dir->isValid());
    QVERIFY(QDir::setCurrent(Work_Dir->path()));
    QVERIFY(QDir().mkdir(QStringLiteral("Device")));
    Seed_Value = Seed();
    qInfo("round trip seed %u (repeat with KIVO_SEED=%u)", Seed_Value, Seed_Value);
    Generator = std::make_unique<Case_Generator>(Seed_Value);
}

// The rows go in as a user adds them; the packet size cell is typed last, because every change
// of a byte field rewrites it.
void RoundTripTest::Build(PacketBuilder& builder, const QList<Template_Spec>& specs) {
    BuilderDriver driver(builder);
    for (const Template_Spec& spec : specs) {
        QStringList types;
        for (int type : spec.Types)
            types.append(QString::number(type));
        QTreeWidgetItem* row =
            driver.Add_Packet_Type({types.join(u','), QString(), spec.Names.join(u',')});
        QVERIFY(row);
        QCOMPARE(row->text(0), types.join(u','));
        for (const Field_Spec& field : spec.Fields) {
            QVERIFY(driver.Add_Byte_Field(
                {QString::number(field.Num_Byte), QString::number(field.Size), field.Name}));
            for (const Bit_Spec& bit : field.Bits) {
                QVERIFY(driver.Add_Bit_Field(
                    {QString::number(bit.Num_Bit), QString::number(bit.Size), bit.Name}));
            }
        }
        driver.Set_Cell(row, 1,
                        spec.Min > 0 ? QStringLiteral("%1-%2").arg(spec.Min).arg(spec.Total)
                                     : QString::number(spec.Total));
    }
}

void RoundTripTest::Check_Packets(const QList<Template_Spec>& specs, const QString& file_name) {
    Case_Generator& random = *Generator;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const Template_Spec& made_for = random.Pick(specs);
        int type = random.Pick(made_for.Types);
        if (type == -1)
            type = random.Between(0, 255);
        // The last template that accepts the type decodes it.
        const Template_Spec* chosen = nullptr;
        for (const Template_Spec& spec : specs) {
            if (spec.Accepts(type))
                chosen = &spec;
        }
        QVERIFY(chosen);
        int length =
            chosen->Min > 0 ? random.Between(chosen->Fixed_End, chosen->Total) : chosen->Total;
        if (random.Chance(10))
            length = chosen->Total + 1; // a length error
        QList<int> bytes{type};
        while (bytes.size() < length)
            bytes.append(random.Between(0, 255));
        for (const Field_Spec& field : chosen->Fields) {
            if (field.Size == 20 && field.Num_Byte + 20 <= length) {
                // Beacon kind digits: the low digit of payload byte 5, the high one of byte 6.
                const int kind = random.Chance(50) ? 3 : 0;
                bytes[field.Num_Byte + 5] &= 0xF0;
                bytes[field.Num_Byte + 6] = (bytes[field.Num_Byte + 6] & 0x0F) | (kind << 4);
            }
        }
        const bool upper = random.Chance(50);
        QString hex;
        for (int byte : bytes)
            hex += Hex_Byte(byte, upper);

        QList<UserMessage> messages;
        const DecodedPacket actual = PacketDecoder(file_name, [&](const UserMessage& m) {
                                         messages.append(m);
                                     }).Parse_Packet(hex);
        const DecodedPacket expected = Expected_Decoding(*chosen, type, bytes, hex);
        if (!messages.isEmpty() || actual != expected) {
            QFile saved(QStringLiteral("Device/") + file_name);
            QVERIFY(saved.open(QIODevice::ReadOnly));
            QFAIL(qPrintable(QStringLiteral("seed %1, packet %2\n actual:   %3\n expected: %4\n "
                                            "messages: %5\n template: %6")
                                 .arg(Seed_Value)
                                 .arg(hex, Describe(actual), Describe(expected),
                                      messages.value(0).Text, QString::fromUtf8(saved.readAll()))));
        }
    }
}

void RoundTripTest::saved_templates_decode_as_built() {
    const int cases = qEnvironmentVariableIntValue("KIVO_ROUND_TRIP_CASES");
    for (int index = 0; index < (cases > 0 ? cases : 200); ++index) {
        QList<Template_Spec> specs;
        const int template_count = Generator->Between(1, 4);
        for (int i = 0; i < template_count; ++i)
            specs.append(Generator->Template(i == 0 && Generator->Chance(20)));

        PacketBuilder builder;
        builder.show();
        Build(builder, specs);
        const QString file_name = QStringLiteral("t%1").arg(index);
        const QString device_name = QStringLiteral("Устройство %1").arg(index);
        BuilderDriver(builder).Set_Names(device_name, file_name);
        ModalBoxRecorder boxes;
        BuilderDriver(builder).Press_Save();
        QTRY_COMPARE(boxes.Boxes.size(), 1);
        QCOMPARE(boxes.Boxes.first().Title, QStringLiteral("Готово"));

        bool registered = false;
        for (const DeviceRegistry::Device& device : DeviceRegistry::Read())
            registered = registered || (device.Name == device_name &&
                                        device.File_Name == file_name + QStringLiteral(".json"));
        QVERIFY(registered);
        Check_Packets(specs, file_name + QStringLiteral(".json"));
        if (QTest::currentTestFailed())
            return;
    }
}

QTEST_MAIN(RoundTripTest)
#include "RoundTripTest.moc"
