// vortan-transform: the batch jobs of the data-file converter from the command line.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "data_files/jobs.h"
#include "transform/datum.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitError = 1;
constexpr int kExitUsage = 2;
constexpr int kExitOutsideGrid = 3;

constexpr const char* kVersion = "1.0.0";

void PrintUsage(std::FILE* to) {
  std::fprintf(to,
               "Usage: vortan-transform [--region mainland|kastelorizo] [--dn FILE --de FILE]\n"
               "                        [--threads N] JOB INPUT OUTPUT...\n"
               "\n"
               "Converts a coordinate file between HTRS07 and GGRS87 (EGSA87) exactly as the\n"
               "VORTAN data-file program does; the output files are byte for byte the same.\n"
               "\n"
               "Jobs (outputs in this order):\n");
  for (const vortan::JobDefinition& job : vortan::JobDefinitions()) {
    std::string files;
    for (const vortan::JobFile& file : job.outputs) files += " " + std::string(file.defaultName);
    std::fprintf(to, "  %-15s %s\n  %-15s   INPUT %s, OUTPUT:%s\n", std::string(job.cliName).c_str(),
                 std::string(job.description).c_str(), "",
                 std::string(job.input.defaultName).c_str(), files.c_str());
  }
  std::fprintf(to,
               "\n"
               "Options:\n"
               "  --region R   mainland (default) or kastelorizo\n"
               "  --dn FILE    dN correction grid (default ./dN_2km_V1-0.grd; mainland only,\n"
               "  --de FILE    dE correction grid  default ./dE_2km_V1-0.grd; read only by\n"
               "               senh-to-htrs07 and sxyz-to-ggrs87)\n"
               "  --threads N  points computed on N threads (default: every core); the files\n"
               "               are the same as with one thread\n"
               "  --help, --version\n"
               "A file name of - is standard input or standard output.\n"
               "\n"
               "Example:\n"
               "  vortan-transform sxyz-to-ggrs87 HTRS07-SXYZ.txt HTRS07-SFLh.txt \\\n"
               "      HTRS07-SENk.txt GGRS87-SFL.txt GGRS87-SEN.txt\n"
               "\n"
               "Exit status: 0 done; 1 error (the message names file, line and field);\n"
               "2 wrong usage; 3 stopped at a point outside the correction grid.\n");
}

int Usage(const std::string& message) {
  std::fprintf(stderr, "vortan-transform: %s\nTry 'vortan-transform --help'.\n", message.c_str());
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  const vortan::RegionProfile* profile = &vortan::kMainlandProfile;
  std::string dnPath = vortan::kDnGridFileName;
  std::string dePath = vortan::kDeGridFileName;
  int threads = static_cast<int>(std::thread::hardware_concurrency());
  if (threads < 1) threads = 1;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    if (arg == "--help" || arg == "-h") {
      PrintUsage(stdout);
      return kExitDone;
    } else if (arg == "--version") {
      std::printf("vortan-transform %s\n", kVersion);
      return kExitDone;
    } else if (arg == "--region") {
      std::string region;
      if (!value(region)) return Usage("--region needs mainland or kastelorizo");
      if (region == "mainland") profile = &vortan::kMainlandProfile;
      else if (region == "kastelorizo") profile = &vortan::kKastelorizoProfile;
      else return Usage("unknown region '" + region + "' (mainland or kastelorizo)");
    } else if (arg == "--dn") {
      if (!value(dnPath)) return Usage("--dn needs a file");
    } else if (arg == "--de") {
      if (!value(dePath)) return Usage("--de needs a file");
    } else if (arg == "--threads") {
      std::string n;
      if (!value(n)) return Usage("--threads needs a number");
      char* end = nullptr;
      const long parsed = std::strtol(n.c_str(), &end, 10);
      if (end == n.c_str() || *end != '\0' || parsed < 1 || parsed > 256) {
        return Usage("--threads needs a whole number from 1 to 256, not '" + n + "'");
      }
      threads = static_cast<int>(parsed);
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      return Usage("unknown option '" + std::string(arg) + "'");
    } else {
      positional.emplace_back(arg);
    }
  }
  if (positional.empty()) return Usage("no job given");
  const vortan::JobDefinition* job = vortan::FindJob(positional[0]);
  if (!job) return Usage("unknown job '" + positional[0] + "'");
  if (positional.size() != 2 + job->outputCount()) {
    return Usage(positional[0] + " takes an input file and " +
                 std::to_string(job->outputCount()) + " output file(s)");
  }

  vortan::TransformContext context = vortan::MakeContext(*profile, vortan::kDataFileBounds);
  if (job->usesTransform) {
    const std::string error = vortan::InitialStep(context, dnPath, dePath);
    if (!error.empty()) {
      std::fprintf(stderr,
                   "vortan-transform: %s\nThe grids are read from %s and %s; give other files "
                   "with --dn and --de.\n",
                   error.c_str(), dnPath.c_str(), dePath.c_str());
      return kExitError;
    }
  }

  // Progress on a terminal, at most twice a second.
  vortan::JobOptions options;
  options.threads = threads;
  const bool showProgress = ::isatty(STDERR_FILENO) != 0;
  auto lastShown = std::chrono::steady_clock::now();
  if (showProgress) {
    options.progress = [&](const vortan::JobProgress& p) {
      const auto now = std::chrono::steady_clock::now();
      if (now - lastShown < std::chrono::milliseconds(500)) return;
      lastShown = now;
      if (p.bytesTotal > 0) {
        std::fprintf(stderr, "\r%llu points, %.0f%% of the input read",
                     static_cast<unsigned long long>(p.pointsDone),
                     100.0 * static_cast<double>(p.bytesRead) / static_cast<double>(p.bytesTotal));
      } else {
        std::fprintf(stderr, "\r%llu points", static_cast<unsigned long long>(p.pointsDone));
      }
    };
  }
  const std::vector<std::string> outputs(positional.begin() + 2, positional.end());
  const vortan::JobOutcome outcome =
      vortan::RunJob(job->kind, context, positional[1], outputs, options);
  if (showProgress) std::fprintf(stderr, "\r\033[K");
  switch (outcome.status) {
    case vortan::JobStatus::kDone:
      if (showProgress || outputs[0] != "-") {
        std::fprintf(stderr, "%s\n", outcome.Message().c_str());
      }
      return kExitDone;
    case vortan::JobStatus::kOutsideGrid:
      std::fprintf(stderr, "vortan-transform: %s\n", outcome.Message().c_str());
      return kExitOutsideGrid;
    case vortan::JobStatus::kCancelled:
    case vortan::JobStatus::kError:
      std::fprintf(stderr, "vortan-transform: %s\n", outcome.Message().c_str());
      return kExitError;
  }
  return kExitError;
}
