#include "PacketBuilder.h"

#include "DeviceRegistry.h"
#include "MessageBox.h"
#include "SafeFile.h"

#include <QCloseEvent>
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

QString Marker(const QTreeWidgetItem* row) {
    return row->data(1, Qt::UserRole).toString();
}

// Cells hold base-10 numbers; anything that does not convert counts as 0.
int Cell_Number(const QString& text) {
    return text.toInt(nullptr, 10);
}

// Where a byte field ends: byte number plus size. Summed wide, since both cells may hold any
// 32-bit value.
qint64 Field_End(const QTreeWidgetItem* row) {
    return qint64(Cell_Number(row->text(0))) + Cell_Number(row->text(1));
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

// Codes and names separated by commas are paired position by position; the surplus of the longer
// list is dropped.
QJsonArray Type_Entries(const QString& codes, const QString& names) {
    const QStringList code_list = codes.split(QLatin1Char(','));
    const QStringList name_list = names.split(QLatin1Char(','));
    QJsonArray entries;
    for (qsizetype i = 0; i < code_list.size() && i < name_list.size(); ++i)
        entries.append(QJsonObject{{QStringLiteral("T"), Cell_Number(code_list[i])},
                                   {QStringLiteral("name"), name_list[i]}});
    return entries;
}

void Write_Packet_Type(QJsonObject& packet, const QString& codes, const QString& names) {
    if (codes.contains(QLatin1Char(',')) && names.contains(QLatin1Char(','))) {
        packet.insert(QStringLiteral("packet_type"), Type_Entries(codes, names));
        return;
    }
    packet.insert(QStringLiteral("packet_type"), Cell_Number(codes));
    packet.insert(QStringLiteral("name"), names);
}

// A size written min-total marks a variable-length packet; text after a second dash is ignored.
void Write_Sizes(QJsonObject& packet, const QString& size) {
    if (!size.contains(QLatin1Char('-'))) {
        packet.insert(QStringLiteral("total_size"), Cell_Number(size));
        return;
    }
    packet.insert(QStringLiteral("min_size"), Cell_Number(size.section(QLatin1Char('-'), 0, 0)));
    packet.insert(QStringLiteral("total_size"), Cell_Number(size.section(QLatin1Char('-'), 1, 1)));
}

QJsonObject Field_Object(const QTreeWidgetItem* row, const QString& number_key) {
    return {{number_key, Cell_Number(row->text(0))},
            {QStringLiteral("size"), Cell_Number(row->text(1))},
            {QStringLiteral("name"), row->text(2)}};
}

// Where the file typed into the window is written.
QString Template_Path(const QString& file_name) {
    return QStringLiteral("Device/%1.json").arg(file_name);
}

} // namespace

PacketBuilder::PacketBuilder()
    : QWidget(nullptr), Reporter(Message_Box_Reporter()), Ask(Ask_Question) {
    setWindowTitle(QStringLiteral("Конструктор пакетов для парсинга"));
    setFixedSize(849, 484);
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
    Packet_Tree->setColumnCount(3);
    Packet_Tree->setHeaderLabels({QStringLiteral("Тип пакета;\nНомер байта;\nНомер бита."),
                                  QStringLiteral("Размер пакета;\nРазмер поля"),
                                  QStringLiteral("Название")});
    Packet_Tree->setFrameShape(QFrame::NoFrame);
    Packet_Tree->setEditTriggers(QAbstractItemView::DoubleClicked);
    Packet_Tree->setTextElideMode(Qt::ElideNone);
    Packet_Tree->setWordWrap(true);
    Packet_Tree->setEnabled(true);

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
}

// A deleted row takes its descendants along: no pointer may keep naming any of them.
void PacketBuilder::Forget_Rows_Within(const QTreeWidgetItem* removed) {
    for (QTreeWidgetItem** pointer : {&Current_Packet_Type, &Current_Data_Map, &Selected_Element})
        if (Is_Within(*pointer, removed))
            *pointer = nullptr;
}

void PacketBuilder::Set_Reporter(MessageReporter reporter) {
    Reporter = std::move(reporter);
}

void PacketBuilder::Set_Question(Question question) {
    Ask = std::move(question);
}

void PacketBuilder::Own_File(const QString& file_name) {
    Own_Files.insert(file_name);
}

// A save lands whole or not at all. Dev.conf's new content is made and checked first (a device
// name it would alter is refused there), the template goes to disk next, and Dev.conf is written
// only then; should that fail, the template file puts the old template (or none) back.
void PacketBuilder::Save_Packet_Parser() {
    const QString file_name = Edit_File_Name->text();
    const QString device_name = Edit_Device_Name->text();
    if (file_name.isEmpty() || device_name.isEmpty()) {
        Reporter({MessageIcon::Critical, QStringLiteral("Ошибка"),
                  QStringLiteral("Незавние устройтсва или файла пустое.")});
        return;
    }
    const std::optional<QByteArray> registry = DeviceRegistry::With_Device(
        device_name, QStringLiteral("%1.json").arg(file_name), Reporter);
    if (!registry || !May_Write(file_name, device_name))
        return;
    SafeFile template_file(Template_Path(file_name));
    if (!template_file.Replace(
            QJsonDocument(Build_Packet_Parser()).toJson(QJsonDocument::Indented))) {
        Reporter(template_file.Failure_Message());
        return;
    }
    if (!DeviceRegistry::Write(*registry, Reporter))
        return;
    template_file.Keep();
    Own_File(file_name);
    Reporter({MessageIcon::Information, QStringLiteral("Готово"),
              QStringLiteral("JSON файл сохранен!")});
}

// A template file this window neither saved nor opened is replaced only when the user agrees;
// the question names the other devices that use the file.
bool PacketBuilder::May_Write(const QString& file_name, const QString& device_name) const {
    const QString path = Template_Path(file_name);
    if (Own_Files.contains(file_name) || !QFileInfo(path).isFile())
        return true;
    QStringList users;
    for (const DeviceRegistry::Device& device : DeviceRegistry::Read()) {
        if (device.File_Name == file_name + QStringLiteral(".json") && device.Name != device_name)
            users.append(QStringLiteral("«%1»").arg(device.Name));
    }
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
    QJsonArray packets;
    for (int i = 0; i < Packet_Tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = Packet_Tree->topLevelItem(i);
        QJsonObject packet;
        Write_Packet_Type(packet, row->text(0), row->text(2));
        Write_Sizes(packet, row->text(1));
        if (row->childCount() > 0)
            packet.insert(QStringLiteral("data"), Build_Data_Map(row));
        packets.append(packet);
    }
    return {{QStringLiteral("packet_data"), packets}};
}

QJsonArray PacketBuilder::Build_Data_Map(const QTreeWidgetItem* row) const {
    QJsonArray fields;
    for (int i = 0; i < row->childCount(); ++i) {
        const QTreeWidgetItem* child = row->child(i);
        QJsonObject field = Field_Object(child, QStringLiteral("num_byte"));
        if (child->childCount() > 0)
            field.insert(QStringLiteral("bitmap"), Build_Bit_Map(child));
        fields.append(field);
    }
    return fields;
}

QJsonArray PacketBuilder::Build_Bit_Map(const QTreeWidgetItem* row) const {
    QJsonArray bits;
    for (int i = 0; i < row->childCount(); ++i)
        bits.append(Field_Object(row->child(i), QStringLiteral("num_bit")));
    return bits;
}
