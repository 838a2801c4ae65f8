#include "JsonRecord.h"

#include "ResultRenderer.h"
#include "Utf8ResultWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace JsonRecord {

namespace {

QJsonArray Fields_Json(const DecodedPacket& packet) {
    QJsonArray fields;
    for (const DecodedField& field : packet) {
        QJsonObject object{{QStringLiteral("name"), field.Name},
                           {QStringLiteral("value"), field.Value}};
        if (Utf8ResultWriter::Shows_As_Time(field.Name))
            object.insert(QStringLiteral("time"), ResultRenderer::Render_Time(field.Value));
        fields.append(object);
    }
    return fields;
}

QJsonArray Messages_Json(const QList<UserMessage>& messages) {
    QJsonArray array;
    for (const UserMessage& message : messages)
        array.append(QJsonObject{{QStringLiteral("title"), message.Title},
                                 {QStringLiteral("text"), message.Text}});
    return array;
}

} // namespace

QByteArray Line(const QString& input, const QString& device_name,
                const PacketConversion::Result& result, const QList<UserMessage>& messages) {
    const QJsonObject record{
        {QStringLiteral("input"), input},
        {QStringLiteral("hex"), result.Hex_Text},
        {QStringLiteral("base64"), result.Is_Base64},
        {QStringLiteral("device"), device_name},
        {QStringLiteral("ok"), result.State == PacketConversion::Outcome::Decoded},
        {QStringLiteral("fields"), Fields_Json(result.Packet)},
        {QStringLiteral("messages"), Messages_Json(messages)},
    };
    return QJsonDocument(record).toJson(QJsonDocument::Compact);
}

} // namespace JsonRecord
