#include "Utf8ResultWriter.h"

#include "OutputBuffer.h"
#include "ResultRenderer.h"

#include <cstdint>

Utf8ResultWriter::Utf8ResultWriter(const QString& device_name) {
    const QString header = ResultRenderer::Render_Result(device_name, {});
    Header = header.left(header.size() - 2).toUtf8(); // without the trailer
}

Utf8ResultWriter::Name_Entry Utf8ResultWriter::Describe(const QString& name) {
    const ResultRenderer::Field_Line line = ResultRenderer::Describe_Field(name);
    Name_Entry entry;
    entry.Name = name;
    entry.Prefix = line.Prefix.toUtf8();
    entry.Is_Time = line.Is_Time;
    return entry;
}

const Utf8ResultWriter::Name_Entry& Utf8ResultWriter::Find_Entry(const QString& name) {
    std::size_t slot = Home_Slot(name);
    for (int probe = 0; probe < Table_Size; ++probe, slot = (slot + 1) % Table_Size) {
        Name_Entry& entry = Table[slot];
        if (entry.Name.constData() == name.constData() && !entry.Prefix.isEmpty())
            return entry;
        if (entry.Prefix.isEmpty()) {
            // A free slot: remember the name while the table is at most half full.
            if (Table_Used >= Table_Size / 2)
                break;
            entry = Describe(name);
            ++Table_Used;
            return entry;
        }
    }
    Scratch = Describe(name);
    return Scratch;
}

void Utf8ResultWriter::Append(OutputBuffer& out, const DecodedPacket& packet) {
    out.Append(QByteArrayView(Header));
    for (const DecodedField& field : packet) {
        const Name_Entry& entry = Entry_For(field.Name);
        out.Append(QByteArrayView(entry.Prefix));
        if (entry.Is_Time)
            out.Append_Utf8(ResultRenderer::Render_Time(field.Value));
        else
            out.Append_Utf8(field.Value);
        out.Append('\n');
    }
    out.Append(QByteArrayView("\n\n", 2));
}
