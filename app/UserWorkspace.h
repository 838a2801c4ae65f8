#pragma once

#include <QString>

// The user's own workspace: a folder in the application's local data location that starts as a
// copy of the installed sample workspace and is the user's from then on, never copied over.
class UserWorkspace {
  public:
    // ~/.local/share/kivo-parser on Linux.
    static QString Location();

    // The sample workspace installed with the program, found from the executable's folder the
    // way the install rules lay it out, so an installation under any prefix finds its own.
    static QString Installed_Sample();

    // Makes `workspace` as a copy of `sample` unless it exists already. The copy is made in a
    // hidden folder beside it and renamed into place, so an interrupted first start leaves no
    // half-filled workspace behind. Returns what went wrong, or an empty text.
    static QString Prepare(const QString& workspace, const QString& sample);
};
