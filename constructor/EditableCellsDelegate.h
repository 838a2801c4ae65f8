#pragma once

#include <QStyledItemDelegate>

// Opens a cell editor only in the columns the user types into; the columns after them show what
// the window works out (a field's meaning, its value in the sample packet).
class EditableCellsDelegate : public QStyledItemDelegate {
  public:
    EditableCellsDelegate(int editable_columns, QObject* parent)
        : QStyledItemDelegate(parent), Editable_Columns(editable_columns) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;

  private:
    int Editable_Columns;
};
