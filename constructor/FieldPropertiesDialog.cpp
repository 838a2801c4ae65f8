#include "FieldPropertiesDialog.h"

#include "DeviceTemplateFile.h"
#include "PacketDecoder.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

using Format = FieldMeaning::Format;

// The formats offered, in the order of the list; "по размеру" leaves the format out.
const QList<Format> Byte_Formats = {Format::Absent, Format::Dec,   Format::Hex,
                                    Format::Float,  Format::Ascii, Format::Time};
const QList<Format> Bit_Formats = {Format::Bits, Format::Dec};

// A number typed with a point or a comma; nothing for an empty or unreadable text, or one that
// JSON cannot hold ("inf").
std::optional<double> Typed_Number(const QString& text) {
    bool ok = false;
    const double value = QLocale::c().toDouble(QString(text).replace(u',', u'.').trimmed(), &ok);
    return ok && std::isfinite(value) ? std::optional(value) : std::nullopt;
}

QString Number_Text(const std::optional<double>& value) {
    return value ? QString::number(*value, 'g', 17) : QString();
}

void Mark(QLineEdit* edit, bool bad) {
    edit->setStyleSheet(bad ? QStringLiteral("color: red") : QString());
}

} // namespace

FieldPropertiesDialog::FieldPropertiesDialog(const QJsonObject& keys, Field field,
                                             const QString& sample, QWidget* parent)
    : QDialog(parent), Edited(field) {
    setWindowTitle(QStringLiteral("Свойства поля"));
    Build_Controls();
    const FieldMeaning meaning =
        field.Is_Bit ? FieldMeaning::Of_Bit_Field(keys) : FieldMeaning::Of_Byte_Field(keys);
    Had_Order = meaning.Has_Order && !meaning.Big_Endian;
    Had_Format = meaning.Kind != Format::Absent;
    Show_Keys(meaning);
    Edit_Sample->setText(sample);
    Update_Sample();
}

void FieldPropertiesDialog::Build_Controls() {
    auto* form = new QFormLayout;
    Combo_Format = new QComboBox(this);
    for (Format format : Edited.Is_Bit ? Bit_Formats : Byte_Formats)
        Combo_Format->addItem(format == Format::Absent ? QStringLiteral("по размеру")
                                                       : FieldMeaning::Format_Name(format));
    form->addRow(QStringLiteral("Формат"), Combo_Format);
    Combo_Order = new QComboBox(this);
    Combo_Order->addItems(
        {QStringLiteral("le (младший байт первым)"), QStringLiteral("be (старший байт первым)")});
    Combo_Signed = new QComboBox(this);
    Combo_Signed->addItems({QStringLiteral("по размеру (1, 2, 4 байта со знаком)"),
                            QStringLiteral("со знаком"), QStringLiteral("без знака")});
    Edit_Scale = new QLineEdit(this);
    Edit_Scale->setPlaceholderText(QStringLiteral("1"));
    Edit_Offset = new QLineEdit(this);
    Edit_Offset->setPlaceholderText(QStringLiteral("0"));
    Spin_Decimals = new QSpinBox(this);
    Spin_Decimals->setRange(-1, 17);
    Spin_Decimals->setSpecialValueText(QStringLiteral("по масштабу"));
    Edit_Unit = new QLineEdit(this);
    if (!Edited.Is_Bit) {
        form->addRow(QStringLiteral("Порядок байтов"), Combo_Order);
        form->addRow(QStringLiteral("Знак"), Combo_Signed);
        form->addRow(QStringLiteral("Масштаб"), Edit_Scale);
        form->addRow(QStringLiteral("Смещение"), Edit_Offset);
        form->addRow(QStringLiteral("Знаков после точки"), Spin_Decimals);
        form->addRow(QStringLiteral("Единица"), Edit_Unit);
    } else {
        for (QWidget* unused :
             {static_cast<QWidget*>(Combo_Order), static_cast<QWidget*>(Combo_Signed),
              static_cast<QWidget*>(Edit_Scale), static_cast<QWidget*>(Edit_Offset),
              static_cast<QWidget*>(Spin_Decimals), static_cast<QWidget*>(Edit_Unit)})
            unused->hide();
    }

    Table_Labels = new QTableWidget(0, 2, this);
    Table_Labels->setHorizontalHeaderLabels(
        {QStringLiteral("Значение"), QStringLiteral("Подпись")});
    Table_Labels->horizontalHeader()->setStretchLastSection(true);
    Table_Labels->verticalHeader()->hide();
    auto* add = new QPushButton(QStringLiteral("Добавить подпись"), this);
    auto* remove = new QPushButton(QStringLiteral("Удалить подпись"), this);
    auto* label_buttons = new QHBoxLayout;
    label_buttons->addWidget(add);
    label_buttons->addWidget(remove);
    auto* labels = new QVBoxLayout;
    labels->addWidget(Table_Labels);
    labels->addLayout(label_buttons);
    form->addRow(QStringLiteral("Подписи значений"), labels);

    Edit_Sample = new QLineEdit(this);
    Edit_Sample->setPlaceholderText(Edited.Is_Bit ? QStringLiteral("байт поля, hex")
                                                  : QStringLiteral("байты поля, hex"));
    Label_Sample = new QLabel(this);
    Label_Sample->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(QStringLiteral("Пример байтов"), Edit_Sample);
    form->addRow(QStringLiteral("Значение"), Label_Sample);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("ОК"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(add, &QPushButton::clicked, this, [this] { Add_Label_Row({}, {}); });
    connect(remove, &QPushButton::clicked, this, [this] {
        Table_Labels->removeRow(Table_Labels->currentRow());
        Update_Sample();
    });
    for (QComboBox* combo : {Combo_Format, Combo_Order, Combo_Signed})
        connect(combo, &QComboBox::currentIndexChanged, this,
                &FieldPropertiesDialog::Update_Sample);
    for (QLineEdit* edit : {Edit_Scale, Edit_Offset, Edit_Unit, Edit_Sample})
        connect(edit, &QLineEdit::textChanged, this, &FieldPropertiesDialog::Update_Sample);
    connect(Spin_Decimals, &QSpinBox::valueChanged, this, &FieldPropertiesDialog::Update_Sample);
    connect(Table_Labels, &QTableWidget::itemChanged, this, &FieldPropertiesDialog::Update_Sample);
}

void FieldPropertiesDialog::Show_Keys(const FieldMeaning& meaning) {
    const QList<Format>& formats = Edited.Is_Bit ? Bit_Formats : Byte_Formats;
    const Format shown =
        Edited.Is_Bit && meaning.Kind == Format::Absent ? Format::Bits : meaning.Kind;
    Combo_Format->setCurrentIndex(std::max<int>(0, formats.indexOf(shown)));
    Combo_Order->setCurrentIndex(meaning.Big_Endian ? 1 : 0);
    Combo_Signed->setCurrentIndex(!meaning.Signed ? 0 : *meaning.Signed ? 1 : 2);
    Edit_Scale->setText(Number_Text(meaning.Scale));
    Edit_Offset->setText(Number_Text(meaning.Offset));
    Spin_Decimals->setValue(meaning.Decimals);
    Edit_Unit->setText(meaning.Unit);
    for (const auto& [value, label] : meaning.Labels)
        Add_Label_Row(value, label);
}

void FieldPropertiesDialog::Add_Label_Row(const QString& value, const QString& label) {
    const int row = Table_Labels->rowCount();
    Table_Labels->insertRow(row);
    Table_Labels->setItem(row, 0, new QTableWidgetItem(value));
    Table_Labels->setItem(row, 1, new QTableWidgetItem(label));
}

QJsonObject FieldPropertiesDialog::Keys() const {
    return Meaning().To_Json();
}

FieldMeaning FieldPropertiesDialog::Meaning() const {
    FieldMeaning meaning;
    const QList<Format>& formats = Edited.Is_Bit ? Bit_Formats : Byte_Formats;
    meaning.Kind = formats.value(Combo_Format->currentIndex(), Format::Absent);
    // A bit field shows its bits unless told otherwise, so "bits" is written only when the field
    // had said it.
    if (Edited.Is_Bit && meaning.Kind == Format::Bits && !Had_Format)
        meaning.Kind = Format::Absent;
    if (!Edited.Is_Bit) {
        meaning.Big_Endian = Combo_Order->currentIndex() == 1;
        meaning.Has_Order = meaning.Big_Endian || Had_Order;
        if (Combo_Signed->currentIndex() > 0)
            meaning.Signed = Combo_Signed->currentIndex() == 1;
        meaning.Scale = Typed_Number(Edit_Scale->text());
        meaning.Offset = Typed_Number(Edit_Offset->text());
        meaning.Decimals = Spin_Decimals->value();
        meaning.Unit = Edit_Unit->text();
    }
    for (int row = 0; row < Table_Labels->rowCount(); ++row) {
        const QTableWidgetItem* value = Table_Labels->item(row, 0);
        const QTableWidgetItem* label = Table_Labels->item(row, 1);
        bool ok = false;
        const qlonglong number = value ? value->text().trimmed().toLongLong(&ok, 10) : 0;
        if (ok)
            meaning.Labels.append({QString::number(number), label ? label->text() : QString()});
    }
    return meaning;
}

// The field alone in a template that accepts any packet, decoded from a packet of the sample's
// bytes after a type byte. The template goes through the file's writer and reader, so the sample
// decodes as a saved file will.
QString FieldPropertiesDialog::Sample_Value() const {
    PacketTemplate sample;
    sample.Packet_Type = -1;
    sample.Total_Size = 1 << 20;
    sample.Has_Min_Size = true;
    sample.Min_Size = 2;
    ByteFieldEntry& field = sample.Data.emplace_back();
    field.Num_Byte = 1;
    if (Edited.Is_Bit) {
        field.Size = 1;
        field.Has_Bitmap = true;
        BitFieldEntry& bit = field.Bitmap.emplace_back();
        bit.Num_Bit = Edited.Num_Bit;
        bit.Size = Edited.Size;
        bit.Name = QStringLiteral("F");
        bit.Meaning = Meaning();
    } else {
        field.Size = Edited.Size;
        field.Name = QStringLiteral("F");
        field.Meaning = Meaning();
    }
    const DeviceTemplateFile file = DeviceTemplateFile::From_Json(
        QJsonDocument(DeviceTemplateFile::Write_Document({sample})).toJson(QJsonDocument::Compact));
    const QString packet = QStringLiteral("00") + Edit_Sample->text().remove(u' ');
    const DecodedPacket decoded =
        PacketDecoder(QString(), [](const UserMessage&) {}).Parse_Packet(file, packet);
    return decoded.isEmpty() ? QString() : decoded.last().Value;
}

void FieldPropertiesDialog::Update_Sample() {
    Mark(Edit_Scale, !Edit_Scale->text().isEmpty() && !Typed_Number(Edit_Scale->text()));
    Mark(Edit_Offset, !Edit_Offset->text().isEmpty() && !Typed_Number(Edit_Offset->text()));
    for (int row = 0; row < Table_Labels->rowCount(); ++row) {
        QTableWidgetItem* value = Table_Labels->item(row, 0);
        bool ok = false;
        if (value)
            value->text().trimmed().toLongLong(&ok, 10);
        if (value && value->foreground().color() != (ok ? QColor() : QColor(Qt::red))) {
            const QSignalBlocker quiet(Table_Labels);
            value->setForeground(ok ? QBrush() : QBrush(Qt::red));
        }
    }
    const QString value = Sample_Value();
    Label_Sample->setText(Edit_Sample->text().isEmpty() ? QString()
                          : value.isEmpty() ? QStringLiteral("(нет значения)")
                                            : value);
}
