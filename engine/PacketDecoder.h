#pragma once

#include "DecodedField.h"
#include "DeviceTemplateFile.h"
#include "UserMessage.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringView>

// Decodes packets, given as hexadecimal text, with a device's template file. A decoder built for
// one conversion reads its file at every Parse_Packet, so edits to the file take effect at once;
// callers that decode many packets load a DeviceTemplateFile once and use the overload taking it.
class PacketDecoder {
  public:
    enum class ByteOrder { Little_Endian, Packet_Order };

    // `template_path` is where Parse_Packet reads the file, and how messages name it.
    explicit PacketDecoder(const QString& template_path, MessageReporter reporter = Log_Reporter());

    QString Template_Path;

    // Reads the template file and decodes one packet. A file that cannot be opened or a packet
    // that no template accepts is reported and gives an empty result.
    DecodedPacket Parse_Packet(const QString& packet) const;
    // The same with a template file already loaded; Template_Path only names it in messages.
    DecodedPacket Parse_Packet(const DeviceTemplateFile& file, QStringView packet) const;
    // The same into `result`, which is overwritten: its entries and the buffers of their texts
    // are used again where they fit and are not shared, so decoding packet after packet into one
    // list (best one per packet shape) allocates next to nothing.
    void Parse_Packet(const DeviceTemplateFile& file, QStringView packet,
                      DecodedPacket& result) const;

    // The template a packet selects: the element of `packet_data`, an empty object when none
    // accepts it, or {"ERR": "NOFILE"} (after a report) when the file cannot be opened.
    QJsonObject Find_Template(const QString& path, const QString& packet) const;
    static QString Packet_Type_Name(int type, const QJsonObject& packet_template);

    // A field as decimal text: sizes 1, 2 and 4 signed, 3 and 5 or more unsigned (exact at any
    // width), 0 or less gives "0". Non-hex characters give "0"; a field that does not lie wholly
    // inside the packet, and an empty packet, give empty text.
    static QString Read_Number(QStringView packet, qint64 num_byte, qint64 size, ByteOrder order);
    // A 6-byte field as its hex characters, a 20-byte field through Decode_Beacon; empty text for
    // an empty packet or a field outside it.
    static QString Read_Field_Text(QStringView packet, qint64 num_byte, qint64 size);
    // The bit fields of a byte field's value (its lowest 8 bits), one per `bitmap` entry.
    static DecodedPacket Parse_Bit_Map(const QJsonArray& bitmap, const QString& value);
    static DecodedPacket Parse_Bit_Map(const QList<BitFieldEntry>& bitmap, const QString& value);
    // One line describing a 40-character beacon payload, or empty text for an unknown kind.
    static QString Decode_Beacon(QStringView payload);

    // The messages the decoder reports, for callers that report the same conditions themselves.
    static UserMessage Open_Failure_Message(const QString& path);
    // Why a template file was not read: it cannot be opened, or it is too large.
    static UserMessage Load_Failure_Message(SafeFile::ReadFailure failure, const QString& path);
    static UserMessage Missing_Template_Message(int type_byte, const QString& path);

  private:
    MessageReporter Reporter;
};
