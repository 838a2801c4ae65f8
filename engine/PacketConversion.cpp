#include "PacketConversion.h"

#include "HexText.h"
#include "ResultRenderer.h"

#include <QByteArray>
#include <QDebug>

Q_LOGGING_CATEGORY(Conversion_Log, "kivo.conversion")

void PacketConversion::Output::Print_Result(const QString& device_name,
                                            const DecodedPacket& packet) {
    Insert(ResultRenderer::Render_Result(device_name, packet));
}

QString PacketConversion::Clean_Input(const QString& input) {
    QString cleaned = input;
    cleaned.remove(u'\t');
    cleaned.remove(u'\n');
    cleaned.remove(u' ');
    return cleaned;
}

// Equivalent to searching for the pattern (\\|\+|\=)|(?:[g-z]|(?:[G-Z])): every alternative
// matches a single character, so the first match is the first such character.
PacketConversion::Detection PacketConversion::Detect_Base64(QStringView cleaned) {
    Detection detection;
    for (qsizetype i = 0; i < cleaned.size(); ++i) {
        const char16_t c = cleaned[i].unicode();
        if (c == u'\\' || c == u'+' || c == u'=') {
            detection.Position = i;
            detection.Captured = {QString(QChar(c)), QString(QChar(c))};
            break;
        }
        if ((c >= u'g' && c <= u'z') || (c >= u'G' && c <= u'Z')) {
            detection.Position = i;
            detection.Captured = {QString(QChar(c))};
            break;
        }
    }
    return detection;
}

QString PacketConversion::Hex_From_Base64(const QString& cleaned) {
    const QByteArray::FromBase64Result decoded = QByteArray::fromBase64Encoding(
        cleaned.toLocal8Bit(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return QString();
    // What QByteArray::toHex writes (two lower-case digits per byte, no separator), straight into
    // the result: one buffer less for every base64 paste.
    QString hex(2 * decoded.decoded.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(hex.data());
    for (const char byte : decoded.decoded)
        out = HexText::Put_Lower_Hex(out, static_cast<unsigned char>(byte));
    return hex;
}

QString PacketConversion::To_Hex_Line(const QString& hex_text) {
    return QStringLiteral("to HEX - %1\n\n").arg(hex_text);
}

UserMessage PacketConversion::Empty_Input_Message() {
    return {MessageIcon::Information, QStringLiteral("Ошибка"),
            QStringLiteral("Пустые входные данные")};
}

UserMessage PacketConversion::Not_Decoded_Message() {
    return {MessageIcon::Information, QStringLiteral("Ошибка"),
            QStringLiteral("Не удалось распаристь пакет.")};
}

PacketConversion::Result PacketConversion::Run(const QString& input, const QString& device_name,
                                               const Decode_Function& decode,
                                               const MessageReporter& reporter, Output& output) {
    Result result;
    const QString cleaned = Clean_Input(input);
    if (cleaned.isEmpty()) {
        reporter(Empty_Input_Message());
        return result;
    }
    output.Clear();

    const Detection detection = Detect_Base64(cleaned);
    qCDebug(Conversion_Log) << detection.Captured
                            << (detection.Found() ? detection.Captured.first() : QString());
    result.Is_Base64 = detection.Found();
    result.Hex_Text = result.Is_Base64 ? Hex_From_Base64(cleaned) : cleaned;
    if (result.Is_Base64)
        output.Insert(To_Hex_Line(result.Hex_Text));

    result.Packet = decode(result.Hex_Text);
    if (result.Packet.isEmpty()) {
        result.State = Outcome::Not_Decoded;
        reporter(Not_Decoded_Message());
        return result;
    }
    result.State = Outcome::Decoded;
    output.Print_Result(device_name, result.Packet);
    return result;
}
