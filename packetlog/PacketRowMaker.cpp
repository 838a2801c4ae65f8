#include "PacketRowMaker.h"

#include "DeviceRegistry.h"
#include "PacketRows.h"

PacketRowMaker::PacketRowMaker(std::shared_ptr<const TemplateChoice> choice)
    : Choice(std::move(choice)), Conversion(Choice->Device_Name(), [](const UserMessage&) {}),
      Decode(Choice->Decoding(Conversion.Reporter())),
      Table(Choice->Device_Name(), Choice->File()) {
    Conversion.Write_Diagnostic_Lines(false);
    if (!Choice->File()) {
        // The decoder's own message for the file, as every packet gets it.
        const PacketConversion::Result& result =
            Conversion.Run(QStringLiteral("00"), Decode, nullptr);
        if (!result.Messages.isEmpty())
            Problem =
                result.Messages.first().Title + QStringLiteral(": ") + result.Messages.first().Text;
    }
}

std::shared_ptr<const TemplateChoice> PacketRowMaker::Choose(const Workspace& workspace,
                                                             const QString& device_name) {
    QString file_name;
    for (const DeviceRegistry::Device& device : DeviceRegistry::Read(workspace.Registry_Path())) {
        if (device.Name == device_name)
            file_name = device.File_Name;
    }
    return std::make_shared<const TemplateChoice>(
        TemplateChoice::For_Device(workspace, device_name, file_name));
}

QByteArray PacketRowMaker::Header() const {
    QByteArray header;
    Table.Append_Header(header);
    return header;
}

void PacketRowMaker::Add(const QString& paste, qint64 line, qint64 time_ms, PacketRows& rows) {
    Source.Line = line;
    const PacketConversion::Result& result = Conversion.Run(paste, Decode, nullptr);
    Row.resize(0);
    Table.Append_Row(Row, paste, result, &Source);
    rows.Append(Row, result.Is_Decoded() ? result.Packet.first().Value : QString(),
                result.Is_Decoded(), time_ms);
}
