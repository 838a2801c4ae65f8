#pragma once

#include "UserMessage.h"

#include <QMessageBox>
#include <QString>

// Shows a modal, parentless box with one OK button and returns once the user has closed it.
void showMessageBox(QMessageBox::Icon icon, const QString& title, const QString& text);

// The reporter that shows every engine message in such a box.
MessageReporter Message_Box_Reporter();

// Asks a yes-or-no question in a modal, parentless box with the buttons "Да" and "Нет"; "Нет" is
// the default and the Escape answer. True for "Да".
bool Ask_Question(const QString& title, const QString& text);
// The same question with a check box under the text, unticked at first; `ticked` tells whether
// the user left it ticked. Without an option text there is no check box.
bool Ask_Question_With_Option(const QString& title, const QString& text, const QString& option,
                              bool& ticked);
