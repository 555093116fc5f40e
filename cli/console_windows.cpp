#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/console.h"
#include "io/wide_text_win32.h"

namespace vortan::cli {
namespace {

std::atomic<bool>* cancel = nullptr;
std::atomic<int>* cause = nullptr;
int statusOnSecondPress = 0;

// The flag tells a second press from the first, whichever handler took the first: the C
// runtime's SIGINT handler of main() may be asked before this one (Wine asks in the order of
// registration).
// A closed console window, a log-off or a shutdown end the program when this handler returns:
// it stops the job as SIGTERM does and waits, so that the job closes its outputs with complete
// lines first (the system allows a few seconds).
BOOL WINAPI OnControl(DWORD event) {
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    int none = 0;
    cause->compare_exchange_strong(none, SIGTERM);
    cancel->store(true);
    ::Sleep(INFINITE);
  }
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  if (cancel->exchange(true)) ::TerminateProcess(::GetCurrentProcess(), statusOnSecondPress);
  return TRUE;
}

// The console's output code page and mode before the tool changed them, given back at exit.
UINT previousPage = 0;
DWORD previousMode = 0;
HANDLE errorConsole = nullptr;

void RestoreConsole() {
  if (previousPage != 0) ::SetConsoleOutputCP(previousPage);
  if (errorConsole != nullptr) ::SetConsoleMode(errorConsole, previousMode);
}

// The arguments in UTF-8; nothing when the wide command line does not split into argc of them.
bool Utf8Arguments(int argc, char**& argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return false;
  static std::vector<std::string> arguments;
  static std::vector<char*> pointers;
  if (count == argc) {
    for (int i = 0; i < count; ++i) arguments.push_back(Utf8Text(wide[i]));
    for (std::string& a : arguments) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    argv = pointers.data();
  }
  ::LocalFree(wide);
  return count == argc;
}

}  // namespace

void PrepareConsole(int& argc, char**& argv, std::atomic<bool>& interrupted,
                    std::atomic<int>& stopSignal, int interruptedStatus) {
  Utf8Arguments(argc, argv);

  _fmode = _O_BINARY;  // the default of every stream the runtime opens
  for (FILE* stream : {stdin, stdout, stderr}) ::_setmode(::_fileno(stream), _O_BINARY);

  if (const UINT page = ::GetConsoleOutputCP(); page != 0 && page != CP_UTF8 &&
                                                ::SetConsoleOutputCP(CP_UTF8)) {
    previousPage = page;
  }
  const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (error != INVALID_HANDLE_VALUE && ::GetConsoleMode(error, &mode)) {
    // An unbuffered stream may reach the console a byte at a time (Wine's runtime does so),
    // and a Greek letter cut in two shows as two wrong signs: a message goes out whole. The
    // progress line is flushed as it is written, the rest when the program ends.
    static char buffer[1 << 16];
    std::setvbuf(stderr, buffer, _IOFBF, sizeof buffer);
  }
  if (error != INVALID_HANDLE_VALUE && ::GetConsoleMode(error, &mode) &&
      (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) == 0 &&
      ::SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) {
    errorConsole = error;
    previousMode = mode;
  }
  if (previousPage != 0 || errorConsole != nullptr) std::atexit(RestoreConsole);

  cancel = &interrupted;
  cause = &stopSignal;
  statusOnSecondPress = interruptedStatus;
  ::SetConsoleCtrlHandler(OnControl, TRUE);
}

}  // namespace vortan::cli
