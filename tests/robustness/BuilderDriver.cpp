#include "BuilderDriver.h"

#include "PacketBuilder.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

BuilderDriver::BuilderDriver(PacketBuilder& builder) : Builder(builder) {
    Tree = builder.findChild<QTreeWidget*>();
    // The two line edits are told apart by their place on the bottom line: device name first.
    for (QLineEdit* edit : builder.findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly)) {
        if (edit->x() < 200)
            Edit_Device_Name = edit;
        else
            Edit_File_Name = edit;
    }
    Q_ASSERT(Tree && Edit_Device_Name && Edit_File_Name);
}

QPushButton* BuilderDriver::Button(const QString& text) const {
    for (QPushButton* button : Builder.findChildren<QPushButton*>()) {
        if (button->text() == text)
            return button;
    }
    qFatal("no button %s", qPrintable(text));
}

void BuilderDriver::Press(QPushButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

void BuilderDriver::Press_Save() {
    Press(Button(QStringLiteral("Сохранить")));
}

void BuilderDriver::Set_Cell(QTreeWidgetItem* row, int column, const QString& text) {
    row->setText(column, text);
}

// The add operations open an editor on one cell of the new row: the text for that cell is typed
// there and committed with Enter, exactly as a user would.
QTreeWidgetItem* BuilderDriver::Add_Row(QPushButton* button, int editor_column,
                                        const QStringList& cells) {
    Press(button);
    QTreeWidgetItem* row = Tree->currentItem();
    if (!row)
        return nullptr;
    auto* editor = qobject_cast<QLineEdit*>(Tree->indexWidget(Tree->currentIndex()));
    if (editor) {
        const QString text = cells.value(editor_column);
        editor->setText(text);
        QTest::keyClick(editor, Qt::Key_Return);
        // The delegate commits the editor's text from a queued call, once the key is handled.
        QCoreApplication::processEvents();
        if (!QTest::qWaitFor([&] { return row->text(editor_column) == text; }))
            return nullptr;
    }
    for (int column = 0; column < 3; ++column) {
        if (column != editor_column || !editor)
            Set_Cell(row, column, cells.value(column));
    }
    return row;
}

QTreeWidgetItem* BuilderDriver::Add_Packet_Type(const QStringList& cells) {
    return Add_Row(Button(QStringLiteral("Тип пакета")), 0, cells);
}

QTreeWidgetItem* BuilderDriver::Add_Byte_Field(const QStringList& cells) {
    return Add_Row(Button(QStringLiteral("Поле данных(байт)")), 1, cells);
}

QTreeWidgetItem* BuilderDriver::Add_Bit_Field(const QStringList& cells) {
    return Add_Row(Button(QStringLiteral("Поле данных(бит)")), 0, cells);
}

void BuilderDriver::Set_Names(const QString& device_name, const QString& file_name) {
    Edit_Device_Name->setText(device_name);
    Edit_File_Name->setText(file_name);
}
