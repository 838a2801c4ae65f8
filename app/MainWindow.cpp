#include "MainWindow.h"

#include "DeviceRegistry.h"
#include "DeviceRemoval.h"
#include "FieldTooltip.h"
#include "JsonRecord.h"
#include "MessageBox.h"
#include "PacketBuilder.h"
#include "PacketConversion.h"
#include "PacketDecoder.h"
#include "PacketLogWindow.h"
#include "RememberedDevice.h"
#include "TextPaneOutput.h"

#include <QAbstractItemView>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QStyle>

#include <algorithm>

#include <limits>
#include <memory>

MainWindow::MainWindow() : QMainWindow(nullptr) {
    setFixedSize(673, 503);

    // Creation order is the keyboard focus order.
    Combo_Device = new QComboBox(this);
    Combo_Device->setGeometry(10, 20, 91, 24);

    Edit_Packet = new QLineEdit(this);
    Edit_Packet->setGeometry(120, 20, 541, 24);
    // A paste of any length is decoded whole, as the command-line decoder does.
    Edit_Packet->setMaxLength(std::numeric_limits<int>::max());
    // Placeholders show only while the widgets are empty; their texts stay empty.
    Edit_Packet->setPlaceholderText(QStringLiteral("Вставьте пакет: hex или base64"));

    Text_Output = new QPlainTextEdit(this);
    Text_Output->setGeometry(10, 60, 651, 401);
    Text_Output->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Text_Output->setReadOnly(true);
    Text_Output->setTextInteractionFlags(Qt::TextSelectableByMouse);

    Button_Constructor = new QPushButton(QStringLiteral("Конструктор"), this);
    Button_Constructor->setGeometry(10, 470, 111, 24);

    Button_Close = new QPushButton(QStringLiteral("Закрыть"), this);
    Button_Close->setGeometry(470, 470, 71, 24);

    Button_Convert = new QPushButton(QStringLiteral("Конвертировать"), this);
    Button_Convert->setGeometry(550, 470, 111, 24);

    // A save killed part-way is undone before the devices are read.
    DeviceRegistry::Recover(Message_Box_Reporter(), Files.Registry_Path());
    Load_Devices();
    Add_Device_Actions();

    // Buttons act as soon as they go down, not on release.
    connect(Button_Constructor, &QPushButton::pressed, this, &MainWindow::Open_Constructor);
    connect(Button_Convert, &QPushButton::pressed, this, &MainWindow::Convert);
    connect(Button_Close, &QPushButton::pressed, this, &QWidget::close);

    Set_Up_Daily_Use();
}

MainWindow::~MainWindow() {
    // A constructor window still open when the main window goes has no other owner.
    delete Builder_Window;
}

// Appends the registered devices behind the existing items; the callers decide about clearing.
void MainWindow::Load_Devices() {
    const QList<DeviceRegistry::Device> devices =
        DeviceRegistry::Read(Files.Registry_Path(), Message_Box_Reporter());
    QStringList names;
    names.reserve(devices.size());
    for (const DeviceRegistry::Device& device : devices)
        names.append(device.Name);
    Combo_Device->insertItems(Combo_Device->count(), names);
    for (const DeviceRegistry::Device& device : devices)
        Device_Files.insert(device.Name, device.File_Name);
    Fit_Device_Popup();
    Select_Remembered_Device();
    Text_Output->setPlaceholderText(
        Combo_Device->count() > 0
            ? QString()
            : QStringLiteral("Устройств пока нет. Чтобы добавить устройство, нажмите "
                             "«Конструктор», постройте шаблон его пакетов, введите название "
                             "устройства и файла и нажмите «Сохранить»: устройство появится в "
                             "списке, когда окно конструктора закроется."));
}

void MainWindow::Open_Constructor() {
    Show_Constructor(new PacketBuilder(Files));
}

void MainWindow::Show_Constructor(PacketBuilder* builder) {
    Builder_Window = builder;
    connect(Builder_Window, &PacketBuilder::Close, this, &MainWindow::Close_Constructor);
    Builder_Window->setWindowModality(Qt::ApplicationModal);
    Builder_Window->show();
}

// The device list's context menu, each entry named after the current device: Ctrl+E opens the
// constructor on its template (a template that cannot be read is reported and opens no
// constructor; the input line passes Ctrl+E on too), Ctrl+L its packet log beside the window, and
// the last entry removes it after a question.
void MainWindow::Add_Device_Actions() {
    Combo_Device->setContextMenuPolicy(Qt::ActionsContextMenu);
    Edit_Packet->installEventFilter(this);
    Add_Device_Action(QStringLiteral("Изменить шаблон «%1»"), &MainWindow::Edit_Template)
        ->setShortcut(QKeySequence(Edit_Template_Key));
    Add_Device_Action(QStringLiteral("Журнал пакетов «%1»"), &MainWindow::Open_Packet_Log)
        ->setShortcut(QKeySequence(Packet_Log_Key));
    Add_Device_Action(QStringLiteral("Удалить устройство «%1»..."), &MainWindow::Remove_Device);
}

// An entry of the device list's context menu: `pattern` with the current device's name for %1 (an
// ampersand in it shown, not taken for a shortcut mark), enabled while there is a device.
QAction* MainWindow::Add_Device_Action(const QString& pattern, void (MainWindow::*slot)()) {
    auto* action = new QAction(Combo_Device);
    Combo_Device->addAction(action);
    const auto name_device = [this, action, pattern] {
        action->setText(
            pattern.arg(QString(Combo_Device->currentText()).replace(u'&', QStringLiteral("&&"))));
        action->setEnabled(Combo_Device->count() > 0);
    };
    name_device();
    connect(Combo_Device, &QComboBox::currentTextChanged, action, name_device);
    connect(action, &QAction::triggered, this, slot);
    return action;
}

// A log already open for the device comes to the front.
void MainWindow::Open_Packet_Log() {
    const QString device_name = Combo_Device->currentText();
    for (PacketLogWindow* log : findChildren<PacketLogWindow*>()) {
        if (log->Device_Name() == device_name) {
            log->raise();
            log->activateWindow();
            return;
        }
    }
    (new PacketLogWindow(device_name, Files, this))->show();
}

void MainWindow::Edit_Template() {
    if (Builder_Window != nullptr)
        return;
    const QString device_name = Combo_Device->currentText();
    auto builder = std::make_unique<PacketBuilder>(Files);
    if (builder->Open_Device_Template(device_name, Device_Files.value(device_name)))
        Show_Constructor(builder.release());
}

// Runs inside the constructor window's close handling, so its deletion is deferred until that
// handling has returned. The device list is rebuilt whether or not anything was saved.
void MainWindow::Close_Constructor() {
    if (Builder_Window != nullptr) {
        disconnect(Builder_Window, &PacketBuilder::Close, this, &MainWindow::Close_Constructor);
        Builder_Window->deleteLater();
    }
    Builder_Window = nullptr;
    Reload_Devices();
}

void MainWindow::Reload_Devices() {
    Combo_Device->clear();
    Device_Files.clear();
    Load_Devices();
}

// The entry leaves the registry; the template file stays unless the user ticks its removal, which
// is offered only for a file no other device uses.
void MainWindow::Remove_Device() {
    const QString device_name = Combo_Device->currentText();
    if (Builder_Window != nullptr || Combo_Device->count() == 0)
        return;
    const QString file = DeviceRemoval::Removable_File(device_name, Files);
    const QString file_name = Device_Files.value(device_name);
    QString text = QStringLiteral("Удалить устройство «%1»? Его запись удаляется из %2.")
                       .arg(device_name, Workspace::Registry_Name());
    const QString shown_file = Workspace::Template_Name(file_name);
    if (!file_name.isEmpty())
        text += QStringLiteral(" Файл шаблона %1 остаётся%2.")
                    .arg(shown_file,
                         file.isEmpty() ? QString() : QStringLiteral(", если не отметить ниже"));
    const QString option =
        file.isEmpty() ? QString() : QStringLiteral("Удалить и файл шаблона %1").arg(shown_file);
    bool with_file = false;
    if (!Ask_Question_With_Option(QStringLiteral("Подтверждение"), text, option, with_file))
        return;
    if (DeviceRemoval::Remove(device_name, with_file, Message_Box_Reporter(), Files))
        Reload_Devices();
}

// The template file is read anew by a fresh decoder at every conversion, so edits to it take
// effect at once.
void MainWindow::Convert() {
    const QString input = Edit_Packet->text();
    const QString device_name = Combo_Device->currentText();
    PacketConversion conversion(device_name, Message_Box_Reporter());
    const PacketDecoder decoder(Files.Template_Path(Device_Files.value(device_name)),
                                conversion.Reporter());
    TextPaneOutput output(*Text_Output);
    const PacketConversion::Result& result = conversion.Run(
        input,
        [&](const QString& hex_text, DecodedPacket& packet) {
            packet = decoder.Parse_Packet(hex_text);
        },
        &output);
    Keep_Shown_Result(input, device_name, result, output.Field_Lines());
}

// --- Daily-use comforts: Enter converts, the device is remembered, values show their bytes,
// results copy out. None of them changes what the window prints.

void MainWindow::Set_Up_Daily_Use() {
    connect(Edit_Packet, &QLineEdit::returnPressed, this, &MainWindow::Convert);

    // The list is narrower than most names: its tooltip and its popup show them whole.
    Combo_Device->setToolTip(Combo_Device->currentText());
    connect(Combo_Device, &QComboBox::currentTextChanged, Combo_Device, &QWidget::setToolTip);
    // Only a choice the user makes is remembered, not the list's own change when it is rebuilt.
    connect(Combo_Device, &QComboBox::activated, this, &MainWindow::Remember_Device);

    Text_Output->viewport()->installEventFilter(this);
    Text_Output->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Text_Output, &QWidget::customContextMenuRequested, this, &MainWindow::Show_Output_Menu);
    Action_Copy_Json = new QAction(QStringLiteral("Копировать как JSON"), this);
    Action_Copy_Table = new QAction(QStringLiteral("Копировать как таблицу"), this);
    for (QAction* action : {Action_Copy_Json, Action_Copy_Table})
        action->setEnabled(false);
    connect(Action_Copy_Json, &QAction::triggered, this, &MainWindow::Copy_As_Json);
    connect(Action_Copy_Table, &QAction::triggered, this, &MainWindow::Copy_As_Table);
}

// The choice is kept for this workspace, named by its absolute path.
void MainWindow::Remember_Device(int index) {
    RememberedDevice::Write(Files.Absolute_Root(), Combo_Device->itemText(index));
}

// A remembered device that is no longer registered leaves the list as it is.
void MainWindow::Select_Remembered_Device() {
    const int index = Combo_Device->findText(RememberedDevice::Read(Files.Absolute_Root()),
                                             Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        Combo_Device->setCurrentIndex(index);
}

// The popup grows to the widest name; the list itself keeps its size.
void MainWindow::Fit_Device_Popup() {
    QAbstractItemView* view = Combo_Device->view();
    int width = 0;
    for (int row = 0; row < Combo_Device->count(); ++row)
        width = std::max(width, view->sizeHintForIndex(view->model()->index(row, 0)).width());
    width += 2 * view->frameWidth();
    if (Combo_Device->count() > Combo_Device->maxVisibleItems())
        width += view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
    view->setMinimumWidth(width);
}

// An empty paste leaves the pane, and so the result it shows, as it was.
void MainWindow::Keep_Shown_Result(const QString& input, const QString& device_name,
                                   const PacketConversion::Result& result,
                                   const QList<int>& field_lines) {
    if (result.State == PacketConversion::Outcome::Empty_Input)
        return;
    Shown = result.State == PacketConversion::Outcome::Decoded
                ? ShownResult(input, device_name, result, field_lines)
                : ShownResult();
    for (QAction* action : {Action_Copy_Json, Action_Copy_Table})
        action->setEnabled(!Shown.Is_Empty());
}

QMenu* MainWindow::Create_Output_Menu() {
    QMenu* menu = Text_Output->createStandardContextMenu();
    menu->addSeparator();
    menu->addAction(Action_Copy_Json);
    menu->addAction(Action_Copy_Table);
    return menu;
}

void MainWindow::Show_Output_Menu(const QPoint& position) {
    QMenu* menu = Create_Output_Menu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(Text_Output->viewport()->mapToGlobal(position));
}

// The very record `kivo-decode --json` prints for the shown paste, from the same writer.
void MainWindow::Copy_As_Json() {
    QGuiApplication::clipboard()->setText(
        QString::fromUtf8(JsonRecord::Of(Shown.Device_Name(), Shown.Input(), Shown.Result())));
}

void MainWindow::Copy_As_Table() {
    QGuiApplication::clipboard()->setText(Shown.Table_Text());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // The input line, which holds the focus most of the time, claims Ctrl+E for itself (end of
    // line, as in Emacs); declining that claim lets the shortcut that edits the template through.
    if (watched == Edit_Packet && event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->keyCombination() == Edit_Template_Key)
        return true;
    if (watched == Text_Output->viewport() && event->type() == QEvent::ToolTip) {
        Show_Field_Tooltip(*static_cast<QHelpEvent*>(event));
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::Show_Field_Tooltip(const QHelpEvent& event) {
    FieldTooltip::Show(Shown, *Text_Output, event);
}
