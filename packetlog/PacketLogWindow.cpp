#include "PacketLogWindow.h"

#include "FieldTooltip.h"
#include "PacketLogChart.h"
#include "PacketLogLoader.h"
#include "PacketRowMaker.h"
#include "SafeFile.h"
#include "TextPaneOutput.h"

#include <QAction>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>

PacketLogWindow::PacketLogWindow(const QString& device_name, const Workspace& workspace,
                                 QWidget* parent)
    : QMainWindow(parent, Qt::Window), Device(device_name), Files(workspace) {
    setWindowTitle(QStringLiteral("Журнал пакетов «%1»").arg(Device));
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    resize(1000, 700);

    Loader = new PacketLogLoader(this);
    Serial = new SerialLineSource(this);

    Table = new QTableView;
    Table->setModel(&Model);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::SingleSelection);
    Table->verticalHeader()->hide(); // the line column numbers the rows
    Table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Table->verticalHeader()->setDefaultSectionSize(Table->fontMetrics().height() + 6);
    Table->setWordWrap(false);

    Detail = new QPlainTextEdit;
    Detail->setReadOnly(true);
    Detail->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Detail->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Detail->viewport()->installEventFilter(this);

    Chart = new PacketLogChart(Model);
    auto* lower = new QSplitter(Qt::Horizontal);
    lower->addWidget(Detail);
    lower->addWidget(Chart);
    lower->setStretchFactor(1, 2);
    auto* split = new QSplitter(Qt::Vertical);
    split->addWidget(Table);
    split->addWidget(lower);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    setCentralWidget(split);

    Build_Tool_Bars();
    Build_Status_Bar();

    connect(Table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { Show_Detail(current.row()); });
    connect(Chart, &PacketLogChart::Row_Picked, this, [this](int row) { Table->selectRow(row); });
    connect(Loader, &PacketLogLoader::Rows_Ready, this, &PacketLogWindow::Take_Rows);
    connect(Loader, &PacketLogLoader::Finished, this, &PacketLogWindow::Work_Finished);
    connect(Serial, &SerialLineSource::Pastes_Arrived, this, &PacketLogWindow::Add_Serial_Pastes);
    connect(Serial, &SerialLineSource::Lost, this, [this](const QString& reason) {
        statusBar()->showMessage(reason);
        Update_Actions();
    });
    Start_Log(false);
}

PacketLogWindow::~PacketLogWindow() {
    // The loader's thread ends before the model it fills goes.
    delete Loader;
}

void PacketLogWindow::Build_Tool_Bars() {
    QToolBar* log_bar = addToolBar(QStringLiteral("Журнал"));
    Action_Open =
        log_bar->addAction(QStringLiteral("Открыть..."), this, &PacketLogWindow::Choose_File);
    Action_Open->setShortcut(QKeySequence::Open);
    Action_Decode_Again = log_bar->addAction(QStringLiteral("Декодировать заново"), this,
                                             &PacketLogWindow::Decode_Again);
    Action_Export =
        log_bar->addAction(QStringLiteral("Экспорт CSV"), this, &PacketLogWindow::Export_Csv);
    log_bar->addSeparator();
    Type_Filter = new QComboBox;
    Type_Filter->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    Outcome_Filter = new QComboBox;
    Outcome_Filter->addItems({QStringLiteral("Все пакеты"), QStringLiteral("Только ошибки"),
                              QStringLiteral("Только декодированные")});
    log_bar->addWidget(Type_Filter);
    log_bar->addWidget(Outcome_Filter);
    connect(Type_Filter, &QComboBox::currentIndexChanged, this, &PacketLogWindow::Apply_Filter);
    connect(Outcome_Filter, &QComboBox::currentIndexChanged, this, &PacketLogWindow::Apply_Filter);

    QToolBar* port_bar = addToolBar(QStringLiteral("Порт"));
    Port_Choice = new QComboBox;
    Port_Choice->setEditable(true); // any device path, a pseudo-terminal too
    Port_Choice->addItems(SerialLineSource::Port_Names());
    Port_Choice->setMinimumContentsLength(14);
    Baud_Choice = new QComboBox;
    Baud_Choice->setEditable(true);
    for (const int baud : {9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600})
        Baud_Choice->addItem(QString::number(baud));
    Baud_Choice->setCurrentText(QStringLiteral("115200"));
    port_bar->addWidget(new QLabel(QStringLiteral("Порт: ")));
    port_bar->addWidget(Port_Choice);
    port_bar->addWidget(new QLabel(QStringLiteral(" Скорость: ")));
    port_bar->addWidget(Baud_Choice);
    Action_Start =
        port_bar->addAction(QStringLiteral("Старт"), this, &PacketLogWindow::Start_Serial);
    Action_Stop = port_bar->addAction(QStringLiteral("Стоп"), this, &PacketLogWindow::Stop_Serial);
}

void PacketLogWindow::Build_Status_Bar() {
    Progress = new QProgressBar;
    Progress->setRange(0, 1000);
    Progress->setMaximumWidth(200);
    Button_Cancel = new QPushButton(QStringLiteral("Отмена"));
    connect(Button_Cancel, &QPushButton::clicked, Loader, &PacketLogLoader::Cancel);
    Row_Count = new QLabel;
    statusBar()->addPermanentWidget(Row_Count);
    statusBar()->addPermanentWidget(Progress);
    statusBar()->addPermanentWidget(Button_Cancel);
    Progress->hide();
    Button_Cancel->hide();
}

void PacketLogWindow::Start_Log(bool timed) {
    Choice = PacketRowMaker::Choose(Files, Device);
    const PacketRowMaker maker(Choice);
    Model.Reset(maker.Header(), timed);
    Chart->Offer_Columns();
    Detail->clear();
    Shown = ShownResult();
    const QSignalBlocker block(Type_Filter);
    const QString type = Type_Filter->currentText();
    Type_Filter->clear();
    Type_Filter->addItem(QStringLiteral("Все типы"));
    if (Choice->File()) {
        for (const PacketTemplate& packet_template : Choice->File()->Templates())
            for (int type_byte : DeviceTemplateFile::Accepted_Types(packet_template)) {
                const QString name = DeviceTemplateFile::Type_Name(packet_template, type_byte);
                if (Type_Filter->findText(name) < 0)
                    Type_Filter->addItem(name);
            }
    }
    Type_Filter->setCurrentIndex(std::max(0, Type_Filter->findText(type)));
    Apply_Filter(); // a type the new template lacks no longer filters
    Template_Problem = maker.Load_Problem();
    statusBar()->showMessage(Template_Problem);
    Progress->hide(); // work of an earlier log, given up, reports nothing more
    Button_Cancel->hide();
    Update_Count();
}

void PacketLogWindow::Choose_File() {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Открыть журнал пакетов"), QString(),
        QStringLiteral("Журналы пакетов (*.txt *.log);;Все файлы (*)"));
    if (!path.isEmpty())
        Open_File(path);
}

void PacketLogWindow::Open_File(const QString& path) {
    Stop_Serial();
    Start_Log(false);
    Source_Name = path;
    if (!Loader->Load_File(path, Choice)) {
        statusBar()->showMessage(Loader->Problem());
        return;
    }
    Update_Actions();
}

// After the template was saved anew: the same pastes, with their lines or arrival times, through
// the template as it is now.
void PacketLogWindow::Decode_Again() {
    PacketRows rows = Model.Take_Rows();
    Start_Log(Model.Is_Timed());
    Loader->Decode_Again(std::move(rows), Choice);
    Update_Actions();
}

void PacketLogWindow::Export_Csv() {
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Экспорт CSV"),
                                                      QString(), QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty())
        return;
    SafeFile file(path);
    if (!file.Replace(Model.Csv_Text(Source_Name))) {
        const UserMessage message = file.Failure_Message();
        statusBar()->showMessage(message.Text.simplified());
        return;
    }
    file.Keep();
    statusBar()->showMessage(QStringLiteral("Записано строк: %1").arg(Model.rowCount()));
}

void PacketLogWindow::Start_Serial() {
    Loader->Abandon();
    bool baud_ok = false;
    const int baud = Baud_Choice->currentText().toInt(&baud_ok);
    Start_Log(true);
    Source_Name = Port_Choice->currentText();
    if (!baud_ok || baud <= 0) {
        statusBar()->showMessage(
            QStringLiteral("Неверная скорость: %1").arg(Baud_Choice->currentText()));
        return;
    }
    Serial_Maker = std::make_unique<PacketRowMaker>(Choice);
    if (!Serial->Start(Source_Name, baud))
        statusBar()->showMessage(Serial->Problem());
    else
        statusBar()->showMessage(QStringLiteral("Порт %1 открыт").arg(Source_Name));
    Update_Actions();
}

void PacketLogWindow::Stop_Serial() {
    Serial->Stop();
    Update_Actions();
}

void PacketLogWindow::Add_Serial_Pastes(const QList<SerialLineSource::Paste>& pastes) {
    PacketRows rows;
    for (const SerialLineSource::Paste& paste : pastes)
        Serial_Maker->Add(paste.Text, paste.Line, paste.Time_Ms, rows);
    Take_Rows(rows);
}

void PacketLogWindow::Take_Rows(PacketRows& rows) {
    Model.Append(rows);
    if (Loader->Is_Running()) {
        Progress->setValue(Loader->Progress());
        Progress->show();
        Button_Cancel->show();
    }
    Update_Count();
}

void PacketLogWindow::Work_Finished(const QString& problem) {
    Progress->hide();
    Button_Cancel->hide();
    QStringList parts = {Template_Problem, problem,
                         QStringLiteral("Пакетов: %1").arg(Model.Rows().Size())};
    parts.removeAll(QString());
    statusBar()->showMessage(parts.join(QStringLiteral(". ")));
    Update_Actions();
}

void PacketLogWindow::Apply_Filter() {
    const QString type = Type_Filter->currentIndex() > 0 ? Type_Filter->currentText() : QString();
    Model.Set_Filter(type, PacketLogModel::Outcome_Filter(Outcome_Filter->currentIndex()));
    Update_Count();
}

// The packet as the main window's pane shows it, from the same conversion and renderer; the
// messages a box would show go to the status bar.
void PacketLogWindow::Show_Detail(int shown_row) {
    if (shown_row < 0 || shown_row >= Model.rowCount())
        return;
    const QString input = Model.Cells(shown_row).value(PacketLogModel::Csv_Input);
    PacketConversion conversion(Device, [](const UserMessage&) {});
    TextPaneOutput output(*Detail);
    const PacketConversion::Result& result =
        conversion.Run(input, Choice->Decoding(conversion.Reporter()), &output);
    Shown = result.State == PacketConversion::Outcome::Decoded
                ? ShownResult(input, Device, result, output.Field_Lines())
                : ShownResult();
    QStringList messages;
    for (const UserMessage& message : result.Messages)
        messages.append(message.Title + QStringLiteral(": ") + message.Text);
    if (!messages.isEmpty())
        statusBar()->showMessage(messages.join(QStringLiteral(" / ")));
}

void PacketLogWindow::Update_Actions() {
    const bool serial = Serial->Is_Running();
    Action_Start->setEnabled(!serial);
    Action_Stop->setEnabled(serial);
    // Decoding again while lines arrive would mix old rows and new ones out of order.
    Action_Decode_Again->setEnabled(!serial && !Loader->Is_Running());
}

void PacketLogWindow::Update_Count() {
    Row_Count->setText(
        QStringLiteral("Показано %1 из %2").arg(Model.rowCount()).arg(Model.Rows().Size()));
}

void PacketLogWindow::dragEnterEvent(QDragEnterEvent* event) {
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            return event->acceptProposedAction();
}

void PacketLogWindow::dropEvent(QDropEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            return Open_File(url.toLocalFile());
        }
    }
}

bool PacketLogWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Detail->viewport() && event->type() == QEvent::ToolTip) {
        FieldTooltip::Show(Shown, *Detail, *static_cast<QHelpEvent*>(event));
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
