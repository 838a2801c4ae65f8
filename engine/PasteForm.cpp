#include "PasteForm.h"

#include "HexText.h"

namespace {

bool Is_Separator(QChar c) {
    return c == u':' || c == u'-' || c == u',' || c == u';';
}

bool Is_Hex_Run(QStringView text) {
    for (const QChar c : text) {
        if (HexText::Digit_Value(c) < 0)
            return false;
    }
    return !text.isEmpty();
}

// Only these characters make up the forms; a paste with any other (every base64 paste with a
// letter beyond f but x, every text with blanks left or another script) is rejected at once.
bool Has_Only_Form_Characters(QStringView text) {
    for (const QChar c : text) {
        if (HexText::Digit_Value(c) < 0 && c != u'x' && !Is_Separator(c) && c != u'{' &&
            c != u'}' && c != u'[' && c != u']')
            return false;
    }
    return true;
}

// One group, "0x" optional: one or two hex digits, appended as one byte.
bool Append_Group(QStringView group, QString& hex) {
    if (group.startsWith(u"0x"))
        group = group.sliced(2);
    if (group.size() > 2 || !Is_Hex_Run(group))
        return false;
    if (group.size() == 1)
        hex.append(u'0');
    hex.append(group);
    return true;
}

// Groups that all carry "0x" and nothing between them: 0x010x000xF1. Each "0x" begins a group,
// so the text split at its x's is "0", then each group's digits followed by the next "0", and
// the last group's digits.
bool Append_Prefixed_Groups(QStringView text, QString& hex) {
    if (!text.startsWith(u"0x"))
        return false;
    qsizetype start = 2;
    for (qsizetype x = text.indexOf(u'x', start); x >= 0; x = text.indexOf(u'x', start)) {
        if (text[x - 1] != u'0' || !Append_Group(text.sliced(start, x - 1 - start), hex))
            return false;
        start = x + 1;
    }
    return Append_Group(text.sliced(start), hex);
}

// Groups split by one kind of separator, one trailing separator allowed.
bool Append_Separated_Groups(QStringView text, QChar separator, QString& hex) {
    if (text.endsWith(separator))
        text.chop(1);
    qsizetype start = 0;
    for (qsizetype at = text.indexOf(separator); at >= 0; at = text.indexOf(separator, start)) {
        if (!Append_Group(text.sliced(start, at - start), hex))
            return false;
        start = at + 1;
    }
    return Append_Group(text.sliced(start), hex);
}

// The paste without its braces or brackets, when it has a matching pair around it.
QStringView Unbracketed(QStringView text, bool& bracketed) {
    bracketed = text.size() >= 2 && ((text.front() == u'{' && text.back() == u'}') ||
                                     (text.front() == u'[' && text.back() == u']'));
    return bracketed ? text.sliced(1, text.size() - 2) : text;
}

} // namespace

QLatin1StringView PasteForm::Name(Kind kind) {
    switch (kind) {
    case Kind::Base64:
        return QLatin1StringView("base64");
    case Kind::Prefixed_Hex:
        return QLatin1StringView("0x");
    case Kind::Byte_Groups:
        return QLatin1StringView("bytes");
    case Kind::Hex:
        break;
    }
    return QLatin1StringView("hex");
}

PasteForm::Kind PasteForm::Read(QStringView cleaned, QString& hex) {
    if (!Has_Only_Form_Characters(cleaned))
        return Kind::Hex;
    bool bracketed = false;
    const QStringView inner = Unbracketed(cleaned, bracketed);
    const qsizetype first_x = inner.indexOf(u'x');
    // One "0x" run of any length; a run of one or two digits is a group as well.
    if (!bracketed && first_x == 1 && inner.startsWith(u"0x") && Is_Hex_Run(inner.sliced(2))) {
        hex.resize(0);
        if (inner.size() == 3)
            hex.append(u'0');
        hex.append(inner.sliced(2));
        return Kind::Prefixed_Hex;
    }
    QChar separator;
    for (const QChar c : inner) {
        if (Is_Separator(c)) {
            separator = c;
            break;
        }
    }
    if (separator.isNull() && first_x < 0 && !bracketed)
        return Kind::Hex; // plain hex digits
    QString groups;
    groups.reserve(inner.size());
    const bool read = separator.isNull() ? (first_x < 0 ? Append_Group(inner, groups)
                                                        : Append_Prefixed_Groups(inner, groups))
                                         : Append_Separated_Groups(inner, separator, groups);
    if (!read)
        return Kind::Hex;
    hex = groups;
    return Kind::Byte_Groups;
}
