#pragma once

#include <QStringList>

#include <functional>

class QDialog;
class PacketBuilder;
class QTreeWidget;
class QTreeWidgetItem;

// Drives a shown constructor window as its user does: presses its buttons, adds rows, clicks
// them, names the device and the file, and saves.
class BuilderDriver {
  public:
    enum Kind { Type, Byte, Bit };

    explicit BuilderDriver(PacketBuilder* builder);

    void Press(const QString& button_text);
    void Click(QTreeWidgetItem* row);
    // Presses the kind's add button and types the cell its editor opens on, committing it with
    // Enter; the other cells are set as an editor commits them. Null cells keep what the window
    // put there.
    QTreeWidgetItem* Add(Kind kind, const QStringList& cells);
    QTreeWidgetItem* Add_Type(const QString& codes) { return Add(Type, {codes, {}, "T"}); }
    QTreeWidgetItem* Add_Byte(const QString& size) { return Add(Byte, {{}, size}); }
    // Opens "Свойства поля" on a field row with Alt+Enter, lets `fill` set its controls and
    // accepts it.
    void Set_Properties(QTreeWidgetItem* row, const std::function<void(QDialog*)>& fill);
    // "device|file" as the two name fields hold them.
    QString Names() const;
    void Set_Names(const QString& device_name, const QString& file_name);
    // Names the template and presses "Сохранить": what the save showed, questions answered with
    // `answer` (none: their default button).
    QStringList Save(const QString& device_name, const QString& file_name,
                     const QString& answer = {});
    // The tree as text: one line per row, indented one blank per level, cells between bars
    // ("1|8|Telemetry", " 1|4|Time"), and a field's meaning after a fourth bar when it has one.
    QString Tree_Text() const;

    PacketBuilder* const Builder;
    QTreeWidget* const Tree;
};
