#pragma once

#include "FieldMeaning.h"

#include <QDialog>
#include <QJsonObject>
#include <QString>

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTableWidget;

// Edits what one field means, "Свойства поля": the number kind, byte order, sign, scale, offset,
// decimals, unit and value labels of a byte field, or the format and labels of a bit field, as
// controls. A sample of the field's bytes shows its value live, decoded by the decoder itself.
class FieldPropertiesDialog : public QDialog {
    Q_OBJECT

  public:
    // Which field is edited: a byte field of `Size` bytes, or a bit field of `Size` bits from bit
    // `Num_Bit` of its byte.
    struct Field {
        bool Is_Bit = false;
        int Num_Bit = 0;
        int Size = 0;
    };

    // `sample` is hex text of the field's bytes (a bit field's: its byte), shown for a start.
    FieldPropertiesDialog(const QJsonObject& keys, Field field, const QString& sample,
                          QWidget* parent = nullptr);

    // The keys the controls set, each only when set, as a template entry writes them.
    QJsonObject Keys() const;
    // What the sample bytes decode to under the keys shown.
    QString Sample_Value() const;

  private:
    void Build_Controls();
    FieldMeaning Meaning() const; // what the controls set
    void Show_Keys(const FieldMeaning& meaning);
    void Add_Label_Row(const QString& value, const QString& label);
    void Update_Sample();

    Field Edited;
    bool Had_Order = false;  // the field said "le" itself: it keeps saying so
    bool Had_Format = false; // the same for a bit field's "bits"
    QComboBox* Combo_Format = nullptr;
    QComboBox* Combo_Order = nullptr;
    QComboBox* Combo_Signed = nullptr;
    QLineEdit* Edit_Scale = nullptr;
    QLineEdit* Edit_Offset = nullptr;
    QSpinBox* Spin_Decimals = nullptr;
    QLineEdit* Edit_Unit = nullptr;
    QTableWidget* Table_Labels = nullptr;
    QLineEdit* Edit_Sample = nullptr;
    QLabel* Label_Sample = nullptr;
};
