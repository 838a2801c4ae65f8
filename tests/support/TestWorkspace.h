#pragma once

#include "Workspace.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A temporary working directory, current while the object lives: a workspace with an empty
// template folder, or a copy of examples/workspace. With the file helpers the suites read and write
// it through.
class TestWorkspace {
  public:
    enum Contents { Empty, Sample };
    explicit TestWorkspace(Contents contents = Empty);
    ~TestWorkspace();
    TestWorkspace(const TestWorkspace&) = delete;
    TestWorkspace& operator=(const TestWorkspace&) = delete;

    QString Path() const { return Dir.path(); }

    // The file's bytes, or "(missing)" when it cannot be read.
    static QByteArray Read(const QString& path);
    static bool Write(const QString& path, const QByteArray& content);
    static void Register(const QString& device, const QString& file_name);
    // The registry as the program reads it: "device=file" entries joined by "|".
    static QString Registry();
    // Saves the template content as the template file_name and registers it for the device, the way
    // the constructor saves, in a child process killed (SIGKILL) right after the given step.
    // True when the child died there.
    static bool Save_Killed_At(int step, const QString& device, const QString& file_name,
                               const QByteArray& content);
    // The files and folders in a folder, hidden ones included.
    static QStringList Entries(const QString& folder);
    // The files of `from` copied into `to` (a folder), subfolders included.
    static bool Copy(const QString& from, const QString& to);

  private:
    QTemporaryDir Dir;
};

// The workspace the program sees while a TestWorkspace lives: the current directory.
inline const Workspace Here;
