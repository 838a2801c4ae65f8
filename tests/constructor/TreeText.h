#pragma once

#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

// The constructor's tree as text: one line per row, indented one blank per level, cells between
// bars ("1|8|Telemetry", " 1|4|Time").
inline QString Tree_Text(QTreeWidget* tree) {
    QString text;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        for (const QTreeWidgetItem* up = (*it)->parent(); up; up = up->parent())
            text += u' ';
        text += (*it)->text(0) + u'|' + (*it)->text(1) + u'|' + (*it)->text(2) + u'\n';
    }
    return text;
}
