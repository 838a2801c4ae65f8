#pragma once

#include "DecodedField.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>

class OutputBuffer;

// Writes a decoded packet as UTF-8, byte for byte the text ResultRenderer makes, without building
// that text first. How a field's name is shown (indented bit field, time field, plain field) is
// learnt from ResultRenderer itself, once per distinct name, and remembered.
class Utf8ResultWriter {
  public:
    explicit Utf8ResultWriter(const QString& device_name);

    void Append(OutputBuffer& out, const DecodedPacket& packet);

    // True when the window prints a field of this name with its value as a date.
    bool Shows_As_Time(const QString& name) { return Entry_For(name).Is_Time; }

  private:
    struct Name_Entry {
        QString Name;      // holds the name's storage, so its address stays this name's
        QByteArray Prefix; // the line up to the value, "Name: --- " or "\tName: --- "
        bool Is_Time = false;
    };

    static Name_Entry Describe(const QString& name);
    static std::size_t Home_Slot(const QString& name) {
        const auto address = reinterpret_cast<std::uintptr_t>(name.constData());
        return static_cast<std::size_t>((address >> 3) * 0x9E3779B97F4A7C15ULL >> 54);
    }
    // A name met before is nearly always in its home slot: that look-up is inline.
    const Name_Entry& Entry_For(const QString& name) {
        const Name_Entry& home = Table[Home_Slot(name)];
        if (home.Name.constData() == name.constData() && !home.Prefix.isEmpty())
            return home;
        return Find_Entry(name);
    }
    const Name_Entry& Find_Entry(const QString& name);

    QByteArray Header;
    // Names seen so far, looked up by the address of their shared storage: the decoder hands out
    // the template's own name texts, so each distinct name has one address for the whole run.
    static constexpr int Table_Size = 1024;
    std::array<Name_Entry, Table_Size> Table;
    int Table_Used = 0;
    Name_Entry Scratch;
};
