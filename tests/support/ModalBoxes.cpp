#include "ModalBoxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QTest>

ModalBoxes::ModalBoxes(const QString& answer, const QString& pick,
                       std::function<void(QDialog*)> fill)
    : Answer(answer), Pick(pick), Fill(std::move(fill)) {
    connect(&Timer, &QTimer::timeout, this, &ModalBoxes::Answer_Active);
    Timer.start(2);
}

void ModalBoxes::Answer_Active() {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
        Shown << dialog->directory().dirName() + u'|' + dialog->nameFilters().join(u';');
        dialog->selectFile(Pick);
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog::accept would only hide it
        return;
    }
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && !box && dialog->isVisible()) {
        Shown << u"D|"_qs + dialog->windowTitle();
        if (Fill)
            Fill(dialog);
        return dialog->accept();
    }
    if (!box || !box->isVisible() || (box == Asking && While_Asking))
        return;
    if (box != Asking)
        Shown << QString(u"-IWCQ"_qs)[box->icon()] + u'|' + box->windowTitle() + u'|' +
                     box->text() +
                     (box->checkBox() ? u"|["_qs + box->checkBox()->text() + u']' : QString());
    if (box->checkBox())
        box->checkBox()->setChecked(Tick);
    const QList<QAbstractButton*> buttons = box->buttons();
    if (buttons.size() > 1 && While_Asking) {
        // Run from the question's own event loop, not from this timer's slot, so that the timer
        // goes on answering the boxes it opens; the question is answered on a later tick.
        Asking = box;
        QTimer::singleShot(0, this, [this] { std::exchange(While_Asking, {})(); });
        return;
    }
    for (QAbstractButton* button : buttons)
        if (buttons.size() == 1 || button->text() == Answer)
            return button->click();
    QTest::keyClick(box, Qt::Key_Return);
}
