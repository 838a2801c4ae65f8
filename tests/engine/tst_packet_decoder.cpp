// Decoding through template files written by each test: selection, length check, field readers,
// bit fields, beacon payloads and the messages that leave through the reporter.
#include "DeviceTemplateFile.h"
#include "PacketDecoder.h"
#include "TestTable.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>

namespace {

const QByteArray Sensor_Json = R"({"packet_data":[
 {"packet_type":-1,"name":"Other","total_size":30,"min_size":2,
  "data":[{"num_byte":1,"size":-1,"name":"Payload"}]},
 {"packet_type":1,"name":"Telemetry","total_size":8,"data":[
  {"num_byte":1,"size":4,"name":"Time"},{"num_byte":5,"size":2,"name":"Temperature"},
  {"num_byte":7,"size":1,"name":"Status","bitmap":[
   {"num_bit":0,"size":1,"name":"Alarm"},{"num_bit":1,"size":2,"name":"Mode"}]}]},
 {"packet_type":[{"T":2,"name":"BeaconA"},{"T":3,"name":"BeaconB"}],"total_size":21,
  "data":[{"num_byte":1,"size":20,"name":"Beacon"}]}]})";

const QString Missing_Text =
    u"Не удалось найти шаблон для парсинга пакета. Проверьте поддержку типа пакета - %1 в "
    u"протоколе или наличие в файле: %2"_qs;

// "TYPE|NAME" entries separated by ";" become templates accepting any length up to 99 bytes
// (NAME is a JSON value, left out when empty); an entry without "|" is copied as it stands.
QByteArray Templates_Json(const QString& spec) {
    QStringList templates;
    for (const QString& entry : spec.split(u';')) {
        const qsizetype bar = entry.lastIndexOf(u'|');
        const QString name = bar < 0 ? QString() : entry.mid(bar + 1);
        templates << (bar < 0 ? entry
                              : u"{\"packet_type\":"_qs + entry.left(bar) +
                                    (name.isEmpty() ? QString() : u",\"name\":"_qs + name) +
                                    u",\"total_size\":99,\"min_size\":1}"_qs);
    }
    return "{\"packet_data\":[" + templates.join(u',').toUtf8() + "]}";
}

// "num_byte,size[,name]" with "/num_bit,size[,name]" per bit field ("/" alone: empty bitmap);
// fields separated by ";". A spec starting with "[", "{" or "n" is the `data` JSON itself.
QString Data_Json(const QString& spec) {
    if (spec.startsWith(u'[') || spec.startsWith(u'{') || spec.startsWith(u'n'))
        return spec;
    const auto object = [](const QStringList& keys, const QString& values) {
        const QStringList v = values.split(u',');
        QString json = u'{' + keys[0] + v[0] + u',' + keys[1] + v[1];
        return json + (v.size() > 2 ? u",\"name\":\""_qs + v[2] + u'"' : QString());
    };
    QStringList fields;
    for (const QString& field : spec.split(u';')) {
        const QStringList parts = field.split(u'/');
        QString json = object({u"\"num_byte\":"_qs, u"\"size\":"_qs}, parts[0]);
        if (parts.size() > 1) {
            QStringList bits;
            for (const QString& bit : parts.mid(1))
                if (!bit.isEmpty())
                    bits << object({u"\"num_bit\":"_qs, u"\"size\":"_qs}, bit) + u'}';
            json += u",\"bitmap\":["_qs + bits.join(u',') + u']';
        }
        fields << json + u'}';
    }
    return u'[' + fields.join(u',') + u']';
}

} // namespace

class PacketDecoderTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> Work_Dir;
    const QString Start_Dir = QDir::currentPath();
    QList<UserMessage> Messages;

    MessageReporter Recorder() {
        return [this](const UserMessage& message) { Messages.append(message); };
    }
    void Write(const QString& file_name, const QByteArray& content) {
        QFile file(u"Device/"_qs + file_name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    DecodedPacket Decode(const QByteArray& json, const QString& packet) {
        Write(u"t.json"_qs, json);
        return PacketDecoder(u"t.json"_qs, Recorder()).Parse_Packet(packet);
    }

  private Q_SLOTS:
    void init() {
        Work_Dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(Work_Dir->path()));
        QVERIFY(QDir().mkdir(u"Device"_qs));
        Messages.clear();
    }
    void cleanup() {
        QDir::setCurrent(Start_Dir);
        Work_Dir.reset();
    }

    void worked_example_data() {
        Add_Table(
            {"packet", "expected"},
            {
                {"telemetry", "0100F15365FBFF05", "telemetry"},
                {"lower case", "0100f15365fbff05", "telemetry"},
                {"17 chars", "0100F15365FBFF057", "telemetry"},
                {"3 of 8", "01AABB", "ERROR 8, 3"},
                {"9 of 8", "0100F15365FBFF0500", "ERROR 8, 9"},
                {"31 of 30", "7F000000000000000000000000000000000000000000000000000000000000",
                 "ERROR 30, 31"},
                {"catch-all", "7F0102", "Other|Payload=0102"},
                {"catch-all, odd", "7F01020", "Other|Payload=0102"},
                {"catch-all, 1 byte", "FF", "Other|Payload="},
                {"catch-all, empty", "", "Other|Payload="},
                {"array T 2", "0200112233445016778899AABBCCDDEEFF12348000",
                 "BeaconA|Beacon=iBeacon - UUID 00112233445016778899AABBCCDDEEFF MajorID "
                 "4660 MinorID 32768"},
                {"array T 3", "0300112233445026778899AABBCCDDEEFF12348000",
                 "BeaconB|Beacon=Eddystone - NamespaceID 00112233445026778899 InstanceID "
                 "AABBCCDDEEFF"},
                {"array T 3, 20 of 21", "0300112233445026778899AABBCCDDEEFF123480", "ERROR 21, 20"},
            });
    }
    void worked_example() {
        QFETCH(QString, packet);
        QFETCH(QString, expected);
        if (expected.startsWith(u"ERROR "))
            expected = u"ERROR=Не верный размер парадаваемого пакета. Ожидаемый: "_qs +
                       expected.mid(6).replace(u", "_qs, u", фактический: "_qs);
        else
            expected =
                u"Тип пакета="_qs +
                (expected == u"telemetry"_qs
                     ? u"Telemetry|Time=1700000000|Temperature=-5|Status=|bitAlarm=1|bitMode=01"_qs
                     : expected);
        QCOMPARE(Flat(Decode(Sensor_Json, packet)), expected);
        // A template file loaded once decodes exactly like one read per packet.
        const DeviceTemplateFile file = DeviceTemplateFile::From_Json(Sensor_Json);
        QCOMPARE(Flat(PacketDecoder(u"t.json"_qs, Recorder()).Parse_Packet(file, packet)),
                 expected);
        QCOMPARE(Messages.size(), 0);
    }

    // expected: the type name shown, or "missing N" for the missing-template message.
    void selection_data() {
        Add_Table(
            {"templates", "packet", "expected"},
            {
                {"-1 first, typed", "-1|\"Any\";5|\"Five\"", "05", "Five"},
                {"-1 first, other", "-1|\"Any\";5|\"Five\"", "06", "Any"},
                {"-1 last wins", "5|\"Five\";-1|\"Any\"", "05", "Any"},
                {"same type, later", "5|\"A\";5|\"B\"", "05", "B"},
                {"1A", "26|\"X\"", "1A00", "X"},
                {"1a", "26|\"X\"", "1a", "X"},
                {"FF missing", "5|\"Five\"", "FF", "missing 255"},
                {"one char missing", "5|\"Five\"", "5", "missing 0"},
                {"empty array", "[]|", "00", "missing 0"},
                {"dup T", R"([{"T":7,"name":"1st"},{"T":7,"name":"2nd"}]|"Top")", "07", "1st"},
                {"second T", R"([{"T":2,"name":"A"},{"T":9,"name":"B"}]|)", "09", "B"},
                {"entry without T", R"([{"name":"NoT"}]|)", "00", "NoT"},
                {"entry not object", "[5]|", "00", ""},
                {"string \"1\" is 0", "\"1\"|\"S\"", "00", "S"},
                {"string \"1\" not 1", "\"1\"|\"S\"", "01", "missing 1"},
                {"2.0 reads 2", "2.0|\"D\"", "02", "D"},
                {"2.5 reads 0", "2.5|\"D\"", "00", "D"},
                {"true reads 0", "true|\"B\"", "00", "B"},
                {"256 never", "256|\"B\"", "00", "missing 0"},
                {"2^32 reads 0", "4294967296|\"B\"", "00", "B"},
                {"no packet_type", R"({"name":"N","total_size":1})", "00", "N"},
                {"element not object", "7", "", ""},
                {"name missing", "5|", "05", ""},
                {"name a number", "5|5", "05", ""},
            });
        for (const char* packet : {"ZZ01", "-1", "+1", " 1", "0x", "1G", "1", ""})
            QTest::newRow(packet) << u"0|\"Zero\""_qs << QString::fromLatin1(packet) << u"Zero"_qs;
    }
    void selection() {
        QFETCH(QString, templates);
        QFETCH(QString, packet);
        QFETCH(QString, expected);
        const DecodedPacket result = Decode(Templates_Json(templates), packet);
        if (expected.startsWith(u"missing ")) {
            QCOMPARE(Flat(result), QString());
            QCOMPARE(Flat(Messages),
                     u"I|ERROR|"_qs + Missing_Text.arg(expected.mid(8), u"Device/t.json"_qs));
        } else {
            QCOMPARE(Flat(result), u"Тип пакета="_qs + expected);
            QCOMPARE(Messages.size(), 0);
        }
    }

    void length_check_data() {
        QTest::addColumn<QString>("min_size");
        QTest::addColumn<int>("bytes");
        for (const char* min_size : {"", "5", "\"x\""})
            for (const int bytes : {0, 1, 4, 7, 8, 9})
                QTest::newRow(QByteArray::number(bytes) + " of 8, min_size " + min_size)
                    << min_size << bytes;
    }
    void length_check() {
        QFETCH(QString, min_size);
        QFETCH(int, bytes);
        const QString keys = min_size.isEmpty() ? QString() : u",\"min_size\":"_qs + min_size;
        const QString packet = u"00"_qs.repeated(bytes) + u'0'; // an odd character never counts
        const bool passes = bytes == 8 || (!min_size.isEmpty() && bytes < 8);
        QCOMPARE(Flat(Decode(Templates_Json(u"{\"total_size\":8"_qs + keys + u'}'), packet)),
                 passes ? u"Тип пакета="_qs
                        : u"ERROR=Не верный размер парадаваемого пакета. Ожидаемый: 8, "
                          u"фактический: "_qs +
                              QString::number(bytes));
    }

    void read_number_data() {
        Add_Table({"packet", "num_byte", "size", "order", "expected"},
                  {
                      {"1: FF", "00FF", "1", "1", "le", "-1"},
                      {"1: 7F", "007F", "1", "1", "le", "127"},
                      {"1: 80", "0080", "1", "1", "le", "-128"},
                      {"2: FFFF", "FFFF", "0", "2", "le", "-1"},
                      {"2: 3412", "3412", "0", "2", "le", "4660"},
                      {"2: 0080", "0080", "0", "2", "le", "-32768"},
                      {"2: packet order", "3412", "0", "2", "po", "13330"},
                      {"3: FFFFFF", "FFFFFF", "0", "3", "le", "16777215"},
                      {"4: FFFFFFFF", "FFFFFFFF", "0", "4", "le", "-1"},
                      {"4: max", "FFFFFF7F", "0", "4", "le", "2147483647"},
                      {"4: min", "00000080", "0", "4", "le", "-2147483648"},
                      {"5: 2^31", "0000008000", "0", "5", "le", "2147483648"},
                      {"5: above 2^32", "0000008001", "0", "5", "le", "6442450944"},
                      {"6: all ones", "FFFFFFFFFFFF", "0", "6", "le", "281474976710655"},
                      {"8: 2^63", "0000000000000080", "0", "8", "le", "9223372036854775808"},
                      {"7: all ones", "FFFFFFFFFFFFFF", "0", "7", "le", "72057594037927935"},
                      {"8: all ones", "FFFFFFFFFFFFFFFF", "0", "8", "le", "18446744073709551615"},
                      {"9 bytes", "0123456789ABCDEF01", "0", "9", "le", "35726400025631466241"},
                      {"16: 00..0F", "000102030405060708090A0B0C0D0E0F", "0", "16", "le",
                       "20011376718272490338853433276725592320"},
                      {"16: packet order", "000102030405060708090a0b0c0d0e0f", "0", "16", "po",
                       "5233100606242806050955395731361295"},
                      {"16: all ones", "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF", "0", "16", "le",
                       "340282366920938463463374607431768211455"},
                      {"non-hex G", "00FG", "1", "1", "le", "0"},
                      {"non-hex sign", "00-1", "1", "1", "le", "0"},
                      {"non-hex wide", "FFFFFFFFFFFFFFFFZ0", "0", "9", "le", "0"},
                      {"size 0", "0011", "1", "0", "le", "0"},
                      {"size -1", "0011", "1", "-1", "le", "0"},
                      {"empty packet", "", "0", "1", "le", ""},
                      {"empty packet, size 0", "", "0", "0", "le", ""},
                      {"past the end", "0011", "1", "2", "le", ""},
                      {"odd char is no byte", "0011223", "2", "2", "le", ""},
                      {"last whole byte", "00112", "1", "1", "le", "17"},
                      {"negative byte", "0011", "-1", "1", "le", ""},
                      {"huge byte and size", "0011", "2147483647", "2147483647", "le", ""},
                  });
    }
    void read_number() {
        QFETCH(QString, packet);
        QFETCH(QString, num_byte);
        QFETCH(QString, size);
        QFETCH(QString, order);
        QFETCH(QString, expected);
        QCOMPARE(PacketDecoder::Read_Number(packet, num_byte.toLongLong(), size.toLongLong(),
                                            order == u"po"_qs
                                                ? PacketDecoder::ByteOrder::Packet_Order
                                                : PacketDecoder::ByteOrder::Little_Endian),
                 expected);
    }

    // Fields decoded by a -1 template: the result after its "Тип пакета" line.
    void fields_data() {
        Add_Table(
            {"sizes", "data", "packet", "expected"},
            {
                {"6 bytes keep case", "40,1", "1,6,M", "01aaBBccDDeeFF", "M=aaBBccDDeeFF"},
                {"6 bytes non-hex kept", "40,1", "1,6,M", "01ZZ-1ccddeeff", "M=ZZ-1ccddeeff"},
                {"6 bytes outside", "40,1", "1,6,M", "01aabbccddee", "M="},
                {"20 bytes outside", "40,1", "1,20,B", "01112233445016778899AABBCCDDEEFF12", "B="},
                {"fixed outside", "40,1", "2,4,F", "010203", "F="},
                {"negative num_byte", "40,1", "-1,1,F", "0102", "F="},
                {"size 2.0", "40,1", "1,2.0,F", "013412", "F=4660"},
                {"size 2.5 reads 0", "40,1", "1,2.5,F", "013412", "F=0"},
                {"num_byte \"1\" reads 0", "40,1", "\"1\",1,F", "7F05", "F=127"},
                {"name missing", "40,1", "1,1", "0105", "=5"},
                {"no data", "2", "null", "0105", ""},
                {"tail from min_size-1", "9,3", "7,-1,P", "0102030405", "P=030405"},
                {"two tails", "9,3", "0,-1,P;5,-1,Q", "0102030405", "P=030405|Q=030405"},
                {"tail without min_size", "3", "7,-1,P", "010203", "P=010203"},
                {"tail min_size 0", "9,0", "7,-1,P", "0102", "P=0102"},
                {"tail odd char", "9,2", "7,-1,P", "0102030", "P=0203"},
                {"tail beyond packet", "20,9", "7,-1,P", "010203", "P="},
                {"empty bitmap", "40,1", "1,1,S/", "0105", "S="},
                {"bitmap 81", "40,1", "1,1,S/0,8,A", "0181", "S=|bitA=10000001"},
                {"bitmap 80", "40,1", "1,1,S/0,8,A", "0180", "S=|bitA=00000001"},
                {"bitmap 2 bytes 0001", "40,1", "1,2,S/0,8,A", "010001", "S=|bitA=00000000"},
                {"bitmap 3 bytes", "40,1", "1,3,S/0,8,A", "010DFFFF", "S=|bitA=10110000"},
                {"bitmap 6 bytes", "40,1", "1,6,S/0,8,A", "010DFFFFFFFFFF", "S=|bitA=10110000"},
                {"bitmap 8 bytes", "40,1", "1,8,S/0,8,A", "0105FFFFFFFFFFFFFF", "S=|bitA=10100000"},
                {"bitmap 16 bytes", "40,1", "1,16,S/0,8,A", "010DF0F0F0F0F0F0F0F0F0F0F0F0F0F0F0",
                 "S=|bitA=10110000"},
                {"bitmap 20 bytes", "40,1", "1,20,S/0,8,A",
                 "0103000000000000000000000000000000000000FF", "S=|bitA=11000000"},
                {"bitmap size -1", "40,1", "1,-1,S/0,8,A", "01FF", "S=|bitA=00000000"},
                {"bitmap outside", "40,1", "5,1,S/0,1,A/1,2", "0105", "S=|bitA=|bit="},
                {"bitmap 6 outside", "40,1", "1,6,S/0,8,A", "010D", "S=|bitA="},
                {"bitmap size 0, no packet", "40,1", "0,0,S/0,8,A", "", "S=|bitA=00000000"},
                {"bit name missing", "40,1", "1,1,S/2,1", "0105", "S=|bit=1"},
            });
    }
    void fields() {
        QFETCH(QString, sizes); // total_size[,min_size]
        QFETCH(QString, data);
        QFETCH(QString, packet);
        QFETCH(QString, expected);
        const QStringList size = sizes.split(u',');
        const QString keys = u"\"total_size\":"_qs + size[0] +
                             (size.size() > 1 ? u",\"min_size\":"_qs + size[1] : QString());
        const QString json = u"{\"packet_type\":-1,\"name\":\"T\","_qs + keys + u",\"data\":"_qs +
                             Data_Json(data) + u'}';
        QCOMPARE(Flat(Decode(Templates_Json(json), packet)),
                 u"Тип пакета=T"_qs + (expected.isEmpty() ? QString() : u'|' + expected));
        QCOMPARE(Messages.size(), 0);
    }

    void bit_map_data() {
        Add_Table({"value", "num_bit", "size", "expected"},
                  {
                      {"5: 0,1", "5", "0", "1", "1"},
                      {"5: 1,2", "5", "1", "2", "01"},
                      {"5: 0,8", "5", "0", "8", "10100000"},
                      {"5: 7,1", "5", "7", "1", "0"},
                      {"size 0", "5", "3", "0", ""},
                      {"-1,2 gives bit 0", "5", "-1", "2", "1"},
                      {"6,4 stops at 7", "-1", "6", "4", "11"},
                      {"8,1", "-1", "8", "1", ""},
                      {"-1,100", "-1", "-1", "100", "11111111"},
                      {"7, int max", "-1", "7", "2147483647", "1"},
                      {"-127", "-127", "0", "8", "10000001"},
                      {"-128", "-128", "0", "8", "00000001"},
                      {"256", "256", "0", "8", "00000000"},
                      {"-32768", "-32768", "0", "8", "00000000"},
                      {"2^64-1", "18446744073709551615", "0", "8", "11111111"},
                      {"2^128-3", "340282366920938463463374607431768211453", "0", "8", "10111111"},
                      {"empty", "", "0", "8", "00000000"},
                  });
    }
    void bit_map() {
        QFETCH(QString, value);
        QFETCH(QString, num_bit);
        QFETCH(QString, size);
        QFETCH(QString, expected);
        const QJsonArray bitmap = {QJsonObject{
            {u"num_bit"_qs, num_bit.toInt()}, {u"size"_qs, size.toInt()}, {u"name"_qs, u"X"_qs}}};
        QCOMPARE(Flat(PacketDecoder::Parse_Bit_Map(bitmap, value)), u"bitX="_qs + expected);
    }

    void beacon_data() {
        Add_Table(
            {"payload", "expected"},
            {
                {"iBeacon", "00112233445016778899AABBCCDDEEFF12348000",
                 "iBeacon - UUID 00112233445016778899AABBCCDDEEFF MajorID 4660 MinorID 32768"},
                {"iBeacon FFFF, lower", "00112233445016778899aabbccddeeffFFFFffff",
                 "iBeacon - UUID 00112233445016778899aabbccddeeff MajorID 65535 MinorID 65535"},
                {"iBeacon %2 in UUID", "%2112233445016778899AABBCCDDEEFF12348000",
                 "iBeacon - UUID %2112233445016778899AABBCCDDEEFF MajorID 4660 MinorID 32768"},
                {"iBeacon non-hex major", "00112233445016778899AABBCCDDEEFF12G48000",
                 "iBeacon - UUID 00112233445016778899AABBCCDDEEFF MajorID 0 MinorID 32768"},
                {"Eddystone", "00112233445026778899AABBCCDDEEFF12348000",
                 "Eddystone - NamespaceID 00112233445026778899 InstanceID AABBCCDDEEFF"},
                {"Eddystone, 16-19 ignored", "00112233445026778899AABBCCDDEEFFzzzzzzzz",
                 "Eddystone - NamespaceID 00112233445026778899 InstanceID AABBCCDDEEFF"},
                {"ALTBeacon lower", "aabbccddeef03b18fc3c00010203040506070809",
                 "ALTBeacon - aabbccddeef03b18fc3c00010203040506070809"},
                {"Kivo", "AABBCCDDEEF04B18FC3C00010203040506070809",
                 "Киво - MAC- AABBCCDDEEF0 Бат.- 75 Темп.- -1000 Влаж.- 60 Резерв "
                 "00010203040506070809"},
                {"Kivo 80 00, 9C", "AABBCCDDEEF04B80009C00010203040506070809",
                 "Киво - MAC- AABBCCDDEEF0 Бат.- 75 Темп.- 128 Влаж.- -100 Резерв "
                 "00010203040506070809"},
                {"Kivo 00 80", "AABBCCDDEEF04F00807F00010203040506070809",
                 "Киво - MAC- AABBCCDDEEF0 Бат.- 79 Темп.- -32768 Влаж.- 127 Резерв "
                 "00010203040506070809"},
                {"Kivo non-hex", "AABBCCDDEEF04Z18FCX100010203040506070809",
                 "Киво - MAC- AABBCCDDEEF0 Бат.- 0 Темп.- -1000 Влаж.- 0 Резерв "
                 "00010203040506070809"},
                {"39 chars", "00112233445016778899AABBCCDDEEFF1234800", ""},
                {"41 chars", "00112233445016778899AABBCCDDEEFF123480000", ""},
            });
        const QString ibeacon = u"00112233445016778899AABBCCDDEEFF12348000"_qs;
        for (const char* kind : {"00", "05", "FF", "ZZ", "-1", "+1", " 1"}) // characters 11, 12
            QTest::newRow(kind) << ibeacon.left(11) + QString::fromLatin1(kind) + ibeacon.mid(13)
                                << QString();
    }
    void beacon() {
        QFETCH(QString, payload);
        QFETCH(QString, expected);
        QCOMPARE(PacketDecoder::Decode_Beacon(payload), expected);
        if (payload.size() == 40) // the same through a 20-byte template field
            QCOMPARE(Flat(Decode(Templates_Json(uR"({"packet_type":-1,"name":"T","total_size":21,
                                    "data":[{"num_byte":1,"size":20,"name":"B"}]})"_qs),
                                 u"00"_qs + payload)),
                     u"Тип пакета=T|B="_qs + expected);
    }

    // content "-": no file is written. expected: the messages, or "missing" for the
    // missing-template message of type 1.
    void failures_data() {
        Add_Table(
            {"content", "file_name", "expected"},
            {
                {"ERR marker", R"({"packet_data":[{"packet_type":1,"ERR":0,"total_size":1}]})",
                 "t.json", ""},
                {"malformed", "{\"packet_data\":[", "t.json", "missing"},
                {"root array", "[{\"packet_type\":1}]", "t.json", "missing"},
                {"root number", "1", "t.json", "missing"},
                {"empty file", "", "t.json", "missing"},
                {"packet_data object", R"({"packet_data":{"packet_type":1}})", "t.json", "missing"},
                {"%2 in path", "[]", "x%2%1.json", "missing"},
                {"no file", "-", "nope.json", "I|Ошибка|Не удалось открыть файлDevice/nope.json"},
                {"%1 in name", "-", "a%1.json", "I|Ошибка|Не удалось открыть файлDevice/a%1.json"},
                {"Device/ alone", "-", "", "I|Ошибка|Не удалось открыть файлDevice/"},
            });
    }
    void failures() {
        QFETCH(QString, content);
        QFETCH(QString, file_name);
        QFETCH(QString, expected);
        if (content != u"-"_qs)
            Write(file_name, content.toUtf8());
        if (expected == u"missing"_qs)
            expected = u"I|ERROR|"_qs + Missing_Text.arg(u"1"_qs, u"Device/"_qs + file_name);
        const PacketDecoder decoder(file_name, Recorder());
        QCOMPARE(decoder.Template_Path, u"Device/"_qs + file_name);
        QCOMPARE(Flat(decoder.Parse_Packet(u"0100"_qs)), QString());
        QCOMPARE(Flat(Messages), expected);
    }

    // Decoding into one list again and again gives what a fresh decoding gives, whatever came
    // before (longer, shorter, an error, nothing), and leaves copies of earlier results alone.
    void decoding_into_one_list() {
        const DeviceTemplateFile sensor = DeviceTemplateFile::From_Json(Sensor_Json);
        const DeviceTemplateFile only_type_1 =
            DeviceTemplateFile::From_Json(Templates_Json(u"1|\"One\""_qs));
        const QString beacon = u"0200112233445016778899AABBCCDDEEFF12348000"_qs;
        QStringList packets{u"0100F15365FBFF05"_qs,
                            u"01AABB"_qs,
                            u"7F0102"_qs,
                            u"7F0102030405060708090A0B0C0D"_qs,
                            u""_qs,
                            u"0100f15365fbff05"_qs,
                            u"0100F15365FBFF0F"_qs,
                            u"FF"_qs};
        // The kind digits are characters 13 and 14: kinds 1 to 4, an unknown one, not hex.
        for (const char16_t* kind : {u"01", u"02", u"03", u"04", u"05", u"0G"})
            packets << QString(beacon).replace(13, 2, QString::fromUtf16(kind));
        const PacketDecoder decoder(u"t.json"_qs, Recorder());
        DecodedPacket reused;
        for (int round = 0; round < 3; ++round) {
            for (const QString& packet : packets) {
                for (const DeviceTemplateFile* file : {&sensor, &only_type_1}) {
                    const DecodedPacket earlier = reused;
                    const QString earlier_text = Flat(earlier);
                    const QString held_value = reused.isEmpty() ? QString() : reused[0].Value;
                    decoder.Parse_Packet(*file, packet, reused);
                    QCOMPARE(Flat(reused), Flat(decoder.Parse_Packet(*file, packet)));
                    QCOMPARE(Flat(earlier), earlier_text);
                    QCOMPARE(held_value, earlier.isEmpty() ? QString() : earlier[0].Value);
                }
            }
            std::rotate(packets.begin(), packets.begin() + 3, packets.end());
        }
        QVERIFY(Messages.size() > 0); // only_type_1 had no template for most packets
    }

    void find_template() {
        Write(u"t.json"_qs, Sensor_Json);
        Write(u"e.json"_qs, R"({"packet_data":[]})");
        const PacketDecoder decoder(u"t.json"_qs, Recorder());
        const auto name = [&](const char* path, const char* packet) {
            return decoder.Find_Template(QString::fromLatin1(path), QString::fromLatin1(packet))
                .value(u"name"_qs)
                .toString();
        };
        QCOMPARE(name("Device/t.json", "01"), u"Telemetry"_qs);
        QCOMPARE(name("Device/t.json", "7F"), u"Other"_qs);
        QVERIFY(decoder.Find_Template(u"Device/e.json"_qs, u"01"_qs).isEmpty());
        QCOMPARE(QJsonDocument(decoder.Find_Template(u"Device/no.json"_qs, u"01"_qs)).toJson(),
                 QJsonDocument(QJsonObject{{u"ERR"_qs, u"NOFILE"_qs}}).toJson());
        QCOMPARE(Flat(Messages), u"I|Ошибка|Не удалось открыть файлDevice/no.json"_qs);
        const auto object = [](const char* json) { return QJsonDocument::fromJson(json).object(); };
        const QJsonObject array =
            object(R"({"packet_type":[{"T":3,"name":"A"},{"T":3,"name":"B"}],"name":"N"})");
        QCOMPARE(PacketDecoder::Packet_Type_Name(3, array), u"A"_qs);
        QCOMPARE(PacketDecoder::Packet_Type_Name(4, array), QString());
        QCOMPARE(PacketDecoder::Packet_Type_Name(9, object(R"({"packet_type":-1,"name":"N"})")),
                 u"N"_qs);
    }
};

QTEST_GUILESS_MAIN(PacketDecoderTest)
#include "tst_packet_decoder.moc"
