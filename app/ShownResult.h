#pragma once

#include "DecodedField.h"
#include "PacketConversion.h"

#include <QList>
#include <QString>

// The conversion whose result the output pane shows: what was pasted, for which device, what the
// decoder made of it, and on which lines of the pane each field stands, as the pane's output kept
// them while the text went in. Empty while the pane shows no decoded packet.
class ShownResult {
  public:
    ShownResult() = default;
    // A conversion that decoded its packet; `field_lines` holds the line each field's text starts
    // on, then the line after the last field's text.
    ShownResult(const QString& input, const QString& device_name,
                const PacketConversion::Result& result, const QList<int>& field_lines);

    bool Is_Empty() const { return Converted.Packet.isEmpty(); }
    const QString& Input() const { return Input_Text; }
    const QString& Device_Name() const { return Device; }
    const PacketConversion::Result& Result() const { return Converted; }

    // The field printed on a line (text block) of the pane, or null on the other lines.
    const DecodedField* Field_On_Line(int line) const;
    // Where a field's value came from, in the hex text the decoder was given: "Байты 1-4: F1 53 65
    // FB", "Байт 7: 05", "Байт 7, биты 1-2", or "Вне пакета" for a field not read from the packet.
    QString Source_Text(const DecodedField& field) const;
    // A header line, then one line per field for spreadsheets: name, value, byte offset and byte
    // count, separated by tabs; the offset and count cells are empty for a field not read from
    // the packet.
    QString Table_Text() const;

  private:
    QString Input_Text;
    QString Device;
    PacketConversion::Result Converted;
    QList<int> Field_Lines; // the line each field's text starts on, then the line after the last
};
