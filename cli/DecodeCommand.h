#pragma once

#include "OutputBuffer.h"
#include "RecordSource.h"
#include "UserMessage.h"
#include "Workspace.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class TemplateChoice;

// The whole `kivo-decode` command: argument parsing, usage errors, choice of the template, and
// decoding (or linting, or checking golden files) with the given standard streams. main only
// builds the application object.
class DecodeCommand {
  public:
    enum Exit_Status { All_Decoded = 0, Not_All_Decoded = 1, Usage_Error = 2 };
    // The largest --first-line: the line numbers of any real log after it stay exact as JSON
    // numbers, and far from overflow.
    static constexpr qint64 Max_First_Line = qint64(1) << 53;

    // `arguments` as the program receives them, its own name first.
    static int Run(const QStringList& arguments, int in_fd = 0, int out_fd = 1, int err_fd = 2);

  private:
    // An input to read pastes from, one per line: a file, or "-" for standard input.
    struct Input {
        QString Name;
        int Fd = -1;
        bool Owned = false; // opened here, closed when done
    };

    DecodeCommand(int in_fd, int out_fd, int err_fd) : In_Fd(in_fd), Out(out_fd), Err(err_fd) {}
    ~DecodeCommand();
    int Execute(const QStringList& arguments);

    void Add_Options();
    // The usage error of the given arguments, empty when they fit together.
    QString Conflicts() const;
    int Usage(const QString& text);
    Workspace Workdir() const;
    // Makes the user's workspace on first use; false after a usage error has been printed.
    bool Prepare_Workdir();
    // The template to use; nothing after a usage error has been printed.
    std::unique_ptr<TemplateChoice> Choose_Template();
    // The number of the input's first line (--first-line); 0 when the option's value is none.
    qint64 First_Line() const;
    // The inputs' names as given ("-" for standard input), in order.
    QStringList Input_Names() const;
    // Opens the inputs; false after a usage error has been printed.
    bool Open_Inputs();
    int Check(const TemplateChoice& choice);
    int Decode(const TemplateChoice& choice, const QStringList& pastes);
    // Appends the entries to the --record file whole, or not at all; false after a report.
    bool Append_Record(const QString& entries, qint64 count);
    // Converts each line of an input that is neither blank nor a comment, calling
    // `convert(paste, source)`, which a template lets the compiler inline into the loop over the
    // lines; false after a read error.
    template <typename Convert> bool Decode_Input(const Input& input, const Convert& convert);
    // "<file>:<line>: " for a paste read from an input, else nothing.
    void Put_Location();
    int Finish(int status);
    // Prints a message the window would show in a box as "<title>: <text>".
    MessageReporter Message_Line();

    int In_Fd;
    OutputBuffer Out;
    OutputBuffer Err;
    std::vector<Input> Inputs;
    const RecordSource* Source = nullptr; // of the paste being converted
    QCommandLineParser Parser;
    QCommandLineOption Workdir_Option{{QStringLiteral("C"), QStringLiteral("workdir")},
                                      QStringLiteral("Where Dev.conf and Device/ are (default: "
                                                     "the current directory)."),
                                      QStringLiteral("DIR")};
    QCommandLineOption User_Workspace_Option{
        QStringLiteral("user-workspace"),
        QStringLiteral("Work in the window's own workspace, %1 (made from the installed sample "
                       "workspace on first use).")};
    QCommandLineOption Device_Option{{QStringLiteral("d"), QStringLiteral("device")},
                                     QStringLiteral("A device registered in Dev.conf."),
                                     QStringLiteral("NAME")};
    QCommandLineOption Template_Option{
        {QStringLiteral("t"), QStringLiteral("template")},
        QStringLiteral("Decode with this template file instead of a registered device."),
        QStringLiteral("FILE")};
    QCommandLineOption Input_Option{
        {QStringLiteral("i"), QStringLiteral("input")},
        QStringLiteral("Read pastes from FILE, one per line (\"-\": standard input). Repeatable."),
        QStringLiteral("FILE")};
    QCommandLineOption First_Line_Option{
        QStringLiteral("first-line"),
        QStringLiteral("Number the input's lines from N, not 1: it is a part of a larger log."),
        QStringLiteral("N")};
    QCommandLineOption Json_Option{QStringLiteral("json"),
                                   QStringLiteral("One JSON object per packet per line (JSON "
                                                  "Lines); keys below.")};
    QCommandLineOption Csv_Option{
        QStringLiteral("csv"), QStringLiteral("A CSV table, one row per packet; columns below.")};
    QCommandLineOption No_Header_Option{QStringLiteral("no-header"),
                                        QStringLiteral("With --csv, leave out the header row.")};
    QCommandLineOption Check_Option{QStringLiteral("check"),
                                    QStringLiteral("Lint the template instead of decoding: one "
                                                   "line per finding.")};
    QCommandLineOption Record_Option{
        QStringLiteral("record"),
        QStringLiteral("Append golden-file entries for the packets, as decoded now, to FILE."),
        QStringLiteral("FILE")};
    QCommandLineOption Test_Option{
        QStringLiteral("test"),
        QStringLiteral("Check golden files (the arguments) instead of decoding; format below.")};
};
