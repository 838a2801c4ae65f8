#pragma once

#include "DecodedField.h"
#include "DeviceTemplateFile.h"
#include "UserMessage.h"

#include <QString>
#include <QStringView>

// Decodes packets, given as hexadecimal text, with a device's template file. The window reads the
// file at every conversion, so edits to it take effect at once; callers that decode many packets
// load a DeviceTemplateFile once and hand it in.
//
// The fields of the selected template are decoded in order, each by the first rule that fits:
// a byte field with a bit map gives one field per bit-map entry; one whose keys say what it means
// is read as they say; otherwise its size decides: 6 bytes as the hex text typed, 20 bytes as a
// beacon payload in words, -1 as the variable tail, anything else as a little-endian number.
class PacketDecoder {
  public:
    // `template_path` is where the file is read, and how messages name it.
    explicit PacketDecoder(const QString& template_path, MessageReporter reporter = Log_Reporter());

    // Reads the template file and decodes one packet. A file that cannot be read or a packet
    // that no template accepts is reported and gives an empty result.
    DecodedPacket Parse_Packet(const QString& packet) const;
    // The same with the file already read.
    DecodedPacket Parse_Packet(const DeviceTemplateFile& file, QStringView packet) const;
    // The same into `result`, which is overwritten: its entries and the buffers of their texts
    // are used again where they fit and are not shared, so decoding packet after packet into one
    // list (best one per packet shape) allocates next to nothing.
    void Parse_Packet(const DeviceTemplateFile& file, QStringView packet,
                      DecodedPacket& result) const;

  private:
    QString Template_Path;
    MessageReporter Reporter;
};
