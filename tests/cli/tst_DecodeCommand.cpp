#include "SafeFile.h"
#include "TestTable.h"
#include "TestWorkspace.h"

#include <QtCore>
#include <QtTest>

#include <optional>
#include <tuple>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

// Names that meet every rendering rule: time words, "bit" inside names, Cyrillic, "%1" in a name.
const QByteArray Rich_Template = R"({"packet_data": [
  {"packet_type": -1, "name": "Прочее %1", "total_size": 40, "min_size": 3, "data": [
    {"num_byte": 1, "size": 1, "name": "Orbit"}, {"num_byte": 1, "size": 1},
    {"num_byte": 2, "size": -1, "name": "Хвост"}]},
  {"packet_type": 1, "name": "Время", "total_size": 12, "data": [
    {"num_byte": 1, "size": 4, "name": "Время"}, {"num_byte": 5, "size": 4, "name": "UTC_offset"},
    {"num_byte": 9, "size": 2, "name": "Unixtime %1"}, {"num_byte": 11, "size": 1, "name": "Флаги",
     "bitmap": [{"num_bit": 0, "size": 3, "name": "UTC"}, {"num_bit": 3, "size": 5, "name": "Режим"}]}]},
  {"packet_type": [{"T": 2, "name": "Маяк"}], "total_size": 21, "data": [{"num_byte": 1, "size": 20, "name": "bitmask"}]}]})";
// Single quotes stand for double quotes.
const char* const Csv_Template =
    "{'packet_data': [{'packet_type': -1, 'name': 'Прочее, \\'x\\'', 'total_size': 9, "
    "'min_size': 2, 'data': [{'num_byte': 1, 'size': -1, 'name': 'Хвост,\\n\\'q\\''}, "
    "{'num_byte': 1, 'size': 1, 'name': 'A'}, {'num_byte': 1, 'size': 1, 'name': 'A'}]}, "
    "{'packet_type': 1, 'name': 'Т', 'total_size': 6, 'data': [{'num_byte': 1, 'size': 4, "
    "'name': 'Время'}, {'num_byte': 5, 'size': 1, 'name': 'Ф', 'bitmap': [{'num_bit': 0, "
    "'size': 2, 'name': 'b,c'}]}, {'num_byte': 5, 'size': 1, 'name': 'A'}]}]}";
const QString Device = u"Датчик-1"_qs;
const QString Path = Here.Template_Path(u"rich.json"_qs);

// The exit status (-1 after a crash), standard output and standard error.
using Run_Result = std::tuple<int, QByteArray, QByteArray>;

Run_Result Run(const QStringList& arguments, const QByteArray& input = {},
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(KIVO_DECODE_PATH), arguments);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

} // namespace

class TestDecodeCommand : public QObject {
    Q_OBJECT
    std::optional<TestWorkspace> Work_Dir;

  private Q_SLOTS:
    // Each test works in a fresh workspace with five devices: one with its template, one without
    // its file, and three whose "file" is a FIFO, /dev/zero, or a (sparse) file over 64 MiB.
    void init() {
        Work_Dir.emplace();
        QVERIFY(TestWorkspace::Write(Path, Rich_Template));
        QVERIFY(TestWorkspace::Write(Here.Registry_Path(),
                                     "[Dev]\nДатчик-1=rich.json\nGone=gone.json\n"
                                     "Fifo=fifo.json\nZero=zero.json\nBig=big.json\n"));
        QFile big(Here.Template_Path(u"big.json"_qs));
        QVERIFY(::mkfifo(QFile::encodeName(Here.Template_Path(u"fifo.json"_qs)), 0600) == 0 &&
                QFile::link(u"/dev/zero"_qs, Here.Template_Path(u"zero.json"_qs)) &&
                big.open(QIODevice::WriteOnly) && big.resize(SafeFile::Max_Read_Size + 1));
    }

    // Pastes given as arguments and as lines of input (LF or CR LF, blank lines between) print
    // the window's text: a nameless field, a character of three UTF-8 bytes, a Cyrillic name, one
    // type byte decoded with two shapes in a row.
    void prints_the_window_text() {
        const QStringList pastes = {u"7F0102\u08000"_qs, u"01AABB"_qs, u"AQDxU2UAAAAAAAAA"_qs};
        const QString head = u"\t\t\tДатчик-1\n"_qs, type = u"Тип пакета: --- "_qs;
        const QString expected =
            head + type + u"Прочее %1\n\tOr: --- 1\n: --- 1\nХвост: --- 02\u08000\n\n\n"_qs + head +
            u"ERROR: --- Не верный размер парадаваемого пакета. Ожидаемый: 12, фактический: 3\n\n\n"
            u"to HEX - 0100f1536500000000000000\n\n"_qs +
            head + type +
            u"Время\nВремя: --- 14.11.2023 - 22:13:20(UTC+0)\nUTC_offset: --- 01.01.1970 - "
            u"00:00:00(UTC+0)\nUnixtime %1: --- 01.01.1970 - 00:00:00(UTC+0)\nФлаги: --- \n"
            u"\tUTC: --- 000\n\tРежим: --- 00000\n\n\n"_qs;
        // The length error makes the exit status 1; the stray character is warned of.
        const QByteArray warning =
            u"warning: 1 character(s) that are not hex digits read as 0, the first \"\u0800\" at "
            u"column 7\n"_qs.toUtf8();
        QCOMPARE(Run(QStringList{"-d", Device, "--"} + pastes),
                 Run_Result(1, expected.toUtf8(), warning));
        QCOMPARE(Run({"-d", Device}, (pastes.join(u"\r\n \t\n#0\n"_qs) + u'\n').toUtf8()),
                 Run_Result(1, expected.toUtf8(), "-:1: " + warning));
    }

    // clang-format off
    // arguments (split at ","; input "7F01", a comment, "7F02") | exit status | standard error
    // (status 2: the usage message)
    void exit_status_data() { Add_Rows({
        "decoded | -d,Датчик-1,7F0102 | 0 | ",
        "input decoded | -d,Датчик-1,-i,- | 0 | ",
        "length error | -d,Датчик-1,01AABB,7F0102 | 1 | ",
        "empty paste | -d,Датчик-1,7F0102,  | 1 | Ошибка: Пустые входные данные\n",
        "no template file | -d,Gone,01,02 | 1 | Ошибка: Не удалось открыть файлDevice/gone.json\nОшибка: Не удалось распаристь пакет.\nОшибка: Не удалось открыть файлDevice/gone.json\nОшибка: Не удалось распаристь пакет.\n",
        "empty registry | -C,Device | 1 | -:1: Ошибка: Не удалось открыть файлDevice/\n-:1: Ошибка: Не удалось распаристь пакет.\n-:3: Ошибка: Не удалось открыть файлDevice/\n-:3: Ошибка: Не удалось распаристь пакет.\n",
        "--first-line | -C,Device,--first-line,41 | 1 | -:41: Ошибка: Не удалось открыть файлDevice/\n-:41: Ошибка: Не удалось распаристь пакет.\n-:43: Ошибка: Не удалось открыть файлDevice/\n-:43: Ошибка: Не удалось распаристь пакет.\n",
        "unknown option | --bogus,01 | 2 | Unknown option 'bogus'.",
        "FIFO as template | -d,Fifo,01 | 1 | Ошибка: Не удалось открыть файлDevice/fifo.json\nОшибка: Не удалось распаристь пакет.\n",
        "/dev/zero as template | -d,Zero,01 | 1 | Ошибка: Не удалось открыть файлDevice/zero.json\nОшибка: Не удалось распаристь пакет.\n",
        "template over 64 MiB | -d,Big,01 | 1 | Ошибка: Файл Device/big.json больше 64 МБ, шаблоны такого размера не читаются\nОшибка: Не удалось распаристь пакет.\n",
        "--check of /dev/zero | --check,-d,Zero | 1 | ",
        "-t FIFO | -t,Device/fifo.json,01 | 2 | cannot read the template file Device/fifo.json",
        "unknown device | -d,датчик-1,01 | 2 | unknown device \"датчик-1\"; registered devices: Big, Fifo, Gone, Zero, Датчик-1",
        "unreadable -t | -t,absent.json,01 | 2 | cannot read the template file absent.json",
        "-t directory | --check,-t,Device | 2 | cannot read the template file Device",
        "no -C directory | -C,absent,01 | 2 | no such directory: absent",
        "no -i file | -d,Gone,-i,-,-i,absent | 2 | cannot read the input file absent: No such file or directory",
        "-i directory | -d,Gone,-i,Device | 2 | cannot read the input file Device: Is a directory",
        "several devices, no -d | 01 | 2 | Dev.conf registers several devices; choose one with -d: Big, Fifo, Gone, Zero, Датчик-1",
        "-C and --user-workspace | -C,.,--user-workspace,01 | 2 | -C and --user-workspace exclude each other",
        "--json --csv | --json,--csv | 2 | --json and --csv exclude each other",
        "--check --csv | --check,--csv | 2 | --json and --csv only go with decoding",
        "--check -i | --check,-i,- | 2 | -i only goes with decoding",
        "--check --test | --check,--test,x | 2 | --check and --test exclude each other",
        "--test -d | --test,-d,Gone,x | 2 | --test takes each entry's device from the file",
        "--test alone | --test | 2 | --test needs a golden file",
        "--no-header --json | --json,--no-header | 2 | --no-header only goes with --csv",
        "--first-line --check | --check,--first-line,2 | 2 | --first-line only goes with decoding",
        "--first-line 0 | -d,Gone,--first-line,0 | 2 | --first-line takes a line number from 1 to 9007199254740992: 0",
        "--first-line 2^53+1 | -d,Gone,--first-line,9007199254740993 | 2 | --first-line takes a line number from 1 to 9007199254740992: 9007199254740993",
        "--first-line, packets | -d,Gone,--first-line,2,01 | 2 | --first-line numbers the lines of one input (-i FILE or standard input), not of packet arguments or of several inputs"});
    }
    // clang-format on
    void exit_status() {
        QFETCH(QStringList, cells);
        const auto [status, out, err] = Run(cells[0].split(u','), "7F01\n# 01AABB\n7F02\n");
        const QString usage = u"kivo-decode: %1\nTry 'kivo-decode --help'.\n"_qs.arg(cells[2]);
        QCOMPARE(status, cells[1].toInt());
        QCOMPARE(QString::fromUtf8(err), cells[1] == u"2" ? usage : cells[2]);
        QVERIFY(cells[1] != u"2" || out.isEmpty()); // a usage error decodes nothing
    }

    // The one registered device needs no -d, wherever the workspace is: -C, or the window's own
    // folder under the user's data location.
    void chooses_the_only_device() {
        const Workspace one(u"one"_qs);
        QVERIFY(QDir().mkpath(one.Template_Folder()) &&
                TestWorkspace::Write(one.Registry_Path(), "[Dev]\nДатчик-1=rich.json\n") &&
                TestWorkspace::Write(one.Template_Path(u"rich.json"_qs), Rich_Template));
        const Run_Result expected = Run({"-d", Device, "7F01"});
        QCOMPARE(std::get<0>(expected), 0);
        QCOMPARE(Run({"-C", "one", "7F01"}), expected);
        QVERIFY(QDir().mkpath(u"data/kivo-parser"_qs));
        QVERIFY(TestWorkspace::Copy(u"one"_qs, u"data/kivo-parser"_qs));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_DATA_HOME"_qs, QDir::current().absoluteFilePath(u"data"_qs));
        QCOMPARE(Run({"--user-workspace", "7F01"}, {}, environment), expected);
    }

    // Arguments first, then the inputs in order; messages and warnings name the file and line
    // (counting blank and comment lines) of their paste, "-" for standard input.
    void locates_messages() {
        QVERIFY(TestWorkspace::Write(u"a.txt"_qs, "# header\nFF\n\n7F0\r\n"));
        QVERIFY(TestWorkspace::Write(u"b b.txt"_qs, "AQ-D"));
        const auto [status, out, err] =
            Run({"-d", Device, "--json", "-i", "a.txt", "-i", "-", "-i", "b b.txt", "7F01"},
                "\n7F01:2\n");
        QCOMPARE(status, 0); // warnings do not fail a packet
        QCOMPARE(QString::fromUtf8(err),
                 u"a.txt:4: warning: odd number of hex digits (3): the last one is ignored\n"
                 "-:2: warning: 1 character(s) that are not hex digits read as 0, the first "
                 "\":\" at column 5\nb b.txt:1: warning: not valid base64: the paste gives no "
                 "bytes\n"_qs);
        QStringList sources;
        for (const QByteArray& line : out.trimmed().split('\n')) {
            const QJsonObject record = QJsonDocument::fromJson(line).object();
            sources << record[u"input"_qs].toString() + u'@' +
                           record[u"source"_qs][u"file"_qs].toString() + u':' +
                           QString::number(record[u"source"_qs][u"line"_qs].toInt());
        }
        QCOMPARE(sources, (QStringList{u"7F01@:0"_qs, u"FF@a.txt:2"_qs, u"7F0@a.txt:4"_qs,
                                       u"7F01:2@-:2"_qs, u"AQ-D@b b.txt:1"_qs}));
    }

    // A packet's text arrives while standard input is still open, though the output is a pipe.
    void output_follows_input_through_a_pipe() {
        QProcess process;
        process.start(QStringLiteral(KIVO_DECODE_PATH), {"-d", Device});
        process.write("7F0100F15365\n");
        QByteArray out;
        QTRY_VERIFY((out += process.readAllStandardOutput()).endsWith("\n\n\n"));
        QVERIFY(out.startsWith("\t\t\t" + Device.toUtf8()));
        process.closeWriteChannel();
        QVERIFY(process.waitForFinished() && process.exitCode() == 0);
    }

    // One object per line with every key: byte ranges, nested bits, times in two forms, a
    // length error, escapes; Cyrillic names and values, quotes and control characters come back.
    void json_records() {
        const QStringList odd = {u"\"\\ \x01Ж\r"_qs, u"q\"q"_qs, u"q\\q"_qs};
        QByteArray out = std::get<1>(
            Run(QStringList{"--json", "-d", Device, "AQDxU2UAAAAAAAAA", "0x010203", " "} + odd));
        QJsonArray records =
            QJsonDocument::fromJson('[' + out.chopped(1).replace('\n', ',') + ']').array();
        QCOMPARE(records.size(), 6);
        // Escaped as JSON requires, each character on its own too.
        for (const char* input : {"\"\\\"\\\\ \\u0001Ж\\r\"", "\"q\\\"q\"", "\"q\\\\q\""})
            QVERIFY2(out.contains(",\"input\":" + QByteArray(input) + ','), input);
        QCOMPARE(records.at(3)[u"warnings"_qs][0].toString(),
                 u"not valid base64: the paste gives no bytes"_qs);
        while (records.size() > 3)
            records.removeLast();
        const QByteArray expected = R"json([
{"source":null,"input":"AQDxU2UAAAAAAAAA","hex":"0100f1536500000000000000","base64":true,"form":"base64","device":"Датчик-1","ok":true,"type":{"code":1,"name":"Время"},"error":null,"fields":[
 {"name":"Тип пакета","value":"Время","number":1,"unit":null,"label":null,"offset":0,"size":1,"raw":"01"},
 {"name":"Время","value":"1700000000","number":1700000000,"unit":null,"label":null,"offset":1,"size":4,"raw":"00f15365","time":"14.11.2023 - 22:13:20(UTC+0)","utc":"2023-11-14T22:13:20Z"},
 {"name":"UTC_offset","value":"0","number":0,"unit":null,"label":null,"offset":5,"size":4,"raw":"00000000","time":"01.01.1970 - 00:00:00(UTC+0)","utc":"1970-01-01T00:00:00Z"},
 {"name":"Unixtime %1","value":"0","number":0,"unit":null,"label":null,"offset":9,"size":2,"raw":"0000","time":"01.01.1970 - 00:00:00(UTC+0)","utc":"1970-01-01T00:00:00Z"},
 {"name":"Флаги","value":"","number":null,"unit":null,"label":null,"offset":11,"size":1,"raw":"00","bits":[
  {"name":"UTC","value":"000","number":0,"unit":null,"label":null,"bit":0,"size":3},
  {"name":"Режим","value":"00000","number":0,"unit":null,"label":null,"bit":3,"size":5}]}],
 "messages":[],"warnings":[]},
{"source":null,"input":"0x010203","hex":"010203","base64":false,"form":"0x","device":"Датчик-1","ok":false,"type":{"code":1,"name":null},"error":"Не верный размер парадаваемого пакета. Ожидаемый: 12, фактический: 3","fields":[],"messages":[],"warnings":[]},
{"source":null,"input":" ","hex":"","base64":false,"form":"hex","device":"Датчик-1","ok":false,"type":null,"error":null,"fields":[],"messages":[{"title":"Ошибка","text":"Пустые входные данные"}],"warnings":[]}])json";
        QCOMPARE(records, QJsonDocument::fromJson(expected).array());
    }

    // clang-format off
    // paste | its warnings in the JSON record ("/" between)
    void warnings_data() { Add_Rows({
        "clean hex | 7F0102 | ", "clean base64 | fwEC | ",
        "odd | 7F010 | odd number of hex digits (5): the last one is ignored",
        "strays and odd | 7F:01\u00a0-23 | 3 character(s) that are not hex digits read as 0, the first \":\" at column 3/odd number of hex digits (9): the last one is ignored",
        "control character | 7F\r012 | 1 character(s) that are not hex digits read as 0, the first U+000d at column 3",
        "bad base64 | fw-EC | not valid base64: the paste gives no bytes"});
    }
    // clang-format on
    void warnings() {
        QFETCH(QStringList, cells);
        const QByteArray out = std::get<1>(Run({"--json", "-d", Device, cells[0]}));
        QStringList warnings;
        for (const QJsonValue& warning : QJsonDocument::fromJson(out)[u"warnings"_qs].toArray())
            warnings << warning.toString();
        QCOMPARE(warnings.join(u'/'), cells[1]);
    }

    // A header, then one row per packet with the template's field columns; every odd character
    // in names and values survives a strict RFC 4180 reading.
    void csv_table() {
        // Names and values with commas, quotes and line breaks; a name repeated in one type.
        QVERIFY(TestWorkspace::Write(u"t.json"_qs, QByteArray(Csv_Template).replace('\'', '"')));
        const auto [status, out, err] =
            Run({"--csv", "-t", "t.json", "-i", "-", "7F\"2,\r", "01:00:F1:53:65:07"}, "010203\n");
        QCOMPARE(status, 1);
        const QList<QStringList> expected = {
            {"file", "line", "input", "form", "device", "ok", "type", "error", "warnings",
             "Хвост,\n\"q\"", "A", "A#2", "Время", "Ф", "Ф.b,c"},
            {"", "", "7F\"2,\r", "hex", "t.json", "true", "Прочее, \"x\"", "",
             "3 character(s) that are not hex digits read as 0, the first \"\"\" at column 3",
             "\"2,\r", "0", "0", "", "", ""},
            {"", "", "01:00:F1:53:65:07", "bytes", "t.json", "true", "Т", "", "", "", "7", "",
             "2023-11-14T22:13:20Z", "", "3"},
            {"-", "1", "010203", "hex", "t.json", "false", "",
             "Не верный размер парадаваемого пакета. "
             "Ожидаемый: 6, фактический: 3",
             "", "", "", "", "", "", ""}};
        QCOMPARE(Read_Csv(out), expected);
        QVERIFY(out.endsWith("\r\n") && !out.contains("\r\n\r\n"));
    }

    // The sample sensor whose template says what its fields mean: JSON gives each number
    // without its unit, the unit and the label; CSV heads a field by its unit and holds plain
    // numbers, labels and ISO dates, as a data-frame reader types them.
    void meanings_in_records() {
        QVERIFY(QFile::copy(
            Workspace(KIVO_EXAMPLES_DIR "/workspace").Template_Path("thermo21.json"), "m.json"));
        const QStringList pastes{u"212EFB409C0500F15365"_qs, u"2118FC010000FFFFFFFF"_qs};
        const QByteArray json = std::get<1>(Run(QStringList{"--json", "-t", "m.json"} + pastes));
        QStringList seen;
        for (const QByteArray& line : json.trimmed().split('\n')) {
            for (const QJsonValue& field : QJsonDocument::fromJson(line)[u"fields"_qs].toArray()) {
                QVariantList items = field[u"bits"_qs].toArray().toVariantList();
                items.prepend(field.toVariant());
                for (const QVariant& item : items) {
                    const QVariantMap keys = item.toMap();
                    const auto text = [&](const QString& key) {
                        const QVariant value = keys.value(key);
                        return value.isNull() ? u"-"_qs : value.toString();
                    };
                    seen << u"%1=%2 %3 %4 %5"_qs.arg(text(u"value"_qs), text(u"number"_qs),
                                                     text(u"unit"_qs), text(u"label"_qs),
                                                     text(u"utc"_qs));
                }
            }
        }
        QCOMPARE(seen.join(u'|'),
                 u"Measurement=33 - - -|-12.34 °C=-12.34 °C - -|40000 mV=40000 mV - -|=- - - -|"
                 u"1=1 - - -|норма=2 - норма -|14.11.2023 - 22:13:20(UTC+0)=1700000000 - - "
                 u"2023-11-14T22:13:20Z|Measurement=33 - - -|-10.00 °C=-10 °C - -|1 mV=1 mV - -|"
                 u"=- - - -|0=0 - - -|выкл=0 - выкл -|31.12.1969 - 23:59:59(UTC+0)=-1 - - "
                 u"1969-12-31T23:59:59Z"_qs);
        const auto [status, csv, err] = Run(QStringList{"--csv", "-t", "m.json"} + pastes);
        const QList<QStringList> rows = Read_Csv(csv);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0].mid(9), (QStringList{"Temperature (°C)", "Battery (mV)", "Status",
                                              "Status.Alarm", "Status.Mode", "Time"}));
        QCOMPARE(rows[1].mid(9),
                 (QStringList{"-12.34", "40000", "", "1", "норма", "2023-11-14T22:13:20Z"}));
        QCOMPARE(rows[2].mid(9),
                 (QStringList{"-10.00", "1", "", "0", "выкл", "1969-12-31T23:59:59Z"}));
    }

    // Fields named like fixed columns, or like the header a repeated name gets, keep columns of
    // their own: every header is unique, every value in its own column.
    void csv_headers_are_unique() {
        QVERIFY(TestWorkspace::Write(
            u"t.json"_qs, R"({"packet_data": [{"packet_type": 1, "name": "T", "total_size": 7,
            "data": [{"num_byte": 1, "size": 1, "name": "file"}, {"num_byte": 2, "size": 1,
            "name": "X"}, {"num_byte": 3, "size": 1, "name": "X"}, {"num_byte": 4, "size": 1,
            "name": "X#2"}, {"num_byte": 5, "size": 1, "name": "type"}, {"num_byte": 6, "size": 1,
            "name": "ok"}]}]})"));
        const QList<QStringList> expected = {{"file", "line", "input", "form", "device", "ok",
                                              "type", "error", "warnings", "file#2", "X", "X#2",
                                              "X#2#2", "type#2", "ok#2"},
                                             {"", "", "01020304050607", "hex", "t.json", "true",
                                              "T", "", "", "2", "3", "4", "5", "6", "7"}};
        QCOMPARE(Read_Csv(std::get<1>(Run({"--csv", "-t", "t.json", "01020304050607"}))), expected);
    }

    // Inputs without end, or of the wrong kind, fail at once with a located message, in bounded
    // time (the run's timeout) and memory (the peak of every run so far, under 1 GiB): a Dev.conf
    // that is a FIFO, an input line that never ends, a golden file that never ends.
    // clang-format off
    // arguments | exit status | standard error | standard output
    void bounded_inputs_data() { Add_Rows({
        "FIFO Dev.conf | -d,Датчик-1,01 | 2 | Ошибка: Не удалось открыть файл./Dev.conf\nNot a regular file\nkivo-decode: unknown device \"Датчик-1\"; registered devices: none (./Dev.conf lists no devices)\nTry 'kivo-decode --help'.\n | ",
        "endless line | -d,Датчик-1,-i,/dev/zero | 1 | /dev/zero:1: line longer than 64 MiB: the rest of /dev/zero is not read\n | ",
        "endless golden file | --test,/dev/zero | 1 |  | /dev/zero: larger than 64 MiB\n0 passed, 1 failed\n"});
    }
    // clang-format on
    void bounded_inputs() {
        const QStringList c = Row(4);
        if (QTest::currentDataTag() == QByteArray("FIFO Dev.conf"))
            QVERIFY(QFile::remove(Here.Registry_Path()) &&
                    ::mkfifo(QFile::encodeName(Here.Registry_Path()), 0600) == 0);
        const auto [status, out, err] = Run(c[0].split(u','));
        QCOMPARE(status, c[1].toInt());
        QCOMPARE(QString::fromUtf8(err), QString(c[2]).replace(u"\\n"_qs, u"\n"_qs));
        QCOMPARE(QString::fromUtf8(out), QString(c[3]).replace(u"\\n"_qs, u"\n"_qs));
        rusage usage{};
        QVERIFY(::getrusage(RUSAGE_CHILDREN, &usage) == 0 && usage.ru_maxrss < (1 << 20));
    }

    // A save killed part-way is undone by the next run, which says so once on standard error.
    void recovers_a_killed_save() {
        const QByteArray registry = TestWorkspace::Read(Here.Registry_Path());
        QVERIFY(TestWorkspace::Save_Killed_At(4, u"Новый"_qs, u"rich.json"_qs, "{}"));
        QCOMPARE(std::get<2>(Run({"-d", Device, "7F01"})),
                 "kivo-decode: Сохранение было прервано: файлы Device/rich.json, Dev.conf "
                 "возвращены в прежнее состояние.\n");
        QCOMPARE(std::get<2>(Run({"-d", Device, "7F01"})), QByteArray()); // once
        QCOMPARE(TestWorkspace::Read(Here.Registry_Path()), registry);
        QCOMPARE(TestWorkspace::Read(Path), Rich_Template);
    }

    // --record appends entries that --test then passes, after what the file held; a paste the
    // format cannot hold is left out and fails the run; a file that cannot be written is
    // reported.
    void records_golden_entries() {
        QVERIFY(TestWorkspace::Write(u"g.txt"_qs, "# mine"));
        const QStringList record{"-d", Device, "--record", "g.txt"};
        QCOMPARE(Run(record + QStringList{"7F01", "AQDxU2UAAAAAAAAA", "01:02", "7F\r", "\u0800"}),
                 Run_Result(1, "recorded 4 entries in g.txt\n",
                            "kivo-decode: not recorded, a golden file cannot hold this paste or "
                            "its messages on single lines: 7F\r\n"));
        QCOMPARE(Run(record, "# a comment\n0x02\n"),
                 Run_Result(0, "recorded 1 entry in g.txt\n", {}));
        const QByteArray golden = TestWorkspace::Read(u"g.txt"_qs);
        QVERIFY(golden.startsWith("# mine\n== Датчик-1 | 7F01\n>\t\t\tДатчик-1\n"));
        QCOMPARE(golden.count("\n== "), 5);
        QCOMPARE(Run({"--test", "g.txt"}), Run_Result(0, "5 passed, 0 failed\n", {}));
        QCOMPARE(std::get<2>(Run({"-d", Device, "--record", "Device", "01"})),
                 "kivo-decode: cannot write Device: Is a directory\n");
        QCOMPARE(std::get<0>(Run({"-t", Path, "--record", "g.txt", "01"})), 2);
    }

    // Golden files: a passing one, a failing one with its diff, a malformed one.
    void golden_files() {
        QVERIFY(TestWorkspace::Write(u"pass.txt"_qs,
                                     "# samples\n\n== Датчик-1 | 7F01\nThe catch-all.\n"
                                     ">\t\t\tДатчик-1\n>Тип пакета: --- Прочее %1\n"
                                     ">\tOr: --- 1\n>: --- 1\n>Хвост: --- \n>\n>\n>\n"
                                     "== Gone | 01\n! Ошибка | Не удалось открыть "
                                     "файлDevice/gone.json\n! Ошибка | Не удалось "
                                     "распаристь пакет.\n>\n"));
        QVERIFY(TestWorkspace::Write(u"fail.txt"_qs,
                                     "== Датчик-1 | 7F02\n>\t\t\tДатчик-1\n"
                                     ">Тип пакета: --- Прочее %1\n>\tOr: --- 1\n>: --- 1\n"
                                     ">Хвост: --- \n>\n>\n>\n"));
        QVERIFY(TestWorkspace::Write(u"bad.txt"_qs,
                                     "== Датчик-1 7F01\n>\n== Датчик-1 | 7F01\n! box\n>\n"
                                     "== Датчик-1 | 7F01\nno pane\n== Нет | 01\n>\n"));
        QCOMPARE(Run({"--test", "pass.txt"}), Run_Result(0, "2 passed, 0 failed\n", {}));
        QCOMPARE(QString::fromUtf8(std::get<1>(Run({"--test", "fail.txt", "pass.txt"}))),
                 u"fail.txt:1: Датчик-1 | 7F02\n--- expected\n+++ actual\n@@ -1,8 +1,8 @@\n"
                 " >\t\t\tДатчик-1\n >Тип пакета: --- Прочее %1\n->\tOr: --- 1\n->: --- 1\n"
                 "+>\tOr: --- 2\n+>: --- 2\n >Хвост: --- \n >\n >\n >\n2 passed, 1 failed\n"_qs);
        QCOMPARE(Run({"--test", "bad.txt", "absent.txt"}),
                 Run_Result(1,
                            "bad.txt:1: expected \"== <device> | <packet>\"\n"
                            "bad.txt:4: expected \"! <title> | <text>\"\n"
                            "bad.txt:6: no \">\" line: the expected text is missing\n"
                            "bad.txt:8: unknown device \"Нет\"\n"
                            "absent.txt: cannot read the file\n0 passed, 5 failed\n",
                            {}));
    }

    // clang-format off
    // --check: the template (its "data" fields, or the whole document) | the findings ("/" between)
    void check_finds_each_kind_data() { Add_Rows({
        R"(clean | {"num_byte": 1, "size": 3, "name": "A"} | )",
        R"(invalid JSON | {"packet_data": [ | document: invalid JSON: unterminated array at offset 17)",
        R"(root array | [] | document: the root is not a JSON object)",
        R"(no packet_data | {} | document: no packet_data array)",
        R"(beyond total_size | {"num_byte": 2, "size": 4, "name": "Поле"} | template 0, field "Поле": bytes 2..5 reach beyond total_size 4)",
        R"(before the packet | {"num_byte": -1, "size": 1, "name": "A"} | template 0, field "A": starts at byte -1, before the packet)",
        R"(overlap | {"num_byte": 1, "size": 2, "name": "A"}, {"num_byte": 2, "size": 1, "name": "B"} | template 0, field "B": bytes 2..2 overlap field "A" (bytes 1..2))",
        R"(size -1, no min_size | {"num_byte": 1, "size": -1, "name": "T"} | template 0, field "T": size -1 in a template without min_size)",
        R"(bits outside the byte | {"num_byte": 1, "size": 1, "name": "S", "bitmap": [{"num_bit": 6, "size": 3, "name": "M"}, {"num_bit": 0, "size": 0, "name": "Z"}]} | template 0, field "S": bit field "M" covers bits 6..8, outside 0..7/template 0, field "S": bit field "Z" has size 0 and shows no bits)",
        R"(bit in a byte field | {"num_byte": 1, "size": 1, "name": "Orbit"} | template 0, field "Orbit": the name contains "bit": it prints as an indented bit field with "bit" removed)",
        R"(never selected | {"packet_data": [{"packet_type": 1, "total_size": 1}, {"packet_type": -1, "total_size": 1}, {"packet_type": [], "total_size": 1}]} | template 0: never selected: shadowed by template 1 (a later template that accepts the same types wins)/template 2: accepts no type byte 0..255: never selected)",
        R"(empty element | {"packet_data": [7]} | template 0: empty or not an object: the packets it selects (type 0) are reported as having no template)",
        R"(meaning clean | {"num_byte": 1, "size": 2, "name": "T", "scale": 0.01, "unit": "°C", "enum": {"-1": "нет"}, "order": "be", "signed": true, "decimals": 1, "offset": 1} | )",
        R"(meaning keys | {"num_byte": 1, "size": 2, "name": "A", "format": "Dec", "order": "LE", "decimals": 18, "unit": "", "enum": {"x": "y", "1": 2}} | template 0, field "A": "format" must be "dec", "hex", "float", "ascii" or "time": read as absent/template 0, field "A": "order" must be "le" or "be": read as "le"/template 0, field "A": "decimals" must be a whole number 0-17: read as absent/template 0, field "A": "unit" must be a text that is not empty: read as absent/template 0, field "A": "enum" label of 1 is not a text: ignored/template 0, field "A": "enum" key "x" is not a decimal integer: never matches)",
        R"(keys without effect | {"num_byte": 1, "size": 2, "name": "A", "format": "hex", "unit": "V", "scale": 2} | template 0, field "A": "scale", "unit" take(s) no part: the value is hex)",
        R"(float of 2 bytes | {"num_byte": 1, "size": 2, "name": "A", "format": "float"} | template 0, field "A": format "float" reads 4 or 8 bytes, not 2: the value is empty)",
        R"(time of 0 bytes | {"num_byte": 1, "size": 0, "name": "A", "format": "time"} | template 0, field "A": format "time" on size 0: the value is empty)",
        R"(format and bitmap | {"num_byte": 1, "size": 1, "name": "S", "format": "dec", "bitmap": [{"num_bit": 0, "size": 1, "name": "A", "format": "Dec", "unit": "x"}]} | template 0, field "S": "format" take(s) no part: the field has a bitmap, whose bits make its value/template 0, field "S": bit field "A": "format" of a bit field must be "bits" or "dec": read as "bits"/template 0, field "S": bit field "A": "unit" does not apply to a bit field: ignored)",
        R"(number as text | {"num_byte": 1, "size": "2", "name": "A"} | template 0, field "A": "size": "2"%0)",
        R"(fraction, out of range | {"num_byte": 1.5, "size": 2147483648, "name": "A"} | template 0, field "A": "num_byte": 1.5%0/template 0, field "A": "size": 2147483648%0)",
        R"(hex text, 1e308 | {"packet_data": [{"packet_type": "0x15", "total_size": 1e308}]} | template 0: "total_size": 1e+308%0/template 0: "packet_type": "0x15"%0/template 0: total_size 0: no packet fits, the template never decodes)",
        R"(type entry, bit field | {"packet_data": [{"packet_type": [{"T": "2", "name": "A"}], "total_size": 2, "data": [{"num_byte": 1, "size": 1, "name": "S", "bitmap": [{"num_bit": true, "size": 1, "name": "M"}]}]}]} | template 0: type entry 0: "T": "2"%0/template 0, field "S": bit field "M": "num_bit": true%0)",
        R"(total_size 0 | {"packet_data": [{"packet_type": 1, "total_size": 0}]} | template 0: total_size 0: no packet fits, the template never decodes)",
        R"(total_size below 0 | {"packet_data": [{"packet_type": 1, "total_size": -2, "data": [{"num_byte": 1, "size": 1, "name": "A"}]}]} | template 0: total_size -2: no packet fits, the template never decodes/template 0, field "A": bytes 1..1 reach beyond total_size -2)",
        R"(type byte, a warning | {"num_byte": 0, "size": 2, "name": "A"} | template 0, field "A": warning: bytes 0..1 include byte 0, the type byte)",
        R"(tail over the type byte | {"packet_data": [{"packet_type": 1, "min_size": 1, "total_size": 4, "data": [{"num_byte": 0, "size": -1, "name": "T"}]}]} | template 0, field "T": warning: bytes 0..3 include byte 0, the type byte)",
        R"(tail beyond total_size | {"packet_data": [{"packet_type": 1, "min_size": 9, "total_size": 4, "data": [{"num_byte": 0, "size": -1, "name": "T"}]}]} | template 0, field "T": the variable tail starts at byte 8 (min_size 9), beyond total_size 4)"});
    }
    // clang-format on
    void check_finds_each_kind() {
        QFETCH(QStringList, cells);
        const QString fields =
            uR"({"packet_data":[{"packet_type":1,"total_size":4,"data":[%1]}]})"_qs;
        const QString document = cells[0].startsWith(u"{\"num") ? fields.arg(cells[0]) : cells[0];
        QVERIFY(TestWorkspace::Write(u"t.json"_qs, document.toUtf8()));
        const auto [status, out, err] = Run({"--check", "-t", "t.json"});
        // Warnings alone pass.
        const QStringList lines = cells[1].split(u'/', Qt::SkipEmptyParts);
        QCOMPARE(status, lines.filter(u": warning: "_qs).size() < lines.size() ? 1 : 0);
        QString findings = cells[1].isEmpty() ? QString() : u"t.json: "_qs + cells[1] + u'\n';
        findings.replace(u'/', u"\nt.json: "_qs)
            .replace(u"%0"_qs,
                     u" reads as 0 (not a whole number within -2147483648..2147483647)"_qs);
        QCOMPARE(QString::fromUtf8(out), findings);
    }
};

QTEST_GUILESS_MAIN(TestDecodeCommand)
#include "tst_DecodeCommand.moc"
