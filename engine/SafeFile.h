#pragma once

#include "UserMessage.h"

#include <QByteArray>
#include <QString>

// Whole files read and replaced without surprises: a read never waits and never grows without
// bound, and a replacement either completes or leaves the old file exactly as it was.
class SafeFile {
  public:
    // No file read whole, and no line of a log, is larger: templates and Dev.conf are kilobytes
    // and a paste is far shorter, so anything larger is not what it claims to be.
    static constexpr qint64 Max_Read_Size = qint64(64) << 20;
    // Max_Read_Size as messages write it, "64 MiB".
    static QString Max_Read_Text();

    enum class ReadFailure { None, Cannot_Open, Too_Large };
    struct Contents {
        QByteArray Bytes;
        ReadFailure Failed = ReadFailure::None;
        QString Reason; // the system's reason when the file could not be read
    };

    // Reads a regular file of at most Max_Read_Size bytes. Anything else (missing, a directory,
    // a FIFO, a device, a socket) is never opened, so nothing waits for a writer or reads forever.
    static Contents Read(const QString& path);

    // "Не удалось открыть файл" directly followed by the path, or "Не удалось записать файл " and
    // the path; then the reason on a line of its own.
    static UserMessage Open_Failure_Message(const QString& path, const QString& reason);
    static UserMessage Write_Failure_Message(const QString& path, const QString& reason);
    // Why a file that was written without error still counts as not written.
    static QString Read_Back_Reason();

    // One file to replace. Its scratch and backup files get their names here, beside the file
    // (through any symbolic links), so that every rename stays on one file system and a record of
    // a save in progress can name them before they exist. Until Keep() the old file (or its
    // absence) can be put back; the destructor removes the scratch file and puts the old file back
    // when the replacement was not kept.
    explicit SafeFile(const QString& path);
    ~SafeFile();
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    // Writes the content into the scratch file and reads it back; the file itself is untouched.
    bool Prepare(const QByteArray& content);
    // Gives the old file its backup name as well and renames the scratch file over the file.
    bool Commit();
    // Both steps. False when anything failed: the file is then as it was, and Failure_Message()
    // says why.
    bool Replace(const QByteArray& content) { return Prepare(content) && Commit(); }
    void Keep();
    void Undo();
    UserMessage Failure_Message() const;

    const QString& Given_Path() const { return Path; }
    const QString& Target_Path() const { return Target; }
    const QString& Scratch_Path() const { return Scratch; }
    const QString& Backup_Path() const { return Backup; }
    bool Had_Old_File() const { return Had_Old; }

    // A name of its own in the folder, "<folder>/.kivo-<kind>-<random>", whatever the length of
    // the file's name.
    static QString Name_Beside(const QString& path, const QString& kind);

  private:
    bool Keep_Old_Aside();
    void Drop_Backup();
    bool Fail(bool opening, const QString& reason);

    QString Path;    // as given; messages name it
    QString Target;  // the file written, symbolic links resolved
    QString Scratch; // the new content until it is renamed over Target
    QString Backup;  // the old file's second name while the replacement may be undone
    bool Had_Old = false;
    bool Prepared = false;
    bool Has_Backup = false;
    bool Replaced = false;
    bool Open_Failed = false;
    QString Reason;
};
