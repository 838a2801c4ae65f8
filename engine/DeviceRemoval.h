#pragma once

#include "UserMessage.h"
#include "Workspace.h"

#include <QString>

// Removes a device: its entry in the workspace's registry and, when the user asks for it, its
// template file, all or nothing. The file goes only when no other device uses it and it lies
// inside the template folder (a registry value such as "../x" names no file to remove).
class DeviceRemoval {
  public:
    // The template file that may go with the device, as the workspace's path to it; empty when
    // the device is not registered, its file is missing or not a regular file, lies outside the
    // template folder or is used by another device.
    static QString Removable_File(const QString& device_name, const Workspace& workspace);

    // Removes the entry (through the registry's locked one-key change) and, with `with_file`, the
    // file Removable_File names. The file is moved aside first and put back when the registry
    // cannot be changed, so either both go or nothing changes. False, after a report, when
    // nothing changed.
    static bool Remove(const QString& device_name, bool with_file, const MessageReporter& report,
                       const Workspace& workspace);
};
