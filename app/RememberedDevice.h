#pragma once

#include <QString>

// The device last chosen in each workspace, kept in the user's own settings so that the next
// start, and the list rebuilt after the constructor closes, pick it again. Dev.conf belongs to
// the workspace and may be shared, while the choice is the user's, so it never goes there.
class RememberedDevice {
  public:
    // "remembered-devices.conf" in the application's folder of the user's configuration location
    // (~/.config/kivo-parser on Linux; the test location when QStandardPaths' test mode is on).
    static QString Settings_Path();

    // The device remembered for a workspace, named by its absolute path; empty when none is.
    static QString Read(const QString& workspace);
    static void Write(const QString& workspace, const QString& device);
};
