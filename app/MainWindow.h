#pragma once

#include "DecodedField.h"

#include <QMainWindow>
#include <QMap>
#include <QString>

class PacketBuilder;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The converter window: a device list, an input line for one packet, the output pane and the
// buttons that convert, open the template constructor and close the program.
class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    MainWindow();
    ~MainWindow() override;

  private Q_SLOTS:
    void Open_Constructor();
    void Close_Constructor();
    void Convert();

  private:
    void Load_Devices();
    void Print_Result(DecodedPacket packet);

    QPushButton* Button_Convert = nullptr;
    QPushButton* Button_Close = nullptr;
    QPushButton* Button_Constructor = nullptr;
    QPlainTextEdit* Text_Output = nullptr;
    QComboBox* Combo_Device = nullptr;
    QLineEdit* Edit_Packet = nullptr;
    PacketBuilder* Builder_Window = nullptr; // the open constructor window, if any
    QMap<QString, QString> Device_Files;     // device name -> template file name in Device/

    friend class TestMainWindow;
};
