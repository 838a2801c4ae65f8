// Template files between writer and reader. Random templates built in the real constructor, some
// fields with meanings set in its properties dialog, and saved decode exactly as the tree
// describes (a fixed run; KIVO_SEED=<n> runs another, KIVO_ROUND_TRIP_CASES=<n> sets the number
// of templates). Every outcome of a save, faults
// included (full disk, broken Dev.conf, no Device/, a device name Dev.conf cannot hold), and a
// template the decoder cannot use (not a regular file, too large, not a template), end in a clear
// message and lose nothing.

#include "BuilderDriver.h"
#include "DecoderMessages.h"
#include "ModalBoxes.h"
#include "PacketBuilder.h"
#include "PacketDecoder.h"
#include "SafeFile.h"
#include "TestTable.h"
#include "TestWorkspace.h"

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include <csignal>
#include <optional>
#include <random>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray Telemetry = R"({"packet_data": [{"packet_type": 1, "name": "Telemetry",
    "total_size": 3, "data": [{"num_byte": 1, "size": 2, "name": "Value"}]}]})";

// A packet decoded as a conversion does, reading the template file again: messages, then fields.
QString Decode(const QString& file_name, const QString& packet = u"013412"_s) {
    QString text;
    const auto report = [&](const UserMessage& message) { text += message.Text + u'\n'; };
    for (const DecodedField& field :
         PacketDecoder(Here.Template_Path(file_name), report).Parse_Packet(packet))
        text += field.Name + u" = "_s + field.Value + u'\n';
    return text;
}

QStringList Entries(const QString& directory) {
    return QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot |
                                     QDir::System);
}

struct Field {
    int Byte, Size; // Size -1: the variable tail
    QString Name;
    QList<std::pair<int, int>> Bits; // first bit and size of bit field <i>, named Name + "b<i>"
};
// One packet-type row: a single type ("-1" accepts all), or several types with a name each.
struct TypeRow {
    QStringList Types, Names;
    int Total = 0, Min = 0, Fixed_End = 1; // Min 0: no minimum size
    QList<Field> Fields;
};

std::mt19937 Random;
int Between(int low, int high) {
    return std::uniform_int_distribution(low, high)(Random);
}

// A meaning set through "Свойства поля": any format, order, sign, scale, unit and label. Where
// the field's bytes are read from does not change with it.
void Set_Random_Meaning(BuilderDriver& builder, QTreeWidgetItem* row) {
    const int format = Between(0, 5), order = Between(0, 1), sign = Between(0, 2);
    const QString scale = QStringList{"", "0.5", "2"}[Between(0, 2)];
    const QString unit = QStringList{"", "°C"}[Between(0, 1)];
    const bool label = Between(0, 1) == 1;
    builder.Set_Properties(row, [&](QDialog* dialog) {
        const auto combos = dialog->findChildren<QComboBox*>(Qt::FindDirectChildrenOnly);
        combos[0]->setCurrentIndex(format);
        combos[1]->setCurrentIndex(order);
        combos[2]->setCurrentIndex(sign);
        const auto edits = dialog->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly);
        edits[0]->setText(scale);
        edits[2]->setText(unit);
        if (label) {
            auto* labels = dialog->findChild<QTableWidget*>();
            labels->insertRow(0);
            labels->setItem(0, 0, new QTableWidgetItem(u"1"_s));
            labels->setItem(0, 1, new QTableWidgetItem(u"один"_s));
        }
    });
}

// Typed in as generated (a mistyped row shows in the decodings); the size cell last, as every byte
// field rewrites it.
TypeRow Add_Random_Row(BuilderDriver& builder, bool catch_all) {
    const auto add = [&](BuilderDriver::Kind kind, int first, int size, const QString& name) {
        return builder.Add(kind, {QString::number(first), QString::number(size), name});
    };
    TypeRow row;
    for (int i = 0, n = catch_all ? 1 : (Between(1, 4) == 1 ? Between(2, 3) : 1); i < n; ++i)
        row.Types << QString::number(catch_all ? -1 : Between(0, 255)),
            row.Names << u"Тип %1 "_s + QString::number(i);
    QTreeWidgetItem* item =
        builder.Add(BuilderDriver::Type, {row.Types.join(u','), {}, row.Names.join(u',')});
    for (int i = 0, n = Between(0, 5); i < n; ++i) {
        const int size = QList<int>{1, 2, 3, 4, 6, 8, 20}[Between(0, 6)];
        Field field{row.Fixed_End, size, u"Поле %1 "_s + QString::number(i), {}};
        QTreeWidgetItem* byte_row = add(BuilderDriver::Byte, field.Byte, field.Size, field.Name);
        for (int b = 0, bits = field.Size <= 4 ? Between(-3, 3) : 0; b < bits; ++b) {
            const int first = Between(0, 7), size = Between(1, 8 - first);
            field.Bits.append({first, size});
            add(BuilderDriver::Bit, first, size, field.Name + u"b"_s + QString::number(b));
        }
        if (field.Bits.isEmpty() && Between(1, 3) == 1) // a big-endian bit map reads its last byte
            Set_Random_Meaning(builder, byte_row);
        row.Fixed_End += field.Size;
        row.Fields.append(field);
    }
    row.Total = row.Fixed_End;
    if (Between(1, 3) == 1) {
        row.Min = row.Fixed_End + 1;
        row.Total += Between(0, 8);
        row.Fields.append({row.Fixed_End, -1, u"Хвост"_s, {}});
        add(BuilderDriver::Byte, row.Fixed_End, -1, u"Хвост"_s);
    }
    if (item)
        item->setText(1, row.Min > 0 ? u"%1-%2"_s.arg(row.Min).arg(row.Total)
                                     : QString::number(row.Total));
    return row;
}

// Where the row promises each field to be read from, as Layout writes it: the length error covers
// the whole packet; a tail runs from min_size - 1 to the end, and lies outside when empty.
QString Expected(const TypeRow& row, int type, int length) {
    if (length != row.Total && !(row.Min > 0 && length <= row.Total))
        return u"ERROR 0+%1"_s.arg(length);
    QString text =
        row.Names.value(row.Types.indexOf(QString::number(type)), row.Names[0]) + u" 0+1"_s;
    for (const Field& field : row.Fields) {
        const int tail = length - (row.Min - 1);
        text += u'|' + field.Name +
                (field.Size != -1 ? u" %1+%2"_s.arg(field.Byte).arg(field.Size)
                 : tail > 0       ? u" %1+%2"_s.arg(row.Min - 1).arg(tail)
                                  : u" -"_s);
        for (int b = 0; b < field.Bits.size(); ++b)
            text +=
                u"|bit"_s + field.Name + u'b' + QString::number(b) +
                u" %1.%2+%3"_s.arg(field.Byte).arg(field.Bits[b].first).arg(field.Bits[b].second);
    }
    return text;
}

// Each field decoded from a packet: its name (the type's: its value) and where it was read from.
QString Layout(const QString& file_name, const QString& packet) {
    QStringList parts;
    for (const DecodedField& f : PacketDecoder(Here.Template_Path(file_name)).Parse_Packet(packet))
        parts << (f.Name == u"Тип пакета" ? f.Value : f.Name) + u' ' + Source(f);
    return parts.join(u'|');
}

} // namespace

class TestTemplateFiles : public QObject {
    Q_OBJECT
    std::optional<TestWorkspace> Work_Dir;

  private Q_SLOTS:
    void init() { Work_Dir.emplace(); }
    void saved_templates_decode_as_built();
    void saving_data();
    void saving();
    void racing_a_question_data();
    void racing_a_question();
    void read_faults_data();
    void read_faults();
};

void TestTemplateFiles::saved_templates_decode_as_built() {
    const quint32 seed = qEnvironmentVariable("KIVO_SEED", u"20240501"_s).toUInt();
    qInfo("round trip seed %u (another run: KIVO_SEED=<n>)", seed);
    Random.seed(seed);
    const int cases = qEnvironmentVariableIntValue("KIVO_ROUND_TRIP_CASES");
    const QStringList saved{u"I|Готово|JSON файл сохранен!"_s};
    for (int index = 0; index < (cases > 0 ? cases : 200); ++index) {
        const QString file = u"t%1"_s.arg(index);
        PacketBuilder built_window;
        BuilderDriver built(&built_window);
        QList<TypeRow> rows; // none at times: an empty template
        for (int i = 0, n = Between(0, 4); i < n; ++i)
            rows.append(Add_Random_Row(built, i == 0 && Between(1, 5) == 1));
        QCOMPARE(built.Save(file, file), saved);
        // Opened again: the same rows, nothing to warn about, and saved at once (unasked), the
        // same file.
        const QByteArray written = TestWorkspace::Read(Here.Template_Path(file + u".json"_s));
        PacketBuilder opened_window;
        BuilderDriver opened(&opened_window);
        {
            const ModalBoxes boxes;
            QVERIFY(opened_window.Open_Device_Template(file, file + u".json"_s));
            QCOMPARE(boxes.Shown, QStringList());
        }
        QCOMPARE(opened.Tree_Text(), built.Tree_Text());
        QCOMPARE(opened.Save(file, file), saved);
        QCOMPARE(TestWorkspace::Read(Here.Template_Path(file + u".json"_s)), written);

        for (int sent = 0; sent < (rows.isEmpty() ? 0 : 5); ++sent) {
            const QStringList& types = rows[Between(0, int(rows.size()) - 1)].Types;
            const int picked = types[Between(0, int(types.size()) - 1)].toInt();
            const int type = picked == -1 ? Between(0, 255) : picked;
            const TypeRow* chosen = nullptr; // the last row that accepts the type decodes it
            for (const TypeRow& row : rows) {
                if (row.Types.contains(QString::number(type)) || row.Types == QStringList{u"-1"_s})
                    chosen = &row;
            }
            int length =
                chosen->Min > 0 ? Between(chosen->Fixed_End, chosen->Total) : chosen->Total;
            length = Between(1, 10) == 1 ? chosen->Total + 1 : length; // a length error
            QString packet = u"%1"_s.arg(type, 2, 16, QChar(u'0'));
            while (packet.size() < 2 * length)
                packet += u"%1"_s.arg(Between(0, 255), 2, 16, QChar(u'0'));
            QCOMPARE(packet + u' ' + Layout(file + u".json"_s, packet),
                     packet + u' ' + Expected(*chosen, type, length));
        }
    }
}

// A save registers the device whatever state Dev.conf is in, keeping the devices it holds, or
// fails as a whole with a box that says why: Dev.conf and the template file stay byte for byte as
// they were, and nothing is left behind in Device/. A template file the window did not write is
// replaced only after "Да" (rows "declined": the question's default button). A lowered limit on
// the size of the files this process writes makes writes fail as on a full disk, for root too.
void TestTemplateFiles::saving_data() {
    QTest::addColumn<QByteArray>("registry"); // Dev.conf before the save; null: none
    QTest::addColumn<QByteArray>("old");      // the template file before the save; null: none
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("file_name");
    QTest::addColumn<qint64>("file_limit"); // bytes; 0: no limit
    QTest::addColumn<QStringList>("shown");
    const QByteArray registry = "[Dev]\nOld=old.json\n", none;
    const QString saved = u"I|Готово|JSON файл сохранен!"_s;
    const QString replace = u"Q|Подтверждение|Файл Device/new.json уже существует"_s;
    const auto failed = [](const QString& text) { return u"I|Ошибка|"_s + text; };
    const QString too_large = failed(u"Не удалось записать файл Device/new.json\nFile too large"_s);
    const QString no_conf_dir =
        failed(u"Не удалось открыть файлDev.conf\nNo such file or directory"_s);
    const QString no_name = u"C|Ошибка|Незавние устройтсва или файла пустое."_s;
    const auto row = [](const char* name, const QByteArray& registry, const QByteArray& old,
                        const QString& device, qint64 limit, const QStringList& shown,
                        const QString& file_name = u"new"_s) {
        QTest::newRow(name) << registry << old << device << file_name << limit << shown;
    };
    row("Dev.conf missing", none, none, u"New"_s, 0, {saved});
    // Scratch files go beside the files they replace, never into the temporary folder.
    row("no temporary folder", registry, "old", u"New"_s, 0,
        {replace + u". Заменить его?"_s, saved});
    row("Dev.conf junk", "\x01 junk\n[Dev]\nOld=old.json\nbroken\n", none, u"New"_s, 0, {saved});
    row("Cyrillic names", registry, none, u"Датчик №1"_s, 0, {saved}, u"датчик"_s);
    row("blank names", registry, none, u" "_s, 0, {saved}, u" "_s);
    row("replaced", registry, "old", u"New"_s, 0, {replace + u". Заменить его?"_s, saved});
    row("declined", "[Dev]\nOld=new.json\nElse=new.json\nNew=new.json\n", "old", u"New"_s, 0,
        {replace + u" и используется устройствами «Else», «Old». Заменить его?"_s});
    const QByteArray two = "[Dev]\nOld=old.json\nNew=old.json\n";
    const QString repoint =
        u"Q|Подтверждение|Устройство «New» уже зарегистрировано с файлом old.json. Заменить?"_s;
    row("re-pointed", two, none, u"New"_s, 0, {repoint, saved});
    row("declined re-point", two, none, u"New"_s, 0, {repoint});
    row("no file name", registry, none, u"New"_s, 0, {no_name}, QString());
    row("no device name", registry, none, QString(), 0, {no_name});
    row("Device/ missing", registry, none, u"New"_s, 0,
        {failed(u"Не удалось открыть файлDevice/new.json\nNo such file or directory"_s)});
    row("a directory in the template's place", registry, none, u"New"_s, 0,
        {failed(u"Не удалось открыть файлDevice/new.json\nNot a regular file"_s)});
    // The template (some 1,040 bytes) is the largest file written; the save's journal and the
    // lock file are some 350 and 100 bytes.
    row("full disk: journal", registry, none, u"New"_s, 250,
        {failed(u"Не удалось записать файл Dev.conf.journal\nFile too large"_s)});
    row("full disk: new template", registry, none, u"New"_s, 600, {too_large});
    row("full disk: another device's template", "[Dev]\nOld=new.json\n", "old", u"New"_s, 600,
        {replace + u" и используется устройством «Old». Заменить его?"_s, too_large});
    // Room for the template and the old Dev.conf, not for the new one.
    row("full disk: Dev.conf", "[Dev]\nOld=" + QByteArray(1500, 'o') + "\n", none, u"New"_s, 1518,
        {failed(u"Не удалось записать файл Dev.conf\nFile too large"_s)});
    // Dev.conf is a link into a missing folder: it fails only once the template is written.
    row("Dev.conf fails after a new template", none, none, u"New"_s, 0, {no_conf_dir});
    row("Dev.conf fails after a replaced template", none, "old", u"New"_s, 0,
        {replace + u". Заменить его?"_s, no_conf_dir});
    for (const char* name : {"/", "a//b", "/a", "a/"})
        row(name, registry, none, QString::fromUtf8(name), 0,
            {failed(u"Название устройства «%1» нельзя записать в Dev.conf как есть: косые черты в "
                    "начале и в конце названия и две косые черты подряд там теряются."_s.arg(
                        QString::fromUtf8(name)))});
    // Too long a name for the folder: it fails as the written file is given its name.
    const QString long_name(300, u'n');
    row("long file name", registry, none, u"New"_s, 0,
        {failed(u"Не удалось записать файл Device/%1.json\nFile name too long"_s.arg(long_name))},
        long_name);
}

void TestTemplateFiles::saving() {
    const QByteArray tag = QTest::currentDataTag();
    QFETCH(QByteArray, registry);
    QFETCH(QByteArray, old);
    QFETCH(QString, device);
    QFETCH(QString, file_name);
    QFETCH(qint64, file_limit);
    QFETCH(QStringList, shown);
    const QString path = Here.Template_Path(file_name + u".json"_s), conf = Here.Registry_Path();
    const QString folder = Here.Template_Folder();
    QVERIFY(registry.isNull() || TestWorkspace::Write(conf, registry));
    QVERIFY(old.isNull() || TestWorkspace::Write(path, old));
    QVERIFY(!tag.startsWith("Dev.conf fails") ||
            QFile::link(Workspace(u"missing"_s).Registry_Path(), conf));
    QVERIFY(tag != "Device/ missing" || QDir().rmdir(folder));
    QVERIFY(tag != "a directory in the template's place" || QDir().mkdir(path));
    const QStringList files = Entries(folder), root = Entries(u"."_s);
    PacketBuilder window;
    BuilderDriver builder(&window);
    const QString type_name(900, u'T');
    QVERIFY(builder.Add(BuilderDriver::Type, {u"1"_s, u"3"_s, type_name}));

    rlimit unlimited{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &unlimited) == 0);
    rlimit limited = unlimited;
    limited.rlim_cur = rlim_t(file_limit);
    ::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails with EFBIG instead
    QVERIFY(file_limit == 0 || ::setrlimit(RLIMIT_FSIZE, &limited) == 0);
    const QByteArray temp = qgetenv("TMPDIR");
    if (tag == "no temporary folder")
        qputenv("TMPDIR", "/nonexistent");
    const QStringList actual =
        builder.Save(device, file_name, tag.startsWith("declined") ? "" : "Да");
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &unlimited) == 0);
    if (temp.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", temp);
    QCOMPARE(actual, shown);

    if (shown.last() != u"I|Готово|JSON файл сохранен!") {
        const auto before = [](const QByteArray& bytes) {
            return bytes.isNull() ? QByteArray("(missing)") : bytes;
        };
        QCOMPARE(TestWorkspace::Read(conf), before(registry));
        QCOMPARE(TestWorkspace::Read(path), before(old));
        QCOMPARE(Entries(folder), files);
        QCOMPARE(Entries(u"."_s), root); // no lock, journal or scratch file left
        return;
    }
    QStringList registered{device + u'=' + file_name + u".json"_s};
    if (!registry.isNull())
        registered << u"Old=old.json"_s;
    registered.sort();
    QCOMPARE(TestWorkspace::Registry(), registered.join(u'|'));
    QCOMPARE(Decode(file_name + u".json"_s, u"011234"_s), u"Тип пакета = "_s + type_name + u'\n');
    const QString written = file_name + u".json"_s;
    QCOMPARE(Entries(folder), files.contains(written) ? files : files + QStringList{written});
    // The window wrote the file: it saves over it again without asking, until another device
    // uses it.
    QCOMPARE(builder.Save(device, file_name), QStringList{shown.last()});
    TestWorkspace::Register(u"Другое"_s, written);
    QCOMPARE(builder.Save(device, file_name),
             QStringList{u"Q|Подтверждение|Файл %1 уже существует и используется устройством "
                         "«Другое». Заменить его?"_s.arg(path)});
}

// While a save's question is open, another window saves a device, or a line is added to Dev.conf
// by hand; the save answered "Да" afterwards keeps that registration, the line byte for byte.
void TestTemplateFiles::racing_a_question_data() {
    QTest::addColumn<QByteArray>("meanwhile"); // the line added by hand; null: another save
    QTest::addColumn<QByteArray>("registry");  // Dev.conf afterwards
    QTest::newRow("another save") << QByteArray() << QByteArray("B=b.json\n");
    QTest::newRow("a line added") << QByteArray("Датчик = raw.json ; by hand\n")
                                  << QByteArray("Датчик = raw.json ; by hand\n");
}

void TestTemplateFiles::racing_a_question() {
    QFETCH(QByteArray, meanwhile);
    QFETCH(QByteArray, registry);
    QVERIFY(TestWorkspace::Write(Here.Registry_Path(), "[Dev]\nOther=shared.json\n"));
    QVERIFY(TestWorkspace::Write(Here.Template_Path(u"shared.json"_s), "old"));
    PacketBuilder window_a, window_b;
    BuilderDriver a(&window_a), b(&window_b);
    a.Set_Names(u"A"_s, u"shared"_s);
    b.Set_Names(u"B"_s, u"b"_s);
    ModalBoxes boxes(u"Да"_s);
    boxes.While_Asking = [&] {
        QFile file(Here.Registry_Path());
        if (meanwhile.isNull())
            QMetaObject::invokeMethod(&window_b, "Save_Packet_Parser");
        else
            QVERIFY(file.open(QIODevice::Append) && file.write(meanwhile) == meanwhile.size());
    };
    a.Press(u"Сохранить"_s);
    const QString done = u"I|Готово|JSON файл сохранен!"_s;
    QCOMPARE(boxes.Shown,
             QStringList({u"Q|Подтверждение|Файл Device/shared.json уже существует и "
                          "используется устройством «Other». Заменить его?"_s})
                 << (meanwhile.isNull() ? QStringList{done, done} : QStringList{done}));
    QCOMPARE(TestWorkspace::Read(Here.Registry_Path()),
             "[Dev]\nOther=shared.json\n" + registry + "A=shared.json\n");
}

void TestTemplateFiles::read_faults_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("decoded"); // the messages and fields
    const QString none = DecoderMessages::Missing_Template(1, u"Device/t.json"_s).Text + u'\n';
    // Only regular files are read, and only up to 64 MiB: the others fail at once, none waits.
    const QString cannot_open = u"Не удалось открыть файлDevice/t.json\n"_s;
    for (const char* special : {"directory", "FIFO", "/dev/zero"})
        QTest::newRow(special) << QByteArray() << cannot_open;
    QTest::newRow("64 MiB and a byte")
        << QByteArray()
        << u"Файл Device/t.json больше 64 МБ, шаблоны такого размера не читаются\n"_s;
    QTest::newRow("empty") << QByteArray() << none;
    QTest::newRow("latin-1") << QByteArray(Telemetry).replace("Telemetry", "T\xe9l") << none;
    // The parser must give up on deep nesting, not overflow the stack.
    QTest::newRow("10 MB deep") << QByteArray(10 << 20, '[') << none;
    const QByteArray other = R"({"packet_type": 2, "name": "Other packet", "total_size": 3,
        "data": [{"num_byte": 1, "size": 2, "name": "Other value"}]},)";
    QTest::newRow("10 MB valid") << QByteArray(Telemetry).replace(
                                        "_data\": [", "_data\": [" + other.repeated(100000))
                                 << u"Тип пакета = Telemetry\nValue = 4660\n"_s;
}

void TestTemplateFiles::read_faults() {
    QFETCH(QByteArray, content);
    const QByteArray tag = QTest::currentDataTag();
    const QString path = Here.Template_Path(u"t.json"_s);
    QFile file(path);
    if (tag == "directory")
        QVERIFY(QDir().mkdir(path));
    else if (tag == "FIFO")
        QVERIFY(::mkfifo(qPrintable(path), 0600) == 0);
    else if (tag == "/dev/zero")
        QVERIFY(QFile::link(u"/dev/zero"_s, path));
    else if (tag == "64 MiB and a byte") // sparse: takes no room on the disk
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(SafeFile::Max_Read_Size + 1));
    else
        QVERIFY(TestWorkspace::Write(path, content));
    file.close();
    QTEST(Decode(u"t.json"_s), "decoded");
    if (!content.isEmpty())
        QCOMPARE(TestWorkspace::Read(path), content); // unchanged
}

QTEST_MAIN(TestTemplateFiles)
#include "tst_TemplateFiles.moc"
