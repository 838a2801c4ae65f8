#include "MessageBox.h"

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
    QMessageBox box(QMessageBox::Question, title, text);
    const QPushButton* yes = box.addButton(QStringLiteral("Да"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("Нет"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}
