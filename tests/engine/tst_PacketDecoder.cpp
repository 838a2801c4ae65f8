// Decoding through template files written by each test: selection, length check, field readers,
// bit fields, beacon payloads and the messages that leave through the reporter.
#include "DeviceTemplateFile.h"
#include "JsonRecord.h"
#include "PacketDecoder.h"
#include "ResultRenderer.h"
#include "TestTable.h"
#include "Utf8Writer.h"
#include "Workspace.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

namespace {

// Template JSON as the tables write it, with ' for " so that rows need no escapes.
QByteArray Json(QString text) {
    return text.replace(u'\'', u'"').toUtf8();
}

const QByteArray Sensor_Json = Json(uR"({'packet_data':[
 {'packet_type':1,'name':'Telemetry','total_size':8,'data':[{'num_byte':1,'size':4,'name':'Time'},
  {'num_byte':5,'size':2,'name':'Temperature'},{'num_byte':7,'size':1,'name':'Status','bitmap':[{'num_bit':0,'size':1,'name':'Alarm'},{'num_bit':1,'size':2,'name':'Mode'}]}]},
 {'packet_type':[{'T':2,'name':'BeaconA'},{'T':3,'name':'BeaconB'}],'total_size':21,
  'data':[{'num_byte':1,'size':20,'name':'Beacon'}]}]})"_qs);

const QString Beacon = u"0200112233445016778899AABBCCDDEEFF12348000"_qs; // type 2, iBeacon

const QString Missing_Text =
    u"I|ERROR|Не удалось найти шаблон для парсинга пакета. Проверьте поддержку типа пакета - %1 "
    u"в протоколе или наличие в файле: %2"_qs;

// A template file holding the templates given.
QByteArray Templates_Json(const QString& templates) {
    return Json(u"{'packet_data':["_qs + templates + u"]}"_qs);
}

// "ERROR expected, actual" stands for the length error, anything else for the type and fields.
QString Expected(const QString& text) {
    return text.startsWith(u"ERROR ")
               ? u"ERROR=Не верный размер парадаваемого пакета. Ожидаемый: "_qs +
                     text.mid(6).replace(u", "_qs, u", фактический: "_qs)
               : u"Тип пакета="_qs + text;
}

// clang-format off
// packet | expected ("telemetry": the Telemetry fields); beacons: the 20-byte field of types 2, 3
// (read from bytes 1-20); a length error's bytes are the whole packet
const Rows Worked_Example_Rows = {
    "17 chars | 0100F15365FBFF057 | telemetry",
    "T 3, 20 of 21 | 0300112233445026778899AABBCCDDEEFF123480 | ERROR 21, 20",
    "iBeacon | 0200112233445016778899aabbccddeeff1234ffff | BeaconA|Beacon=iBeacon - UUID "
    "00112233445016778899aabbccddeeff MajorID 4660 MinorID 65535",
    "iBeacon %2, G | 02%2112233445016778899AABBCCDDEEFF12G48000 | BeaconA|Beacon=iBeacon - UUID "
    "%2112233445016778899AABBCCDDEEFF MajorID 0 MinorID 32768",
    "Eddystone | 0300112233445026778899AABBCCDDEEFFzzzzzzzz | BeaconB|Beacon=Eddystone - "
    "NamespaceID 00112233445026778899 InstanceID AABBCCDDEEFF",
    "Kivo 80 00, 9C, 4Z | 02AABBCCDDEEF04Z80009C00010203040506070809 | BeaconA|Beacon=Киво - MAC- "
    "AABBCCDDEEF0 Бат.- 0 Темп.- 128 Влаж.- -100 Резерв 00010203040506070809"};

// templates | packet | the type name shown, or "missing N" for the missing-template message
const Rows Selection_Rows = {
    "-1 first | {'packet_type':-1,'name':'Any'},{'packet_type':5,'name':'Five'} | 05 | Five",
    "1a | {'packet_type':26,'name':'X'} | 1a | X",
    "-1 first, other | {'packet_type':-1,'name':'Any'},{'packet_type':5,'name':'Five'} | 06 | Any",
    "one char | {'packet_type':5} | 5 | missing 0",
    "FF missing | {'packet_type':5} | FF | missing 255",
    "-1 last | {'packet_type':5,'name':'Five'},{'packet_type':-1,'name':'Any'} | 05 | Any",
    "dup T | {'packet_type':[{'T':7,'name':'1st'},{'T':7,'name':'2nd'}],'name':'Top'} | 07 | 1st",
    "no name | {'packet_type':5} | 05 | ",
    "second T | {'packet_type':[{'T':2,'name':'A'},{'T':9,'name':'B'}]} | 09 | B",
    "no T | {'packet_type':[{'name':'NoT'}]} | 00 | NoT",
    "'1' reads 0 | {'packet_type':'1','name':'S'} | 00 | S",
    "2.0 reads 2 | {'packet_type':2.0,'name':'D'} | 02 | D",
    "2.5 reads 0 | {'packet_type':2.5,'name':'D'} | 00 | D",
    "true reads 0 | {'packet_type':true,'name':'B'} | 00 | B",
    "256 never | {'packet_type':256} | 00 | missing 0",
    "2^32 reads 0 | {'packet_type':4294967296,'name':'B'} | 00 | B",
    "not an object | 7 |  | missing 0",
    "empty object | {} | 00 | missing 0",
    "empty, shadowed | {},{'packet_type':0,'name':'Z'} | 00 | Z",
    "no packet_type | {'name':'N','total_size':1} | 00 | N",
    "name a number | {'packet_type':5,'name':5} | 05 | ",
    "ZZ | {'packet_type':0,'name':'Z'} | ZZ01 | Z",
    "-1 | {'packet_type':0,'name':'Z'} | -1 | Z",
    "+1 | {'packet_type':0,'name':'Z'} | +1 | Z",
    "blank | {'packet_type':0,'name':'Z'} |  1 | Z",
    "1G | {'packet_type':0,'name':'Z'} | 1G | Z",
    "empty | {'packet_type':0,'name':'Z'} |  | Z"};

// The numbers of fields without keys, little-endian: sizes 1, 2 and 4 signed, 3, 5 and more
// unsigned, exact at any width; a field outside the packet is empty, a non-hex character makes 0.
// packet | num_byte | size | value
const Rows Number_Rows = {
    "1 | 00FF | 1 | 1 | -1",
    "2 | 0080 | 0 | 2 | -32768",
    "sign | 00-1 | 1 | 1 | 0",
    "3 | FFFFFF | 0 | 3 | 16777215",
    "4 | 00000080 | 0 | 4 | -2147483648",
    "5 | 0000008000 | 0 | 5 | 2147483648",
    "size 0 | 0011 | 1 | 0 | 0",
    "7 | FFFFFFFFFFFFFF | 0 | 7 | 72057594037927935",
    "empty |  | 0 | 1 | ",
    "8 | FFFFFFFFFFFFFFFF | 0 | 8 | 18446744073709551615",
    "past end | 0011 | 1 | 2 | ",
    "9 | 0123456789ABCDEF01 | 0 | 9 | 35726400025631466241",
    "byte -1 | 0011 | -1 | 1 | ",
    "16 | 000102030405060708090A0B0C0D0E0F | 0 | 16 | 20011376718272490338853433276725592320",
    "non-hex 9 | FFFFFFFFFFFFFFFFZ0 | 0 | 9 | 0",
    "odd char | 0011223 | 2 | 2 | ",
    "last byte | 00112 | 1 | 1 | 17",
    "huge | 0011 | 2147483647 | 2147483647 | "};

// total_size[,min_size] | data | packet |
// fields after the type, named "" (-1 tails start at min_size - 1; min_size makes size a maximum)
// | where every field, the type included, was read from (as Sources writes it)
const Rows Field_Rows = {
    "6 as is | 40,1 | {'num_byte':1,'size':6,'name':'M'} | 01aaBBcZ-1eeFF | M=aaBBcZ-1eeFF | 0+1|1+6",
    "no data | 2 |  | 0105 |  | 0+1",
    "6 outside | 40,1 | {'num_byte':1,'size':6,'name':'M'} | 01aabbccddee | M= | 0+1|-",
    "20 outside | 40,1 | {'num_byte':1,'size':20,'name':'B'} | 01112233445016778899AABBCCDDEEFF12 | B= | 0+1|-",
    "4 outside | 40,1 | {'num_byte':2,'size':4,'name':'F'} | 010203 | F= | 0+1|-",
    "no name | 40,1 | {'num_byte':1,'size':1} | 0105 | =5 | 0+1|1+1",
    "byte -1 | 40,1 | {'num_byte':-1,'size':1,'name':'F'} | 0102 | F= | 0+1|-",
    "7 of 8 | 8,'x' |  | 010203040506070 |  | 0+1",
    "2.5 reads 0 | 40,1 | {'num_byte':1,'size':2.5,'name':'F'} | 013412 | F=0 | 0+1|-",
    "'1' reads 0 | 40,1 | {'num_byte':'1','size':1,'name':'F'} | 7F05 | F=127 | 0+1|0+1",
    "2 tails | 9,3 | {'num_byte':0,'size':-1,'name':'P'},{'num_byte':5,'size':-1,'name':'Q'} | 0102030405 | P=030405|Q=030405 | "
    "0+1|2+3|2+3",
    "tail, no min_size | 3 | {'num_byte':7,'size':-1,'name':'P'} | 010203 | P=010203 | 0+1|0+3",
    "tail odd | 9,2 | {'num_byte':7,'size':-1,'name':'P'} | 0102030 | P=0203 | 0+1|1+2",
    "tail beyond | 20,9 | {'num_byte':7,'size':-1,'name':'P'} | 010203 | P= | 0+1|-",
    "no bits | 40,1 | {'num_byte':1,'size':1,'name':'S','bitmap':[]} | 0105 | S= | 0+1|1+1",
    "bits 80 | 40,1 | {'num_byte':1,'size':1,'name':'S','bitmap':[{'num_bit':0,'size':8,'name':'A'}]} | 0180 | S=|bitA=00000001 | 0+1|1+1|1.0+8",
    "bits 0001 | 40,1 | {'num_byte':1,'size':2,'name':'S','bitmap':[{'num_bit':0,'size':8,'name':'A'}]} | 010001 | S=|bitA=00000000 | "
    "0+1|1+2|1.0+8",
    "bits 6 | 40,1 | {'num_byte':1,'size':6,'name':'S','bitmap':[{'num_bit':0,'size':8,'name':'A'}]} | 010DFFFFFFFFFF | S=|bitA=10110000 | "
    "0+1|1+6|1.0+8",
    "bits 16 | 40,1 | {'num_byte':0,'size':16,'bitmap':[{'num_bit':0,'size':8}]} | 0DF0F0F0F0F0F0F0F0F0F0F0F0F0F0F0 | =|bit=10110000 | "
    "0+1|0+16|0.0+8",
    "bits 20 | 40,1 | {'num_byte':1,'size':20,'name':'S','bitmap':[{'num_bit':0,'size':8,'name':'A'}]} | "
    "0103000000000000000000000000000000000000FF | S=|bitA=11000000 | 0+1|1+20|1.0+8",
    "bits -1 | 40,1 | {'num_byte':1,'size':-1,'name':'S','bitmap':[{'num_bit':0,'size':8,'name':'A'}]} | 01FF | S=|bitA=00000000 | 0+1|-|-",
    "bit ranges | 40,1 | {'num_byte':1,'size':1,'name':'S','bitmap':[{'num_bit':1,'size':2,'name':'a'},{'num_bit':3,'size':0,'name':'b'},{'num_bit':-1,'size':2,'name':'c'},{'num_bit':6,"
    "'size':4,'name':'d'},{'num_bit':8,'size':1,'name':'e'},{'num_bit':-1,'size':99,'name':'f'},{'num_bit':7,'size':2147483647,'name':'g'}]} | 0105 | S=|bita=01|"
    "bitb=|bitc=1|bitd=00|bite=|bitf=10100000|bitg=0 | 0+1|1+1|1.1+2|1.3+0|1.0+1|1.6+2|1.8+0|"
    "1.0+8|1.7+1",
    "bits outside | 40,1 | {'num_byte':5,'size':1,'name':'S','bitmap':[{'num_bit':0,'size':1,'name':'A'},{'num_bit':1,'size':2}]} | 0105 | S=|bitA=|bit= | "
    "0+1|-|-|-",
    "bits 6 outside | 40,1 | {'num_byte':1,'size':6,'name':'S','bitmap':[{'num_bit':0,'size':8,'name':'A'}]} | 010D | S=|bitA= | 0+1|-|-",
    "bits 0, empty | 40,1 | {'num_byte':0,'size':0,'name':'S','bitmap':[{'num_bit':0,'size':8,'name':'A'}]} |  | S=|bitA=00000000 | -|-|-",
    "9 of 8 | 8,5 |  | 010203040506070809 | ERROR 8, 9 | 0+9"};

// size | the entry's other keys, JSON with ' for " (name "F" unless given) | the field's bytes
// after the type byte | value text | number as records write it
const Rows Meaning_Rows = {
    "s16 ×0.01 °C | 2 | 'scale':0.01,'unit':'°C' | 2EFB | -12.34 °C | -12.34",
    "u16 mV | 2 | 'signed':false,'unit':'mV' | 409C | 40000 mV | 40000",
    "u16 be | 2 | 'order':'be','signed':false | 9C40 | 40000 | 40000",
    "s16 be | 2 | 'order':'be' | FFFE | -2 | -2",
    "s8 unit | 1 | 'unit':'x' | FF | -1 x | -1",
    "u8 | 1 | 'signed':false | FF | 255 | 255",
    "s24 | 3 | 'signed':true | FFFFFF | -1 | -1",
    "u24 be | 3 | 'order':'be' | 000100 | 256 | 256",
    "u32 be | 4 | 'order':'be','signed':false | FFFFFFFF | 4294967295 | 4294967295",
    "s64 | 8 | 'signed':true | FEFFFFFFFFFFFFFF | -2 | -2",
    "u64 be | 8 | 'order':'be' | FFFFFFFFFFFFFFFF | 18446744073709551615 | 18446744073709551615",
    "u64 ×2 exact | 8 | 'scale':2 | FFFFFFFFFFFFFFFF | 36893488147419103230 | "
    "36893488147419103230",
    "offset, decimals | 1 | 'offset':-40,'decimals':2 | 0A | -30.00 | -30.00",
    "×0.5 | 1 | 'scale':0.5 | 03 | 1.5 | 1.5",
    "decimals 3 | 2 | 'scale':0.1,'decimals':3 | "
    "0100 | 0.100 | 0.100",
    "no -0.0 | 1 | 'scale':0.001,'decimals':1 | FF | 0.0 | 0.0",
    "×100 | 1 | 'scale':100 | 02 | 200 | 200",
    "tie to even | 1 | 'scale':0.5,'decimals':0 | 05 | 2 "
    "| 2",
    "label hit | 1 | 'enum':{'2':'норма'},'unit':'u','scale':10 | 02 | норма | 2",
    "label miss | 1 | 'enum':{'2':'норма'} | 03 | 3 | 3",
    "label -1 | 1 | 'enum':{'-1':'нет','255':'x'} | FF | нет | -1",
    "hex | 2 | 'format':'hex' | 3412 | 0x1234 | 4660",
    "hex be | 2 | 'format':'hex','order':'be' | 3412 | 0x3412 | 13330",
    "hex zeros | 4 | 'format':'hex','order':'be' | 00000A0B | 0x00000A0B | 2571",
    "hex signed | 1 | 'format':'hex','signed':true | FB | -0x05 | -5",
    "hex unsigned | 1 | 'format':'hex' | FB | 0xFB | 251",
    "hex label | 1 | 'format':'hex','enum':{'251':'x'} | FB | x | 251",
    "hex 6 | 6 | 'format':'hex','order':'be' | aabbccddeeff | 0xAABBCCDDEEFF | 187723572702975",
    "f32 be | 4 | 'format':'float','order':'be' | 41BC0000 | 23.5 | 23.5",
    "f32 | 4 | 'format':'float' | 0000BC41 | 23.5 | 23.5",
    "f32 0.1 | 4 | 'format':'float','order':'be' | 3DCCCCCD | 0.1 | 0.1",
    "f64 | 8 | 'format':'float','order':'be' | 3FF8000000000000 | 1.5 | 1.5",
    "nan | 4 | 'format':'float','order':'be' | 7FC00000 | nan | null",
    "-inf | 4 | 'format':'float','order':'be','unit':'V' | FF800000 | -inf V | null",
    "-0 | 4 | 'format':'float','order':'be' | 80000000 | 0 | 0",
    "f32 ×2 V | 4 | 'format':'float','order':'be','scale':2,'unit':'V' | 41BC0000 | 47 V | 47",
    "f16 | 2 | 'format':'float' | 0000 |  | null",
    "ascii | 4 | 'format':'ascii' | 48690A00 | Hi\\x0A | null",
    "ascii 00 | 4 | 'format':'ascii','unit':'u' | 41004242 | A | null",
    "time | 4 | 'format':'time' | 00F15365 | 14.11.2023 - 22:13:20(UTC+0) | 1700000000",
    "time be | 4 | 'format':'time','order':'be' | 6553F100 | 14.11.2023 - 22:13:20(UTC+0) | "
    "1700000000",
    "time ms | 8 | 'format':'time','scale':0.001 | F469E5CF8B010000 | 14.11.2023 - "
    "22:13:20(UTC+0) | 1700000000.5",
    "time year 10000 | 8 | 'format':'time','order':'be' | 7FFFFFFFFFFFFFFF | 9223372036854775807 | "
    "9223372036854775807",
    "time -1 | 4 | 'format':'time' | FFFFFFFF | 31.12.1969 - 23:59:59(UTC+0) | -1",
    "year 1 | 8 | 'format':'time','signed':true,'order':'be' | FFFFFFF1886E0900 | 01.01.0001 - "
    "00:00:00(UTC+0) | -62135596800",
    "name, order | 4 | 'name':'Время','order':'be' | 6553F100 | 14.11.2023 - 22:13:20(UTC+0) | "
    "1700000000",
    "name, unit | 4 | 'name':'Время','unit':'s' | 00F15365 | 1700000000 s | 1700000000",
    "outside | 4 | 'scale':2 | 0011 |  | null",
    "non-hex | 2 | 'scale':0.5 | ZZ00 | 0.0 | 0.0",
    "size 0 | 0 | 'offset':5 |  | 5 | 5",
    "size 0 hex | 0 | 'format':'hex' |  |  | null",
    "6, unit | 6 | 'unit':'x' | aabbccddeeff | aabbccddeeff | null",
    "6 dec | 6 | 'format':'dec' | 010000000000 | 1 | 1",
    "tail hex | -1 | 'format':'hex' | 0a0b | 0x0A0B | null",
    "tail ascii | -1 | 'format':'ascii' | 4142 | AB | null",
    "tail dec | -1 | 'format':'dec' | 0a0b | 0a0b | null",
    "s72 | 9 | 'signed':true | FFFFFFFFFFFFFFFFFF | -1 | -1",
    "u136 be | 17 | 'order':'be' | 0100000000000000000000000000000000 | "
    "340282366920938463463374607431768211456 | 340282366920938463463374607431768211456",
    "s128 be | 16 | 'signed':true,'order':'be' | 80000000000000000000000000000000 | "
    "-170141183460469231731687303715884105728 | -170141183460469231731687303715884105728",
    "u128 ×0.5 | 16 | 'order':'be','scale':0.5 | 00000000000000000000000000000002 | 1.0 | 1.0",
    "bad keys | 2 | 'format':'Dec','order':'LE','signed':1,'decimals':18,'unit':'','scale':'2' | "
    "FEFF | -2 | -2",
    // bit groups of a 1-byte (or 2-byte, "be") field Status: bits lowest first, or their value
    "bits | 1 | 'bitmap':[{'num_bit':1,'size':2,'name':'Mode'}] | 05 | Mode=01 | 2",
    "bits dec | 1 | 'bitmap':[{'num_bit':1,'size':2,'name':'Mode','format':'dec'}] | 05 | Mode=2 | 2",
    "bits label | 1 | 'bitmap':[{'num_bit':0,'size':1,'name':'A','enum':{'1':'тревога'}}] | 05 | A=тревога | 1",
    "bits be | 2 | 'order':'be','bitmap':[{'num_bit':0,'size':8,'name':'A','format':'dec'}] | 0102 | A=2 | 2",
    "bits le | 2 | 'bitmap':[{'num_bit':0,'size':8,'name':'A','format':'dec'}] | 0102 | A=1 | 1"};

// file content ("-": none) | file name | messages ("missing": the missing type 1 message)
const Rows Failure_Rows = {
    "ERR marker | {'packet_data':[{'packet_type':1,'ERR':0,'total_size':1}]} | t.json | ",
    "malformed | {'packet_data':[ | t.json | missing",
    "%2 in path | [] | x%2%1.json | missing",
    "root array | [{'packet_type':1}] | t.json | missing",
    "packet_data object | {'packet_data':{'packet_type':1}} | t.json | missing",
    "%1 in name | - | a%1.json | I|Ошибка|Не удалось открыть файлDevice/a%1.json",
    "Device/ alone | - |  | I|Ошибка|Не удалось открыть файлDevice/"};
// clang-format on

} // namespace

class TestPacketDecoder : public QObject {
    Q_OBJECT

    QTemporaryDir Work_Dir;
    const Workspace Here; // Work_Dir, the current directory while the tests run
    QList<UserMessage> Messages;
    const MessageReporter Recorder = [this](const UserMessage& m) { Messages.append(m); };

    void Write(const QString& file_name, const QByteArray& json) {
        QFile file(Here.Template_Path(file_name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(json);
    }
    // Decoded as a conversion does, reading the file. A file loaded once, decoding into the list
    // the previous row left (of another shape), gives the same fields and messages and leaves a
    // copy of that earlier result alone.
    DecodedPacket Reused;
    DecodedPacket Decode(const QByteArray& json, const QString& packet) {
        Write(u"t.json"_qs, json);
        const QString path = Here.Template_Path(u"t.json"_qs);
        const DecodedPacket fresh = PacketDecoder(path, Recorder).Parse_Packet(packet);
        QList<UserMessage> again;
        const DecodedPacket earlier = Reused;
        const QString earlier_text = Flat(earlier);
        PacketDecoder(path, [&](const UserMessage& m) {
            again.append(m);
        }).Parse_Packet(DeviceTemplateFile::From_Json(json), packet, Reused);
        QTest::qVerify(Reused == fresh && again == Messages && Flat(earlier) == earlier_text,
                       "loaded once", "", __FILE__, __LINE__);
        return fresh;
    }

  private Q_SLOTS:
    void initTestCase() { QVERIFY(QDir::setCurrent(Work_Dir.path())); }
    void init() {
        QVERIFY(QDir(Here.Template_Folder()).removeRecursively() &&
                QDir().mkdir(Here.Template_Folder()));
        Messages.clear();
    }

    void worked_example_data() {
        Add_Rows(Worked_Example_Rows);
        for (const char* kind : {"00", "05", "ZZ", "-1", "+1", " 1"}) // characters 13 and 14
            QTest::newRow(kind) << QStringList{QString(Beacon).replace(13, 2, kind),
                                               u"BeaconA|Beacon="_qs};
    }
    void worked_example() {
        const QStringList c = Row(2);
        const QString expected = Expected(
            c[1] == u"telemetry"_qs
                ? u"Telemetry|Time=1700000000|Temperature=-5|Status=|bitAlarm=1|bitMode=01"_qs
                : c[1]);
        const DecodedPacket decoded = Decode(Sensor_Json, c[0]);
        QCOMPARE(Flat(decoded), expected);
        QCOMPARE(Sources(decoded), c[1] == u"telemetry"_qs     ? u"0+1|1+4|5+2|7+1|7.0+1|7.1+2"_qs
                                   : c[1].startsWith(u"ERROR") ? u"0+%1"_qs.arg(c[0].size() / 2)
                                                               : u"0+1|1+20"_qs);
        QCOMPARE(Messages.size(), 0);
    }

    void selection_data() { Add_Rows(Selection_Rows); }
    // Every template with a packet_type accepts 1 to 99 bytes here, so that only selection counts.
    void selection() {
        const QStringList c = Row(3);
        const bool missing = c[2].startsWith(u"missing ");
        QJsonArray templates = QJsonDocument::fromJson(Json(u'[' + c[0] + u']')).array();
        for (QJsonValueRef element : templates) {
            QJsonObject object = element.toObject();
            if (object.contains(u"packet_type"_qs)) {
                object.insert(u"total_size"_qs, 99);
                object.insert(u"min_size"_qs, 1);
                element = object;
            }
        }
        const QByteArray json = QJsonDocument(QJsonObject{{u"packet_data"_qs, templates}})
                                    .toJson(QJsonDocument::Compact);
        QCOMPARE(Flat(Decode(json, c[1])), missing ? QString() : Expected(c[2]));
        QCOMPARE(Flat(Messages),
                 missing ? Missing_Text.arg(c[2].mid(8), u"Device/t.json"_qs) : QString());
    }

    void numbers_data() { Add_Rows(Number_Rows); }
    void numbers() {
        const QStringList c = Row(4);
        const QString json = u"{'packet_type':-1,'total_size':99,'min_size':1,'data':[{'name':'F',"
                             u"'num_byte':%1,'size':%2}]}"_qs.arg(c[1], c[2]);
        QCOMPARE(Decode(Templates_Json(json), c[0]).last().Value, c[3]);
    }

    void fields_data() { Add_Rows(Field_Rows); }
    void fields() {
        const QStringList c = Row(5), size = c[0].split(u',');
        const QString json = u"{'packet_type':-1,'total_size':"_qs + size[0] +
                             (size.size() > 1 ? u",'min_size':"_qs + size[1] : QString()) +
                             (c[1].isEmpty() ? QString() : u",'data':["_qs + c[1] + u']') + u'}';
        const DecodedPacket decoded = Decode(Templates_Json(json), c[2]);
        QCOMPARE(Flat(decoded),
                 Expected(c[3].startsWith(u"ERROR") || c[3].isEmpty() ? c[3] : u'|' + c[3]));
        QCOMPARE(Sources(decoded), c[4]);
        QCOMPARE(Messages.size(), 0);
    }

    // A field with meaning keys (or its last bit field): the value text and the number.
    void meanings_data() { Add_Rows(Meaning_Rows); }
    void meanings() {
        const QStringList c = Row(5);
        const QString name = c[1].contains(u"'name'"_qs) ? QString() : u"'name':'F',"_qs;
        const QString json =
            u"{'packet_type':-1,'total_size':99,'min_size':2,'data':[{'num_byte':1,'size':"_qs +
            c[0] + u',' + name + c[1] + u"}]}"_qs;
        const DecodedPacket decoded = Decode(Templates_Json(json), u"01"_qs + c[2]);
        const DecodedField& field = decoded.last();
        const bool bits = c[1].contains(u"bitmap"_qs);
        QCOMPARE(bits ? field.Name.mid(3) + u'=' + field.Value : field.Value, c[3]);
        QByteArray pane; // which shows the value as it is
        ResultRenderer::Append_Result(pane, "D", decoded);
        QVERIFY(pane.contains(": --- " + field.Value.toUtf8() + '\n'));
        QByteArray number;
        {
            Utf8Writer out(number);
            if (!JsonRecord::Put_Number(out, field))
                out.Put_Literal("null");
        }
        QCOMPARE(QString::fromUtf8(number), c[4]);
        QCOMPARE(field.Is_Label, c[3].contains(u"нет"_qs) || c[3].contains(u"норма"_qs) ||
                                     c[3].contains(u"тревога"_qs) || c[3] == u"x"_qs);
        if (bits && c[1].contains(u"'be'"_qs))
            QCOMPARE(Source(field), u"2.0+8"_qs); // the least significant byte is the last
    }

    void failures_data() { Add_Rows(Failure_Rows); }
    void failures() {
        const QStringList c = Row(3);
        if (c[0] != u"-"_qs)
            Write(c[1], Json(c[0]));
        const QString path = Here.Template_Path(c[1]);
        QCOMPARE(Flat(PacketDecoder(path, Recorder).Parse_Packet(u"0100"_qs)), QString());
        QCOMPARE(Flat(Messages), c[2] == u"missing"_qs ? Missing_Text.arg(u"1"_qs, path) : c[2]);
    }
};

QTEST_GUILESS_MAIN(TestPacketDecoder)
#include "tst_PacketDecoder.moc"
