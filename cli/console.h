// What the tool sets up where the system needs it, before it reads its arguments.
#pragma once

#include <atomic>

namespace vortan::cli {

#if defined(_WIN32)
// Windows (console_windows.cpp): argv becomes the command line in UTF-8, taken from the wide
// command line whatever the code page; the console shows UTF-8 (the Greek of the messages) and
// its escape sequences; standard input, output and error are binary (no CR LF translation, no
// Ctrl+Z end); Ctrl+C or Ctrl+Break sets `interrupted`, and a second one ends the program at
// once with the status of an interrupt.
void PrepareConsole(int& argc, char**& argv, std::atomic<bool>& interrupted,
                    int interruptedStatus);
#else
// Elsewhere the arguments are the bytes given, and main() catches SIGINT.
inline void PrepareConsole(int&, char**&, std::atomic<bool>&, int) {}
#endif

}  // namespace vortan::cli
