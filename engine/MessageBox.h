#pragma once

#include "UserMessage.h"

#include <QMessageBox>
#include <QString>

// Shows a modal, parentless box with one OK button and returns once the user has closed it.
void showMessageBox(QMessageBox::Icon icon, const QString& title, const QString& text);

// The reporter that shows every engine message in such a box.
MessageReporter Message_Box_Reporter();
