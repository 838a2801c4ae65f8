#include "MessageBox.h"

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
