#pragma once

#include "FieldLine.h"
#include "FieldMeaning.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <memory>

// A template file read once and turned into plain values, so that decoding a packet never looks
// anything up in JSON. Every integer follows the template reading rules (whole numbers within
// signed 32-bit, otherwise 0); every name is text (empty when missing or not a string).

struct BitFieldEntry {
    int Num_Bit = 0;
    int Size = 0;
    QString Name;       // as the template writes it
    QString Field_Name; // the decoded field's name, FieldLine::Bit_Field_Name(Name)
    std::shared_ptr<const FieldLine> Line;
    FieldMeaning Meaning; // "format" bits or dec, and "enum"
};

struct ByteFieldEntry {
    int Num_Byte = 0;
    int Size = 0;
    QString Name;
    bool Has_Bitmap = false; // `bitmap` is a JSON array (possibly empty)
    QList<BitFieldEntry> Bitmap;
    std::shared_ptr<const FieldLine> Line;
    FieldMeaning Meaning;
    FieldMeaning::Rule Rule = FieldMeaning::Rule::Number; // what makes the value text

    // A variable tail (size -1 without a bit map): its bytes run to the end of the packet.
    bool Is_Tail() const {
        using enum FieldMeaning::Rule;
        return Rule == Tail || Rule == Tail_Hex || Rule == Tail_Ascii;
    }
};

struct TypeEntry {
    int T = 0;
    QString Name;
};

struct PacketTemplate {
    bool Is_Type_Array = false; // `packet_type` is an array of type entries
    int Packet_Type = 0;        // the integer form; -1 accepts every type
    QList<TypeEntry> Types;     // the array form
    QString Name;               // template-level name, used with the integer form
    int Total_Size = 0;
    bool Has_Min_Size = false;
    int Min_Size = 0;
    bool Has_Err = false;  // a hand-written key `ERR` marks the template as a failed read
    bool Is_Empty = false; // an empty object, or not an object: selected, it counts as no template
    QList<ByteFieldEntry> Data;
    qsizetype Field_Count = 1; // of a decoded packet: the type, every field and every bit field

    // A variable tail (size -1) runs from byte min_size - 1, never before byte 0, to the end.
    qint64 Tail_Start() const { return std::max<qint64>(qint64(Min_Size) - 1, 0); }
};
