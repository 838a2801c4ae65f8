#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

class QDialog;

// Answers every modal box the code under test opens, from a timer that looks at the active modal
// widget, and records each as "<icon>|<title>|<text>" (icon I, W, C or Q). A message box is closed
// with its one button. A question gets the button named Answer, or its default button when no
// answer was chosen: an unexpected question shows in Shown, and never hangs the test. A file
// dialog is recorded as "<folder>|<filters>" and picks Pick. Any other dialog is recorded as
// "D|<title>", handed to Fill (which may look at it and set its controls) and accepted.
// A check box under a box's text is recorded after it as "|[<its text>]".
class ModalBoxes : public QObject {
  public:
    explicit ModalBoxes(const QString& answer = {}, const QString& pick = {},
                        std::function<void(QDialog*)> fill = {});

    QString Answer;
    bool Tick = false; // a question's check box, if it has one, is ticked before the answer
    QString Pick;
    std::function<void(QDialog*)> Fill;
    QStringList Shown;
    // Runs once, while the first question is open and before it is answered: what happens
    // meanwhile elsewhere (another save, an edit of a file).
    std::function<void()> While_Asking;

  private:
    void Answer_Active();

    QPointer<QWidget> Asking; // the question While_Asking runs under, answered afterwards

    QTimer Timer;
};
