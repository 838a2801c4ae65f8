#pragma once

#include "FieldLine.h"

#include <QList>
#include <QString>

#include <memory>

// One decoded value: the field's name and its value text, both as the template and the decoder
// made them. Display rules (bit fields, times) are read from the name.
//
// The decoder also records where the value came from, so that the window can show a value's
// bytes: the first byte and the byte count it was read from, and for a bit field the first bit
// and bit count inside that byte (bit 0 the least significant). A field that was not read from
// the packet (one reaching outside it, an empty tail, a field of size 0 or less) has Offset -1.
//
// Beside its text a value has the number the records give for it (JSON "number", the CSV cell):
// for most fields the text itself or the part before its unit, so nothing is made for it.
struct FieldNumber {
    enum class Kind : quint8 {
        None,    // no number (hex as typed, beacons, tails, text, a field outside the packet)
        Prefix,  // the first Length characters of the value text (-1: all of it)
        Integer, // Integer
        Real,    // Real, which may be NaN or infinite
        Text,    // Text, a decimal integer too wide for Integer
        Hex      // the value text, "0x" or "-0x" and hex digits
    };
    Kind Type = Kind::None;
    qsizetype Length = -1;
    qint64 Integer = 0;
    double Real = 0;
    QString Text;
};

struct DecodedField {
    QString Name;
    QString Value;
    int Offset = -1;
    int Size = 0;
    int Bit = -1; // -1 unless a bit field
    int Bit_Count = 0;
    // How the field prints, worked out from Name when the template was read; a field made by hand
    // has none, and the renderer works it out from Name itself.
    std::shared_ptr<const FieldLine> Line = nullptr;
    FieldNumber Number = {};
    bool Is_Label = false;        // the value text is a label of the `enum`
    bool Shows_Unit = false;      // the value text ends in " " and the line's unit
    bool Is_Date = false;         // the value text is a date made of Number, in seconds
    bool Is_Length_Error = false; // the packet's length does not fit its template

    bool Is_In_Packet() const { return Offset >= 0; }
    bool Is_Bit_Field() const { return Bit >= 0; }

    // Line follows from Name, so it takes no part.
    friend bool operator==(const DecodedField& a, const DecodedField& b) {
        return a.Name == b.Name && a.Value == b.Value && a.Offset == b.Offset && a.Size == b.Size &&
               a.Bit == b.Bit && a.Bit_Count == b.Bit_Count;
    }
};

// The result of one decoding: empty when the packet was not decoded (the user has been told why),
// a single "ERROR" field marked Is_Length_Error for a length error (its bytes the whole packet),
// otherwise "Тип пакета" (byte 0) followed by the fields.
using DecodedPacket = QList<DecodedField>;
