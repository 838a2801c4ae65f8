#pragma once

#include "PacketLogModel.h"
#include "SerialLineSource.h"
#include "ShownResult.h"
#include "Workspace.h"

#include <QMainWindow>
#include <QString>

#include <memory>

class PacketLogChart;
class PacketLogLoader;
class PacketRowMaker;
class QAction;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class TemplateChoice;

// "Журнал пакетов": many packets of one device at once, from a file (one paste per line, as
// kivo-decode -i reads it) or from a serial port as lines arrive. A table of the packets with a
// filter, the chosen packet as the main window's pane shows it, and a chart of any column. Not
// modal: the main window and the constructor stay usable beside it.
class PacketLogWindow : public QMainWindow {
    Q_OBJECT

  public:
    // The device's template is read from `workspace` whenever a log starts.
    PacketLogWindow(const QString& device_name, const Workspace& workspace,
                    QWidget* parent = nullptr);
    ~PacketLogWindow() override;

    const QString& Device_Name() const { return Device; }
    // Reads a packet log file off the GUI thread; the table fills as it goes.
    void Open_File(const QString& path);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Build_Tool_Bars();
    void Build_Status_Bar();
    // A new log from the current template: the table emptied, its columns from the template.
    void Start_Log(bool timed);
    void Choose_File();
    void Decode_Again();
    void Export_Csv();
    void Start_Serial();
    void Stop_Serial();
    void Add_Serial_Pastes(const QList<SerialLineSource::Paste>& pastes);
    void Take_Rows(PacketRows& rows);
    void Work_Finished(const QString& problem);
    void Apply_Filter();
    void Show_Detail(int shown_row);
    void Update_Actions();
    void Update_Count();

    QString Device;
    Workspace Files;
    std::shared_ptr<const TemplateChoice> Choice; // the template the rows were decoded with
    QString Source_Name;      // the file or port, as the CSV's file cell names it
    QString Template_Problem; // why the template decodes nothing, or empty
    PacketLogModel Model;
    PacketLogLoader* Loader = nullptr;
    SerialLineSource* Serial = nullptr;
    std::unique_ptr<PacketRowMaker> Serial_Maker;

    QTableView* Table = nullptr;
    QPlainTextEdit* Detail = nullptr;
    PacketLogChart* Chart = nullptr;
    ShownResult Shown; // the packet the detail pane shows

    QAction* Action_Open = nullptr;
    QAction* Action_Decode_Again = nullptr;
    QAction* Action_Export = nullptr;
    QAction* Action_Start = nullptr;
    QAction* Action_Stop = nullptr;
    QComboBox* Type_Filter = nullptr;
    QComboBox* Outcome_Filter = nullptr;
    QComboBox* Port_Choice = nullptr;
    QComboBox* Baud_Choice = nullptr;
    QProgressBar* Progress = nullptr;
    QPushButton* Button_Cancel = nullptr;
    QLabel* Row_Count = nullptr;

    friend class TestPacketLogWindow;
};
