// What the tool sets up where the system needs it, before it reads its arguments.
#pragma once

#include <atomic>

namespace vortan::cli {

#if defined(_WIN32)
// Windows (console_windows.cpp): argv becomes the command line in UTF-8, taken from the wide
// command line whatever the code page; the console shows UTF-8 (the Greek of the messages) and
// its escape sequences; standard input, output and error are binary (no CR LF translation, no
// Ctrl+Z end); Ctrl+C or Ctrl+Break sets `interrupted`, and a second one ends the program at
// once with the status of an interrupt; a closed console window, a log-off or a shutdown set
// `interrupted` and stopSignal to SIGTERM, and the program ends when the job has stopped.
void PrepareConsole(int& argc, char**& argv, std::atomic<bool>& interrupted,
                    std::atomic<int>& stopSignal, int interruptedStatus);
#else
// Elsewhere the arguments are the bytes given, and main() catches SIGINT, SIGTERM and SIGHUP.
inline void PrepareConsole(int&, char**&, std::atomic<bool>&, std::atomic<int>&, int) {}
#endif

}  // namespace vortan::cli
