#include "PacketConversion.h"

#include "HexText.h"
#include "ResultRenderer.h"
#include "ReusedText.h"
#include "Utf8Writer.h"

#include <QDebug>

#include <array>
#include <cstdint>

Q_LOGGING_CATEGORY(Conversion_Log, "kivo.conversion")

namespace {

// What a character means to the conversion: cleaning removes the blanks (tab, line feed,
// space), and a marker makes a paste base64. The markers are the characters the detection
// pattern (\\|\+|\=)|(?:[g-z]|(?:[G-Z])) matches, one for each alternative: a backslash, plus
// or equals sign (its group 1), or a Latin letter g-z or G-Z.
// Hex digits are a class of their own, and every other character is Other: in a hex paste
// those read as 0, which the warnings tell.
enum Character_Class : std::uint8_t {
    Blank = 1,
    Symbol_Marker = 2,
    Letter_Marker = 4,
    Hex_Digit = 8,
    Other = 16
};
constexpr std::uint8_t Marker = Symbol_Marker | Letter_Marker;

constexpr std::uint8_t Class_Of_Ascii(char16_t c) {
    const bool blank = c == u'\t' || c == u'\n' || c == u' ';
    const bool symbol = c == u'\\' || c == u'+' || c == u'=';
    const bool letter = (c >= u'g' && c <= u'z') || (c >= u'G' && c <= u'Z');
    const bool digit = HexText::Is_Digit(c);
    return blank    ? Blank
           : symbol ? Symbol_Marker
           : letter ? Letter_Marker
           : digit  ? Hex_Digit
                    : Other;
}

// Looked up in a table: nothing beyond ASCII is a blank, marker or digit.
constexpr std::array<std::uint8_t, 128> Make_Classes() {
    std::array<std::uint8_t, 128> classes{};
    for (char16_t c = 0; c < 128; ++c)
        classes[c] = Class_Of_Ascii(c);
    return classes;
}
constexpr std::array<std::uint8_t, 128> Classes = Make_Classes();

std::uint8_t Class_Of(char16_t c) {
    return c < 128 ? Classes[c] : std::uint8_t{Other};
}

// The classes a text holds, copying the text into `copy` on the way: nearly every paste is its own
// hex text. Most pastes hold hex digits only, which one look that runs on many characters at once
// tells; only the others are classified character by character.
std::uint8_t Copy_Classes_In(QStringView text, QString& copy) {
    char16_t* const out = Text_To_Fill(copy, text.size());
    const char16_t* const in = text.utf16();
    unsigned not_digits = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        not_digits |= !HexText::Is_Digit(in[i]);
        out[i] = in[i];
    }
    if (not_digits == 0)
        return text.isEmpty() ? 0 : Hex_Digit;
    std::uint8_t classes = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        classes |= Class_Of(in[i]);
    return classes;
}

// The six-bit values of the base64 digits.
constexpr std::uint8_t Not_Base64 = 0xFF;
constexpr std::array<std::uint8_t, 128> Make_Base64_Values() {
    std::array<std::uint8_t, 128> values{};
    values.fill(Not_Base64);
    for (int i = 0; i < 26; ++i) {
        values['A' + i] = static_cast<std::uint8_t>(i);
        values['a' + i] = static_cast<std::uint8_t>(26 + i);
    }
    for (int i = 0; i < 10; ++i)
        values['0' + i] = static_cast<std::uint8_t>(52 + i);
    values['+'] = 62;
    values['/'] = 63;
    return values;
}
constexpr std::array<std::uint8_t, 128> Base64_Values = Make_Base64_Values();

// Plain base64 (A-Z, a-z, 0-9, '+' and '/', then nothing, or one or two '=' when the whole text
// has a multiple of four characters) decoded straight into hex; false for any other text, which
// Qt's decoder then judges.
bool Plain_Base64_To_Hex(QStringView text, QString& hex) {
    const char16_t* const in = text.utf16();
    const qsizetype size = text.size();
    qsizetype padding = 0;
    while (padding < 2 && padding < size && in[size - 1 - padding] == u'=')
        ++padding;
    if (padding > 0 && size % 4 != 0)
        return false;
    const qsizetype digits = size - padding;
    // Every digit carries six bits; a byte is complete as soon as eight have come in, and bits
    // left over at the end make no byte.
    char16_t* out = Text_To_Fill(hex, 2 * (digits * 6 / 8));
    const auto value = [&](qsizetype i) -> std::uint32_t {
        return in[i] < 128 ? Base64_Values[in[i]] : Not_Base64;
    };
    qsizetype i = 0;
    // Four digits make three bytes.
    for (; digits - i >= 4; i += 4) {
        const std::uint32_t a = value(i), b = value(i + 1), c = value(i + 2), d = value(i + 3);
        if (((a | b | c | d) & ~0x3Fu) != 0) // not a digit
            return false;
        const std::uint32_t bits = (a << 18) | (b << 12) | (c << 6) | d;
        out = HexText::Put_Lower_Hex(
            HexText::Put_Lower_Hex(HexText::Put_Lower_Hex(out, bits >> 16), bits >> 8), bits);
    }
    // Two or three digits left make one or two bytes; a single one makes none.
    std::uint32_t bits = 0;
    for (qsizetype j = i; j < digits; ++j) {
        if (value(j) == Not_Base64)
            return false;
        bits = (bits << 6) | value(j);
    }
    if (digits - i == 2)
        HexText::Put_Lower_Hex(out, bits >> 4);
    else if (digits - i == 3)
        HexText::Put_Lower_Hex(HexText::Put_Lower_Hex(out, bits >> 10), bits >> 2);
    return true;
}

} // namespace

QStringList PacketConversion::Detection::Captured_Texts(QStringView cleaned) const {
    if (!Found())
        return {};
    const QString matched(cleaned[Position]);
    if (Class_Of(matched[0].unicode()) == Symbol_Marker)
        return {matched, matched}; // the whole match and group 1
    return {matched};
}

PacketConversion::PacketConversion(const QString& device_name, MessageReporter reporter)
    : User_Reporter(reporter ? std::move(reporter) : Log_Reporter()),
      Report([this](const UserMessage& message) {
          if (Current_Output)
              Current_Output->Show();
          Current.Messages.append(message);
          User_Reporter(message);
      }),
      Device_Utf8(device_name.toUtf8()) {}

QString PacketConversion::Clean_Input(const QString& input) {
    QString cleaned;
    cleaned.reserve(input.size());
    for (const QChar c : input) {
        if (Class_Of(c.unicode()) != Blank)
            cleaned.append(c);
    }
    return cleaned;
}

PacketConversion::Detection PacketConversion::Detect_Base64(QStringView cleaned) {
    // Every alternative of the pattern matches a single character, so the first match is the
    // first marker.
    for (qsizetype at = 0; at < cleaned.size(); ++at) {
        if ((Class_Of(cleaned[at].unicode()) & Marker) != 0)
            return {at};
    }
    return {};
}

bool PacketConversion::Hex_From_Base64(QStringView cleaned, QString& hex) {
    if (Plain_Base64_To_Hex(cleaned, hex))
        return true;
    const QByteArray::FromBase64Result decoded = QByteArray::fromBase64Encoding(
        cleaned.toLocal8Bit(), QByteArray::AbortOnBase64DecodingErrors);
    hex.resize(decoded ? 2 * decoded.decoded.size() : 0);
    char16_t* out = reinterpret_cast<char16_t*>(hex.data());
    for (const char byte : decoded.decoded)
        out = HexText::Put_Lower_Hex(out, static_cast<unsigned char>(byte));
    return bool(decoded);
}

void PacketConversion::Find_Warnings(QStringView input, bool has_other, bool base64_decoded) {
    Current.Hex_Is_Digits = Current.Is_Base64;
    if (Current.Is_Base64) {
        if (!base64_decoded)
            Current.Warnings.append(QStringLiteral("not valid base64: the paste gives no bytes"));
        return;
    }
    // The hex text is the paste without its blanks; a character that is not a hex digit reads
    // as 0 wherever it stands.
    const auto is_stray = [](QChar c) {
        return (Class_Of(c.unicode()) & (Hex_Digit | Blank)) == 0;
    };
    qsizetype strays = 0;
    if (has_other) {
        for (const QChar c : input)
            strays += is_stray(c);
    }
    Current.Hex_Is_Digits = strays == 0;
    if (strays > 0) {
        const qsizetype first_stray =
            std::find_if(input.begin(), input.end(), is_stray) - input.begin();
        const QChar c = input[first_stray];
        const QString shown =
            c.isPrint() ? QStringLiteral("\"%1\"").arg(c)
                        : QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        Current.Warnings.append(
            QStringLiteral("%1 character(s) that are not hex digits read as 0, the first %2 at "
                           "column %3")
                .arg(QString::number(strays), shown, QString::number(first_stray + 1)));
    }
    if (Current.Hex_Text.size() % 2 != 0)
        Current.Warnings.append(
            QStringLiteral("odd number of hex digits (%1): the last one is ignored")
                .arg(Current.Hex_Text.size()));
}

void PacketConversion::Append_Hex_Line(QByteArray& bytes, QStringView hex_text) {
    Utf8Writer out(bytes);
    out.Put(QByteArrayView("to HEX - "));
    out.Put_Text(hex_text);
    out.Put(QByteArrayView("\n\n", 2));
}

UserMessage PacketConversion::Empty_Input_Message() {
    return {MessageIcon::Information, QStringLiteral("Ошибка"),
            QStringLiteral("Пустые входные данные")};
}

UserMessage PacketConversion::Not_Decoded_Message() {
    return {MessageIcon::Information, QStringLiteral("Ошибка"),
            QStringLiteral("Не удалось распаристь пакет.")};
}

const PacketConversion::Result&
PacketConversion::Run(const QString& input, const Decode_Function& decode, Output* output) {
    Current.Messages.clear();
    Current.Warnings.clear();
    Current.Is_Base64 = false;
    Current.Form = PasteForm::Kind::Hex;
    // One look at every character tells what the steps below need to look for; cleaning removes
    // only blanks, so the cleaned text holds the same markers and other characters. Nearly every
    // paste is its own hex text: it is copied on the way (a copy, not a share of the caller's
    // text, whose buffer the caller may be reusing).
    const std::uint8_t classes = Copy_Classes_In(input, Current.Hex_Text);
    QString cleaned_copy;
    const QString& cleaned = (classes & Blank) != 0 ? (cleaned_copy = Clean_Input(input)) : input;
    if (cleaned.isEmpty()) {
        Current.State = Outcome::Empty_Input;
        Current.Hex_Text.resize(0);
        Current.Packet.clear();
        Report(Empty_Input_Message());
        return Current;
    }
    Current_Output = output;
    if (output)
        output->Clear();

    // A paste in one of the forms that spell hex with prefixes and separators is that hex before
    // base64 detection looks at it; only a text with an x or a character of the Other class can
    // be one.
    Current.Form = (classes & (Letter_Marker | Other)) != 0
                       ? PasteForm::Read(cleaned, Current.Hex_Text)
                       : PasteForm::Kind::Hex;
    const bool spelled = Current.Form != PasteForm::Kind::Hex;
    const Detection detection =
        !spelled && (classes & Marker) != 0 ? Detect_Base64(cleaned) : Detection{};
    if (Diagnostic_Lines)
        qCDebug(Conversion_Log) << detection.Captured_Texts(cleaned)
                                << (detection.Found() ? QString(cleaned[detection.Position])
                                                      : QString());
    Current.Is_Base64 = detection.Found();
    if (Current.Is_Base64)
        Current.Form = PasteForm::Kind::Base64;
    bool base64_decoded = false;
    if (Current.Is_Base64) {
        base64_decoded = Hex_From_Base64(cleaned, Current.Hex_Text);
        if (output)
            Append_Hex_Line(output->Text, Current.Hex_Text);
    } else if (!spelled && (classes & Blank) != 0) {
        Assign_Text(Current.Hex_Text, cleaned);
    }
    // The hex a form spells holds digits only.
    if (spelled)
        Find_Warnings(Current.Hex_Text, false, false);
    else
        Find_Warnings(input, (classes & Other) != 0, base64_decoded);

    // Packets of one type byte select one template: decoded into the list its predecessor of
    // that type left, a packet finds its fields, and their text buffers, in place. The lists
    // trade places, which touches no reference count.
    const int type_byte = HexText::Type_Byte(Current.Hex_Text);
    Kept[Packet_Type_Byte].swap(Current.Packet);
    Current.Packet.swap(Kept[type_byte]);
    Packet_Type_Byte = type_byte;
    decode(Current.Hex_Text, Current.Packet);
    if (Current.Packet.isEmpty()) {
        Current.State = Outcome::Not_Decoded;
        Report(Not_Decoded_Message());
    } else {
        Current.State = Outcome::Decoded;
        if (output)
            ResultRenderer::Append_Result(output->Text, Device_Utf8, Current.Packet,
                                          output->Field_Starts);
    }
    if (output)
        output->Show();
    Current_Output = nullptr;
    return Current;
}
