// Fuzzes the template linter behind `kivo-decode --check` with arbitrary bytes taken as a
// template document, and decodes a packet made of the same bytes with it, whatever its fields'
// meaning keys say.

#include "DeviceTemplateFile.h"
#include "FuzzRequire.h"
#include "JsonRecord.h"
#include "PacketDecoder.h"
#include "TemplateLinter.h"
#include "Workspace.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray document(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QList<TemplateLinter::Finding> findings = TemplateLinter::Lint(document);
    const DeviceTemplateFile file = DeviceTemplateFile::From_Json(document);

    bool document_reported = false;
    for (const TemplateLinter::Finding& finding : findings) {
        Require(finding.Template_Index >= -1 && finding.Template_Index < file.Templates().size(),
                "a finding names an existing template or the document");
        Require(!finding.Text.isEmpty(), "a finding says what is wrong");
        const QString line = finding.Line();
        Require(line.startsWith(finding.Template_Index < 0 ? QLatin1String("document")
                                                           : QLatin1String("template ")),
                "a finding's line starts with what it is about");
        Require(line.contains(finding.Text), "a finding's line holds its text");
        document_reported = document_reported || finding.Template_Index < 0;
    }
    Require(file.Is_Valid_Document() || document_reported,
            "a document that is not a template file is reported");
    Require(TemplateLinter::Lint(document) == findings, "the linter is deterministic");

    const QString packet = QString::fromLatin1(document.left(40).toHex());
    const DecodedPacket decoded =
        PacketDecoder(Workspace().Template_Path(QStringLiteral("fuzz.json")),
                      [](const UserMessage&) {})
            .Parse_Packet(file, packet);
    for (const DecodedField& field : decoded)
        Require(!field.Is_In_Packet() || 2 * (qint64(field.Offset) + field.Size) <= packet.size(),
                "a field's bytes lie inside the packet");
    PacketConversion::Result result;
    result.State = decoded.isEmpty() ? PacketConversion::Outcome::Not_Decoded
                                     : PacketConversion::Outcome::Decoded;
    result.Hex_Text = packet;
    result.Packet = decoded;
    const QByteArray record = JsonRecord::Of(QStringLiteral("D"), packet, result);
    Require(record.startsWith('{') && record.endsWith('}'), "a record is one JSON object");
    return 0;
}
