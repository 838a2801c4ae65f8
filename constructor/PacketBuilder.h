#pragma once

#include "DecodedField.h"
#include "TemplateRows.h"
#include "UserMessage.h"
#include "Workspace.h"

#include <QJsonObject>
#include <QSet>
#include <QString>
#include <QWidget>

#include <functional>

class DeviceTemplateFile;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The template constructor window. The user builds a device template as a tree of three levels
// (packet types, their byte fields, the bit fields of a byte field), names the device and the
// template file, and saves: the template goes into the workspace's template folder as <file>.json
// and the device into its registry.
//
// Every row carries its kind ("Type", "Byte" or "Bit") as user-role data of column 1. Byte fields
// of a packet type are numbered consecutively: a new field starts where the last one ends, and
// the packet type's size follows the end of its last field.
//
// A saved template can be opened again (Ctrl+O, or the main window's Ctrl+E): its rows replace the
// tree, and what of the file the tree cannot hold is listed before the user can save over it.
//
// What a field means (number kind, byte order, scale, unit, labels) is edited in "Свойства поля"
// (the tree's context menu, Alt+Enter, or a double click on the "Смысл" column) and shown in that
// column; a packet typed beside "Пример пакета:" is decoded under the unsaved tree at every change,
// each row showing its value.
class PacketBuilder : public QWidget {
    Q_OBJECT

  public:
    // Answers a yes-or-no question given its title and text: true for yes.
    using Question = std::function<bool(const QString& title, const QString& text)>;

    // Saves into and opens from `workspace`.
    explicit PacketBuilder(const Workspace& workspace = Workspace());
    ~PacketBuilder() override;

    // Loads the template registered for a device (file_name as Dev.conf holds it, ".json"
    // included) and names the device and the file. False, once the user has been told why, when
    // the file cannot be read or is not JSON.
    bool Open_Device_Template(const QString& device_name, const QString& file_name);
    // Lets this window save over the template file a registry value names (".json" included)
    // without asking, as long as no other device uses that file: it saved or opened it itself.
    void Own_File(const QString& file_name);

  Q_SIGNALS:
    // The user closed the window; it is already hidden and may be destroyed.
    void Close();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private Q_SLOTS:
    void Current_Index(QTreeWidgetItem* item, int column);
    void Add_Packet_Type();
    void Add_Data_Map();
    void Add_Bit_Map();
    void Save_Packet_Parser();
    void Delete_Element();
    void Set_Size_Packet(QTreeWidgetItem* item, int column);
    void Open_Template();
    void Mark_Numbers(QTreeWidgetItem* item, int column);
    void Edit_Field_Properties();
    void Open_Properties_Cell(QTreeWidgetItem* item, int column);
    void Refresh_Row(QTreeWidgetItem* item, int column);
    void Update_Sample();

  private:
    void Build_Widgets();
    void Add_Open_Action();
    void Add_Sample_Widgets();
    void Set_Meaning(QTreeWidgetItem* row, const QJsonObject& keys);
    void Show_Sample(const DeviceTemplateFile& file, const DecodedPacket& packet);
    QString Sample_Bytes(const QTreeWidgetItem* row) const;
    void Connect_Widgets();
    QTreeWidgetItem* Start_Row(QTreeWidgetItem* row, const QString& marker);
    QTreeWidgetItem* Row_Item(const TemplateRows::Row& row, int level);
    bool Load_Template(const QString& path);
    void Show_Rows(const QList<TemplateRows::Row>& rows);
    bool Take_File_Name(const QString& path);
    bool Is_Last_Field(const QTreeWidgetItem* row) const;
    void Forget_Rows_Within(const QTreeWidgetItem* removed);
    bool May_Write(const QString& file_name, const QString& device_name) const;
    bool May_Save_Zeros() const;

    QJsonObject Build_Packet_Parser() const;

    QPushButton* Button_Packet_Type = nullptr;
    QPushButton* Button_Data_Map = nullptr;
    QPushButton* Button_Bit_Map = nullptr;
    QPushButton* Button_Delete_Element = nullptr;
    QPushButton* Button_Save = nullptr;
    QTreeWidget* Packet_Tree = nullptr;
    QLineEdit* Edit_File_Name = nullptr;
    QLineEdit* Edit_Device_Name = nullptr;
    QLabel* Label_File_Name = nullptr;
    QLabel* Label_Device_Name = nullptr;
    QLabel* Label_Packet_Example = nullptr;
    // A sample packet decoded with the tree as it stands: each field row shows its value, and
    // what went wrong is said under the tree.
    QLineEdit* Edit_Packet_Example = nullptr;
    QLabel* Label_Sample_Status = nullptr;
    QString Sample_Hex; // the sample as the decoder got it

    // Rows of Packet_Tree, or null; they own nothing and never outlive the rows they name.
    QTreeWidgetItem* Current_Packet_Type = nullptr; // receives the next byte field
    QTreeWidgetItem* Current_Data_Map = nullptr;    // receives the next bit field
    QTreeWidgetItem* Selected_Element = nullptr;    // the row last clicked; deletion removes it
    int Next_Byte_Number = 0;                       // byte number of the next new byte field

    // Every message of this window goes out through Reporter (message boxes), every yes-or-no
    // question (move a device to another file, replace a template file another device uses or
    // this window did not write, replace the tree with an opened file) through Ask.
    Workspace Files; // where templates are saved and the devices registered
    MessageReporter Reporter;
    Question Ask;
    QSet<QString> Own_Files; // registry values of the files this window may save over unasked
};
