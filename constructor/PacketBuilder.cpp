#include "PacketBuilder.h"

#include "DecoderMessages.h"
#include "DeviceRegistry.h"
#include "DeviceTemplateFile.h"
#include "EditableCellsDelegate.h"
#include "FieldPropertiesDialog.h"
#include "HexText.h"
#include "MessageBox.h"
#include "PacketConversion.h"
#include "PacketDecoder.h"
#include "ResultRenderer.h"
#include "SafeFile.h"
#include "Workspace.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QTreeWidgetItem>

#include <limits>
#include <optional>

namespace {

const QString Type_Marker = QStringLiteral("Type");
const QString Byte_Marker = QStringLiteral("Byte");
const QString Bit_Marker = QStringLiteral("Bit");

// Columns after the three the user types into.
constexpr int Meaning_Column = 3;
constexpr int Sample_Column = 4;
// Where a field row keeps its meaning keys (a JSON object, as the file holds them).
constexpr int Meaning_Role = Qt::UserRole;

QJsonObject Meaning_Of(const QTreeWidgetItem* row) {
    return row->data(Meaning_Column, Meaning_Role).toJsonObject();
}

// "s16 le ×0.01 °C" for a field with meaning keys, nothing for one without.
void Show_Meaning(QTreeWidgetItem* row, const QString& marker) {
    if (marker != QStringLiteral("Byte") && marker != QStringLiteral("Bit"))
        return;
    const bool bit = marker == QStringLiteral("Bit");
    const QJsonObject keys = Meaning_Of(row);
    const FieldMeaning meaning =
        bit ? FieldMeaning::Of_Bit_Field(keys) : FieldMeaning::Of_Byte_Field(keys);
    const QString summary = meaning.Summary(TemplateRows::Cell_Number(row->text(1)), bit);
    row->setText(Meaning_Column, summary);
    row->setToolTip(Meaning_Column,
                    QStringLiteral("Свойства поля (Alt+Enter или двойной щелчок): ") +
                        (summary.isEmpty() ? QStringLiteral("по размеру и имени") : summary));
}

QString Marker(const QTreeWidgetItem* row) {
    return row->data(1, Qt::UserRole).toString();
}

// Where a byte field ends: byte number plus size. Summed wide, since both cells may hold any
// 32-bit value.
qint64 Field_End(const QTreeWidgetItem* row) {
    return qint64(TemplateRows::Cell_Number(row->text(0))) +
           TemplateRows::Cell_Number(row->text(1));
}

bool Fits_Int(qint64 value) {
    return value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
}

bool Is_Within(const QTreeWidgetItem* row, const QTreeWidgetItem* ancestor) {
    for (; row; row = row->parent())
        if (row == ancestor)
            return true;
    return false;
}

bool Same_File(const QString& one, const QString& other) {
    return QFileInfo(one).absoluteFilePath() == QFileInfo(other).absoluteFilePath();
}

TemplateRows::Level Level_Of(const QTreeWidgetItem* row) {
    if (!row->parent())
        return TemplateRows::Level::Packet_Type;
    return row->parent()->parent() ? TemplateRows::Level::Bit_Field
                                   : TemplateRows::Level::Byte_Field;
}

TemplateRows::Row Row_Of(const QTreeWidgetItem* item) {
    TemplateRows::Row row{{item->text(0), item->text(1), item->text(2)}, {}, Meaning_Of(item)};
    for (int i = 0; i < item->childCount(); ++i)
        row.Children.append(Row_Of(item->child(i)));
    return row;
}

// A number cell a save would write as 0 because its text does not convert shows red, with a
// tooltip saying so. Marks change only when the row's texts did, so the change they signal in
// turn finds nothing more to do.
void Mark_Number_Cells(QTreeWidgetItem* item, TemplateRows::Level level) {
    const TemplateRows::Cells cells{item->text(0), item->text(1), item->text(2)};
    for (int column : {0, 1}) {
        const QStringList unconverted = TemplateRows::Unconverted_Numbers(cells, level, column);
        const QString tip = unconverted.isEmpty()
                                ? QString()
                                : QStringLiteral("Сохранится как 0: не десятичное целое число «%1»")
                                      .arg(unconverted.join(QStringLiteral("», «")));
        if (item->toolTip(column) == tip)
            continue;
        item->setToolTip(column, tip);
        item->setForeground(column, tip.isEmpty() ? QBrush() : QBrush(Qt::red));
    }
}

// The cells a save would write as 0 although something was typed into them (the red ones), one
// line each: "Поле «Time», размер: «4 байта»".
void Collect_Zero_Cells(const QTreeWidgetItem* item, TemplateRows::Level level,
                        QStringList& lines) {
    static const QStringList Rows{QStringLiteral("Тип пакета"), QStringLiteral("Поле"),
                                  QStringLiteral("Бит")};
    static const QStringList Firsts{QStringLiteral("код"), QStringLiteral("номер байта"),
                                    QStringLiteral("номер бита")};
    const TemplateRows::Cells cells{item->text(0), item->text(1), item->text(2)};
    for (int column : {0, 1}) {
        const QStringList unconverted = TemplateRows::Unconverted_Numbers(cells, level, column);
        if (!unconverted.isEmpty())
            lines.append(QStringLiteral("%1 «%2», %3: «%4»")
                             .arg(Rows[int(level)], cells[2],
                                  column == 0 ? Firsts[int(level)] : QStringLiteral("размер"),
                                  unconverted.join(QStringLiteral("», «"))));
    }
    for (int i = 0; level != TemplateRows::Level::Bit_Field && i < item->childCount(); ++i)
        Collect_Zero_Cells(item->child(i), TemplateRows::Level(int(level) + 1), lines);
}

// What a save over the file would lose, as far as fits on a screen.
UserMessage Changes_Message(const QString& path, const QStringList& changes) {
    const qsizetype shown = std::min<qsizetype>(changes.size(), 15);
    QString text = QStringLiteral("Файл %1 содержит то, что конструктор не может показать. При "
                                  "сохранении изменится:\n")
                       .arg(path) +
                   changes.first(shown).join(QLatin1Char('\n'));
    if (shown < changes.size())
        text += QStringLiteral("\n… и ещё %1").arg(changes.size() - shown);
    return {MessageIcon::Information, QStringLiteral("Внимание"), text};
}

} // namespace

PacketBuilder::PacketBuilder(const Workspace& workspace)
    : QWidget(nullptr), Files(workspace), Reporter(Message_Box_Reporter()), Ask(Ask_Question) {
    setWindowTitle(QStringLiteral("Конструктор пакетов для парсинга"));
    setFixedSize(849, 510); // the sample's status line under the specified widgets
    Build_Widgets();
    Connect_Widgets();
}

// The tree's rows die with the widgets after this body has run; by then nothing must reach the
// slots, which read the row pointers (an editor committing on its way out would).
PacketBuilder::~PacketBuilder() {
    Packet_Tree->disconnect(this);
}

void PacketBuilder::Build_Widgets() {
    Packet_Tree = new QTreeWidget(this);
    Packet_Tree->setGeometry(10, 10, 711, 401);
    Packet_Tree->setColumnCount(5);
    Packet_Tree->setHeaderLabels({QStringLiteral("Тип пакета;\nНомер байта;\nНомер бита."),
                                  QStringLiteral("Размер пакета;\nРазмер поля"),
                                  QStringLiteral("Название"), QStringLiteral("Смысл"),
                                  QStringLiteral("Значение\nв примере")});
    for (const auto& [column, width] : {std::pair{0, 120}, {1, 100}, {2, 150}, {3, 140}})
        Packet_Tree->setColumnWidth(column, width);
    Packet_Tree->setItemDelegate(new EditableCellsDelegate(3, Packet_Tree));
    Packet_Tree->setFrameShape(QFrame::NoFrame);
    Packet_Tree->setEditTriggers(QAbstractItemView::DoubleClicked);
    Packet_Tree->setTextElideMode(Qt::ElideNone);
    Packet_Tree->setWordWrap(true);
    Packet_Tree->setEnabled(true);
    // The whole format is described in one page, which every header's tooltip names.
    const QString format_page =
        QStringLiteral("\nФормат шаблона (все ключи, правила размеров и имён, нумерация байтов "
                       "от байта типа, десятичные коды типов) описан в docs/template-format.md, "
                       "после установки — /usr/share/doc/kivo-parser/template-format.md.");
    Packet_Tree->headerItem()->setToolTip(
        0, QStringLiteral("Коды типов пакета десятичные (тип-байт 0x15 записывается как 21) "
                          "или шестнадцатеричные с 0x (0x15). Несколько типов: коды через "
                          "запятую и названия через запятую.") +
               format_page);
    Packet_Tree->headerItem()->setToolTip(
        1,
        QStringLiteral("Размеры десятичные или с 0x. Пакет переменной длины: диапазон «min-max», "
                       "например 5-20.") +
            format_page);
    Packet_Tree->headerItem()->setToolTip(
        3, QStringLiteral("Что значит поле: формат, порядок байтов, знак, масштаб, единица, "
                          "подписи. Изменить: «Свойства поля...» (Alt+Enter) или двойной щелчок.") +
               format_page);
    Packet_Tree->headerItem()->setToolTip(
        4, QStringLiteral("Значение каждого поля в пакете, введённом после «Пример пакета:»."));
    Add_Open_Action();

    const auto button = [this](const QString& text, int y) {
        auto* created = new QPushButton(text, this);
        created->setGeometry(730, y, 111, 24);
        return created;
    };
    Button_Packet_Type = button(QStringLiteral("Тип пакета"), 10);
    Button_Data_Map = button(QStringLiteral("Поле данных(байт)"), 40);
    Button_Bit_Map = button(QStringLiteral("Поле данных(бит)"), 70);
    Button_Delete_Element = button(QStringLiteral("Удалить элемент"), 100);
    Button_Save = button(QStringLiteral("Сохранить"), 450);

    Label_Packet_Example = new QLabel(QStringLiteral("Пример пакета:"), this);
    Label_Packet_Example->setGeometry(10, 420, 711, 24);
    Label_Device_Name = new QLabel(QStringLiteral("Название устройства"), this);
    Label_Device_Name->setGeometry(10, 450, 121, 21);
    Edit_Device_Name = new QLineEdit(this);
    Edit_Device_Name->setGeometry(140, 450, 101, 24);
    Label_File_Name = new QLabel(QStringLiteral("Название файла"), this);
    Label_File_Name->setGeometry(270, 450, 91, 24);
    Edit_File_Name = new QLineEdit(this);
    Edit_File_Name->setGeometry(370, 450, 261, 24);
    Add_Sample_Widgets();
}

// The sample input stands right of the caption, on the caption's line; its status goes under
// the bottom line.
void PacketBuilder::Add_Sample_Widgets() {
    Edit_Packet_Example = new QLineEdit(this);
    Edit_Packet_Example->setGeometry(115, 420, 606, 24);
    Edit_Packet_Example->setPlaceholderText(
        QStringLiteral("hex или base64: каждое поле покажет своё значение"));
    Edit_Packet_Example->setMaxLength(std::numeric_limits<int>::max());
    Label_Sample_Status = new QLabel(this);
    Label_Sample_Status->setGeometry(10, 480, 831, 24);
    Label_Sample_Status->setTextInteractionFlags(Qt::TextSelectableByMouse);
}

// Buttons act when they go down, not on release.
void PacketBuilder::Connect_Widgets() {
    connect(Packet_Tree, &QTreeWidget::itemClicked, this, &PacketBuilder::Current_Index);
    connect(Packet_Tree, &QTreeWidget::itemChanged, this, &PacketBuilder::Set_Size_Packet);
    connect(Button_Save, &QPushButton::pressed, this, &PacketBuilder::Save_Packet_Parser);
    connect(Button_Packet_Type, &QPushButton::pressed, this, &PacketBuilder::Add_Packet_Type);
    connect(Button_Data_Map, &QPushButton::pressed, this, &PacketBuilder::Add_Data_Map);
    connect(Button_Bit_Map, &QPushButton::pressed, this, &PacketBuilder::Add_Bit_Map);
    connect(Button_Delete_Element, &QPushButton::pressed, this, &PacketBuilder::Delete_Element);
    connect(Packet_Tree, &QTreeWidget::itemChanged, this, &PacketBuilder::Mark_Numbers);
    connect(Packet_Tree, &QTreeWidget::itemChanged, this, &PacketBuilder::Refresh_Row);
    connect(Packet_Tree, &QTreeWidget::itemDoubleClicked, this,
            &PacketBuilder::Open_Properties_Cell);
    connect(Edit_Packet_Example, &QLineEdit::textChanged, this, &PacketBuilder::Update_Sample);
}

// Ctrl+O, and the tree's context menu, open a saved template.
void PacketBuilder::Add_Open_Action() {
    auto* open = new QAction(QStringLiteral("Открыть шаблон..."), Packet_Tree);
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(open, &QAction::triggered, this, &PacketBuilder::Open_Template);
    Packet_Tree->addAction(open);
    auto* properties = new QAction(QStringLiteral("Свойства поля..."), Packet_Tree);
    properties->setShortcuts(
        {QKeySequence(Qt::ALT | Qt::Key_Return), QKeySequence(Qt::ALT | Qt::Key_Enter)});
    connect(properties, &QAction::triggered, this, &PacketBuilder::Edit_Field_Properties);
    Packet_Tree->addAction(properties);
    Packet_Tree->setContextMenuPolicy(Qt::ActionsContextMenu);
}

// The window never closes itself: it hides and lets its owner decide when to destroy it.
void PacketBuilder::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
    Q_EMIT Close();
}

// Each of these data changes reaches Set_Size_Packet, which is why the marker goes in first.
QTreeWidgetItem* PacketBuilder::Start_Row(QTreeWidgetItem* row, const QString& marker) {
    row->setData(1, Qt::UserRole, marker);
    row->setFlags(row->flags() | Qt::ItemIsEditable);
    return row;
}

void PacketBuilder::Add_Packet_Type() {
    QTreeWidgetItem* row = Start_Row(new QTreeWidgetItem(Packet_Tree), Type_Marker);
    row->setText(1, QStringLiteral("0"));
    Packet_Tree->setCurrentItem(row);
    Packet_Tree->editItem(row, 0);
    Current_Packet_Type = row;
    Next_Byte_Number = 0;
}

void PacketBuilder::Add_Data_Map() {
    if (!Current_Packet_Type)
        return;
    QTreeWidgetItem* row = Start_Row(new QTreeWidgetItem(Current_Packet_Type), Byte_Marker);
    row->setText(0, QString::number(Next_Byte_Number));
    Packet_Tree->setCurrentItem(row);
    Packet_Tree->editItem(row, 1);
    Current_Data_Map = row;
}

void PacketBuilder::Add_Bit_Map() {
    if (!Current_Data_Map)
        return;
    QTreeWidgetItem* row = Start_Row(new QTreeWidgetItem(Current_Data_Map), Bit_Marker);
    Packet_Tree->setCurrentItem(row);
    Packet_Tree->editItem(row, 0);
}

// Only the last byte field of the current packet type decides where the next field starts and
// how long the packet is.
bool PacketBuilder::Is_Last_Field(const QTreeWidgetItem* row) const {
    return Current_Packet_Type && row->parent() == Current_Packet_Type &&
           Current_Packet_Type->child(Current_Packet_Type->childCount() - 1) == row;
}

void PacketBuilder::Current_Index(QTreeWidgetItem* item, int) {
    if (!item)
        return;
    const QString marker = Marker(item);
    if (marker == Type_Marker) {
        Current_Packet_Type = item;
    } else if (marker == Byte_Marker && item != Current_Data_Map) {
        const qint64 end = Field_End(item);
        if (Is_Last_Field(item) && Fits_Int(end))
            Next_Byte_Number = int(end);
        Current_Data_Map = item;
    }
    Selected_Element = item;
}

void PacketBuilder::Set_Size_Packet(QTreeWidgetItem* item, int) {
    if (!item || Marker(item) != Byte_Marker || !Is_Last_Field(item))
        return;
    const qint64 end = Field_End(item);
    // Changes the packet-type row, which brings us back here once and stops at the marker.
    Current_Packet_Type->setText(1, QString::number(end));
    if (end != 0 && Fits_Int(end))
        Next_Byte_Number = int(end);
}

void PacketBuilder::Delete_Element() {
    if (!Selected_Element)
        return;
    QTreeWidgetItem* row = Selected_Element;
    Forget_Rows_Within(row);
    delete row;
    Update_Sample();
}

// A deleted row takes its descendants along: no pointer may keep naming any of them.
void PacketBuilder::Forget_Rows_Within(const QTreeWidgetItem* removed) {
    for (QTreeWidgetItem** pointer : {&Current_Packet_Type, &Current_Data_Map, &Selected_Element})
        if (Is_Within(*pointer, removed))
            *pointer = nullptr;
}

void PacketBuilder::Own_File(const QString& file_name) {
    Own_Files.insert(file_name);
}

// A save lands whole or not at all. Every question comes first; only then is Dev.conf read,
// changed and written, under its lock and together with the template file, so that nothing
// registered while a question was open is lost.
void PacketBuilder::Save_Packet_Parser() {
    const QString typed = Edit_File_Name->text();
    const QString file_name = Workspace::Saved_File_Name(typed);
    const QString device_name = Edit_Device_Name->text();
    if (Workspace::Typed_Name(typed).isEmpty() || device_name.isEmpty()) {
        Reporter({MessageIcon::Critical, QStringLiteral("Ошибка"),
                  QStringLiteral("Незавние устройтсва или файла пустое.")});
        return;
    }
    if (!DeviceRegistry::Check_Name(device_name, Reporter, Files.Registry_Path()) ||
        !May_Save_Zeros() || !May_Write(file_name, device_name))
        return;
    const DeviceRegistry::Companion template_file{
        Files.Template_Path(file_name),
        QJsonDocument(Build_Packet_Parser()).toJson(QJsonDocument::Indented)};
    if (!DeviceRegistry::Change(device_name, file_name, Reporter, template_file,
                                Files.Registry_Path()))
        return;
    Own_File(file_name);
    Reporter({MessageIcon::Information, QStringLiteral("Готово"),
              QStringLiteral("JSON файл сохранен!")});
}

// A cell marked red is written as 0 only when the user says so.
bool PacketBuilder::May_Save_Zeros() const {
    QStringList lines;
    for (int i = 0; i < Packet_Tree->topLevelItemCount(); ++i)
        Collect_Zero_Cells(Packet_Tree->topLevelItem(i), TemplateRows::Level::Packet_Type, lines);
    if (lines.isEmpty())
        return true;
    const qsizetype shown = std::min<qsizetype>(lines.size(), 15);
    QString text = QStringLiteral("Эти значения не читаются как числа и сохранятся как 0:\n") +
                   lines.first(shown).join(QLatin1Char('\n'));
    if (shown < lines.size())
        text += QStringLiteral("\n… и ещё %1").arg(lines.size() - shown);
    return Ask(QStringLiteral("Подтверждение"), text + QStringLiteral("\nСохранить?"));
}

// A device registered with another file is moved to this one only when the user agrees. A
// template file is replaced without asking only when this window saved or opened it and no other
// device uses it; the question names those devices. A registry that cannot be read asks nothing
// here: the save itself reports it.
bool PacketBuilder::May_Write(const QString& file_name, const QString& device_name) const {
    const QList<DeviceRegistry::Device> devices = DeviceRegistry::Read(Files.Registry_Path());
    QStringList users;
    for (const DeviceRegistry::Device& device : devices) {
        if (device.Name == device_name && device.File_Name != file_name &&
            !Ask(QStringLiteral("Подтверждение"),
                 QStringLiteral("Устройство «%1» уже зарегистрировано с файлом %2. Заменить?")
                     .arg(device_name, device.File_Name)))
            return false;
        if (device.File_Name == file_name && device.Name != device_name)
            users.append(QStringLiteral("«%1»").arg(device.Name));
    }
    const QString path = Files.Template_Path(file_name);
    if (!QFileInfo(path).isFile() || (Own_Files.contains(file_name) && users.isEmpty()))
        return true;
    const QString used = users.isEmpty()
                             ? QString()
                             : QStringLiteral(" и используется %1 %2")
                                   .arg(users.size() == 1 ? QStringLiteral("устройством")
                                                          : QStringLiteral("устройствами"),
                                        users.join(QStringLiteral(", ")));
    return Ask(QStringLiteral("Подтверждение"),
               QStringLiteral("Файл %1 уже существует%2. Заменить его?").arg(path, used));
}

QJsonObject PacketBuilder::Build_Packet_Parser() const {
    QList<TemplateRows::Row> rows;
    for (int i = 0; i < Packet_Tree->topLevelItemCount(); ++i)
        rows.append(Row_Of(Packet_Tree->topLevelItem(i)));
    return TemplateRows::To_Json(rows);
}

bool PacketBuilder::Open_Device_Template(const QString& device_name, const QString& file_name) {
    const QString path = Files.Template_Path(file_name); // the file conversions read
    if (!Load_Template(path))
        return false;
    Edit_Device_Name->setText(device_name);
    Take_File_Name(path);
    return true;
}

// Ctrl+O: any template file, the workspace's template folder offered first. The device field names
// the one device registered to the file; with none or several, or for a file a save does not write
// back to, it is emptied, so that a save never moves a device's registration to this file
// unnoticed.
void PacketBuilder::Open_Template() {
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Открыть шаблон"),
                                     Files.Template_Folder(), QStringLiteral("Шаблоны (*.json)"));
    if (path.isEmpty() || !Load_Template(path))
        return;
    QStringList devices;
    if (Take_File_Name(path)) {
        for (const DeviceRegistry::Device& device :
             DeviceRegistry::Read(Files.Registry_Path(), Reporter))
            if (device.File_Name == Workspace::Saved_File_Name(Edit_File_Name->text()))
                devices.append(device.Name);
    }
    Edit_Device_Name->setText(devices.size() == 1 ? devices.first() : QString());
}

// Reads the file and replaces the tree with its rows, asking first when the tree holds any. A file
// that cannot be read or is not JSON is reported and leaves the tree alone; one that holds more
// than the rows can is loaded, and what a save would drop or change is shown at once.
bool PacketBuilder::Load_Template(const QString& path) {
    const QString shown = QDir(Files.Root()).relativeFilePath(path);
    const SafeFile::Contents file = SafeFile::Read(path);
    if (file.Failed != SafeFile::ReadFailure::None) {
        // The reason (not a regular file, no permission...) on a line of its own.
        Reporter(file.Failed == SafeFile::ReadFailure::Cannot_Open
                     ? SafeFile::Open_Failure_Message(shown, file.Reason)
                     : DecoderMessages::Load_Failure(file.Failed, shown));
        return false;
    }
    const TemplateRows::Loaded loaded = TemplateRows::From_Json(file.Bytes);
    if (!loaded.Json_Error.isEmpty()) {
        Reporter({MessageIcon::Information, QStringLiteral("Ошибка"),
                  QStringLiteral("Файл %1 не является документом JSON: %2.")
                      .arg(shown, loaded.Json_Error)});
        return false;
    }
    if (Packet_Tree->topLevelItemCount() > 0 &&
        !Ask(QStringLiteral("Подтверждение"),
             QStringLiteral("Заменить шаблон в окне шаблоном из файла %1? Несохранённые "
                            "изменения пропадут.")
                 .arg(shown)))
        return false;
    Show_Rows(loaded.Rows);
    if (!loaded.Changes.isEmpty())
        Reporter(Changes_Message(shown, loaded.Changes));
    return true;
}

// The rows go in whole, built outside the tree, so no size update runs over what was loaded.
// Then the state is that of a user who built the tree and clicked the last packet type's last
// byte field.
void PacketBuilder::Show_Rows(const QList<TemplateRows::Row>& rows) {
    Current_Packet_Type = Current_Data_Map = Selected_Element = nullptr;
    Next_Byte_Number = 0;
    Packet_Tree->clear();
    QList<QTreeWidgetItem*> items;
    for (const TemplateRows::Row& row : rows)
        items.append(Row_Item(row, 0));
    Packet_Tree->addTopLevelItems(items);
    Packet_Tree->expandAll(); // rows added by hand show as they are added
    if (items.isEmpty())
        return;
    Update_Sample();
    Current_Packet_Type = items.last();
    Packet_Tree->setCurrentItem(Current_Packet_Type);
    if (const int fields = Current_Packet_Type->childCount(); fields > 0) {
        QTreeWidgetItem* last_field = Current_Packet_Type->child(fields - 1);
        Packet_Tree->setCurrentItem(last_field);
        Current_Index(last_field, 0);
    }
}

QTreeWidgetItem* PacketBuilder::Row_Item(const TemplateRows::Row& row, int level) {
    const QString marker = QList{Type_Marker, Byte_Marker, Bit_Marker}[level];
    auto* item = Start_Row(new QTreeWidgetItem({row.Texts[0], row.Texts[1], row.Texts[2]}), marker);
    if (!row.Meaning.isEmpty())
        item->setData(Meaning_Column, Meaning_Role, row.Meaning);
    Show_Meaning(item, marker);
    for (const TemplateRows::Row& child : row.Children)
        item->addChild(Row_Item(child, level + 1));
    Mark_Number_Cells(item, TemplateRows::Level(level));
    return item;
}

// The file-name field takes the name a save writes back to: the path inside the template folder,
// or the file name of a file elsewhere, without ".json". True when a save writes back to this very
// file: then the window owns it.
bool PacketBuilder::Take_File_Name(const QString& path) {
    QString name =
        QDir(Files.Template_Folder()).relativeFilePath(QFileInfo(path).absoluteFilePath());
    if (name.startsWith(QStringLiteral("../")) || QDir::isAbsolutePath(name))
        name = QFileInfo(path).fileName();
    Edit_File_Name->setText(Workspace::Typed_Name(name));
    const QString file_name = Workspace::Saved_File_Name(name);
    const bool own = Same_File(Files.Template_Path(file_name), path);
    if (own)
        Own_File(file_name);
    return own;
}

void PacketBuilder::Mark_Numbers(QTreeWidgetItem* item, int) {
    if (item)
        Mark_Number_Cells(item, Level_Of(item));
}

// The properties of the current row, when it is a field.
void PacketBuilder::Edit_Field_Properties() {
    QTreeWidgetItem* row = Packet_Tree->currentItem();
    if (!row || Marker(row) == Type_Marker)
        return;
    const bool bit = Marker(row) == Bit_Marker;
    const FieldPropertiesDialog::Field field{bit, bit ? TemplateRows::Cell_Number(row->text(0)) : 0,
                                             TemplateRows::Cell_Number(row->text(1))};
    FieldPropertiesDialog dialog(Meaning_Of(row), field, Sample_Bytes(row), this);
    if (dialog.exec() == QDialog::Accepted && row == Packet_Tree->currentItem())
        Set_Meaning(row, dialog.Keys());
}

void PacketBuilder::Open_Properties_Cell(QTreeWidgetItem* item, int column) {
    if (item && column == Meaning_Column) {
        Packet_Tree->setCurrentItem(item);
        Edit_Field_Properties();
    }
}

void PacketBuilder::Set_Meaning(QTreeWidgetItem* row, const QJsonObject& keys) {
    {
        const QSignalBlocker quiet(Packet_Tree);
        row->setData(Meaning_Column, Meaning_Role, keys);
        Show_Meaning(row, Marker(row));
    }
    Update_Sample();
}

// A typed cell changes what the row means (its size) and what the sample decodes to.
void PacketBuilder::Refresh_Row(QTreeWidgetItem* item, int column) {
    if (!item || column >= Meaning_Column)
        return;
    {
        const QSignalBlocker quiet(Packet_Tree);
        Show_Meaning(item, Marker(item));
    }
    Update_Sample();
}

// The sample's bytes of a field (a bit field's: its byte), as far as the sample reaches.
QString PacketBuilder::Sample_Bytes(const QTreeWidgetItem* row) const {
    const bool bit = Marker(row) == Bit_Marker;
    const QTreeWidgetItem* field = bit ? row->parent() : row;
    const qint64 first = TemplateRows::Cell_Number(field->text(0));
    const qint64 size = bit ? 1 : TemplateRows::Cell_Number(field->text(1));
    if (first < 0 || size <= 0 || 2 * (first + size) > Sample_Hex.size())
        return QString();
    return Sample_Hex.mid(2 * first, 2 * size);
}

// The sample goes through the window's own conversion (cleaning, base64) and the decoder, with
// the template the tree would save; nothing is shown in a box.
void PacketBuilder::Update_Sample() {
    const QSignalBlocker quiet(Packet_Tree);
    for (QTreeWidgetItemIterator it(Packet_Tree); *it; ++it)
        (*it)->setText(Sample_Column, QString());
    Sample_Hex.clear();
    Label_Sample_Status->clear();
    const QString paste = Edit_Packet_Example->text();
    if (paste.trimmed().isEmpty())
        return;
    const DeviceTemplateFile file = DeviceTemplateFile::From_Json(
        QJsonDocument(Build_Packet_Parser()).toJson(QJsonDocument::Compact));
    PacketConversion conversion(Edit_Device_Name->text(), [](const UserMessage&) {});
    conversion.Write_Diagnostic_Lines(false); // a preview at every keystroke, not a conversion
    const PacketDecoder decoder(
        Files.Template_Path(Workspace::Saved_File_Name(Edit_File_Name->text())),
        conversion.Reporter());
    const PacketConversion::Result& result = conversion.Run(
        paste,
        [&](const QString& hex, DecodedPacket& packet) { decoder.Parse_Packet(file, hex, packet); },
        nullptr);
    Sample_Hex = result.Hex_Text;
    QStringList problems;
    for (const UserMessage& message : result.Messages)
        problems << message.Text;
    if (result.Is_Length_Error())
        problems << result.Packet.first().Value;
    else if (result.Is_Decoded())
        Show_Sample(file, result.Packet);
    problems << result.Warnings;
    Label_Sample_Status->setStyleSheet(
        problems.isEmpty() || result.Is_Decoded() ? QString() : QStringLiteral("color: red"));
    Label_Sample_Status->setText(problems.join(QStringLiteral("; ")));
}

// The decoded packet lists the selected type's fields in the tree's order, each byte field with
// a bit map followed by its bits: the rows of one top-level row, walked in order.
void PacketBuilder::Show_Sample(const DeviceTemplateFile& file, const DecodedPacket& packet) {
    const int index = file.Select(HexText::Type_Byte(Sample_Hex)).Index;
    QTreeWidgetItem* type_row = Packet_Tree->topLevelItem(index);
    if (!type_row)
        return;
    qsizetype at = 0;
    const auto show = [&](QTreeWidgetItem* row) {
        if (at >= packet.size())
            return;
        const DecodedField& field = packet.at(at++);
        row->setText(Sample_Column, field.Line && field.Line->Is_Time
                                        ? ResultRenderer::Render_Time(field.Value)
                                        : field.Value);
    };
    show(type_row);
    for (int i = 0; i < type_row->childCount(); ++i) {
        QTreeWidgetItem* field_row = type_row->child(i);
        show(field_row);
        for (int b = 0; b < field_row->childCount(); ++b)
            show(field_row->child(b));
    }
}
