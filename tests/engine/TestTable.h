#pragma once

#include "DecodedField.h"
#include "UserMessage.h"

#include <QStringList>
#include <QtTest>

#include <initializer_list>

// QtTest data tables written one row per line: the row's name, then one text per column.
using Table_Rows = std::initializer_list<std::initializer_list<const char*>>;

inline void Add_Table(std::initializer_list<const char*> columns, Table_Rows rows) {
    for (const char* column : columns)
        QTest::addColumn<QString>(column);
    for (const auto& row : rows) {
        if (row.size() != columns.size() + 1)
            qFatal("table row %s has %zu cells", *row.begin(), row.size());
        auto cell = row.begin();
        QTestData& data = QTest::newRow(*cell);
        for (++cell; cell != row.end(); ++cell)
            data << QString::fromUtf8(*cell);
    }
}

// "name=value" pairs joined by "|", so a whole result fits one table cell.
inline QString Flat(const DecodedPacket& packet) {
    QStringList parts;
    for (const DecodedField& field : packet)
        parts << field.Name + u'=' + field.Value;
    return parts.join(u'|');
}

// "I|title|text" (or "C|..." for the critical icon), one message per line.
inline QString Flat(const QList<UserMessage>& messages) {
    QStringList parts;
    for (const UserMessage& m : messages)
        parts << (m.Icon == MessageIcon::Information ? u"I|"_qs : u"C|"_qs) + m.Title + u'|' +
                     m.Text;
    return parts.join(u'\n');
}
