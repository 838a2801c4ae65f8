#include "LaunchOptions.h"
#include "MainWindow.h"
#include "ToolkitTranslation.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    LaunchOptions::Name_Application();
    // The window's own options leave argv here; the toolkit gets the rest.
    const LaunchOptions options = LaunchOptions::Take(argc, argv);
    if (options.What != LaunchOptions::Action::Run)
        return options.Report();

    QApplication application(argc, argv);
    // Set after the application is built, so a style option on the command line has no effect.
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":Icon.ico")));
    // Without Qt's translation its own texts stay English; the program works all the same.
    ToolkitTranslation::Install(application);
    if (!options.Enter_Work_Directory())
        return LaunchOptions::Start_Failed;

    MainWindow window;
    window.setWindowTitle(QStringLiteral("IOT Kivo Parser"));
    window.show();
    return application.exec();
}
