#include <QtCore>
#include <QtTest>

#include <tuple>

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
const QString Device = u"Датчик-1"_qs;
const QString Path = u"Device/rich.json"_qs;

// The exit status (-1 after a crash), standard output and standard error.
using Run_Result = std::tuple<int, QByteArray, QByteArray>;

Run_Result Run(const QStringList& arguments, const QByteArray& input = {}) {
    QProcess process;
    process.start(QStringLiteral(KIVO_DECODE_PATH), arguments);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

bool Write_File(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// QtTest rows given as one text each: the row's name, then its cells, separated by " | ".
void Add_Rows(std::initializer_list<const char*> rows) {
    QTest::addColumn<QStringList>("cells");
    for (const char* row : rows) {
        QStringList cells = QString::fromUtf8(row).split(u" | "_qs);
        QTest::newRow(cells.takeFirst().toUtf8().constData()) << cells;
    }
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> Dir;

  private Q_SLOTS:
    // Each test works in a fresh workspace with five devices: one with its template, one without
    // its file, and three whose "file" is a FIFO, /dev/zero, or a (sparse) file over 64 MiB.
    void init() {
        QLoggingCategory::setFilterRules(u"kivo.conversion.debug=false"_qs); // as kivo-decode
        Dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(Dir->path()) && QDir().mkpath(u"Device"_qs));
        QVERIFY(Write_File(Path, Rich_Template));
        QVERIFY(Write_File(u"Dev.conf"_qs, "[Dev]\nДатчик-1=rich.json\nGone=gone.json\n"
                                           "Fifo=fifo.json\nZero=zero.json\nBig=big.json\n"));
        QFile big(u"Device/big.json"_qs);
        QVERIFY(::mkfifo("Device/fifo.json", 0600) == 0 &&
                QFile::link(u"/dev/zero"_qs, u"Device/zero.json"_qs) &&
                big.open(QIODevice::WriteOnly) && big.resize((qint64(64) << 20) + 1));
    }

    // Pastes given as arguments and as lines of input (LF or CR LF, blank lines between) print
    // the window's text: a nameless field, a character of three UTF-8 bytes, a Cyrillic name, one
    // type byte decoded with two shapes in a row.
    void Prints_The_Window_Text() {
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
        const Run_Result printed{0, expected.toUtf8(), {}};
        QCOMPARE(Run(QStringList{"-d", Device, "--"} + pastes), printed);
        QCOMPARE(Run({"-d", Device}, (pastes.join(u"\r\n \t\n"_qs) + u'\n').toUtf8()), printed);
    }

    // clang-format off
    // arguments (split at ","; input 01) | exit status | standard error (status 2: the usage message)
    void Exit_Status_data() { Add_Rows({
        "decoded | -d,Датчик-1,01AABB,7F0102 | 0 | ",
        "empty paste | -d,Датчик-1,7F0102,  | 1 | Ошибка: Пустые входные данные\n",
        "no template file | -d,Gone,01,02 | 1 | Ошибка: Не удалось открыть файлDevice/gone.json\nОшибка: Не удалось распаристь пакет.\nОшибка: Не удалось открыть файлDevice/gone.json\nОшибка: Не удалось распаристь пакет.\n",
        "empty registry, input 01 | -C,Device | 1 | Ошибка: Не удалось открыть файлDevice/\nОшибка: Не удалось распаристь пакет.\n",
        "unknown option | --bogus,01 | 2 | Unknown option 'bogus'.",
        "FIFO as template | -d,Fifo | 1 | Ошибка: Не удалось открыть файлDevice/fifo.json\nОшибка: Не удалось распаристь пакет.\n",
        "/dev/zero as template | -d,Zero | 1 | Ошибка: Не удалось открыть файлDevice/zero.json\nОшибка: Не удалось распаристь пакет.\n",
        "template over 64 MiB | -d,Big | 1 | Ошибка: Файл Device/big.json больше 64 МБ, шаблоны такого размера не читаются\nОшибка: Не удалось распаристь пакет.\n",
        "--check of /dev/zero | --check,-d,Zero | 1 | ",
        "-t FIFO | -t,Device/fifo.json,01 | 2 | cannot read the template file Device/fifo.json",
        "unknown device | -d,датчик-1,01 | 2 | unknown device \"датчик-1\"; registered devices: Big, Fifo, Gone, Zero, Датчик-1",
        "unreadable -t | -t,absent.json,01 | 2 | cannot read the template file absent.json",
        "-t directory | --check,-t,Device | 2 | cannot read the template file Device",
        "no -C directory | -C,absent,01 | 2 | no such directory: absent"});
    }
    // clang-format on
    void Exit_Status() {
        QFETCH(QStringList, cells);
        const auto [status, out, err] = Run(cells[0].split(u','), "01\n");
        const QString usage = u"kivo-decode: %1\nTry 'kivo-decode --help'.\n"_qs.arg(cells[2]);
        QCOMPARE(status, cells[1].toInt());
        QCOMPARE(QString::fromUtf8(err), cells[1] == u"2" ? usage : cells[2]);
        QVERIFY(cells[1] != u"2" || out.isEmpty()); // a usage error decodes nothing
    }

    // A packet's text arrives while standard input is still open, though the output is a pipe.
    void Output_Follows_Input_Through_A_Pipe() {
        QProcess process;
        process.start(QStringLiteral(KIVO_DECODE_PATH), {"-d", Device});
        process.write("0100F15365\n");
        QByteArray out;
        QTRY_VERIFY((out += process.readAllStandardOutput()).endsWith("\n\n\n"));
        QVERIFY(out.startsWith("\t\t\t" + Device.toUtf8()));
        process.closeWriteChannel();
        QVERIFY(process.waitForFinished() && process.exitCode() == 0);
    }

    // One object per line; Cyrillic names and values, quotes and control characters come back.
    void Json_Round_Trips_Text() {
        const QStringList odd = {u"\"\\ \x01Ж\r"_qs, u"q\"q"_qs, u"q\\q"_qs};
        QByteArray out =
            std::get<1>(Run(QStringList{"--json", "-d", Device, "AQDxU2UAAAAAAAAA", " "} + odd));
        QJsonArray records =
            QJsonDocument::fromJson('[' + out.chopped(1).replace('\n', ',') + ']').array();
        QCOMPARE(records.size(), 5);
        // Escaped as JSON requires, each character on its own too.
        for (const char* input : {"\"\\\"\\\\ \\u0001Ж\\r\"", "\"q\\\"q\"", "\"q\\\\q\""})
            QVERIFY2(out.contains("{\"input\":" + QByteArray(input) + ','), input);
        while (records.size() > 2)
            records.removeLast();
        const QByteArray expected = R"json([
{"input":"AQDxU2UAAAAAAAAA","hex":"0100f1536500000000000000","base64":true,"device":"Датчик-1","ok":true,"fields":[{"name":"Тип пакета","value":"Время"},{"name":"Время","value":"1700000000","time":"14.11.2023 - 22:13:20(UTC+0)"},{"name":"UTC_offset","value":"0","time":"01.01.1970 - 00:00:00(UTC+0)"},{"name":"Unixtime %1","value":"0","time":"01.01.1970 - 00:00:00(UTC+0)"},{"name":"Флаги","value":""},{"name":"bitUTC","value":"000"},{"name":"bitРежим","value":"00000"}],"messages":[]},
{"input":" ","hex":"","base64":false,"device":"Датчик-1","ok":false,"fields":[],"messages":[{"title":"Ошибка","text":"Пустые входные данные"}]}])json";
        QCOMPARE(records, QJsonDocument::fromJson(expected).array());
    }

    // clang-format off
    // --check: the template (its "data" fields, or the whole document) | the findings ("/" between)
    void Check_Finds_Each_Kind_data() { Add_Rows({
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
        R"(empty element | {"packet_data": [7]} | template 0: empty or not an object: the packets it selects (type 0) are reported as having no template)"});
    }
    // clang-format on
    void Check_Finds_Each_Kind() {
        QFETCH(QStringList, cells);
        const QString fields =
            uR"({"packet_data":[{"packet_type":1,"total_size":4,"data":[%1]}]})"_qs;
        const QString document = cells[0].startsWith(u"{\"num") ? fields.arg(cells[0]) : cells[0];
        QVERIFY(Write_File(u"t.json"_qs, document.toUtf8()));
        const auto [status, out, err] = Run({"--check", "-t", "t.json"});
        QCOMPARE(status, cells[1].isEmpty() ? 0 : 1);
        QString findings = cells[1].isEmpty() ? QString() : u"t.json: "_qs + cells[1] + u'\n';
        QCOMPARE(QString::fromUtf8(out), findings.replace(u'/', u"\nt.json: "_qs));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
