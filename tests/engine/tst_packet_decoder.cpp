// Decoding through template files written by each test: selection, length check, field readers,
// bit fields, beacon payloads and the messages that leave through the reporter.
#include "DeviceTemplateFile.h"
#include "PacketDecoder.h"
#include "TestTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>

namespace {

// Template JSON as the tables write it: ' for ", and B, b, S, N, M for the keys num_byte,
// num_bit, size, name and bitmap.
QByteArray Json(QString text) {
    text.replace(u"B:"_qs, u"'num_byte':"_qs).replace(u"b:"_qs, u"'num_bit':"_qs);
    text.replace(u"S:"_qs, u"'size':"_qs).replace(u"N:"_qs, u"'name':"_qs);
    return text.replace(u"M:"_qs, u"'bitmap':"_qs).replace(u'\'', u'"').toUtf8();
}

const QByteArray Sensor_Json = Json(uR"({'packet_data':[
 {'packet_type':-1,N:'Other','total_size':30,'min_size':2,'data':[{B:1,S:-1,N:'Payload'}]},
 {'packet_type':1,N:'Telemetry','total_size':8,'data':[{B:1,S:4,N:'Time'},
  {B:5,S:2,N:'Temperature'},{B:7,S:1,N:'Status',M:[{b:0,S:1,N:'Alarm'},{b:1,S:2,N:'Mode'}]}]},
 {'packet_type':[{'T':2,N:'BeaconA'},{'T':3,N:'BeaconB'}],'total_size':21,
  'data':[{B:1,S:20,N:'Beacon'}]}]})"_qs);

const QString Missing_Text =
    u"I|ERROR|Не удалось найти шаблон для парсинга пакета. Проверьте поддержку типа пакета - %1 "
    u"в протоколе или наличие в файле: %2"_qs;

// "TYPE=NAME" entries separated by ";" become templates accepting 1 to 99 bytes (NAME is a JSON
// value, left out when empty); an entry without "=" is a whole template as it stands.
QByteArray Templates_Json(const QString& spec) {
    QStringList templates;
    for (const QString& entry : spec.split(u';')) {
        const qsizetype eq = entry.lastIndexOf(u'=');
        const QString name = entry.mid(eq + 1);
        templates << (eq < 0 ? entry
                             : u"{'packet_type':"_qs + entry.left(eq) +
                                   (name.isEmpty() ? QString() : u",N:"_qs + name) +
                                   u",'total_size':99,'min_size':1}"_qs);
    }
    return Json(u"{'packet_data':["_qs + templates.join(u',') + u"]}"_qs);
}

// "ERROR expected, actual" stands for the length error, anything else for the type and fields.
QString Expected(const QString& text) {
    if (!text.startsWith(u"ERROR "))
        return u"Тип пакета="_qs + text;
    return u"ERROR=Не верный размер парадаваемого пакета. Ожидаемый: "_qs +
           text.mid(6).replace(u", "_qs, u", фактический: "_qs);
}

// clang-format off
// packet | expected ("telemetry": the Telemetry fields; after "Beacon…" the beacon field follows)
const Rows Worked_Example_Rows = {
    "telemetry | 0100F15365FBFF05 | telemetry", "lower | 0100f15365fbff05 | telemetry",
    "17 chars | 0100F15365FBFF057 | telemetry", "3 of 8 | 01AABB | ERROR 8, 3",
    "9 of 8 | 0100F15365FBFF0500 | ERROR 8, 9", "-1 | 7F01020 | Other|Payload=0102",
    "-1, 1 byte | FF | Other|Payload=", "-1, empty |  | Other|Payload=",
    "T 2 | 0200112233445016778899AABBCCDDEEFF12348000 | BeaconA",
    "T 3 | 0300112233445026778899AABBCCDDEEFF12348000 | BeaconB",
    "T 3, 20 of 21 | 0300112233445026778899AABBCCDDEEFF123480 | ERROR 21, 20"};

// templates | packet | the type name shown, or "missing N" for the missing-template message
const Rows Selection_Rows = {
    "-1 first | -1='Any';5='Five' | 05 | Five", "-1 first, other | -1='Any';5='Five' | 06 | Any",
    "-1 last | 5='Five';-1='Any' | 05 | Any", "later wins | 5='A';5='B' | 05 | B",
    "1A | 26='X' | 1A00 | X", "1a | 26='X' | 1a | X", "FF missing | 5='F' | FF | missing 255",
    "one char | 5='F' | 5 | missing 0", "dup T | [{'T':7,N:'1st'},{'T':7,N:'2nd'}]='Top' | 07 | 1st",
    "second T | [{'T':2,N:'A'},{'T':9,N:'B'}]= | 09 | B", "no T | [{N:'NoT'}]= | 00 | NoT",
    "'1' reads 0 | '1'='S' | 00 | S", "2.0 reads 2 | 2.0='D' | 02 | D", "2.5 reads 0 | 2.5='D' | 00 | D",
    "true reads 0 | true='B' | 00 | B", "256 never | 256='B' | 00 | missing 0",
    "2^32 reads 0 | 4294967296='B' | 00 | B", "not an object | 7 |  | ",
    "no packet_type | {N:'N','total_size':1} | 00 | N", "no name | 5= | 05 | ",
    "name a number | 5=5 | 05 | ", "ZZ | 0='Z' | ZZ01 | Z", "-1 | 0='Z' | -1 | Z",
    "+1 | 0='Z' | +1 | Z", "blank | 0='Z' |  1 | Z", "1G | 0='Z' | 1G | Z", "1 | 0='Z' | 1 | Z",
    "empty | 0='Z' |  | Z"};

// packet | num_byte | size | le (little-endian) or po (packet order) | expected
const Rows Read_Number_Rows = {
    "1 | 00FF | 1 | 1 | le | -1", "2 | 0080 | 0 | 2 | le | -32768", "2 po | 3412 | 0 | 2 | po | 13330",
    "3 | FFFFFF | 0 | 3 | le | 16777215", "4 | 00000080 | 0 | 4 | le | -2147483648",
    "5 | 0000008000 | 0 | 5 | le | 2147483648", "6 | FFFFFFFFFFFF | 0 | 6 | le | 281474976710655",
    "7 | FFFFFFFFFFFFFF | 0 | 7 | le | 72057594037927935",
    "8 | FFFFFFFFFFFFFFFF | 0 | 8 | le | 18446744073709551615",
    "9 | 0123456789ABCDEF01 | 0 | 9 | le | 35726400025631466241",
    "16 | 000102030405060708090A0B0C0D0E0F | 0 | 16 | le | 20011376718272490338853433276725592320",
    "16 po | 000102030405060708090a0b0c0d0e0f | 0 | 16 | po | 5233100606242806050955395731361295",
    "sign | 00-1 | 1 | 1 | le | 0", "non-hex 9 | FFFFFFFFFFFFFFFFZ0 | 0 | 9 | le | 0",
    "size 0 | 0011 | 1 | 0 | le | 0", "size -1 | 0011 | 1 | -1 | le | 0", "empty |  | 0 | 1 | le | ",
    "past end | 0011 | 1 | 2 | le | ", "odd char | 0011223 | 2 | 2 | le | ",
    "last byte | 00112 | 1 | 1 | le | 17", "byte -1 | 0011 | -1 | 1 | le | ",
    "huge | 0011 | 2147483647 | 2147483647 | le | "};

// total_size[,min_size] | data (keys B num_byte, b num_bit, S size, N name, M bitmap) | packet |
// the fields after the type name "T" (lengths: with min_size, of any type, only an upper limit)
const Rows Field_Rows = {
    "6 as is | 40,1 | {B:1,S:6,N:'M'} | 01aaBBcZ-1eeFF | M=aaBBcZ-1eeFF",
    "6 outside | 40,1 | {B:1,S:6,N:'M'} | 01aabbccddee | M=",
    "20 outside | 40,1 | {B:1,S:20,N:'B'} | 01112233445016778899AABBCCDDEEFF12 | B=",
    "4 outside | 40,1 | {B:2,S:4,N:'F'} | 010203 | F=", "byte -1 | 40,1 | {B:-1,S:1,N:'F'} | 0102 | F=",
    "no name | 40,1 | {B:1,S:1} | 0105 | =5", "2.5 reads 0 | 40,1 | {B:1,S:2.5,N:'F'} | 013412 | F=0",
    "'1' reads 0 | 40,1 | {B:'1',S:1,N:'F'} | 7F05 | F=127", "no data | 2 |  | 0105 | ",
    "tail from min_size - 1 | 9,3 | {B:7,S:-1,N:'P'} | 0102030405 | P=030405",
    "two tails | 9,3 | {B:0,S:-1,N:'P'},{B:5,S:-1,N:'Q'} | 0102030405 | P=030405|Q=030405",
    "tail, no min_size | 3 | {B:7,S:-1,N:'P'} | 010203 | P=010203",
    "tail odd | 9,2 | {B:7,S:-1,N:'P'} | 0102030 | P=0203",
    "tail beyond | 20,9 | {B:7,S:-1,N:'P'} | 010203 | P=", "no bits | 40,1 | {B:1,S:1,N:'S',M:[]} | 0105 | S=",
    "bits 80 | 40,1 | {B:1,S:1,N:'S',M:[{b:0,S:8,N:'A'}]} | 0180 | S=|bitA=00000001",
    "bits 0001 | 40,1 | {B:1,S:2,N:'S',M:[{b:0,S:8,N:'A'}]} | 010001 | S=|bitA=00000000",
    "bits 6 | 40,1 | {B:1,S:6,N:'S',M:[{b:0,S:8,N:'A'}]} | 010DFFFFFFFFFF | S=|bitA=10110000",
    "bits 16 | 40,1 | {B:1,S:16,N:'S',M:[{b:0,S:8,N:'A'}]} | 010DF0F0F0F0F0F0F0F0F0F0F0F0F0F0F0 | "
    "S=|bitA=10110000",
    "bits 20 | 40,1 | {B:1,S:20,N:'S',M:[{b:0,S:8,N:'A'}]} | "
    "0103000000000000000000000000000000000000FF | S=|bitA=11000000",
    "bits -1 | 40,1 | {B:1,S:-1,N:'S',M:[{b:0,S:8,N:'A'}]} | 01FF | S=|bitA=00000000",
    "bit ranges | 40,1 | {B:1,S:1,N:'S',M:[{b:1,S:2,N:'a'},{b:3,S:0,N:'b'},{b:-1,S:2,N:'c'},"
    "{b:6,S:4,N:'d'},{b:8,S:1,N:'e'},{b:-1,S:99,N:'f'},{b:7,S:2147483647,N:'g'}]} | 0105 | "
    "S=|bita=01|bitb=|bitc=1|bitd=00|bite=|bitf=10100000|bitg=0",
    "bits outside | 40,1 | {B:5,S:1,N:'S',M:[{b:0,S:1,N:'A'},{b:1,S:2}]} | 0105 | S=|bitA=|bit=",
    "bits 6 outside | 40,1 | {B:1,S:6,N:'S',M:[{b:0,S:8,N:'A'}]} | 010D | S=|bitA=",
    "bits 0, empty | 40,1 | {B:0,S:0,N:'S',M:[{b:0,S:8,N:'A'}]} |  | S=|bitA=00000000",
    "9 of 8 | 8,5 |  | 010203040506070809 | ERROR 8, 9", "7 of 8 | 8,'x' |  | 010203040506070 | "};

// payload | expected
const Rows Beacon_Rows = {
    "iBeacon FFFF | 00112233445016778899aabbccddeeffFFFFffff | "
    "iBeacon - UUID 00112233445016778899aabbccddeeff MajorID 65535 MinorID 65535",
    "iBeacon %2, G | %2112233445016778899AABBCCDDEEFF12G48000 | "
    "iBeacon - UUID %2112233445016778899AABBCCDDEEFF MajorID 0 MinorID 32768",
    "Eddystone | 00112233445026778899AABBCCDDEEFFzzzzzzzz | "
    "Eddystone - NamespaceID 00112233445026778899 InstanceID AABBCCDDEEFF",
    "ALTBeacon | aabbccddeef03b18fc3c00010203040506070809 | "
    "ALTBeacon - aabbccddeef03b18fc3c00010203040506070809",
    "Kivo | AABBCCDDEEF04B18FC3C00010203040506070809 | "
    "Киво - MAC- AABBCCDDEEF0 Бат.- 75 Темп.- -1000 Влаж.- 60 Резерв 00010203040506070809",
    "Kivo 80 00, 9C, 4Z | AABBCCDDEEF04Z80009C00010203040506070809 | "
    "Киво - MAC- AABBCCDDEEF0 Бат.- 0 Темп.- 128 Влаж.- -100 Резерв 00010203040506070809",
    "39 chars | 00112233445016778899AABBCCDDEEFF1234800 | "};

// file content ("-": none) | file name | messages ("missing": the missing type 1 message)
const Rows Failure_Rows = {
    "ERR marker | {'packet_data':[{'packet_type':1,'ERR':0,'total_size':1}]} | t.json | ",
    "malformed | {'packet_data':[ | t.json | missing", "root array | [{'packet_type':1}] | t.json | missing",
    "packet_data object | {'packet_data':{'packet_type':1}} | t.json | missing",
    "%2 in path | [] | x%2%1.json | missing",
    "%1 in name | - | a%1.json | I|Ошибка|Не удалось открыть файлDevice/a%1.json",
    "Device/ alone | - |  | I|Ошибка|Не удалось открыть файлDevice/"};
// clang-format on

} // namespace

class PacketDecoderTest : public QObject {
    Q_OBJECT

    QTemporaryDir Work_Dir;
    QList<UserMessage> Messages;
    const MessageReporter Recorder = [this](const UserMessage& m) { Messages.append(m); };

    void Write(const QString& file_name, const QByteArray& json) {
        QFile file(u"Device/"_qs + file_name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(json);
    }
    DecodedPacket Decode(const QByteArray& json, const QString& packet) {
        Write(u"t.json"_qs, json);
        return PacketDecoder(u"t.json"_qs, Recorder).Parse_Packet(packet);
    }

  private Q_SLOTS:
    void initTestCase() { QVERIFY(QDir::setCurrent(Work_Dir.path())); }
    void init() {
        QVERIFY(QDir(u"Device"_qs).removeRecursively() && QDir().mkdir(u"Device"_qs));
        Messages.clear();
    }

    void worked_example_data() { Add_Rows(Worked_Example_Rows); }
    void worked_example() {
        const QStringList c = Row(2);
        QString expected = Expected(
            c[1] == u"telemetry"_qs
                ? u"Telemetry|Time=1700000000|Temperature=-5|Status=|bitAlarm=1|bitMode=01"_qs
                : c[1]);
        if (c[1].startsWith(u"Beacon")) // the 20-byte field: beacon payloads are tested below
            expected += u"|Beacon="_qs + PacketDecoder::Decode_Beacon(c[0].mid(2));
        QCOMPARE(Flat(Decode(Sensor_Json, c[0])), expected);
        // A template file loaded once decodes exactly like one read per packet.
        const DeviceTemplateFile file = DeviceTemplateFile::From_Json(Sensor_Json);
        QCOMPARE(Flat(PacketDecoder(u"t.json"_qs, Recorder).Parse_Packet(file, c[0])), expected);
        QCOMPARE(Messages.size(), 0);
    }

    void selection_data() { Add_Rows(Selection_Rows); }
    void selection() {
        const QStringList c = Row(3);
        const bool missing = c[2].startsWith(u"missing ");
        QCOMPARE(Flat(Decode(Templates_Json(c[0]), c[1])), missing ? QString() : Expected(c[2]));
        QCOMPARE(Flat(Messages),
                 missing ? Missing_Text.arg(c[2].mid(8), u"Device/t.json"_qs) : QString());
    }

    void read_number_data() { Add_Rows(Read_Number_Rows); }
    void read_number() {
        const QStringList c = Row(5);
        const auto order = c[3] == u"po"_qs ? PacketDecoder::ByteOrder::Packet_Order
                                            : PacketDecoder::ByteOrder::Little_Endian;
        QCOMPARE(PacketDecoder::Read_Number(c[0], c[1].toLongLong(), c[2].toLongLong(), order),
                 c[4]);
    }

    void fields_data() { Add_Rows(Field_Rows); }
    void fields() {
        const QStringList c = Row(4);
        const QStringList size = c[0].split(u',');
        const QString json = u"{'packet_type':-1,N:'T','total_size':"_qs + size[0] +
                             (size.size() > 1 ? u",'min_size':"_qs + size[1] : QString()) +
                             (c[1].isEmpty() ? QString() : u",'data':["_qs + c[1] + u']') + u'}';
        const QString fields = c[3].isEmpty() ? u"T"_qs : u"T|"_qs + c[3];
        QCOMPARE(Flat(Decode(Templates_Json(json), c[2])),
                 Expected(c[3].startsWith(u"ERROR") ? c[3] : fields));
        QCOMPARE(Messages.size(), 0);
    }

    void beacon_data() {
        Add_Rows(Beacon_Rows);
        const QString ibeacon = u"00112233445016778899AABBCCDDEEFF12348000"_qs;
        for (const char* kind : {"00", "05", "ZZ", "-1", "+1", " 1"}) // characters 11, 12
            QTest::newRow(kind) << QStringList{
                ibeacon.left(11) + QString::fromLatin1(kind) + ibeacon.mid(13), QString()};
    }
    void beacon() {
        const QStringList c = Row(2);
        QCOMPARE(PacketDecoder::Decode_Beacon(c[0]), c[1]);
    }

    void failures_data() { Add_Rows(Failure_Rows); }
    void failures() {
        const QStringList c = Row(3);
        if (c[0] != u"-"_qs)
            Write(c[1], Json(c[0]));
        const PacketDecoder decoder(c[1], Recorder);
        QCOMPARE(decoder.Template_Path, u"Device/"_qs + c[1]);
        QCOMPARE(Flat(decoder.Parse_Packet(u"0100"_qs)), QString());
        QCOMPARE(Flat(Messages),
                 c[2] == u"missing"_qs ? Missing_Text.arg(u"1"_qs, decoder.Template_Path) : c[2]);
    }

    // Decoding into one list again and again gives what a fresh decoding gives, whatever came
    // before (longer, shorter, an error, nothing), and leaves copies of earlier results alone.
    void decoding_into_one_list() {
        const DeviceTemplateFile files[] = {
            DeviceTemplateFile::From_Json(Sensor_Json),
            DeviceTemplateFile::From_Json(Templates_Json(u"1="_qs))};
        QStringList packets =
            u"0100F15365FBFF05,01AABB,7F0102,7F0102030405060708090A0B0C0D,,0100f15365fbff0F"_qs
                .split(u',');
        for (const char* kind : {"01", "02", "03", "04", "05", "0G"}) // beacon kinds
            packets << u"0200112233445016778899AABBCCDDEEFF12348000"_qs.replace(13, 2, kind);
        const PacketDecoder decoder(u"t.json"_qs, Recorder);
        DecodedPacket reused;
        for (int round = 0; round < 3; ++round) {
            for (const QString& packet : packets)
                for (const DeviceTemplateFile& file : files) {
                    const DecodedPacket earlier = reused;
                    const QString earlier_text = Flat(earlier);
                    decoder.Parse_Packet(file, packet, reused);
                    QCOMPARE(Flat(reused), Flat(decoder.Parse_Packet(file, packet)));
                    QCOMPARE(Flat(earlier), earlier_text);
                }
            std::rotate(packets.begin(), packets.begin() + 5, packets.end());
        }
    }

    void find_template() {
        Write(u"t.json"_qs, Sensor_Json);
        const PacketDecoder decoder(u"t.json"_qs, Recorder);
        QCOMPARE(decoder.Find_Template(u"Device/t.json"_qs, u"7F"_qs)[u"name"_qs], u"Other"_qs);
        QCOMPARE(decoder.Find_Template(u"Device/no.json"_qs, u"01"_qs),
                 QJsonObject({{u"ERR"_qs, u"NOFILE"_qs}}));
        QCOMPARE(Flat(Messages), u"I|Ошибка|Не удалось открыть файлDevice/no.json"_qs);
        const QJsonObject types{
            {u"packet_type"_qs, QJsonArray{QJsonObject{{u"T"_qs, 3}, {u"name"_qs, u"A"_qs}},
                                           QJsonObject{{u"T"_qs, 3}}}}};
        QCOMPARE(PacketDecoder::Packet_Type_Name(3, types), u"A"_qs);
    }
};

QTEST_GUILESS_MAIN(PacketDecoderTest)
#include "tst_packet_decoder.moc"
