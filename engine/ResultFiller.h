#pragma once

#include "DecodedField.h"
#include "ReusedText.h"

// Fills a result list left from an earlier decoding: its entries, and the text buffers of their
// values, are used again, so that a caller decoding packet after packet into one list allocates
// nothing once the list has held a packet of the same shape. The list ends up holding exactly
// the fields handed out, in order.
class ResultFiller {
  public:
    ResultFiller(DecodedPacket& list, qsizetype expected_size) : List(list) {
        if (List.capacity() < expected_size)
            List.reserve(expected_size);
        Kept = List.size();
        Kept_Fields = Kept > 0 ? List.data() : nullptr; // data() detaches a shared list
    }
    ~ResultFiller() {
        if (List.size() != Used)
            List.resize(Used);
    }
    ResultFiller(const ResultFiller&) = delete;
    ResultFiller& operator=(const ResultFiller&) = delete;

    // The next field, with the name and line given (the template's, which it shares) and nothing
    // else: not placed in the packet, no number. Its value text holds the earlier one, for the
    // caller to overwrite. The reference lasts until the next call.
    Q_ALWAYS_INLINE DecodedField& Next(const QString& name,
                                       const std::shared_ptr<const FieldLine>& line) {
        DecodedField& field = Used < Kept ? Kept_Fields[Used] : List.emplace_back();
        ++Used;
        Share(field.Name, name);
        if (field.Line != line)
            field.Line = line;
        field.Offset = -1;
        field.Size = 0;
        field.Bit = -1;
        field.Bit_Count = 0;
        if (field.Number.Type != FieldNumber::Kind::None) {
            field.Number.Type = FieldNumber::Kind::None;
            field.Number.Length = -1;
        }
        field.Is_Label = field.Shows_Unit = field.Is_Date = field.Is_Length_Error = false;
        return field;
    }

    // Makes `out` share `text`, unless it already does: no reference count is touched for a name
    // that is in place from the packet before.
    static void Share(QString& out, const QString& text) {
        if (out.constData() != text.constData() || out.size() != text.size())
            out = text;
    }

  private:
    DecodedPacket& List;
    qsizetype Used = 0;
    qsizetype Kept = 0;                  // entries the list held before
    DecodedField* Kept_Fields = nullptr; // read only before any entry is added
};
