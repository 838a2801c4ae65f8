#pragma once

#include "UserMessage.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// The device registry, a workspace's Dev.conf: an INI file whose group "Dev" maps device names to
// template file names inside the workspace's template folder.
//
// Every change goes through Change(): one key of the group is set or removed in the file's text,
// and every other line (comments, lines the settings format cannot parse, other groups) stays byte
// for byte, in its order. The read-modify-write runs under a lock file beside Dev.conf that every
// saving instance respects, and a save that replaces a template file along with the registry
// keeps a journal beside Dev.conf, so that a save killed part-way is undone at the next start.
class DeviceRegistry {
  public:
    struct Device {
        QString Name;
        QString File_Name;
    };
    // A file replaced in the same step as the registry (a save's template file).
    struct Companion {
        QString Path;
        QByteArray Content;
    };

    // The devices in the order the settings reader lists the keys; empty when the file is
    // missing. Dev.conf is read as templates are: only a regular file of at most 64 MiB, so a FIFO
    // or a device never makes the caller wait; anything else unreadable is reported, then empty.
    static QList<Device> Read(const QString& conf_path, const MessageReporter& report = {});

    // Whether the settings format stores the name as typed. It drops a leading or trailing
    // slash and merges slashes in a row, so such a name would come back as another key, or none.
    static bool Keeps_Name(const QString& device_name);
    // Keeps_Name, or false once the user has been told why.
    static bool Check_Name(const QString& device_name, const MessageReporter& report,
                           const QString& conf_path);

    // The registry text with the device's key of group Dev set to file_name, or removed when
    // there is none: its first line takes the new entry, other lines of the same key go, a new
    // key goes at the end of the last [Dev] section (a new section at the end when there is
    // none). Every other byte stays; keys and values are escaped as the settings writer does.
    static QByteArray With_Key(QByteArrayView content, const QString& device_name,
                               const std::optional<QString>& file_name);

    // Sets (or, without a file name, removes) one device's key under the registry lock, and
    // replaces the companion file, if any, in the same step. The new registry must read back with
    // exactly the old entries and this change, or nothing is written. False, after a report,
    // with every file as it was.
    static bool Change(const QString& device_name, const std::optional<QString>& file_name,
                       const MessageReporter& report, const std::optional<Companion>& along,
                       const QString& conf_path);

    // Finds the journal of a save that was killed part-way, puts the files it names back as they
    // were before that save, removes its scratch files and reports it, once. Nothing while another
    // running program holds the lock: its save is still going on.
    static void Recover(const MessageReporter& report, const QString& conf_path);

    // Called after each step of Change with the step's number (1 to 7), so that a test can stop
    // the process there; null otherwise.
    static inline void (*After_Step)(int step) = nullptr;
};
