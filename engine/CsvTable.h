#pragma once

#include "DeviceTemplateFile.h"
#include "PacketConversion.h"
#include "RecordSource.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

class Utf8Writer;

// Conversions as rows of one CSV table (RFC 4180: UTF-8, fields with a comma, quote or line break
// quoted, quotes doubled, CR LF after every row). The columns are
//   file, line   where the paste was read (empty for a paste given otherwise)
//   form         how the paste spelled its bytes, as the JSON record's "form"
//   input, device, ok, type, error, warnings   as in the JSON record; type is the packet type's
//                name, warnings are joined with "; "
// and then one column per field name of the template file, in the file's order across all its
// packet types, first appearance first: a bit field as "<byte field>.<bit field>", a field with a
// unit as "<name> (<unit>)", and a name that a packet type repeats has a column for each time it
// appears in one type. Headers are unique: one that an earlier column already has ("X" repeated,
// a field named "type", a field named "X#2" beside a repeated "X") gets "#2", "#3" and so on, the
// first number that is still free. Number cells hold the number without its unit (a bit field the
// value of its bits), labels the label, time fields ISO 8601 UTC dates, other fields their text.
class CsvTable {
  public:
    // Without a template file the table has no field columns.
    CsvTable(const QString& device_name, const DeviceTemplateFile* file);

    void Append_Header(QByteArray& out) const;
    void Append_Row(QByteArray& out, const QString& input, const PacketConversion::Result& result,
                    const RecordSource* source = nullptr);

    // One cell, quoted when it must be.
    static void Put_Cell(Utf8Writer& out, QStringView text);
    // One field's cell.
    static void Put_Value(Utf8Writer& out, const DecodedField& field);
    // The header row's texts for the wanted names, in order, each one unique (rule above).
    static QStringList Unique_Headers(const QStringList& wanted);

  private:
    // A field name and how often it came before within its packet type: the n-th field of a name
    // in each packet type shares one column.
    struct Column {
        QString Name;
        int Repeat = 0;
    };
    int Column_For(const QString& name, int repeat);

    const DeviceTemplateFile* File;
    QString Device_Name;
    QList<Column> Columns;
    QStringList Headers; // the fixed columns, then the field columns
    // For each template of the file, the column of each field of its decoded packet (-1 for
    // the "Тип пакета" field, which is the type column).
    std::vector<std::vector<int>> Field_Columns;
    std::vector<qsizetype> Row; // the field shown in each column, -1 for none; one buffer
};
