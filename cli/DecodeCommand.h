#pragma once

#include <QStringList>

// The whole `kivo-decode` command: argument parsing, usage errors, choice of the template, and
// decoding (or linting) with the given standard streams. main only builds the application object.
class DecodeCommand {
  public:
    enum Exit_Status { All_Decoded = 0, Not_All_Decoded = 1, Usage_Error = 2 };

    // `arguments` as the program receives them, its own name first.
    static int Run(const QStringList& arguments, int in_fd = 0, int out_fd = 1, int err_fd = 2);
};
