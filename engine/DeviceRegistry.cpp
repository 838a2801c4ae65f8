#include "DeviceRegistry.h"

#include "SafeFile.h"
#include "SaveJournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMap>
#include <QSettings>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {

const QString Group = QStringLiteral("Dev");
// Long enough for another instance to finish its save; a save holds the lock for milliseconds.
constexpr int Lock_Wait_Ms = 10000;

using Entries = QMap<QString, QString>;

// One logical line of the settings format: its text runs from Begin to End, Equals is where its
// first '=' outside quotes stands (or -1). Split as the settings reader splits: blanks before a
// line are skipped, a backslash escapes the next character (a line break too), quotes may span
// line breaks, and a ';' ends a line and, first on a line, makes it a comment.
struct Ini_Line {
    qsizetype Begin = 0;
    qsizetype End = 0;
    qsizetype Equals = -1;
};

bool Is_Blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

qsizetype Skip_Comment(QByteArrayView data, qsizetype i) {
    while (i < data.size() && data[i] != '\n' && data[i] != '\r')
        ++i;
    while (i < data.size() && Is_Blank(data[i]))
        ++i;
    return i;
}

std::optional<Ini_Line> Next_Line(QByteArrayView data, qsizetype& position) {
    Ini_Line line;
    line.Begin = position;
    while (line.Begin < data.size() && Is_Blank(data[line.Begin]))
        ++line.Begin;
    qsizetype i = line.Begin;
    bool quoted = false;
    while (i < data.size()) {
        const char c = data[i++];
        if (c == '=' && !quoted && line.Equals < 0) {
            line.Equals = i - 1;
        } else if ((c == '\n' || c == '\r') && !quoted) {
            --i;
            break;
        } else if (c == '\\' && i < data.size()) {
            const char escaped = data[i++];
            if (i < data.size() &&
                ((escaped == '\n' && data[i] == '\r') || (escaped == '\r' && data[i] == '\n')))
                ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ';' && i == line.Begin + 1) {
            line.Begin = i = Skip_Comment(data, i);
        } else if (c == ';' && !quoted) {
            --i;
            break;
        }
    }
    position = i;
    line.End = i;
    if (line.End <= line.Begin)
        return std::nullopt;
    return line;
}

// A key or section name as the settings reader unescapes it: "\" is "/", "%XX" and "%UXXXX" are
// character codes, everything else is UTF-8.
QString Unescaped_Key(QByteArrayView raw) {
    const QString text = QString::fromUtf8(raw);
    QString key;
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text[i];
        if (c == u'\\') {
            key += u'/', ++i;
            continue;
        }
        const qsizetype digits = i + 1 < text.size() && text[i + 1] == u'U' ? 4 : 2;
        const qsizetype first = i + (digits == 4 ? 2 : 1);
        bool ok = false;
        const ushort code = c == u'%' && first + digits <= text.size()
                                ? text.mid(first, digits).toUShort(&ok, 16)
                                : 0;
        if (ok) {
            key += QChar(code);
            i = first + digits;
        } else {
            key += c, ++i;
        }
    }
    return key;
}

// The section a "[...]" line opens; nothing for [General], whose keys have no prefix.
std::optional<QString> Section_Of(QByteArrayView line) {
    qsizetype close = line.indexOf(']');
    const QByteArrayView name = line.sliced(1, (close < 0 ? line.size() : close) - 1).trimmed();
    const QByteArray lower = name.toByteArray().toLower();
    if (lower == "general")
        return std::nullopt;
    if (lower == "%general")
        return QString::fromLatin1(name.sliced(1));
    return Unescaped_Key(name);
}

// Blanks and tabs at the end, down to `keep` characters.
void Chop_Blanks(QString& text, qsizetype keep) {
    while (text.size() > keep && (text.endsWith(u' ') || text.endsWith(u'\t')))
        text.chop(1);
}

int Digit(char c, int base) {
    const int value = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : 99;
    return value < base ? value : -1;
}

// One backslash escape at raw[i] (just past the backslash): a named character, a hex ("\x41")
// or octal ("\101") code, a line break that continues the value, or a character that is dropped.
qsizetype Unescape_One(QByteArrayView raw, qsizetype i, QString& text) {
    static const QByteArray from = QByteArrayLiteral("abfnrtv\"?'\\");
    static const QByteArray to = QByteArrayLiteral("\a\b\f\n\r\t\v\"?'\\");
    const char c = raw[i++];
    if (const qsizetype named = from.indexOf(c); named >= 0) {
        text += QLatin1Char(to[named]);
    } else if ((c == 'x' && i < raw.size() && Digit(raw[i], 16) >= 0) || Digit(c, 8) >= 0) {
        const int base = c == 'x' ? 16 : 8;
        char16_t code = base == 8 ? char16_t(Digit(c, 8)) : 0;
        for (; i < raw.size() && Digit(raw[i], base) >= 0; ++i)
            code = char16_t(code * base + Digit(raw[i], base));
        text += QChar(code);
    } else if ((c == '\n' || c == '\r') && i < raw.size() && (raw[i] == '\n' || raw[i] == '\r') &&
               raw[i] != c) {
        ++i;
    }
    return i;
}

// A value's text as the settings reader unescapes it: blanks around it dropped, quotes kept
// together, backslash escapes. Nothing when it is a list (a comma outside quotes), which reads as
// no text.
std::optional<QString> Unescaped_Value(QByteArrayView raw) {
    QString text;
    QStringDecoder utf8(QStringDecoder::Utf8);
    bool quoted = false, was_quoted = false;
    qsizetype keep = 0; // blanks before this are the value's own
    qsizetype i = 0;
    const auto skip_blanks = [&] {
        while (i < raw.size() && (raw[i] == ' ' || raw[i] == '\t'))
            ++i;
        keep = text.size();
    };
    skip_blanks();
    while (i < raw.size()) {
        const char c = raw[i];
        if (c == '\\') {
            if (++i == raw.size())
                return text;
            i = Unescape_One(raw, i, text);
            keep = text.size();
        } else if (c == '"') {
            ++i, was_quoted = true, quoted = !quoted;
            if (!quoted)
                skip_blanks();
        } else if (c == ',' && !quoted) {
            return std::nullopt;
        } else {
            qsizetype end = i + 1;
            while (end < raw.size() && raw[end] != '\\' && raw[end] != '"' && raw[end] != ',')
                ++end;
            text += utf8(raw.sliced(i, end - i));
            i = end;
        }
    }
    if (!was_quoted)
        Chop_Blanks(text, keep);
    return text;
}

// What a value's text gives as text: "@@" stands for "@", and the typed forms ("@ByteArray(...)",
// "@String(...)", "@Rect(1 2 3 4)", "@Invalid()" ...) give their content or nothing.
QString Value_Text(const QString& text) {
    if (text.startsWith(u'@') && text.endsWith(u')')) {
        const qsizetype open = text.indexOf(u'(');
        const QString kind = text.first(std::max<qsizetype>(open, 0));
        const QString inside = text.sliced(open + 1).chopped(1);
        if (kind == u"@ByteArray")
            return QString::fromUtf8(inside.toLatin1());
        if (kind == u"@String")
            return inside;
        const qsizetype arguments = inside.count(u' ') + 1;
        if (kind == u"@Variant" || kind == u"@DateTime" || text == u"@Invalid()" ||
            (kind == u"@Rect" && arguments == 4) ||
            ((kind == u"@Size" || kind == u"@Point") && arguments == 2))
            return QString();
    }
    return text.startsWith(QStringLiteral("@@")) ? text.sliced(1) : text;
}

// A key path as the settings object looks it up: no empty pieces between slashes.
QString Normalized(const QString& path) {
    return path.split(u'/', Qt::SkipEmptyParts).join(u'/');
}

// The devices of group Dev in the registry text, in the order the settings reader lists them.
// Like the settings reader, it takes them from the [Dev] sections only (a later line of a key
// wins) and looks each value up again under the key with empty pieces between slashes dropped,
// which finds nothing for a key such as "/x".
QList<DeviceRegistry::Device> Parse_Devices(QByteArrayView content) {
    QMap<QString, QString> values;
    QString section;
    qsizetype position = content.startsWith("\xef\xbb\xbf") ? 3 : 0;
    while (const std::optional<Ini_Line> line = Next_Line(content, position)) {
        const QByteArrayView text = content.sliced(line->Begin, line->End - line->Begin);
        const qsizetype equals = line->Equals - line->Begin;
        if (text.startsWith('[')) {
            section = Section_Of(text).value_or(QString());
        } else if (section == Group && line->Equals >= 0) {
            const std::optional<QString> value = Unescaped_Value(text.sliced(equals + 1));
            values.insert(Unescaped_Key(text.first(equals).trimmed()),
                          value ? Value_Text(*value) : QString());
        }
    }
    QList<DeviceRegistry::Device> devices;
    for (auto it = values.begin(); it != values.end(); ++it) {
        const QString path = Normalized(Group + u'/' + it.key());
        devices.append({it.key(), path.startsWith(Group + u'/')
                                      ? values.value(path.sliced(Group.size() + 1))
                                      : QString()});
    }
    return devices;
}

QByteArray Escaped_Key(const QString& key) {
    QByteArray escaped;
    for (const QChar c : key) {
        const ushort code = c.unicode();
        if (c == u'/')
            escaped += '\\';
        else if (code < 0x80 && (c.isLetterOrNumber() || c == u'_' || c == u'-' || c == u'.'))
            escaped += char(code);
        else if (code <= 0xFF)
            escaped += '%' + QByteArray::number(code, 16).toUpper().rightJustified(2, '0');
        else
            escaped += "%U" + QByteArray::number(code, 16).toUpper().rightJustified(4, '0');
    }
    return escaped;
}

// A text value as the settings writer writes it: a leading "@" doubled, control characters,
// quotes and backslashes escaped, UTF-8 otherwise, and quotes around it when it holds ';', ','
// or '=' or starts or ends with a blank.
QByteArray Escaped_Value(const QString& value) {
    const QString text = value.startsWith(u'@') ? u'@' + value : value;
    QByteArray escaped;
    QStringEncoder utf8(QStringEncoder::Utf8); // keeps a surrogate pair's halves together
    bool after_code = false;                   // a hex digit right after a "\x" code would join it
    for (const QChar c : text) {
        const ushort code = c.unicode();
        const bool hex_digit = (code >= '0' && code <= '9') || (code >= 'a' && code <= 'f') ||
                               (code >= 'A' && code <= 'F');
        if (after_code && hex_digit) {
            escaped += "\\x" + QByteArray::number(code, 16);
            continue;
        }
        after_code = false;
        static const QByteArray named = QByteArrayLiteral("\a\b\f\n\r\t\v");
        if (const qsizetype index = code < 0x80 ? named.indexOf(char(code)) : -1; index >= 0) {
            escaped += '\\', escaped += "abfnrtv"[index];
        } else if (c == u'"' || c == u'\\') {
            escaped += '\\', escaped += char(code);
        } else if (code == 0) {
            escaped += "\\0", after_code = true;
        } else if (code <= 0x1F) {
            escaped += "\\x" + QByteArray::number(code, 16), after_code = true;
        } else {
            escaped += utf8(QStringView(&c, 1));
        }
    }
    if (text.contains(u';') || text.contains(u',') || text.contains(u'=') ||
        escaped.startsWith(' ') || escaped.endsWith(' '))
        escaped = '"' + escaped + '"';
    return escaped;
}

// Where the physical line that holds `position` ends, its line break included.
qsizetype After_Line_Break(QByteArrayView data, qsizetype position) {
    while (position < data.size() && data[position] != '\n' && data[position] != '\r')
        ++position;
    if (data.sliced(position).startsWith("\r\n"))
        return position + 2;
    return position < data.size() ? position + 1 : position;
}

// The entries the settings reader finds in the file's group Dev.
Entries Settings_Entries(const QString& path) {
    Entries entries;
    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(Group);
    for (const QString& key : settings.allKeys())
        entries.insert(key, settings.value(key).toString());
    return entries;
}

// What the settings reader makes of the bytes, read from a file of a name never read before: the
// settings cache answers for names it has seen.
std::optional<Entries> Entries_Of(const QByteArray& content, const QString& scratch_path) {
    if (content.isEmpty())
        return Entries();
    QFile file(scratch_path);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::NewOnly) &&
                         file.write(content) == content.size() && file.flush();
    file.close();
    std::optional<Entries> entries;
    if (written)
        entries = Settings_Entries(scratch_path);
    QFile::remove(scratch_path);
    return entries;
}

// Dev.conf's bytes as they are, empty when there is no such file yet.
std::optional<QByteArray> Current_Content(const QString& conf_path, const MessageReporter& report) {
    if (!QFileInfo::exists(conf_path))
        return QByteArray();
    const SafeFile::Contents contents = SafeFile::Read(conf_path);
    if (contents.Failed == SafeFile::ReadFailure::None)
        return contents.Bytes;
    if (report)
        report(SafeFile::Open_Failure_Message(conf_path, contents.Reason));
    return std::nullopt;
}

QString Lock_Failure(const QLockFile& lock, const QString& conf_path) {
    switch (lock.error()) {
    case QLockFile::LockFailedError:
        return QStringLiteral("%1.lock is held by another program that is saving").arg(conf_path);
    case QLockFile::PermissionError:
        return QStringLiteral("Permission denied: cannot create %1.lock").arg(conf_path);
    default:
        return QStringLiteral("Cannot create %1.lock").arg(conf_path);
    }
}

void Step(int number) {
    if (DeviceRegistry::After_Step)
        DeviceRegistry::After_Step(number);
}

// Under the lock no save is running, so scratch files beside Dev.conf are leftovers: those of a
// save killed while it wrote its journal, which the journal cannot name.
void Report_Recovery(const QString& conf_path, const MessageReporter& report) {
    if (const std::optional<UserMessage> message = SaveJournal::Recover(conf_path);
        message && report)
        report(*message);
    const QDir folder = QFileInfo(conf_path).dir();
    for (const QString& name :
         folder.entryList({QStringLiteral(".kivo-*")}, QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(folder.filePath(name));
}

SaveJournal::Entry Journal_Entry(const SafeFile& file) {
    return {file.Target_Path(), file.Backup_Path(), file.Scratch_Path(), file.Had_Old_File()};
}

// The steps of a change once the lock is held and the new registry text is known: the journal,
// both scratch files, the check that the new registry reads back as intended, both renames, and
// the end of the journal. The files put themselves back when a step fails.
bool Replace_Together(SaveJournal& journal, SafeFile& registry, SafeFile* along,
                      const QByteArray& along_content, const QByteArray& old,
                      const QString& device_name, const std::optional<QString>& file_name,
                      const MessageReporter& report) {
    QList<SaveJournal::Entry> entries{Journal_Entry(registry)};
    if (along)
        entries.prepend(Journal_Entry(*along));
    const QString check_path = SafeFile::Name_Beside(registry.Target_Path(), "check");
    QString reason;
    if (!journal.Begin(entries, {check_path}, &reason))
        return report(SafeFile::Write_Failure_Message(journal.Path(), reason)), false;
    Step(2);
    if (along && !along->Prepare(along_content))
        return report(along->Failure_Message()), false;
    if (!registry.Prepare(DeviceRegistry::With_Key(old, device_name, file_name)))
        return report(registry.Failure_Message()), false;
    std::optional<Entries> expected = Entries_Of(old, check_path);
    if (expected && file_name)
        expected->insert(device_name, *file_name);
    else if (expected)
        expected->remove(device_name);
    Step(3);
    if (!expected || Settings_Entries(registry.Scratch_Path()) != *expected)
        return report(SafeFile::Write_Failure_Message(registry.Target_Path(),
                                                      SafeFile::Read_Back_Reason())),
               false;
    if (along && !along->Commit())
        return report(along->Failure_Message()), false;
    Step(4);
    if (!registry.Commit())
        return report(registry.Failure_Message()), false;
    Step(5);
    if (!journal.Mark_Done(&reason)) {
        report(SafeFile::Write_Failure_Message(journal.Path(), reason));
        return false;
    }
    Step(6);
    registry.Keep();
    if (along)
        along->Keep();
    Step(7);
    return true;
}

} // namespace

QList<DeviceRegistry::Device> DeviceRegistry::Read(const QString& conf_path,
                                                   const MessageReporter& report) {
    // Parsed from the very bytes of the bounded read: the file is opened once, and no settings
    // cache answers for it.
    const std::optional<QByteArray> content = Current_Content(conf_path, report);
    return content ? Parse_Devices(*content) : QList<Device>();
}

bool DeviceRegistry::Keeps_Name(const QString& device_name) {
    return !device_name.isEmpty() && !device_name.startsWith(u'/') && !device_name.endsWith(u'/') &&
           !device_name.contains(QStringLiteral("//"));
}

bool DeviceRegistry::Check_Name(const QString& device_name, const MessageReporter& report,
                                const QString& conf_path) {
    if (Keeps_Name(device_name))
        return true;
    report({MessageIcon::Information, QStringLiteral("Ошибка"),
            QStringLiteral("Название устройства «%1» нельзя записать в %2 как есть: косые "
                           "черты в начале и в конце названия и две косые черты подряд там "
                           "теряются.")
                .arg(device_name, conf_path)});
    return false;
}

QByteArray DeviceRegistry::With_Key(QByteArrayView content, const QString& device_name,
                                    const std::optional<QString>& file_name) {
    const QByteArray eol = content.contains("\r\n") ? "\r\n" : "\n";
    const QByteArray entry = Escaped_Key(device_name) + '=' + Escaped_Value(file_name.value_or(""));
    QByteArray result;
    qsizetype copied = 0;  // content before this is in result
    qsizetype insert = -1; // in result: after the last line of the last [Dev] section
    bool written = !file_name;
    QString section;
    qsizetype position = content.startsWith("\xef\xbb\xbf") ? 3 : 0;
    while (const std::optional<Ini_Line> line = Next_Line(content, position)) {
        const QByteArrayView text = content.sliced(line->Begin, line->End - line->Begin);
        if (text.startsWith('[')) {
            section = Section_Of(text).value_or(QString());
        } else if (section != Group || line->Equals < 0 ||
                   Unescaped_Key(
                       content.sliced(line->Begin, line->Equals - line->Begin).trimmed()) !=
                       device_name) {
            // not the device's line
        } else if (!written) {
            result += content.sliced(copied, line->Begin - copied);
            result += entry;
            copied = line->End;
            written = true;
        } else { // a later line of the same key, or the key removed: the line goes
            result += content.sliced(copied, line->Begin - copied);
            copied = After_Line_Break(content, line->End);
            const QByteArrayView rest = content.sliced(line->End, copied - line->End);
            if (!rest.trimmed().isEmpty()) // a comment after it stays
                copied = line->End;
        }
        if (section == Group) {
            const qsizetype end = After_Line_Break(content, line->End);
            result += content.sliced(copied, std::max(end, copied) - copied);
            copied = std::max(end, copied);
            insert = result.size();
        }
    }
    result += content.sliced(copied);
    if (written)
        return result;
    if (insert < 0) {
        if (!result.isEmpty() && !result.endsWith('\n') && !result.endsWith('\r'))
            result += eol;
        if (!result.isEmpty())
            result += eol;
        return result + '[' + Escaped_Key(Group) + ']' + eol + entry + eol;
    }
    const bool broken = insert > 0 && (result[insert - 1] == '\n' || result[insert - 1] == '\r');
    return result.insert(insert, broken ? entry + eol : eol + entry);
}

bool DeviceRegistry::Change(const QString& device_name, const std::optional<QString>& file_name,
                            const MessageReporter& report, const std::optional<Companion>& along,
                            const QString& conf_path) {
    if (file_name && !Check_Name(device_name, report, conf_path))
        return false;
    QLockFile lock(conf_path + QStringLiteral(".lock"));
    lock.setStaleLockTime(0); // only a lock whose program is gone is stale
    if (!lock.tryLock(Lock_Wait_Ms)) {
        report(SafeFile::Write_Failure_Message(conf_path, Lock_Failure(lock, conf_path)));
        return false;
    }
    Report_Recovery(conf_path, report);
    Step(1);
    const std::optional<QByteArray> old = Current_Content(conf_path, report);
    if (!old)
        return false;
    SaveJournal journal(conf_path);
    bool done = false;
    {
        SafeFile registry(conf_path);
        std::optional<SafeFile> other;
        if (along)
            other.emplace(along->Path);
        done = Replace_Together(journal, registry, other ? &*other : nullptr,
                                along ? along->Content : QByteArray(), *old, device_name, file_name,
                                report);
    } // a failed step's files are back as they were before the journal goes
    journal.Finish();
    return done;
}

void DeviceRegistry::Recover(const MessageReporter& report, const QString& conf_path) {
    // A lock left by a program that died goes too, once taken.
    if (!QFileInfo::exists(SaveJournal::Path_For(conf_path)) &&
        !QFileInfo::exists(conf_path + QStringLiteral(".lock")))
        return;
    QLockFile lock(conf_path + QStringLiteral(".lock"));
    lock.setStaleLockTime(0);
    if (lock.tryLock(0))
        Report_Recovery(conf_path, report);
}
