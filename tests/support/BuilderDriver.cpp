#include "BuilderDriver.h"

#include "ModalBoxes.h"
#include "PacketBuilder.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

BuilderDriver::BuilderDriver(PacketBuilder* builder)
    : Builder(builder), Tree(builder->findChild<QTreeWidget*>()) {
    builder->show();
    if (!QTest::qWaitForWindowExposed(builder))
        qFatal("the constructor window is not shown");
}

void BuilderDriver::Press(const QString& button_text) {
    for (QPushButton* button : Builder->findChildren<QPushButton*>())
        if (button->text() == button_text)
            return QTest::mouseClick(button, Qt::LeftButton);
    qFatal("no button %s", qPrintable(button_text));
}

void BuilderDriver::Click(QTreeWidgetItem* row) {
    QTest::mouseClick(Tree->viewport(), Qt::LeftButton, {}, Tree->visualItemRect(row).center());
}

QTreeWidgetItem* BuilderDriver::Add(Kind kind, const QStringList& cells) {
    Press(QStringList{"Тип пакета", "Поле данных(байт)", "Поле данных(бит)"}[kind]);
    const int typed = kind == Byte ? 1 : 0;
    QTreeWidgetItem* row = Tree->currentItem();
    auto* editor = qobject_cast<QLineEdit*>(Tree->indexWidget(Tree->currentIndex()));
    if (row && editor) { // none on a row under a collapsed one
        if (!cells.value(typed).isNull())
            editor->setText(cells.value(typed));
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents(); // the delegate commits from a queued call
    }
    for (int column = 0; row && column < cells.size(); ++column)
        if (!cells[column].isNull() && (column != typed || !editor))
            row->setText(column, cells[column]);
    return row;
}

void BuilderDriver::Set_Properties(QTreeWidgetItem* row,
                                   const std::function<void(QDialog*)>& fill) {
    for (QTreeWidgetItem* up = row->parent(); up; up = up->parent())
        up->setExpanded(true); // as the user opens a collapsed row to reach the field
    Tree->scrollToItem(row);
    Click(row);
    Builder->activateWindow(); // the shortcut needs it, also once a dialog has gone
    if (!QTest::qWaitForWindowActive(Builder))
        qFatal("the constructor window is not active");
    const ModalBoxes dialog({}, {}, fill);
    QTest::keyClick(Tree, Qt::Key_Return, Qt::AltModifier);
    if (dialog.Shown != QStringList{u"D|Свойства поля"_qs})
        qFatal("no field properties: %s", qPrintable(dialog.Shown.join(u'\n')));
}

QString BuilderDriver::Names() const {
    const auto names = Builder->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly);
    return names[0]->text() + u'|' + names[1]->text();
}

void BuilderDriver::Set_Names(const QString& device_name, const QString& file_name) {
    const auto names = Builder->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly);
    names[0]->setText(device_name);
    names[1]->setText(file_name);
}

QStringList BuilderDriver::Save(const QString& device_name, const QString& file_name,
                                const QString& answer) {
    Set_Names(device_name, file_name);
    const ModalBoxes boxes(answer);
    Press("Сохранить");
    return boxes.Shown;
}

QString BuilderDriver::Tree_Text() const {
    QString text;
    for (QTreeWidgetItemIterator it(Tree); *it; ++it) {
        for (const QTreeWidgetItem* up = (*it)->parent(); up; up = up->parent())
            text += u' ';
        text += (*it)->text(0) + u'|' + (*it)->text(1) + u'|' + (*it)->text(2);
        if (!(*it)->text(3).isEmpty())
            text += u'|' + (*it)->text(3);
        text += u'\n';
    }
    return text;
}
