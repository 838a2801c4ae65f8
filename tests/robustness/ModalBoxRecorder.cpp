#include "ModalBoxRecorder.h"

#include <QApplication>
#include <QTimer>

ModalBoxRecorder::ModalBoxRecorder() {
    QTimer::singleShot(0, this, &ModalBoxRecorder::Poll);
}

// Looks for a modal box every few milliseconds for as long as the recorder lives; the timer
// fires inside the box's own event loop.
void ModalBoxRecorder::Poll() {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        Boxes.append({box->icon(), box->windowTitle(), box->text()});
        box->done(QMessageBox::Ok);
    }
    QTimer::singleShot(5, this, &ModalBoxRecorder::Poll);
}
