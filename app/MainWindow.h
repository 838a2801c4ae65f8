#pragma once

#include "ShownResult.h"
#include "Workspace.h"

#include <QMainWindow>
#include <QMap>
#include <QString>

class PacketBuilder;
class QAction;
class QComboBox;
class QHelpEvent;
class QLineEdit;
class QMenu;
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
    void Edit_Template();
    void Remove_Device();

    // Daily-use comforts around the conversion.
    void Remember_Device(int index);
    void Show_Output_Menu(const QPoint& position);
    void Copy_As_Json();
    void Copy_As_Table();
    void Open_Packet_Log();

  protected:
    // Shows, over a field's line in the output pane, the bytes its value came from, and keeps
    // Ctrl+E for the template shortcut while the input line has the focus.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Opens the current device's template in the constructor.
    static constexpr QKeyCombination Edit_Template_Key{Qt::CTRL | Qt::Key_E};
    // Opens the packet log of the current device.
    static constexpr QKeyCombination Packet_Log_Key{Qt::CTRL | Qt::Key_L};

    void Load_Devices();
    void Add_Device_Actions();
    QAction* Add_Device_Action(const QString& pattern, void (MainWindow::*slot)());
    void Reload_Devices();
    void Show_Constructor(PacketBuilder* builder);

    void Set_Up_Daily_Use();
    void Select_Remembered_Device();
    void Fit_Device_Popup();
    void Keep_Shown_Result(const QString& input, const QString& device_name,
                           const PacketConversion::Result& result, const QList<int>& field_lines);
    QMenu* Create_Output_Menu();
    void Show_Field_Tooltip(const QHelpEvent& event);

    QPushButton* Button_Convert = nullptr;
    QPushButton* Button_Close = nullptr;
    QPushButton* Button_Constructor = nullptr;
    QPlainTextEdit* Text_Output = nullptr;
    QComboBox* Combo_Device = nullptr;
    QLineEdit* Edit_Packet = nullptr;
    Workspace Files; // the current directory, where the program was started or -C moved it
    PacketBuilder* Builder_Window = nullptr; // the open constructor window, if any
    QMap<QString, QString> Device_Files;     // device name -> its registry value

    QAction* Action_Copy_Json = nullptr;  // in the output pane's context menu
    QAction* Action_Copy_Table = nullptr; // both enabled while the pane shows a decoded packet
    ShownResult Shown;                    // the conversion the output pane shows

    friend class TestMainWindow;
};
