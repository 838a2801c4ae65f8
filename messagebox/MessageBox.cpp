#include "MessageBox.h"

#include <QCheckBox>
#include <QPushButton>

void showMessageBox(QMessageBox::Icon icon, const QString& title, const QString& text) {
    QMessageBox box(icon, title, text, QMessageBox::Ok);
    box.exec();
}

MessageReporter Message_Box_Reporter() {
    return [](const UserMessage& message) {
        showMessageBox(message.Icon == MessageIcon::Critical ? QMessageBox::Critical
                                                             : QMessageBox::Information,
                       message.Title, message.Text);
    };
}

bool Ask_Question(const QString& title, const QString& text) {
    bool ticked = false;
    return Ask_Question_With_Option(title, text, QString(), ticked);
}

bool Ask_Question_With_Option(const QString& title, const QString& text, const QString& option,
                              bool& ticked) {
    QMessageBox box(QMessageBox::Question, title, text);
    if (!option.isEmpty())
        box.setCheckBox(new QCheckBox(option)); // owned by the box
    const QPushButton* yes = box.addButton(QStringLiteral("Да"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("Нет"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    ticked = box.checkBox() && box.checkBox()->isChecked();
    return box.clickedButton() == yes;
}
