#pragma once

#include "UserMessage.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The record, beside Dev.conf, of a save that replaces several files together. It is written
// before the first file changes and names every file the save may leave behind: each file's
// scratch copy, the second name its old content keeps, and whether there was an old content at
// all. Until the save is marked done, the next start puts every file back as it was; after that
// it only removes what is left over. Paths are kept relative to the record's folder, so a
// workspace that moved is still repaired.
class SaveJournal {
  public:
    struct Entry {
        QString Target;  // the file replaced
        QString Backup;  // where its old content is kept while the save runs
        QString Scratch; // its new content until it is renamed over Target
        bool Had_Old = false;
    };

    explicit SaveJournal(const QString& conf_path);

    // Writes the record; what went wrong when it cannot be written.
    std::optional<UserMessage> Begin(const QList<Entry>& files, const QStringList& scratch);
    // Every file is in place: from now on the save is kept.
    std::optional<UserMessage> Mark_Done();
    // Removes the record; the save is over.
    void Finish();

    const QString& Path() const { return Record_Path; }

    // Deals with the record an earlier save left: undone when it was not done, tidied up either
    // way. The message to show when files were put back; nothing when there was no record or the
    // save had been done.
    static std::optional<UserMessage> Recover(const QString& conf_path);
    static QString Path_For(const QString& conf_path);

  private:
    std::optional<UserMessage> Write(bool done);

    QString Record_Path;
    QList<Entry> Files;
    QStringList Scratch;
};
