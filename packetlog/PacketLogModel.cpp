#include "PacketLogModel.h"

#include "CsvTable.h"
#include "Utf8Writer.h"

#include <QBrush>
#include <QColor>
#include <QDateTime>

namespace {

// A cell longer than this (the paste of a 100 MB line, say) is shown cut short.
constexpr qsizetype Shown_Cell_Length = 1000;

} // namespace

PacketLogModel::PacketLogModel(QObject* parent) : QAbstractTableModel(parent) {}

void PacketLogModel::Reset(const QByteArray& header, bool timed) {
    beginResetModel();
    Stored.Clear();
    Shown.clear();
    Header_Row = header;
    Header = PacketRows::Split_Row(header);
    Timed = timed;
    Type_Filter = Type_Name.isEmpty() ? -1 : -2;
    Cached_Row = -1;
    endResetModel();
}

void PacketLogModel::Append(PacketRows& rows) {
    const qsizetype first = Stored.Size();
    Stored.Append(std::move(rows));
    rows.Clear();
    if (Type_Filter == -2 && Stored.Types().contains(Type_Name))
        Type_Filter = int(Stored.Types().indexOf(Type_Name));
    std::vector<quint32> added;
    for (qsizetype row = first; row < Stored.Size(); ++row) {
        if (Accepts(row))
            added.push_back(quint32(row));
    }
    if (added.empty())
        return;
    beginInsertRows({}, int(Shown.size()), int(Shown.size() + added.size() - 1));
    Shown.insert(Shown.end(), added.begin(), added.end());
    endInsertRows();
}

PacketRows PacketLogModel::Take_Rows() {
    beginResetModel();
    PacketRows rows = std::move(Stored);
    Stored.Clear();
    Shown.clear();
    Cached_Row = -1;
    endResetModel();
    return rows;
}

bool PacketLogModel::Accepts(qsizetype row) const {
    if (Outcome != Outcome_Filter::All && Stored.Is_Ok(row) != (Outcome == Outcome_Filter::Decoded))
        return false;
    return Type_Filter == -1 || Stored.Type_Of(row) == Type_Filter;
}

void PacketLogModel::Set_Filter(const QString& type, Outcome_Filter outcome) {
    beginResetModel();
    Type_Name = type;
    // -2: a type no row has yet; it may come with later rows.
    Type_Filter = type.isEmpty()                  ? -1
                  : Stored.Types().contains(type) ? int(Stored.Types().indexOf(type))
                                                  : -2;
    Outcome = outcome;
    Shown.clear();
    for (qsizetype row = 0; row < Stored.Size(); ++row) {
        if (Accepts(row))
            Shown.push_back(quint32(row));
    }
    Cached_Row = -1;
    endResetModel();
}

int PacketLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(Shown.size());
}

int PacketLogModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : std::max<int>(0, int(Header.size()) - Csv_Ok + 1);
}

QStringList PacketLogModel::Cells(int shown_row) const {
    if (Cached_Row != shown_row) {
        Cached_Cells = Stored.Cells(Shown[shown_row]);
        Cached_Row = shown_row;
    }
    return Cached_Cells;
}

QVariant PacketLogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const qsizetype row = Shown[index.row()];
    if (role == Qt::ForegroundRole && !Stored.Is_Ok(row))
        return QBrush(QColor(0xB0, 0x00, 0x20));
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    if (index.column() == 0 && Timed)
        return QDateTime::fromMSecsSinceEpoch(Stored.Time_Of(row))
            .toString(QStringLiteral("hh:mm:ss.zzz"));
    const QString cell = Cells(index.row()).value(Csv_Column(index.column()));
    if (cell.size() > Shown_Cell_Length)
        return QString(cell.left(Shown_Cell_Length) +
                       QStringLiteral("… (%1 знаков)").arg(cell.size()));
    return cell;
}

QVariant PacketLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section == 0 && Timed)
        return QStringLiteral("time");
    return Header.value(Csv_Column(section));
}

QByteArray PacketLogModel::Csv_Text(const QString& file) const {
    QByteArray text = Header_Row;
    Utf8Writer out(text);
    for (const quint32 row : Shown) {
        CsvTable::Put_Cell(out, file);
        out.Put(Stored.Csv_Row(row));
    }
    return text;
}
