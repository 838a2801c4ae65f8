#pragma once

#include <QString>
#include <QStringList>

class PacketBuilder;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// Drives a real constructor window as a user would: presses its buttons, types the cell the new
// row's editor opens on into that editor, and fills the other cells as an editor commits them.
class BuilderDriver {
  public:
    explicit BuilderDriver(PacketBuilder& builder);

    // Each adds one row with the three cell texts (byte number or type, size, name).
    QTreeWidgetItem* Add_Packet_Type(const QStringList& cells);
    QTreeWidgetItem* Add_Byte_Field(const QStringList& cells);
    QTreeWidgetItem* Add_Bit_Field(const QStringList& cells);
    void Set_Cell(QTreeWidgetItem* row, int column, const QString& text);

    void Set_Names(const QString& device_name, const QString& file_name);
    void Press(QPushButton* button);
    void Press_Save();

    QTreeWidget* Tree = nullptr;

  private:
    QTreeWidgetItem* Add_Row(QPushButton* button, int editor_column, const QStringList& cells);
    QPushButton* Button(const QString& text) const;

    PacketBuilder& Builder;
    QLineEdit* Edit_Device_Name = nullptr;
    QLineEdit* Edit_File_Name = nullptr;
};
