#include "MainWindow.h"

#include "DeviceRegistry.h"
#include "MessageBox.h"
#include "PacketBuilder.h"
#include "PacketConversion.h"
#include "PacketDecoder.h"
#include "ResultRenderer.h"
#include "TextPaneOutput.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>

#include <limits>

MainWindow::MainWindow() : QMainWindow(nullptr) {
    setFixedSize(673, 503);

    // Creation order is the keyboard focus order.
    Combo_Device = new QComboBox(this);
    Combo_Device->setGeometry(10, 20, 91, 24);

    Edit_Packet = new QLineEdit(this);
    Edit_Packet->setGeometry(120, 20, 541, 24);
    // A paste of any length is decoded whole, as the command-line decoder does.
    Edit_Packet->setMaxLength(std::numeric_limits<int>::max());

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

    Load_Devices();

    // Buttons act as soon as they go down, not on release.
    connect(Button_Constructor, &QPushButton::pressed, this, &MainWindow::Open_Constructor);
    connect(Button_Convert, &QPushButton::pressed, this, &MainWindow::Convert);
    connect(Button_Close, &QPushButton::pressed, this, &QWidget::close);
}

MainWindow::~MainWindow() {
    // A constructor window still open when the main window goes has no other owner.
    delete Builder_Window;
}

// Appends the registered devices behind the existing items; the callers decide about clearing.
void MainWindow::Load_Devices() {
    const QList<DeviceRegistry::Device> devices = DeviceRegistry::Read();
    QStringList names;
    names.reserve(devices.size());
    for (const DeviceRegistry::Device& device : devices)
        names.append(device.Name);
    Combo_Device->insertItems(Combo_Device->count(), names);
    for (const DeviceRegistry::Device& device : devices)
        Device_Files.insert(device.Name, device.File_Name);
}

void MainWindow::Open_Constructor() {
    Builder_Window = new PacketBuilder();
    connect(Builder_Window, &PacketBuilder::Close, this, &MainWindow::Close_Constructor);
    Builder_Window->setWindowModality(Qt::ApplicationModal);
    Builder_Window->show();
}

// Runs inside the constructor window's close handling, so its deletion is deferred until that
// handling has returned. The device list is rebuilt whether or not anything was saved.
void MainWindow::Close_Constructor() {
    if (Builder_Window != nullptr) {
        disconnect(Builder_Window, &PacketBuilder::Close, this, &MainWindow::Close_Constructor);
        Builder_Window->deleteLater();
    }
    Builder_Window = nullptr;
    Combo_Device->clear();
    Device_Files.clear();
    Load_Devices();
}

// The template file is read anew by a fresh decoder at every conversion, so edits to it take
// effect at once.
void MainWindow::Convert() {
    const QString device_name = Combo_Device->currentText();
    const QString file_name = Device_Files.value(device_name);
    const MessageReporter reporter = Message_Box_Reporter();
    TextPaneOutput output(*Text_Output,
                          [this](const DecodedPacket& packet) { Print_Result(packet); });
    PacketConversion::Run(
        Edit_Packet->text(), device_name,
        [&](const QString& hex_text) {
            return PacketDecoder(file_name, reporter).Parse_Packet(hex_text);
        },
        reporter, output);
}

// Prints a decoded packet at the pane's cursor, in the same text the conversion prints.
void MainWindow::Print_Result(DecodedPacket packet) {
    Text_Output->insertPlainText(
        ResultRenderer::Render_Result(Combo_Device->currentText(), packet));
}
