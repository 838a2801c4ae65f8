#include "DecodeCommand.h"

#include "DeviceRegistry.h"
#include "DeviceTemplateFile.h"
#include "JsonRecord.h"
#include "LineReader.h"
#include "OutputBuffer.h"
#include "PacketConversion.h"
#include "PacketDecoder.h"
#include "SafeFile.h"
#include "TemplateLinter.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStringDecoder>

#include <optional>

namespace {

const char* const Description =
    "Decodes IoT packets (hex or base64) with a device template, exactly as the IOT Kivo Parser\n"
    "window does, and prints for each packet the text of the window's output pane.\n"
    "\n"
    "Packets: each argument is one paste; without arguments, standard input is read as one\n"
    "paste per line (LF or CR LF line ends, blank lines skipped). Messages the window would show\n"
    "in a box go to standard error as \"<title>: <text>\", one per line.\n"
    "\n"
    "Template: -d NAME takes the device's file from Dev.conf (group Dev) in the work directory,\n"
    "matched exactly, case-sensitively. Without -d or -t the first device the window lists is\n"
    "used; with no device registered the template path is the bare \"Device/\", which cannot be\n"
    "opened, so every packet fails as it does in the window with an empty device list.\n"
    "With -t FILE (a path relative to the current directory, not to -C) the header line names\n"
    "the file name of FILE, and messages name FILE as given.\n"
    "\n"
    "Exit status: 0 when every packet was decoded (a length error printed as the ERROR field\n"
    "counts as decoded, and so does an empty standard input), 1 when at least one was not (or\n"
    "output could not be written), 2 for usage errors (unknown option, unknown device, a -t file\n"
    "that cannot be read, a -C directory that does not exist). --check exits 0 when the template\n"
    "is clean and 1 when anything is reported.";

bool Is_Blank(QByteArrayView line) {
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

// Sets `text` to the UTF-8 line as QString::fromUtf8 reads it, in the buffer `text` already has.
void Assign_Utf8(QString& text, QByteArrayView line) {
    // ASCII lines, nearly all, take Qt's Latin-1 widening; the others its UTF-8 decoder.
    char seen = 0;
    for (const char byte : line)
        seen |= byte;
    if ((seen & 0x80) == 0) {
        text.resize(0);
        text.append(QLatin1String(line.data(), line.size()));
        return;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless |
                                                     QStringConverter::Flag::ConvertInitialBom);
    text.resize(decoder.requiredSpace(line.size()));
    const QChar* const end = decoder.appendToBuffer(text.data(), line);
    text.resize(end - text.constData());
}

} // namespace

void DecodeCommand::Add_Options() {
    Parser.setApplicationDescription(QString::fromUtf8(Description));
    Parser.addHelpOption();
    Parser.addVersionOption();
    Parser.addOptions({Workdir_Option, Device_Option, Template_Option, Json_Option, Check_Option});
    Parser.addPositionalArgument(QStringLiteral("PACKET"),
                                 QStringLiteral("Packets to decode (default: standard input)."),
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
    if (Parser.isSet(Device_Option) && Parser.isSet(Template_Option))
        return Usage(QStringLiteral("-d and -t exclude each other"));
    if (Parser.isSet(Check_Option) && !Parser.positionalArguments().isEmpty())
        return Usage(QStringLiteral("--check takes no packets"));
    if (Parser.isSet(Check_Option) && Parser.isSet(Json_Option))
        return Usage(QStringLiteral("--check and --json exclude each other"));

    const std::optional<Template_Choice> choice = Choose_Template();
    if (!choice)
        return Finish(DecodeCommand::Usage_Error);
    if (Parser.isSet(Check_Option))
        return Check(*choice);
    return Decode(*choice, Parser.positionalArguments());
}

std::optional<DecodeCommand::Template_Choice> DecodeCommand::Choose_Template() {
    const QString workdir_path =
        Parser.isSet(Workdir_Option) ? Parser.value(Workdir_Option) : QStringLiteral(".");
    const QDir workdir(workdir_path);
    if (!QFileInfo(workdir_path).isDir()) {
        Usage(QStringLiteral("no such directory: %1").arg(workdir_path));
        return std::nullopt;
    }
    if (Parser.isSet(Template_Option)) {
        const QString path = Parser.value(Template_Option);
        if (SafeFile::Read(path).Failed != SafeFile::ReadFailure::None) {
            Usage(QStringLiteral("cannot read the template file %1").arg(path));
            return std::nullopt;
        }
        return Template_Choice{QFileInfo(path).fileName(), path, path};
    }

    const QList<DeviceRegistry::Device> devices =
        DeviceRegistry::Read(workdir.filePath(QStringLiteral("Dev.conf")));
    QString name = devices.isEmpty() ? QString() : devices.first().Name;
    QString file_name = devices.isEmpty() ? QString() : devices.first().File_Name;
    if (Parser.isSet(Device_Option)) {
        name = Parser.value(Device_Option);
        const auto found = std::find_if(devices.begin(), devices.end(),
                                        [&](const auto& device) { return device.Name == name; });
        if (found == devices.end()) {
            QStringList names;
            for (const DeviceRegistry::Device& device : devices)
                names.append(device.Name);
            Usage(QStringLiteral("unknown device \"%1\"; registered devices: %2")
                      .arg(name, names.isEmpty() ? QStringLiteral("none (%1 lists no devices)")
                                                       .arg(workdir.filePath("Dev.conf"))
                                                 : names.join(QStringLiteral(", "))));
            return std::nullopt;
        }
        file_name = found->File_Name;
    }
    // The decoder's own rule names the file: "Device/" followed by the registry value.
    const QString template_path = PacketDecoder(file_name).Template_Path;
    return Template_Choice{name, template_path, workdir.filePath(template_path)};
}

int DecodeCommand::Check(const Template_Choice& choice) {
    const SafeFile::Contents file = SafeFile::Read(choice.Load_Path);
    if (file.Failed != SafeFile::ReadFailure::None) {
        Out.Append_Utf8(choice.Template_Path + (file.Failed == SafeFile::ReadFailure::Too_Large
                                                    ? QStringLiteral(": larger than 64 MiB\n")
                                                    : QStringLiteral(": cannot open the file\n")));
        return Finish(DecodeCommand::Not_All_Decoded);
    }
    const QList<TemplateLinter::Finding> findings = TemplateLinter::Lint(file.Bytes);
    for (const TemplateLinter::Finding& finding : findings)
        Out.Append_Utf8(choice.Template_Path + QStringLiteral(": ") + finding.Line() + u'\n');
    return Finish(findings.isEmpty() ? DecodeCommand::All_Decoded : DecodeCommand::Not_All_Decoded);
}

int DecodeCommand::Decode(const Template_Choice& choice, const QStringList& pastes) {
    // The conversion's diagnostic line is for the window's debug log; here standard error holds
    // only the messages.
    QLoggingCategory::setFilterRules(QStringLiteral("kivo.conversion.debug=false"));
    PacketConversion conversion(choice.Device_Name, [this](const UserMessage& message) {
        Err.Append_Utf8(message.Title + QStringLiteral(": ") + message.Text + u'\n');
        Err.Show();
    });
    SafeFile::ReadFailure load_failure = SafeFile::ReadFailure::None;
    const std::optional<DeviceTemplateFile> file =
        DeviceTemplateFile::Load(choice.Load_Path, &load_failure);
    PacketDecoder decoder(QString(), conversion.Reporter());
    decoder.Template_Path = choice.Template_Path;
    const PacketConversion::Decode_Function decode = [&](const QString& hex,
                                                         DecodedPacket& packet) {
        if (file)
            return decoder.Parse_Packet(*file, hex, packet);
        // As the window, which reads the file at every conversion and fails every time.
        conversion.Reporter()(
            PacketDecoder::Load_Failure_Message(load_failure, choice.Template_Path));
        packet.clear();
    };
    std::optional<JsonRecord> json;
    if (Parser.isSet(Json_Option))
        json.emplace(choice.Device_Name);

    qint64 failures = 0;
    const auto convert = [&](const QString& paste) {
        const PacketConversion::Result& result =
            conversion.Run(paste, decode, json ? nullptr : &Out);
        if (json) {
            json->Append(Out.Text, paste, result);
            Out.Show();
        }
        failures += result.State != PacketConversion::Outcome::Decoded;
    };
    bool read_ok = true;
    if (pastes.isEmpty())
        read_ok = Decode_Standard_Input(convert);
    for (const QString& paste : pastes)
        convert(paste);
    if (!read_ok)
        Err.Append_Utf8(u"kivo-decode: cannot read standard input\n");
    return Finish(failures == 0 && read_ok ? DecodeCommand::All_Decoded
                                           : DecodeCommand::Not_All_Decoded);
}

bool DecodeCommand::Decode_Standard_Input(const std::function<void(const QString&)>& convert) {
    LineReader reader(In_Fd, [this] {
        Out.Flush();
        Err.Flush();
    });
    QByteArrayView line;
    QString text; // one buffer for every line
    while (reader.Next(line)) {
        if (Is_Blank(line))
            continue;
        Assign_Utf8(text, line);
        convert(text);
    }
    return !reader.Read_Failed();
}

int DecodeCommand::Run(const QStringList& arguments, int in_fd, int out_fd, int err_fd) {
    return DecodeCommand(in_fd, out_fd, err_fd).Execute(arguments);
}
