#pragma once

#include "UserMessage.h"

#include <QString>

// Removes a device: its entry in Dev.conf and, when the user asks for it, its template file, all
// or nothing. The file goes only when no other device uses it and it lies inside Device/ (a
// registry value such as "../x" names no file to remove).
class DeviceRemoval {
  public:
    // The template file that may go with the device, as a path beside Dev.conf; empty when the
    // device is not registered, its file is missing or not a regular file, lies outside Device/
    // or is used by another device.
    static QString Removable_File(const QString& device_name,
                                  const QString& conf_path = QStringLiteral("Dev.conf"));

    // Removes the entry (through the registry's locked one-key change) and, with `with_file`, the
    // file Removable_File names. The file is moved aside first and put back when Dev.conf cannot
    // be changed, so either both go or nothing changes. False, after a report, when nothing
    // changed.
    static bool Remove(const QString& device_name, bool with_file, const MessageReporter& report,
                       const QString& conf_path = QStringLiteral("Dev.conf"));
};
