#pragma once

#include <QStringList>

class PacketBuilder;
class QTreeWidgetItem;

// Drives a real constructor window as a user would: presses its buttons, types into the editor a
// new row opens, and answers the message box a save opens.
class BuilderDriver {
  public:
    enum Kind { Packet_Type, Byte_Field, Bit_Field };

    explicit BuilderDriver(PacketBuilder& builder) : Builder(builder) {}
    // Adds a row with its cells (byte number or types, size, name); null when that failed.
    QTreeWidgetItem* Add(Kind kind, const QStringList& cells);
    // Names the template, presses "Сохранить"; the title and text of the one box that opened.
    QStringList Save(const QString& device_name, const QString& file_name);

  private:
    void Press(const QString& button);

    PacketBuilder& Builder;
};
