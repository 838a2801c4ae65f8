#pragma once

#include "OutputBuffer.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The whole `kivo-decode` command: argument parsing, usage errors, choice of the template, and
// decoding (or linting) with the given standard streams. main only builds the application object.
class DecodeCommand {
  public:
    enum Exit_Status { All_Decoded = 0, Not_All_Decoded = 1, Usage_Error = 2 };

    // `arguments` as the program receives them, its own name first.
    static int Run(const QStringList& arguments, int in_fd = 0, int out_fd = 1, int err_fd = 2);

  private:
    struct Template_Choice {
        QString Device_Name;   // the header line's name
        QString Template_Path; // as messages name it
        QString Load_Path;     // where it is read from
    };

    DecodeCommand(int in_fd, int out_fd, int err_fd) : In_Fd(in_fd), Out(out_fd), Err(err_fd) {}
    int Execute(const QStringList& arguments);

    void Add_Options();
    int Usage(const QString& text);
    // The template to use; nothing after a usage error has been printed.
    std::optional<Template_Choice> Choose_Template();
    int Check(const Template_Choice& choice);
    int Decode(const Template_Choice& choice, const QStringList& pastes);
    // Converts each line of standard input that is not blank; false after a read error.
    bool Decode_Standard_Input(const std::function<void(const QString&)>& convert);
    int Finish(int status);

    int In_Fd;
    OutputBuffer Out;
    OutputBuffer Err;
    QCommandLineParser Parser;
    QCommandLineOption Workdir_Option{{QStringLiteral("C"), QStringLiteral("workdir")},
                                      QStringLiteral("Where Dev.conf and Device/ are (default: "
                                                     "the current directory)."),
                                      QStringLiteral("DIR")};
    QCommandLineOption Device_Option{{QStringLiteral("d"), QStringLiteral("device")},
                                     QStringLiteral("A device registered in Dev.conf."),
                                     QStringLiteral("NAME")};
    QCommandLineOption Template_Option{
        {QStringLiteral("t"), QStringLiteral("template")},
        QStringLiteral("Decode with this template file instead of a registered device."),
        QStringLiteral("FILE")};
    QCommandLineOption Json_Option{
        QStringLiteral("json"),
        QStringLiteral("One JSON object per packet per line: input, hex, base64, device, ok, "
                       "fields [{name, value, and time for time fields}], messages [{title, "
                       "text}].")};
    QCommandLineOption Check_Option{QStringLiteral("check"),
                                    QStringLiteral("Lint the template instead of decoding: one "
                                                   "line per finding.")};
};
