#include "TemplateChoice.h"

#include "DecoderMessages.h"
#include "PacketDecoder.h"

#include <QFileInfo>

TemplateChoice::TemplateChoice(const QString& device, const QString& path, const QString& load_from)
    : Device(device), Path(path), Load_From(load_from),
      Loaded(DeviceTemplateFile::Load(load_from, &Load_Failure)) {}

TemplateChoice TemplateChoice::For_Device(const QDir& workdir, const QString& device_name,
                                          const QString& file_name) {
    const QString path = QStringLiteral("Device/") + file_name;
    return TemplateChoice(device_name, path, workdir.filePath(path));
}

TemplateChoice TemplateChoice::For_File(const QString& path) {
    return TemplateChoice(QFileInfo(path).fileName(), path, path);
}

PacketConversion::Decode_Function TemplateChoice::Decoding(const MessageReporter& reporter) const {
    const PacketDecoder decoder(Path, reporter);
    return [this, decoder, reporter](const QString& hex, DecodedPacket& packet) {
        if (Loaded)
            return decoder.Parse_Packet(*Loaded, hex, packet);
        reporter(DecoderMessages::Load_Failure(Load_Failure, Path));
        packet.clear();
    };
}
