#include "EditableCellsDelegate.h"

QWidget* EditableCellsDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                             const QModelIndex& index) const {
    if (index.column() >= Editable_Columns)
        return nullptr;
    return QStyledItemDelegate::createEditor(parent, option, index);
}
