#pragma once

#include "PacketRows.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QStringList>

#include <vector>

// The packet log as a table: one row per packet, the cells of the CSV row kivo-decode --csv
// writes for it. Shown are the line (or the arrival time of a serial line), ok, type, error,
// warnings and the field columns; the file, input, form and device cells stay in the row for export
// and detail. A filter by type and by outcome picks the rows shown.
class PacketLogModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum class Outcome_Filter { All, Errors, Decoded };
    // CSV columns before the first field column: file, line, input, form, device, ok, type,
    // error, warnings.
    static constexpr int Csv_Line = 1, Csv_Input = 2, Csv_Ok = 5, Csv_Fixed = 9;

    explicit PacketLogModel(QObject* parent = nullptr);

    // Starts a new log with the CSV header row of its template; `timed`: rows carry arrival times.
    void Reset(const QByteArray& header, bool timed);
    void Append(PacketRows& rows);
    // Hands the rows over (for decoding them again) and leaves the log empty.
    PacketRows Take_Rows();
    void Set_Filter(const QString& type, Outcome_Filter outcome);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    const PacketRows& Rows() const { return Stored; }
    // Memory the log holds: the rows and the list of the shown ones.
    qint64 Bytes_Used() const {
        return Stored.Bytes_Used() + qint64(Shown.capacity() * sizeof(quint32));
    }
    const QStringList& Csv_Header() const { return Header; }
    bool Is_Timed() const { return Timed; }
    // The stored row a shown row is.
    qsizetype Stored_Row(int shown_row) const { return Shown[shown_row]; }
    // The CSV column a table column shows.
    static int Csv_Column(int column) { return column == 0 ? Csv_Line : column + Csv_Ok - 1; }
    // The cells of a shown row, the file cell included.
    QStringList Cells(int shown_row) const;
    // The shown rows as the CSV kivo-decode writes, the file cell set to `file`.
    QByteArray Csv_Text(const QString& file) const;

  private:
    bool Accepts(qsizetype row) const;

    PacketRows Stored;
    std::vector<quint32> Shown; // stored rows that pass the filter, in order
    QByteArray Header_Row;      // as the engine's table wrote it
    QStringList Header;
    bool Timed = false;
    int Type_Filter = -1; // index into the rows' types, -1 for all
    QString Type_Name;    // the filtered type, for types the rows learn later
    Outcome_Filter Outcome = Outcome_Filter::All;
    // The last row split into cells: painting asks for every cell of a row in turn.
    mutable int Cached_Row = -1;
    mutable QStringList Cached_Cells;
};
