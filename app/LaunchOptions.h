#pragma once

#include <QString>

// The window's own command-line options. They are taken out of argv before the toolkit sees it,
// so that --help and --version work without a display and every other argument (-platform,
// -geometry, ...) still reaches QApplication unchanged.
class LaunchOptions {
  public:
    enum Exit_Status { Success = 0, Start_Failed = 1, Usage_Error = 2 };
    enum class Action { Run, Show_Help, Show_Version, Refuse };

    // Names the application (for --version, the desktop entry and the data location); may run
    // before the application object exists.
    static void Name_Application();

    // Removes the options it knows from argv and shifts the rest down; argc follows.
    static LaunchOptions Take(int& argc, char** argv);

    // Help, version or a usage error: print it and return the exit status. Only when `What` is
    // not Action::Run.
    int Report() const;

    // Makes the directory the window works in current (-C DIR, or the user's workspace, made on
    // first use). Without either option it leaves the current directory alone. False after an
    // error was printed.
    bool Enter_Work_Directory() const;

    Action What = Action::Run;
    QString Workdir;             // -C DIR as given; empty without it
    bool User_Workspace = false; // --user-workspace
    QString Error;               // what makes the command line unusable, for Action::Refuse
};
