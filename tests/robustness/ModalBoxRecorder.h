#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QString>

// Answers every modal message box that opens while it is armed: records its icon, title and text
// and presses its button, so a test can drive code that waits in QMessageBox::exec().
class ModalBoxRecorder : public QObject {
    Q_OBJECT

  public:
    struct Box {
        QMessageBox::Icon Icon = QMessageBox::NoIcon;
        QString Title;
        QString Text;
    };

    ModalBoxRecorder();

    QList<Box> Boxes;

  private:
    void Poll();
};
