#pragma once

#include <QString>

// Where a workspace keeps its files: the device registry Dev.conf in its root folder, and the
// template files in the folder Device/ beside it, each under the name the registry holds for it
// ("x.json", or "sub/x.json" for one in a subfolder). Every path to these files is made here.
class Workspace {
  public:
    // The current directory, its paths relative to it ("Dev.conf", "Device/x.json"): the window
    // works there and names its files that way.
    Workspace() = default;
    // A folder the user gave; its paths start with the folder as given ("./Dev.conf" for ".").
    explicit Workspace(const QString& root);

    // The folder as given; empty for the current directory.
    const QString& Root() const { return Root_Folder; }
    // The folder as an absolute path, the same however it was given.
    QString Absolute_Root() const;

    QString Registry_Path() const;
    QString Template_Folder() const;
    // Where the template file a registry value names is read and written.
    QString Template_Path(const QString& file_name) const;

    // How the registry and a template file are named to the user: inside the workspace, the same
    // whatever its root.
    static QString Registry_Name();
    static QString Template_Name(const QString& file_name);

    // The registry value a template name typed in the constructor is saved under: the name with
    // ".json", a ".json" typed with it not doubled.
    static QString Saved_File_Name(const QString& typed);
    // A template name as the constructor shows it: a registry value or file name without its
    // ".json".
    static QString Typed_Name(const QString& file_name);

  private:
    QString In_Root(const QString& relative) const;

    QString Root_Folder;
};
