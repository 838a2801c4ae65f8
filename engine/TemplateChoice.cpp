#include "TemplateChoice.h"

#include "DecoderMessages.h"
#include "PacketDecoder.h"

#include <QFileInfo>

TemplateChoice::TemplateChoice(const QString& device, const QString& name, const QString& load_from)
    : Device(device), Name(name), Load_From(load_from),
      Loaded(DeviceTemplateFile::Load(load_from, &Load_Failure)) {}

TemplateChoice TemplateChoice::For_Device(const Workspace& workspace, const QString& device_name,
                                          const QString& file_name) {
    return TemplateChoice(device_name, Workspace::Template_Name(file_name),
                          workspace.Template_Path(file_name));
}

TemplateChoice TemplateChoice::For_File(const QString& path) {
    return TemplateChoice(QFileInfo(path).fileName(), path, path);
}

PacketConversion::Decode_Function TemplateChoice::Decoding(const MessageReporter& reporter) const {
    const PacketDecoder decoder(Name, reporter);
    return [this, decoder, reporter](const QString& hex, DecodedPacket& packet) {
        if (Loaded)
            return decoder.Parse_Packet(*Loaded, hex, packet);
        reporter(DecoderMessages::Load_Failure(Load_Failure, Name));
        packet.clear();
    };
}
