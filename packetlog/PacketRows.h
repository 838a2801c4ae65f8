#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <vector>

// The rows of a packet log, kept compact: each row is the CSV row the engine's table writer made
// for the packet, without its first cell (the file, which is the same for every row), in large
// shared blocks, plus a few facts the filters need. Cells are split out only when asked for, so a
// million rows take little more than their CSV text.
class PacketRows {
  public:
    // `csv_row` starts with the comma that ends the empty file cell; `type` is the packet type's
    // name (empty when not decoded); `time_ms` the arrival time, or -1 for rows read from a file.
    void Append(QByteArrayView csv_row, const QString& type, bool ok, qint64 time_ms = -1);
    // Moves the rows of `more` behind these.
    void Append(PacketRows&& more);
    void Clear();

    qsizetype Size() const { return qsizetype(Entries.size()); }
    QByteArrayView Csv_Row(qsizetype row) const;
    // The row's cells, the file cell included (empty).
    QStringList Cells(qsizetype row) const { return Split_Row(Csv_Row(row)); }
    // One cell of the row (0 the file cell), without splitting the others; empty past the last.
    QString Cell(qsizetype row, int column) const;
    // The same as the row's bytes when the cell is not quoted (numbers and dates never are); an
    // empty view for a quoted or missing cell. Valid while the rows are.
    QByteArrayView Plain_Cell(qsizetype row, int column) const;
    // Index into Types(), 0 for rows without a type (not decoded).
    int Type_Of(qsizetype row) const { return Entries[row].Type; }
    const QStringList& Types() const { return Type_Names; }
    bool Is_Ok(qsizetype row) const { return Entries[row].Ok; }
    // -1 for a row read from a file.
    qint64 Time_Of(qsizetype row) const { return Times.empty() ? -1 : Times[row]; }
    // Memory the rows hold, for the report of bytes per row.
    qint64 Bytes_Used() const;

    // The cells of one CSV row as the engine's writer quotes them (RFC 4180; the row's own CR LF
    // end, if any, is not part of its last cell).
    static QStringList Split_Row(QByteArrayView csv_row);

  private:
    struct Entry {
        quint32 Block;
        quint32 Offset;
        quint32 Size;
        quint16 Type;
        bool Ok;
    };
    static constexpr qsizetype Block_Size = 1 << 20;

    quint16 Type_Index(const QString& type);

    std::vector<QByteArray> Blocks;
    std::vector<Entry> Entries;
    std::vector<qint64> Times; // empty, or one per row
    QStringList Type_Names{QString()};
};
