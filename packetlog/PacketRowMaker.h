#pragma once

#include "CsvTable.h"
#include "PacketConversion.h"
#include "TemplateChoice.h"

#include <QByteArray>
#include <QString>

#include <memory>

class PacketRows;

// Decodes pastes into rows of a packet log, exactly as `kivo-decode --csv` makes its rows: one
// conversion, the device's template loaded once, the engine's CSV table. Messages are not shown
// to anyone: a row tells its own failure, and the template's failure is Load_Problem.
class PacketRowMaker {
  public:
    explicit PacketRowMaker(std::shared_ptr<const TemplateChoice> choice);

    // The template of a device registered in the workspace, read now.
    static std::shared_ptr<const TemplateChoice> Choose(const Workspace& workspace,
                                                        const QString& device_name);

    QByteArray Header() const;
    void Add(const QString& paste, qint64 line, qint64 time_ms, PacketRows& rows);
    // Why the template cannot decode anything, or empty.
    QString Load_Problem() const { return Problem; }

  private:
    std::shared_ptr<const TemplateChoice> Choice;
    PacketConversion Conversion;
    PacketConversion::Decode_Function Decode;
    CsvTable Table;
    RecordSource Source; // the file cell stays empty: the log knows its file
    QByteArray Row;      // one buffer for every row
    QString Problem;
};
