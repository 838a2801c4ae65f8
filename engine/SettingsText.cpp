#include "SettingsText.h"

#include "HexText.h"

#include <QMap>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {

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

// A hex (base 16) or octal (base 8) digit's value, or -1.
int Digit(char c, int base) {
    const int value = HexText::Digit_Value(QLatin1Char(c));
    return value >= 0 && value < base ? value : -1;
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

} // namespace

// Like the settings reader, it takes the entries from the group's own sections only (a later line
// of a key wins) and looks each value up again under the key with empty pieces between slashes
// dropped, which finds nothing for a key such as "/x".
QList<std::pair<QString, QString>> SettingsText::Group_Entries(QByteArrayView content,
                                                               const QString& group) {
    QMap<QString, QString> values;
    QString section;
    qsizetype position = content.startsWith("\xef\xbb\xbf") ? 3 : 0;
    while (const std::optional<Ini_Line> line = Next_Line(content, position)) {
        const QByteArrayView text = content.sliced(line->Begin, line->End - line->Begin);
        const qsizetype equals = line->Equals - line->Begin;
        if (text.startsWith('[')) {
            section = Section_Of(text).value_or(QString());
        } else if (section == group && line->Equals >= 0) {
            const std::optional<QString> value = Unescaped_Value(text.sliced(equals + 1));
            values.insert(Unescaped_Key(text.first(equals).trimmed()),
                          value ? Value_Text(*value) : QString());
        }
    }
    QList<std::pair<QString, QString>> entries;
    for (auto it = values.begin(); it != values.end(); ++it) {
        const QString path = Normalized(group + u'/' + it.key());
        entries.append({it.key(), path.startsWith(group + u'/')
                                      ? values.value(path.sliced(group.size() + 1))
                                      : QString()});
    }
    return entries;
}

namespace {

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
        const bool hex_digit = HexText::Digit_Value(c) >= 0;
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

} // namespace

QByteArray SettingsText::With_Key(QByteArrayView content, const QString& group, const QString& key,
                                  const std::optional<QString>& value) {
    const QByteArray eol = content.contains("\r\n") ? "\r\n" : "\n";
    const QByteArray entry = Escaped_Key(key) + '=' + Escaped_Value(value.value_or(""));
    QByteArray result;
    qsizetype copied = 0;  // content before this is in result
    qsizetype insert = -1; // in result: after the last line of the group's last section
    bool written = !value;
    QString section;
    qsizetype position = content.startsWith("\xef\xbb\xbf") ? 3 : 0;
    while (const std::optional<Ini_Line> line = Next_Line(content, position)) {
        const QByteArrayView text = content.sliced(line->Begin, line->End - line->Begin);
        if (text.startsWith('[')) {
            section = Section_Of(text).value_or(QString());
        } else if (section != group || line->Equals < 0 ||
                   Unescaped_Key(
                       content.sliced(line->Begin, line->Equals - line->Begin).trimmed()) != key) {
            // not a line of the key
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
        if (section == group) {
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
        return result + '[' + Escaped_Key(group) + ']' + eol + entry + eol;
    }
    const bool broken = insert > 0 && (result[insert - 1] == '\n' || result[insert - 1] == '\r');
    return result.insert(insert, broken ? entry + eol : eol + entry);
}
