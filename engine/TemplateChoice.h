#pragma once

#include "DeviceTemplateFile.h"
#include "PacketConversion.h"
#include "SafeFile.h"
#include "UserMessage.h"
#include "Workspace.h"

#include <QString>

#include <optional>

// The template a run of kivo-decode decodes with, loaded once: a registered device's file under
// the workspace, or a file named directly.
class TemplateChoice {
  public:
    // A registered device: its file is read where the workspace keeps it, and messages name it
    // as the window does, inside the workspace.
    static TemplateChoice For_Device(const Workspace& workspace, const QString& device_name,
                                     const QString& file_name);
    // A file named directly: the header line shows its file name, messages name it as given.
    static TemplateChoice For_File(const QString& path);

    const QString& Device_Name() const { return Device; }
    const QString& Template_Name() const { return Name; }
    const QString& Load_Path() const { return Load_From; }
    // Nothing when the file could not be read.
    const DeviceTemplateFile* File() const { return Loaded ? &*Loaded : nullptr; }

    // Decodes with the file, reporting to `reporter`. Without the file every packet fails as in
    // the window, which reads the file at every conversion and fails every time.
    PacketConversion::Decode_Function Decoding(const MessageReporter& reporter) const;

  private:
    TemplateChoice(const QString& device, const QString& name, const QString& load_from);

    QString Device;    // the header line's name
    QString Name;      // as messages name it
    QString Load_From; // where it is read from
    SafeFile::ReadFailure Load_Failure = SafeFile::ReadFailure::None;
    std::optional<DeviceTemplateFile> Loaded;
};
