#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// A template as the constructor's tree holds it: rows of three cell texts on three levels (packet
// types, the byte fields of a packet type, the bit fields of a byte field). Turns rows into the
// document a save writes, and a document back into the rows that save it again, listing what of
// the document those rows cannot hold. Needs no widgets.
class TemplateRows {
  public:
    enum class Level { Packet_Type, Byte_Field, Bit_Field };

    using Cells = std::array<QString, 3>;

    struct Row {
        Cells Texts;
        QList<Row> Children;
        QJsonObject Meaning; // a field's meaning keys, as the file holds them

        friend bool operator==(const Row&, const Row&) = default;
    };

    struct Loaded {
        QString Json_Error; // not empty: the document is not JSON and nothing was loaded
        QList<Row> Rows;
        QStringList Changes; // what saving Rows over the document would drop or change
    };

    // The template document a save writes for these rows.
    static QJsonObject To_Json(const QList<Row>& rows);
    // The rows of a template document, read by the decoder's rules, so the tree shows what the
    // decoder sees.
    static Loaded From_Json(const QByteArray& document);

    // A cell's number: its text as a signed 32-bit integer, decimal or "0x"-prefixed hex (0x21
    // is 33), 0 when it does not convert.
    static int Cell_Number(const QString& text);
    static std::optional<int> Converted_Number(const QString& text);
    // The texts in a cell that a save reads as numbers but that do not convert, so 0 is written
    // for them: the whole cell, or pieces of a type list or a size range. Nothing for an empty
    // cell (nothing typed yet) or for a name cell.
    static QStringList Unconverted_Numbers(const Cells& cells, Level level, int column);
};
