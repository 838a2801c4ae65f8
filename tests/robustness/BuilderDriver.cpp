#include "BuilderDriver.h"

#include "PacketBuilder.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

using namespace Qt::StringLiterals;

void BuilderDriver::Press(const QString& text) {
    for (QPushButton* button : Builder.findChildren<QPushButton*>()) {
        if (button->text() == text)
            return QTest::mouseClick(button, Qt::LeftButton);
    }
    qFatal("no button %s", qPrintable(text));
}

// The new row's editor opens on one cell: its text is typed there and committed with Enter.
QTreeWidgetItem* BuilderDriver::Add(Kind kind, const QStringList& cells) {
    Press(QStringList{u"Тип пакета"_s, u"Поле данных(байт)"_s, u"Поле данных(бит)"_s}.at(kind));
    const int typed = kind == Byte_Field ? 1 : 0;
    auto* tree = Builder.findChild<QTreeWidget*>();
    QTreeWidgetItem* row = tree->currentItem();
    auto* editor = qobject_cast<QLineEdit*>(tree->indexWidget(tree->currentIndex()));
    if (row && editor) {
        editor->setText(cells.value(typed));
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents(); // the delegate commits from a queued call
        if (!QTest::qWaitFor([&] { return row->text(typed) == cells.value(typed); }))
            return nullptr;
    }
    for (int column = 0; row && column < 3; ++column) {
        if (column != typed || !editor) // no editor on a row under a collapsed one
            row->setText(column, cells.value(column));
    }
    return row;
}

// The box waits in its own event loop: a timer polls for it, records it and closes it.
QStringList BuilderDriver::Save(const QString& device_name, const QString& file_name) {
    // The two line edits are told apart by their place on the bottom line: device name first.
    for (QLineEdit* edit : Builder.findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly))
        edit->setText(edit->x() < 200 ? device_name : file_name);
    QStringList boxes;
    QObject poller;
    std::function<void()> poll = [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes << box->windowTitle() << box->text();
            box->done(QMessageBox::Ok);
        }
        QTimer::singleShot(5, &poller, poll);
    };
    QTimer::singleShot(0, &poller, poll);
    Press(u"Сохранить"_s);
    return boxes;
}
