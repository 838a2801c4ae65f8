#include "DecodeCommand.h"

#include "CsvTable.h"
#include "DeviceRegistry.h"
#include "GoldenFileTest.h"
#include "JsonRecord.h"
#include "PacketConversion.h"
#include "PasteLineReader.h"
#include "SafeFile.h"
#include "TemplateChoice.h"
#include "TemplateLinter.h"
#include "UserWorkspace.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const Description =
    "Decodes IoT packets (hex or base64) with a device template, exactly as the IOT Kivo Parser\n"
    "window does, and prints for each packet the text of the window's output pane.\n"
    "\n"
    "Packets: each argument is one paste; -i FILE reads one paste per line of FILE (\"-\" for\n"
    "standard input), and without arguments or -i standard input is read. In files and standard\n"
    "input, line ends are LF or CR LF, and blank lines and lines starting with \"#\" are skipped.\n"
    "Arguments are decoded first, then the inputs in order.\n"
    "\n"
    "Pastes may also be written as C code, BLE apps and loggers copy them: 0x0100F153 (one\n"
    "0x-prefixed run), or byte groups of one or two hex digits, each with an optional 0x, split\n"
    "by one kind of separator among : - , ; (01:00:F1, 0x01,0x00, {0x01, 0x00, 0xF1}, a trailing\n"
    "separator allowed) or, when every group has its 0x, by blanks (0x01 0x00 0xF1). These read\n"
    "as the hex they spell (a one-digit group is one byte) before base64 is looked for.\n"
    "\n"
    "Messages the window would show in a box go to standard error as \"<title>: <text>\", one per\n"
    "line, followed by the packet's warnings as \"warning: <text>\": an odd number of hex digits\n"
    "(the last one is ignored), characters that are not hex digits (read as 0), a base64 paste\n"
    "that does not decode. For a paste read from a file or standard input every such line starts\n"
    "with \"<file>:<line>: \" (\"-\" for standard input).\n"
    "\n"
    "Template: -d NAME takes the device's file from Dev.conf (group Dev) in the work directory\n"
    "(-C DIR, --user-workspace, or the current directory), matched exactly, case-sensitively.\n"
    "Without -d or -t the one registered device is used; with several, -d must name one (a usage\n"
    "error lists them); with none the template path is the bare \"Device/\", which cannot be\n"
    "opened, so every packet fails as it does in the window with an empty device list.\n"
    "With -t FILE (a path relative to the current directory, not to -C) the header line names\n"
    "the file name of FILE, and messages name FILE as given.\n"
    "\n"
    "--json keys, one object per packet:\n"
    "  source    {file, line} for a paste read from a file or standard input, else null\n"
    "  input     the paste as given\n"
    "  hex       the hex text handed to the decoder (the decoded bytes of a base64 paste)\n"
    "  base64    true when the paste was taken for base64\n"
    "  form      how the paste spelled its bytes: hex, base64, 0x (one 0x-prefixed run) or\n"
    "            bytes (groups such as 01:00:F1, 0x01 0x00 or {0x01, 0x00})\n"
    "  device    the device name of the header line\n"
    "  ok        true when the packet was decoded without a length error\n"
    "  type      {code: the type byte 0-255, name: the packet type's name, null when not\n"
    "            decoded}; null when the hex text has no type byte\n"
    "  error     the length error's text (then ok is false and fields is empty), else null\n"
    "  fields    [{name, value, number, unit, label, offset, size, raw}]: the decoder's fields\n"
    "            in order, \"Тип пакета\" first; number the value as a JSON number (null for\n"
    "            text), unit the unit shown after it and label the label that is the value (null\n"
    "            when none); offset and size the bytes read (null outside the packet), raw those\n"
    "            bytes as hex; a time field adds time (the date the window prints) and utc (ISO\n"
    "            8601, 2023-11-14T22:13:20Z); a byte field with a bit map holds its bit fields as\n"
    "            bits [{name (without the \"bit\" prefix), value, number, unit, label, bit,\n"
    "            size}]\n"
    "  messages  [{title, text}] the window's message boxes, in order\n"
    "  warnings  [text] the warnings above\n"
    "\n"
    "--csv columns (RFC 4180, UTF-8, CR LF row ends, a header row first): file, line (empty for\n"
    "arguments), input, form, device, ok, type (the type's name), error, warnings (joined by \"; "
    "\"),\n"
    "then one column per field name of the template, in its order across all packet types, first\n"
    "appearance first: bit fields as \"<byte field>.<bit field>\", a field with a unit as\n"
    "\"<name> (<unit>)\"; number cells hold the number without its unit (a bit field the value of\n"
    "its bits), labels the label, time fields ISO 8601 UTC dates. Every header is unique: one an\n"
    "earlier column already has (a name repeated within one packet type, a field named like a\n"
    "fixed column) gets \"#2\", \"#3\", ..., the first number that is still free, so every field\n"
    "value has a column of its own.\n"
    "\n"
    "--first-line N and --no-header decode one part of a larger log under a parallel runner\n"
    "such as GNU parallel (--pipe --keep-order -N LINES; kivo-decode(1) shows how): --first-line\n"
    "N numbers the input's lines from N, so that the locations, the JSON source and the CSV line\n"
    "are those of the whole log, and --no-header leaves out the CSV header row (which a run on an\n"
    "empty input prints alone). The parts' output, in order, is that of one run over the whole\n"
    "log read from standard input.\n"
    "\n"
    "--record FILE: instead of printing, appends one golden-file entry per packet to FILE (made\n"
    "when missing), with the device, the message boxes and the pane text as decoded now; then\n"
    "\"--test FILE\" passes until decoding changes. Needs a registered device.\n"
    "\n"
    "--test FILE...: golden files. \"== <device> | <packet>\" starts an entry; its lines starting\n"
    "with \">\" are the expected pane text, line by line, and \"! <title> | <text>\" the expected\n"
    "message boxes, in order; other lines describe it. Lines before the first entry are blank or\n"
    "start with \"#\". Each entry is decoded with its device from the work directory; a failing\n"
    "entry prints \"<file>:<line>: \" and a unified diff of the expected against the actual\n"
    "text; the last line is \"N passed, M failed\".\n"
    "\n"
    "Exit status: 0 when every packet was decoded (also for an empty input), 1 when at least one\n"
    "was not or had a length error (the ERROR result), when an input could not be read, held a\n"
    "line longer than %1, or the output could not be written; 2 for usage errors (unknown\n"
    "option, unknown device, a -t or -i file that cannot be read, a -C directory that does not\n"
    "exist). --check exits 0 when the template is clean or has warnings only (their lines say\n"
    "\"warning: \"), else 1; --test 0 when every entry passed, else 1 (also for a golden file\n"
    "larger than %1).";

} // namespace

DecodeCommand::~DecodeCommand() {
    for (const Input& input : Inputs) {
        if (input.Owned)
            ::close(input.Fd);
    }
}

void DecodeCommand::Add_Options() {
    Parser.setApplicationDescription(QString::fromUtf8(Description).arg(SafeFile::Max_Read_Text()));
    Parser.addHelpOption();
    Parser.addVersionOption();
    User_Workspace_Option.setDescription(
        User_Workspace_Option.description().arg(UserWorkspace::Location()));
    Parser.addOptions({Workdir_Option, User_Workspace_Option, Device_Option, Template_Option,
                       Input_Option, First_Line_Option, Json_Option, Csv_Option, No_Header_Option,
                       Check_Option, Test_Option, Record_Option});
    Parser.addPositionalArgument(QStringLiteral("PACKET"),
                                 QStringLiteral("Packets to decode (default: standard input); "
                                                "with --test, golden files."),
                                 QStringLiteral("[PACKET...]"));
}

int DecodeCommand::Usage(const QString& text) {
    Err.Append_Utf8(QStringLiteral("kivo-decode: %1\nTry 'kivo-decode --help'.\n").arg(text));
    return Finish(DecodeCommand::Usage_Error);
}

int DecodeCommand::Finish(int status) {
    const bool written = Out.Flush();
    if (!written) {
        Err.Append_Utf8(u"kivo-decode: cannot write the output\n");
        status = std::max<int>(status, DecodeCommand::Not_All_Decoded);
    }
    Err.Flush();
    return status;
}

QString DecodeCommand::Conflicts() const {
    const bool check = Parser.isSet(Check_Option), test = Parser.isSet(Test_Option);
    if (Parser.isSet(Workdir_Option) && Parser.isSet(User_Workspace_Option))
        return QStringLiteral("-C and --user-workspace exclude each other");
    if (Parser.isSet(Device_Option) && Parser.isSet(Template_Option))
        return QStringLiteral("-d and -t exclude each other");
    if (Parser.isSet(Json_Option) && Parser.isSet(Csv_Option))
        return QStringLiteral("--json and --csv exclude each other");
    if (check && test)
        return QStringLiteral("--check and --test exclude each other");
    if ((check || test) && (Parser.isSet(Json_Option) || Parser.isSet(Csv_Option)))
        return QStringLiteral("--json and --csv only go with decoding");
    if ((check || test) && Parser.isSet(Input_Option))
        return QStringLiteral("-i only goes with decoding");
    if (check && !Parser.positionalArguments().isEmpty())
        return QStringLiteral("--check takes no packets");
    if (test && (Parser.isSet(Device_Option) || Parser.isSet(Template_Option)))
        return QStringLiteral("--test takes each entry's device from the file");
    if (test && Parser.positionalArguments().isEmpty())
        return QStringLiteral("--test needs a golden file");
    if (Parser.isSet(Record_Option) &&
        (check || test || Parser.isSet(Json_Option) || Parser.isSet(Csv_Option)))
        return QStringLiteral("--record goes with none of --check, --test, --json and --csv");
    if (Parser.isSet(Record_Option) && Parser.isSet(Template_Option))
        return QStringLiteral("--record takes a registered device (-d), not -t: a golden file "
                              "names devices");
    if (Parser.isSet(No_Header_Option) && !Parser.isSet(Csv_Option))
        return QStringLiteral("--no-header only goes with --csv");
    if (!Parser.isSet(First_Line_Option))
        return {};
    if (check || test)
        return QStringLiteral("--first-line only goes with decoding");
    if (First_Line() == 0)
        return QStringLiteral("--first-line takes a line number from 1 to %1: %2")
            .arg(Max_First_Line)
            .arg(Parser.value(First_Line_Option));
    if (Input_Names().size() != 1)
        return QStringLiteral("--first-line numbers the lines of one input (-i FILE or standard "
                              "input), not of packet arguments or of several inputs");
    return {};
}

int DecodeCommand::Execute(const QStringList& arguments) {
    Add_Options();
    if (!Parser.parse(arguments))
        return Usage(Parser.errorText());
    if (Parser.isSet(QStringLiteral("help"))) {
        Out.Append_Utf8(Parser.helpText());
        return Finish(DecodeCommand::All_Decoded);
    }
    if (Parser.isSet(QStringLiteral("version"))) {
        Out.Append_Utf8(QStringLiteral("kivo-decode %1\n").arg(QStringLiteral(KIVO_VERSION)));
        return Finish(DecodeCommand::All_Decoded);
    }
    if (const QString conflict = Conflicts(); !conflict.isEmpty())
        return Usage(conflict);
    if (!Prepare_Workdir())
        return Finish(DecodeCommand::Usage_Error);
    // A save the window was killed in is undone first, and said so once.
    DeviceRegistry::Recover(
        [this](const UserMessage& message) {
            Err.Append_Utf8(QStringLiteral("kivo-decode: %1\n").arg(message.Text));
        },
        Workdir().Registry_Path());
    if (Parser.isSet(Test_Option)) {
        const bool passed =
            GoldenFileTest::Run(Workdir(), Parser.positionalArguments(), Out.Text, Message_Line());
        return Finish(passed ? DecodeCommand::All_Decoded : DecodeCommand::Not_All_Decoded);
    }

    const std::unique_ptr<TemplateChoice> choice = Choose_Template();
    if (!choice)
        return Finish(DecodeCommand::Usage_Error);
    if (Parser.isSet(Check_Option))
        return Check(*choice);
    if (Parser.isSet(Record_Option) && choice->Device_Name().isEmpty())
        return Usage(QStringLiteral("--record needs a registered device; %1 lists none")
                         .arg(QDir::cleanPath(Workdir().Registry_Path())));
    if (!Open_Inputs())
        return Finish(DecodeCommand::Usage_Error);
    return Decode(*choice, Parser.positionalArguments());
}

Workspace DecodeCommand::Workdir() const {
    if (Parser.isSet(User_Workspace_Option))
        return Workspace(UserWorkspace::Location());
    return Workspace(Parser.isSet(Workdir_Option) ? Parser.value(Workdir_Option)
                                                  : QStringLiteral("."));
}

bool DecodeCommand::Prepare_Workdir() {
    if (Parser.isSet(User_Workspace_Option)) {
        const QString error =
            UserWorkspace::Prepare(UserWorkspace::Location(), UserWorkspace::Installed_Sample());
        if (!error.isEmpty()) {
            Usage(error);
            return false;
        }
    }
    const QString folder = QDir(Workdir().Root()).path();
    if (!QFileInfo(folder).isDir()) {
        Usage(QStringLiteral("no such directory: %1").arg(folder));
        return false;
    }
    return true;
}

std::unique_ptr<TemplateChoice> DecodeCommand::Choose_Template() {
    if (Parser.isSet(Template_Option)) {
        const QString path = Parser.value(Template_Option);
        if (SafeFile::Read(path).Failed != SafeFile::ReadFailure::None) {
            Usage(QStringLiteral("cannot read the template file %1").arg(path));
            return nullptr;
        }
        return std::make_unique<TemplateChoice>(TemplateChoice::For_File(path));
    }

    const Workspace workdir = Workdir();
    const QList<DeviceRegistry::Device> devices =
        DeviceRegistry::Read(workdir.Registry_Path(), Message_Line());
    QString name = devices.isEmpty() ? QString() : devices.first().Name;
    QString file_name = devices.isEmpty() ? QString() : devices.first().File_Name;
    QStringList names;
    for (const DeviceRegistry::Device& device : devices)
        names.append(device.Name);
    // Which device comes first changes as devices are saved: with several, the user says which.
    if (!Parser.isSet(Device_Option) && devices.size() > 1) {
        Usage(QStringLiteral("%1 registers several devices; choose one with -d: %2")
                  .arg(QDir::cleanPath(workdir.Registry_Path()), names.join(QStringLiteral(", "))));
        return nullptr;
    }
    if (Parser.isSet(Device_Option)) {
        name = Parser.value(Device_Option);
        const auto found = std::find_if(devices.begin(), devices.end(),
                                        [&](const auto& device) { return device.Name == name; });
        if (found == devices.end()) {
            Usage(QStringLiteral("unknown device \"%1\"; registered devices: %2")
                      .arg(name, names.isEmpty() ? QStringLiteral("none (%1 lists no devices)")
                                                       .arg(workdir.Registry_Path())
                                                 : names.join(QStringLiteral(", "))));
            return nullptr;
        }
        file_name = found->File_Name;
    }
    return std::make_unique<TemplateChoice>(TemplateChoice::For_Device(workdir, name, file_name));
}

qint64 DecodeCommand::First_Line() const {
    if (!Parser.isSet(First_Line_Option))
        return 1;
    bool is_number = false;
    const qint64 first = Parser.value(First_Line_Option).toLongLong(&is_number);
    return is_number && first >= 1 && first <= Max_First_Line ? first : 0;
}

QStringList DecodeCommand::Input_Names() const {
    QStringList names = Parser.values(Input_Option);
    if (names.isEmpty() && Parser.positionalArguments().isEmpty())
        names.append(QStringLiteral("-"));
    return names;
}

bool DecodeCommand::Open_Inputs() {
    for (const QString& name : Input_Names()) {
        if (name == u"-") {
            Inputs.push_back({name, In_Fd, false});
            continue;
        }
        const int fd = ::open(QFile::encodeName(name).constData(), O_RDONLY | O_CLOEXEC);
        int error = errno;
        struct stat status {};
        if (fd >= 0) {
            Inputs.push_back({name, fd, true});
            error = ::fstat(fd, &status) != 0 ? errno : S_ISDIR(status.st_mode) ? EISDIR : 0;
        }
        if (error != 0 || fd < 0) {
            Usage(QStringLiteral("cannot read the input file %1: %2")
                      .arg(name, QString::fromLocal8Bit(std::strerror(error))));
            return false;
        }
    }
    return true;
}

MessageReporter DecodeCommand::Message_Line() {
    return [this](const UserMessage& message) {
        Err.Append_Utf8(message.Title + QStringLiteral(": ") + message.Text + u'\n');
    };
}

int DecodeCommand::Check(const TemplateChoice& choice) {
    const SafeFile::Contents file = SafeFile::Read(choice.Load_Path());
    if (file.Failed != SafeFile::ReadFailure::None) {
        Out.Append_Utf8(choice.Template_Name() +
                        (file.Failed == SafeFile::ReadFailure::Too_Large
                             ? QStringLiteral(": larger than %1\n").arg(SafeFile::Max_Read_Text())
                             : QStringLiteral(": cannot open the file\n")));
        return Finish(DecodeCommand::Not_All_Decoded);
    }
    const QList<TemplateLinter::Finding> findings = TemplateLinter::Lint(file.Bytes);
    for (const TemplateLinter::Finding& finding : findings)
        Out.Append_Utf8(choice.Template_Name() + QStringLiteral(": ") + finding.Line() + u'\n');
    return Finish(TemplateLinter::Has_Errors(findings) ? DecodeCommand::Not_All_Decoded
                                                       : DecodeCommand::All_Decoded);
}

void DecodeCommand::Put_Location() {
    if (!Source)
        return;
    Err.Append_Utf8(Source->File);
    Err.Text += ':' + QByteArray::number(Source->Line) + ": ";
}

int DecodeCommand::Decode(const TemplateChoice& choice, const QStringList& pastes) {
    PacketConversion conversion(choice.Device_Name(), [this](const UserMessage& message) {
        Put_Location();
        Err.Append_Utf8(message.Title + QStringLiteral(": ") + message.Text + u'\n');
        Err.Show();
    });
    // The conversion's diagnostic line is for the window's debug log; here standard error holds
    // only the messages.
    conversion.Write_Diagnostic_Lines(false);
    const PacketConversion::Decode_Function decode = choice.Decoding(conversion.Reporter());
    std::optional<JsonRecord> json;
    if (Parser.isSet(Json_Option))
        json.emplace(choice.Device_Name());
    std::optional<CsvTable> csv;
    if (Parser.isSet(Csv_Option)) {
        csv.emplace(choice.Device_Name(), choice.File());
        if (!Parser.isSet(No_Header_Option))
            csv->Append_Header(Out.Text);
    }

    qint64 failures = 0;
    const bool recording = Parser.isSet(Record_Option);
    QString entries;
    qint64 recorded = 0;
    const auto record = [&](const QString& paste) {
        GoldenFileTest::Pane pane;
        const PacketConversion::Result& result = conversion.Run(paste, decode, &pane);
        if (const std::optional<QString> entry =
                GoldenFileTest::Entry(choice.Device_Name(), paste, result, pane)) {
            entries += u'\n' + *entry;
            ++recorded;
            return;
        }
        Put_Location();
        Err.Append_Utf8(QStringLiteral("kivo-decode: not recorded, a golden file cannot hold "
                                       "this paste or its messages on single lines: %1\n")
                            .arg(paste));
        ++failures;
    };
    const auto convert = [&](const QString& paste, const RecordSource* source) {
        Source = source;
        if (recording)
            return record(paste);
        const bool as_text = !json && !csv;
        const PacketConversion::Result& result =
            conversion.Run(paste, decode, as_text ? &Out : nullptr);
        if (json)
            json->Append(Out.Text, paste, result, source);
        else if (csv)
            csv->Append_Row(Out.Text, paste, result, source);
        if (!as_text)
            Out.Show();
        for (const QString& warning : result.Warnings) {
            Put_Location();
            Err.Append_Utf8(QStringLiteral("warning: ") + warning + u'\n');
            Err.Show();
        }
        failures += !result.Is_Decoded();
    };
    for (const QString& paste : pastes)
        convert(paste, nullptr);
    bool read_ok = true;
    for (const Input& input : Inputs)
        read_ok = Decode_Input(input, convert) && read_ok;
    Source = nullptr;
    if (recording && !Append_Record(entries, recorded))
        return Finish(DecodeCommand::Not_All_Decoded);
    return Finish(failures == 0 && read_ok ? DecodeCommand::All_Decoded
                                           : DecodeCommand::Not_All_Decoded);
}

bool DecodeCommand::Append_Record(const QString& entries, qint64 count) {
    const QString name = Parser.value(Record_Option);
    QFile file(name);
    QString failure;
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append)) {
        failure = file.errorString();
    } else {
        const qint64 old_size = file.size();
        // Each entry comes after a line feed: a blank line after the file's last line, or the end
        // of a last line that had none.
        QByteArray bytes = entries.toUtf8();
        if (old_size == 0)
            bytes.remove(0, 1);
        if (!file.seek(old_size) || file.write(bytes) != bytes.size() || !file.flush()) {
            failure = file.errorString();
            file.resize(old_size); // what was appended in part goes again
        }
    }
    if (!failure.isEmpty()) {
        Err.Append_Utf8(QStringLiteral("kivo-decode: cannot write %1: %2\n").arg(name, failure));
        return false;
    }
    Out.Append_Utf8(QStringLiteral("recorded %1 %2 in %3\n")
                        .arg(QString::number(count),
                             count == 1 ? QStringLiteral("entry") : QStringLiteral("entries"),
                             name));
    return true;
}

template <typename Convert>
bool DecodeCommand::Decode_Input(const Input& input, const Convert& convert) {
    PasteLineReader reader(input.Fd, [this] {
        Out.Flush();
        Err.Flush();
    });
    RecordSource source{input.Name, 0};
    const qint64 lines_before = First_Line() - 1; // in the log this input is a part of
    QString text;                                 // one buffer for every line
    while (reader.Next(text)) {
        source.Line = lines_before + reader.Line();
        convert(text, &source);
    }
    const QString name = input.Name == u"-" ? QStringLiteral("standard input") : input.Name;
    if (reader.Read_Failed())
        Err.Append_Utf8(QStringLiteral("kivo-decode: cannot read %1\n").arg(name));
    if (reader.Line_Too_Long()) {
        source.Line = lines_before + reader.Line() + 1;
        Source = &source;
        Put_Location();
        Err.Append_Utf8(QStringLiteral("line longer than %1: the rest of %2 is not read\n")
                            .arg(SafeFile::Max_Read_Text(), name));
        Source = nullptr;
    }
    return !reader.Read_Failed() && !reader.Line_Too_Long();
}

int DecodeCommand::Run(const QStringList& arguments, int in_fd, int out_fd, int err_fd) {
    return DecodeCommand(in_fd, out_fd, err_fd).Execute(arguments);
}
