#pragma once

#include <QList>
#include <QString>

// One decoded value: the field's name and its value text, both as the template and the decoder
// made them. Display rules (bit fields, times) are read from the name by the renderer.
struct DecodedField {
    QString Name;
    QString Value;

    friend bool operator==(const DecodedField&, const DecodedField&) = default;
};

// The result of one decoding: empty when the packet was not decoded (the user has been told why),
// a single "ERROR" field for a length error, otherwise "Тип пакета" followed by the fields.
using DecodedPacket = QList<DecodedField>;
