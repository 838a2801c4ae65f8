#include "PacketRows.h"

quint16 PacketRows::Type_Index(const QString& type) {
    // Templates name a handful of types; a linear look is quicker than a hash for so few.
    const qsizetype found = Type_Names.indexOf(type);
    if (found >= 0)
        return quint16(found);
    if (Type_Names.size() > 0xFFFF)
        return 0; // more names than any template holds: the row keeps its cells, not its type
    Type_Names.append(type);
    return quint16(Type_Names.size() - 1);
}

void PacketRows::Append(QByteArrayView csv_row, const QString& type, bool ok, qint64 time_ms) {
    // A row longer than a block gets a block of its own.
    if (Blocks.empty() || Blocks.back().capacity() - Blocks.back().size() < csv_row.size()) {
        Blocks.emplace_back();
        Blocks.back().reserve(std::max(Block_Size, csv_row.size()));
    }
    QByteArray& block = Blocks.back();
    Entries.push_back({quint32(Blocks.size() - 1), quint32(block.size()), quint32(csv_row.size()),
                       Type_Index(type), ok});
    block.append(csv_row);
    if (time_ms >= 0 || !Times.empty()) {
        Times.resize(Entries.size() - 1, -1);
        Times.push_back(time_ms);
    }
}

void PacketRows::Append(PacketRows&& more) {
    if (Entries.empty() && Type_Names.size() == 1) {
        *this = std::move(more);
        return;
    }
    std::vector<quint16> types;
    for (const QString& name : more.Type_Names)
        types.push_back(Type_Index(name));
    const quint32 first_block = quint32(Blocks.size());
    for (QByteArray& block : more.Blocks)
        Blocks.push_back(std::move(block));
    if (!more.Times.empty() || !Times.empty()) {
        Times.resize(Entries.size(), -1);
        more.Times.resize(more.Entries.size(), -1);
        Times.insert(Times.end(), more.Times.begin(), more.Times.end());
    }
    for (Entry entry : more.Entries) {
        entry.Block += first_block;
        entry.Type = types[entry.Type];
        Entries.push_back(entry);
    }
    more.Clear();
}

void PacketRows::Clear() {
    *this = PacketRows();
}

QByteArrayView PacketRows::Csv_Row(qsizetype row) const {
    const Entry& entry = Entries[row];
    return QByteArrayView(Blocks[entry.Block].constData() + entry.Offset, entry.Size);
}

qint64 PacketRows::Bytes_Used() const {
    qint64 bytes = qint64(Entries.capacity() * sizeof(Entry) + Times.capacity() * sizeof(qint64));
    for (const QByteArray& block : Blocks)
        bytes += block.capacity();
    return bytes;
}

namespace {

// Reads the cell at `at` into `cell` (when given) and moves `at` past it and its comma; false
// when the row has no more cells.
bool Next_Cell(QByteArrayView row, qsizetype& at, QByteArray* cell) {
    if (at > row.size())
        return false;
    if (cell)
        cell->clear();
    if (at < row.size() && row[at] == '"') {
        // A quoted cell: up to the lone quote, doubled quotes standing for one.
        for (++at; at < row.size(); ++at) {
            if (row[at] == '"' && (at + 1 >= row.size() || row[at + 1] != '"')) {
                ++at;
                break;
            }
            if (row[at] == '"')
                ++at;
            if (cell)
                cell->append(row[at]);
        }
    } else {
        qsizetype stop = at;
        while (stop < row.size() && row[stop] != ',')
            ++stop;
        if (cell)
            cell->append(row.sliced(at, stop - at));
        at = stop;
    }
    ++at; // the comma, or one past the end after the last cell
    return true;
}

QByteArrayView Without_Row_End(QByteArrayView row) {
    return row.endsWith("\r\n") ? row.chopped(2) : row;
}

// Moves `at` past `count` cells; false when the row has fewer.
bool Skip_Cells(QByteArrayView row, int count, qsizetype& at) {
    for (int skipped = 0; skipped < count; ++skipped) {
        if (!Next_Cell(row, at, nullptr))
            return false;
    }
    return true;
}

} // namespace

QStringList PacketRows::Split_Row(QByteArrayView row) {
    row = Without_Row_End(row);
    QStringList cells;
    QByteArray cell;
    for (qsizetype at = 0; Next_Cell(row, at, &cell);)
        cells.append(QString::fromUtf8(cell));
    return cells;
}

QString PacketRows::Cell(qsizetype row, int column) const {
    const QByteArrayView text = Without_Row_End(Csv_Row(row));
    qsizetype at = 0;
    QByteArray cell;
    return Skip_Cells(text, column, at) && Next_Cell(text, at, &cell) ? QString::fromUtf8(cell)
                                                                      : QString();
}

QByteArrayView PacketRows::Plain_Cell(qsizetype row, int column) const {
    const QByteArrayView text = Without_Row_End(Csv_Row(row));
    qsizetype at = 0;
    if (!Skip_Cells(text, column, at) || at >= text.size() || text[at] == '"')
        return {};
    const qsizetype end = text.indexOf(',', at);
    return text.sliced(at, (end < 0 ? text.size() : end) - at);
}
