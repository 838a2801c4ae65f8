#pragma once

#include "DecodedField.h"
#include "UserMessage.h"

#include <QStringList>
#include <QtTest>

#include <initializer_list>
#include <utility>

// QtTest data tables with each row one text: its name, then its cells, separated by " | ". Row()
// gives the current row's cells; a row with a missing or extra cell stops the test program.
using Rows = std::initializer_list<const char*>;
inline void Add_Rows(Rows rows) {
    QTest::addColumn<QStringList>("cells");
    for (const char* row : rows) {
        QStringList cells = QString::fromUtf8(row).split(u" | "_qs);
        QTest::newRow(cells.takeFirst().toUtf8().constData()) << cells;
    }
}

inline QStringList Row(qsizetype count) {
    QFETCH(QStringList, cells);
    if (cells.size() != count)
        qFatal("row %s has %lld cells", QTest::currentDataTag(), qlonglong(cells.size()));
    return cells;
}

// "name=value" pairs joined by "|", so a whole result fits one table cell.
inline QString Flat(const DecodedPacket& packet) {
    QStringList parts;
    for (const DecodedField& field : packet)
        parts << field.Name + u'=' + field.Value;
    return parts.join(u'|');
}

// Where a field was read from: "offset+size", "offset.bit+bits" for a bit field, "-" outside.
inline QString Source(const DecodedField& f) {
    return !f.Is_In_Packet()  ? u"-"_qs
           : f.Is_Bit_Field() ? u"%1.%2+%3"_qs.arg(f.Offset).arg(f.Bit).arg(f.Bit_Count)
                              : u"%1+%2"_qs.arg(f.Offset).arg(f.Size);
}
inline QString Sources(const DecodedPacket& packet) {
    QStringList parts;
    for (const DecodedField& field : packet)
        parts << Source(field);
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

// A strict RFC 4180 reader: rows end in CR LF, quoted fields may hold anything.
inline QList<QStringList> Read_Csv(const QByteArray& bytes) {
    const QString text = QString::fromUtf8(bytes);
    QList<QStringList> rows;
    QStringList row;
    QString cell;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'"') { // up to the quote that is not doubled
            while (++i < text.size() &&
                   (text[i] != u'"' || (i + 1 < text.size() && text[i + 1] == u'"' && ++i)))
                cell += text[i];
        } else if (text[i] == u',') {
            row << std::exchange(cell, QString());
        } else if (text.mid(i++, 2) == u"\r\n") {
            row << std::exchange(cell, QString());
            rows << std::exchange(row, QStringList());
        } else {
            cell += text[--i];
        }
    }
    return rows;
}
