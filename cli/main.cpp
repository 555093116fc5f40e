// vortan-transform: the batch jobs of the data-file converter, and the conversion between any
// two coordinate forms, from the command line.
#include <cstdio>
#include <new>

#include "cli/command_line.h"
#include "cli/console.h"
#include "cli/exit_status.h"
#include "cli/run.h"
#include "cli/stop_signals.h"
#include "io/process.h"

int main(int argc, char** argv) {
  using namespace vortan::cli;
  vortan::PrepareProcessForJobs();
  CatchStopSignals();
  PrepareConsole(argc, argv, interrupted, stopSignal, kExitInterrupted);
  try {
    Command command;
    if (const std::optional<int> end = ParseCommandLine(argc, argv, command)) return *end;
    return RunCommand(command);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr,
                 "vortan-transform: not enough memory (the system refused more). Close other "
                 "programs or run with fewer --threads.\n");
    return kExitError;
  }
}
