#include "MainWindow.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // Set after the application is built, so a style option on the command line has no effect.
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":Icon.ico")));

    MainWindow window;
    window.setWindowTitle(QStringLiteral("IOT Kivo Parser"));
    window.show();
    return application.exec();
}
