#pragma once

#include "DecodedField.h"
#include "PacketTemplate.h"

#include <QStringView>

// The value rules of fields whose keys say what they mean: the raw integer in the field's byte
// order and signedness, then dec, hex, float, ascii or time, with scale, offset, decimals, unit
// and labels. Each fills the value text and what the records add to it (number, label, unit,
// date); the field's name, line and bytes are the decoder's.
namespace FieldValue {

// A byte field under a format rule (Dec, Hex, Float, Ascii, Time, Tail_Hex, Tail_Ascii), read
// from the `count` bytes at `first` (a tail's: from its start to the end of the packet). A field
// that does not lie wholly inside the packet, an empty packet and an empty tail give an empty
// value.
void Write(DecodedField& field, const ByteFieldEntry& entry, QStringView packet, qint64 first,
           qint64 count);

// A bit group: its bits' unsigned value, `group`, of `count` bits (count > 0), under the entry's
// meaning; without one, its bits as text, lowest first.
void Write_Bit_Group(DecodedField& field, const FieldMeaning& meaning, unsigned group, int count);

} // namespace FieldValue
