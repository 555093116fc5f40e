// vortan-transform: the batch jobs of the data-file converter, and the conversion between any
// two coordinate forms, from the command line.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "cli/console.h"
#include "data_files/jobs.h"
#include "engine/conversion.h"
#include "gis/module.h"
#include "io/display_text.h"
#include "io/process.h"
#include "transform/datum.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitError = 1;
constexpr int kExitUsage = 2;
constexpr int kExitOutsideGrid = 3;
// A job stopped by a signal ends with the status a shell reports for that signal: 128 and its
// number (130 for Ctrl+C, 143 for SIGTERM, 129 for SIGHUP).
constexpr int kExitInterrupted = 130;

constexpr const char* kVersion = "1.0.0";

// Set by Ctrl+C, SIGTERM (timeout, a scheduler, a shutdown) or SIGHUP (the terminal closed):
// the job stops after the point it computes, leaving complete lines, the same number in every
// output; a dataset is not written.
std::atomic<bool> interrupted{false};
// The signal that stopped the job first (0: none, or Ctrl+C on Windows).
std::atomic<int> stopSignal{0};

extern "C" void OnStopSignal(int signo) {
  int none = 0;
  stopSignal.compare_exchange_strong(none, signo);
  interrupted.store(true);
  ::signal(signo, SIG_DFL);  // a second one ends the program at once
}

void CatchStopSignals() {
#if defined(_WIN32)
  // Ctrl+C and Ctrl+Break come through the console's handler (console_windows.cpp); the
  // runtime's SIGINT is its first sign on some systems.
  ::signal(SIGINT, OnStopSignal);
#else
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // a read or a write goes on; the job stops at the next point
  for (int signo : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction previous {};
    // A signal ignored when the tool started (nohup, a shell's background job) stays ignored.
    if (::sigaction(signo, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    ::sigaction(signo, &action, nullptr);
  }
#endif
}

// What stopped the job, as the messages say it, and its exit status.
struct StopCause {
  const char* words;
  int status;
};
StopCause CauseOfStop() {
  switch (stopSignal.load()) {
#if !defined(_WIN32)
    case SIGHUP: return {"stopped by SIGHUP (the terminal was closed)", 128 + SIGHUP};
#endif
#if defined(_WIN32)
    case SIGTERM: return {"stopped: the console was closed, or Windows is ending", 128 + SIGTERM};
#else
    case SIGTERM: return {"stopped by SIGTERM (a request to end the program)", 128 + SIGTERM};
#endif
    default: return {"stopped by Ctrl+C", kExitInterrupted};
  }
}

struct FormExample {
  vortan::Form form;
  const char* what;
  const char* line;  // one record of the form's layout
};

constexpr FormExample kFormExamples[] = {
    {vortan::Form::kHtrs07Xyz, "HTRS07 X,Y,Z (SXYZ)", "P1,4382064.771,2023782.319,4155326.131"},
    {vortan::Form::kHtrs07Geographic, "HTRS07 phi,lambda (DDMMSS.SSSSS),h (SFLh)",
     "P1,405453.90607,244720.59229,51.610"},
    {vortan::Form::kHtrs07Tm07, "HTRS07 TM07 E,N,h (SENh)", "P1,566446.108,2529618.096,51.610"},
    {vortan::Form::kGgrs87Geographic, "GGRS87 phi,lambda (DDMMSS.SSSSS),h (SFLh)",
     "P1,405444.68271,244714.08889,6.501"},
    {vortan::Form::kGgrs87Tm87, "GGRS87 TM87 E,N,h (SENh)", "P1,566296.541,4529332.314,6.501"},
};

void PrintUsage(std::FILE* to) {
  std::fprintf(to,
               "Usage: vortan-transform [OPTIONS] JOB INPUT OUTPUT...\n"
               "       vortan-transform [OPTIONS] convert --from FORM --to FORM [--keep-heights]\n"
               "                        INPUT OUTPUT\n"
               "       vortan-transform [OPTIONS] convert [--from FORM] --to FORM [GIS OPTIONS]\n"
               "                        DATASET OUTPUT\n"
               "\n"
               "Converts coordinate files between HTRS07 and GGRS87 (EGSA87) with the official\n"
               "seven-parameter model and, on the mainland, the dE, dN correction grids. A job\n"
               "writes the files of the VORTAN data-file program, byte for byte the same.\n"
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
               "convert: between any two of the five coordinate forms (a record file of the\n"
               "form's layout in and out). Across the datum the height written is the target\n"
               "system's ellipsoidal height from the Helmert step; --keep-heights copies the\n"
               "input height unchanged (orthometric heights). Forms, with a record of each:\n");
  for (const FormExample& f : kFormExamples) {
    std::fprintf(to, "  %-18s %s\n  %-18s   %s\n", std::string(vortan::FormName(f.form)).c_str(),
                 f.what, "", f.line);
  }
  std::fprintf(to,
               "\n"
               "GIS datasets: an INPUT or OUTPUT named .gpkg, .shp, .geojson, .json, .fgb, .gml,\n"
               ".kml, .dxf or .csv (or of another name that GDAL opens, or with --format) is a\n"
               "vector dataset; any other file is a record file, and so is a .csv without a\n"
               "header whose lines are records. Every layer, feature, attribute and vertex is\n"
               "carried over; the input form comes from each layer's CRS (EPSG:2100, EPSG:4121,\n"
               "the HTRS07 CRSs this program writes), else from --from. A record file becomes\n"
               "point features with the attribute id, and back. The output appears only whole.\n"
               "  --format DRIVER     GDAL driver of the output (GPKG, \"ESRI Shapefile\", ...),\n"
               "                      or records: a record file (a .csv input too)\n"
               "  --columns X,Y[,Z]   the coordinate columns of a CSV table (else found by name:\n"
               "                      E/N/H, X/Y/Z, Easting/Northing, lon/lat, Χ/Υ/Η, ...)\n"
               "  --outside stop|skip at a vertex outside the grid: stop and write nothing\n"
               "                      (default), or leave out its feature and name its FID\n"
               "  --overwrite         replace an existing output\n");
  std::fprintf(to,
               "\n"
               "Options:\n"
               "  --region R     mainland (default) or kastelorizo\n"
               "  --dn FILE      dN correction grid (default ./dN_2km_V1-0.grd; mainland only,\n"
               "  --de FILE      dE correction grid  default ./dE_2km_V1-0.grd; read only where\n"
               "                 a conversion crosses the datum)\n"
               "  --threads N    points computed on N threads, 1 to 256 (default: every core);\n"
               "                 the files are the same as with one thread\n"
               "  --quiet        no progress on the terminal\n"
               "  --help, --version\n"
               "  --             ends the options (for a file name that begins with -)\n"
               "A file name of - is standard input or standard output.\n"
               "\n"
               "Examples:\n"
               "  vortan-transform sxyz-to-ggrs87 HTRS07-SXYZ.txt HTRS07-SFLh.txt \\\n"
               "      HTRS07-SENk.txt GGRS87-SFL.txt GGRS87-SEN.txt\n"
               "  vortan-transform convert --from htrs07-tm07 --to ggrs87-tm87 \\\n"
               "      HTRS07-SENh.txt GGRS87-SENh.txt\n"
               "  vortan-transform convert --from htrs07-tm07 --to ggrs87-tm87 parcels.shp \\\n"
               "      parcels-egsa87.shp\n"
               "\n"
               "Exit status: 0 done; 1 error (the message names file, line and field, or layer\n"
               "and feature); 2 wrong usage; 3 stopped at a point outside the correction grid\n"
               "(for a dataset: layer, FID and vertex);\n"
               "130, 143, 129 stopped by Ctrl+C, SIGTERM, SIGHUP (record files hold complete lines,\n"
               "the same number in every output; a dataset is not written).\n");
}

int Usage(const std::string& message) {
  std::fprintf(stderr, "vortan-transform: %s\nTry 'vortan-transform --help'.\n", message.c_str());
  return kExitUsage;
}

// What the command line asks for.
struct Command {
  const vortan::RegionProfile* profile = &vortan::kMainlandProfile;
  std::string dnPath = vortan::kDnGridFileName;
  std::string dePath = vortan::kDeGridFileName;
  int threads = 1;
  bool quiet = false;
  bool keepHeights = false;
  std::optional<vortan::Form> from, to;
  std::vector<std::string> positional;
  // GIS datasets only.
  std::string format;
  std::vector<std::string> columns;
  std::optional<vortan::gis::OutsidePolicy> outside;
  bool overwrite = false;
  bool recordsIn = false, recordsOut = false;  // which files of convert are record files
};

// Parses the arguments; returns an exit status when the program ends here (help, version,
// wrong usage).
std::optional<int> Parse(int argc, char** argv, Command& command) {
  command.threads = static_cast<int>(std::thread::hardware_concurrency());
  if (command.threads < 1) command.threads = 1;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!options || arg == "-" || arg.empty() || arg[0] != '-') {
      command.positional.emplace_back(arg);
      continue;
    }
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    auto form = [&](std::optional<vortan::Form>& out) -> std::optional<int> {
      std::string name;
      if (!value(name)) return Usage(std::string(arg) + " needs a form");
      out = vortan::FormOfName(name);
      if (!out) {
        return Usage("unknown form '" + vortan::DisplayText(name) +
                     "' (htrs07-xyz, htrs07-geographic, htrs07-tm07, ggrs87-geographic, "
                     "ggrs87-tm87)");
      }
      return std::nullopt;
    };
    if (arg == "--") {
      options = false;
    } else if (arg == "--help" || arg == "-h") {
      PrintUsage(stdout);
      return kExitDone;
    } else if (arg == "--version") {
      std::printf("vortan-transform %s\n", kVersion);
      return kExitDone;
    } else if (arg == "--region") {
      std::string region;
      if (!value(region)) return Usage("--region needs mainland or kastelorizo");
      if (region == "mainland") command.profile = &vortan::kMainlandProfile;
      else if (region == "kastelorizo") command.profile = &vortan::kKastelorizoProfile;
      else return Usage("unknown region '" + vortan::DisplayText(region) +
                        "' (mainland or kastelorizo)");
    } else if (arg == "--dn") {
      if (!value(command.dnPath)) return Usage("--dn needs a file");
    } else if (arg == "--de") {
      if (!value(command.dePath)) return Usage("--de needs a file");
    } else if (arg == "--threads") {
      std::string n;
      if (!value(n)) return Usage("--threads needs a number");
      char* end = nullptr;
      const long parsed = std::strtol(n.c_str(), &end, 10);
      if (end == n.c_str() || *end != '\0' || parsed < 1 || parsed > 256) {
        return Usage("--threads needs a whole number from 1 to 256, not '" +
                     vortan::DisplayText(n) + "'");
      }
      command.threads = static_cast<int>(parsed);
    } else if (arg == "--from") {
      if (std::optional<int> end = form(command.from)) return end;
    } else if (arg == "--to") {
      if (std::optional<int> end = form(command.to)) return end;
    } else if (arg == "--keep-heights") {
      command.keepHeights = true;
    } else if (arg == "--quiet" || arg == "-q") {
      command.quiet = true;
    } else if (arg == "--format") {
      if (!value(command.format) || command.format.empty()) {
        return Usage("--format needs a GDAL driver name (GPKG, \"ESRI Shapefile\", GeoJSON, ...)");
      }
    } else if (arg == "--columns") {
      std::string list;
      if (!value(list)) return Usage("--columns needs the names of the coordinate columns, X,Y or X,Y,Z");
      command.columns.clear();
      std::size_t start = 0;
      while (true) {
        const std::size_t comma = list.find(',', start);
        command.columns.push_back(list.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
      for (const std::string& c : command.columns) {
        if (c.empty() || command.columns.size() < 2 || command.columns.size() > 3) {
          return Usage("--columns needs two or three column names separated by commas, not '" +
                       vortan::DisplayText(list) + "'");
        }
      }
    } else if (arg == "--outside") {
      std::string policy;
      if (!value(policy)) return Usage("--outside needs stop or skip");
      if (policy == "stop") command.outside = vortan::gis::OutsidePolicy::kStop;
      else if (policy == "skip") command.outside = vortan::gis::OutsidePolicy::kSkip;
      else return Usage("--outside needs stop or skip, not '" + vortan::DisplayText(policy) + "'");
    } else if (arg == "--overwrite") {
      command.overwrite = true;
    } else {
      return Usage("unknown option '" + vortan::DisplayText(arg) + "'");
    }
  }
  return std::nullopt;
}

// A progress line on standard error when it is a terminal, redrawn at most twice a second.
class ProgressLine {
 public:
  explicit ProgressLine(bool show) : show_(show), start_(std::chrono::steady_clock::now()) {}
  bool shown() const { return show_; }
  // Points a second so far when the line is due to be redrawn; nothing otherwise.
  std::optional<double> Due(std::uint64_t points) {
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(500)) return std::nullopt;
    last_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    return seconds > 0 ? static_cast<double>(points) / seconds : 0;
  }
  void Clear() {
    if (show_) std::fprintf(stderr, "\r\033[K");
  }

 private:
  bool show_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_{};
};

// A record job's progress: points, share of the input read, points a second.
void ShowJobProgress(ProgressLine& line, const vortan::JobProgress& p) {
  const std::optional<double> rate = line.Due(p.pointsDone);
  if (!rate) return;
  if (p.bytesTotal > 0) {
    std::fprintf(stderr, "\r%llu points, %.0f%% of the input read, %.0f points/s",
                 static_cast<unsigned long long>(p.pointsDone),
                 100.0 * static_cast<double>(p.bytesRead) / static_cast<double>(p.bytesTotal),
                 *rate);
  } else {
    std::fprintf(stderr, "\r%llu points, %.0f points/s",
                 static_cast<unsigned long long>(p.pointsDone), *rate);
  }
  std::fflush(stderr);  // buffered on a Windows console
}

// A dataset's progress: features, of how many where the driver knows, and points a second.
void ShowDatasetProgress(ProgressLine& line, const vortan::gis::DatasetProgress& p) {
  const std::optional<double> rate = line.Due(p.pointsDone);
  if (!rate) return;
  if (p.featuresTotal >= 0) {
    std::fprintf(stderr, "\r%llu of %lld features, %.0f points/s",
                 static_cast<unsigned long long>(p.featuresDone),
                 static_cast<long long>(p.featuresTotal), *rate);
  } else {
    std::fprintf(stderr, "\r%llu features, %.0f points/s",
                 static_cast<unsigned long long>(p.featuresDone), *rate);
  }
  std::fflush(stderr);
}

// What the job noticed, said after its outcome whatever --quiet says.
void PrintNotes(const vortan::JobOutcome& outcome) {
  for (const std::string& note : outcome.NoteTexts()) {
    std::fprintf(stderr, "vortan-transform: note: %s\n", note.c_str());
  }
}

// Says how a record job ended; its exit status.
int Report(const vortan::JobOutcome& outcome, bool toStandardOutput, bool progressShown) {
  if (outcome.threadsUsed < outcome.threadsAsked) {
    std::fprintf(stderr,
                 "vortan-transform: only %d of the %d threads asked for could be started; the "
                 "job ran on %d (the files are the same).\n",
                 outcome.threadsUsed, outcome.threadsAsked, outcome.threadsUsed);
  }
  switch (outcome.status) {
    case vortan::JobStatus::kDone:
      if (progressShown || !toStandardOutput) {
        std::fprintf(stderr, "%s\n", outcome.Message().c_str());
      }
      return kExitDone;
    case vortan::JobStatus::kOutsideGrid:
      std::fprintf(stderr, "vortan-transform: %s\n", outcome.Message().c_str());
      return kExitOutsideGrid;
    case vortan::JobStatus::kCancelled: {
      const StopCause cause = CauseOfStop();
      std::fprintf(stderr, "vortan-transform: %s. %s\n", cause.words, outcome.Message().c_str());
      return cause.status;
    }
    case vortan::JobStatus::kError:
      std::fprintf(stderr, "vortan-transform: %s\n", outcome.Message().c_str());
      return kExitError;
  }
  return kExitError;
}

int Finish(const vortan::JobOutcome& outcome, bool toStandardOutput, bool progressShown) {
  const int status = Report(outcome, toStandardOutput, progressShown);
  PrintNotes(outcome);
  return status;
}

// The features left out with --outside skip, by layer: every FID up to a limit.
std::string SkippedList(const std::vector<vortan::gis::SkippedFeature>& skipped) {
  constexpr std::size_t kListed = 1000;
  std::string text;
  std::string layer;
  for (std::size_t i = 0; i < skipped.size() && i < kListed; ++i) {
    if (i == 0 || skipped[i].layer != layer) {
      layer = skipped[i].layer;
      text += std::string(i ? "; " : "") + "layer '" + vortan::DisplayText(layer) + "' FID ";
    } else {
      text += ", ";
    }
    text += std::to_string(skipped[i].fid);
  }
  if (skipped.size() > kListed) {
    text += " and " + std::to_string(skipped.size() - kListed) + " more";
  }
  return text;
}

// The grid files that no output may be: those named, and the default ones in the current
// folder, which a mainland run across the datum would read.
std::vector<std::string> GridFiles(const Command& command) {
  return {command.dnPath, command.dePath, vortan::kDnGridFileName, vortan::kDeGridFileName};
}

// convert on GIS datasets (and between a record file and a dataset), through gis/.
int RunDataset(const Command& command) {
  vortan::TransformContext context =
      vortan::MakeContext(*command.profile, vortan::kDataFileBounds);
  vortan::gis::DatasetRequest request;
  request.input = command.positional[1];
  request.output = command.positional[2];
  request.from = command.from;
  request.to = *command.to;
  request.keepHeights = command.keepHeights;
  request.format = command.format;
  request.columns = command.columns;
  request.outside = command.outside.value_or(vortan::gis::OutsidePolicy::kStop);
  request.overwrite = command.overwrite;
  request.threads = command.threads;
  request.cancel = &interrupted;
  request.gridFiles = GridFiles(command);
  request.recordsIn = command.recordsIn;
  request.recordsOut = command.recordsOut;
  request.prepare = [&](vortan::Form from) -> std::string {
    if (vortan::InHtrs07(from) == vortan::InHtrs07(*command.to) || context.initialised) return "";
    const std::string error = vortan::InitialStep(context, command.dnPath, command.dePath);
    if (error.empty()) return "";
    return error + "\nThe grids are read from " + vortan::DisplayText(command.dnPath) + " and " +
           vortan::DisplayText(command.dePath) + "; give other files with --dn and --de.";
  };
  ProgressLine progress(!command.quiet && ::isatty(STDERR_FILENO) != 0);
  if (progress.shown()) {
    request.progress = [&](const vortan::gis::DatasetProgress& p) {
      ShowDatasetProgress(progress, p);
    };
  }
  std::string error;
  const vortan::gis::ModuleInterface* gis = vortan::gis::LoadModule(error);
  if (!gis) {
    std::fprintf(stderr, "vortan-transform: %s\n", error.c_str());
    return kExitError;
  }
  const vortan::gis::DatasetOutcome outcome = gis->convert(context, request);
  progress.Clear();
  for (const std::string& note : outcome.notes) {
    std::fprintf(stderr, "vortan-transform: note: %s\n", note.c_str());
  }
  const std::string output = vortan::FileDisplayName(request.output, false);
  switch (outcome.status) {
    case vortan::gis::DatasetStatus::kDone: {
      if (!command.quiet || !outcome.skipped.empty()) {
        std::string done = std::to_string(outcome.featuresWritten) + " feature" +
                           (outcome.featuresWritten == 1 ? "" : "s") + " in " +
                           std::to_string(outcome.layers) + " layer" +
                           (outcome.layers == 1 ? "" : "s") + " written to " + output + " (" +
                           std::to_string(outcome.pointsConverted) +
                           (outcome.pointsConverted == 1 ? " point" : " points") +
                           " converted to " +
                           std::string(vortan::FormName(*command.to)) + ").";
        if (!outcome.skipped.empty()) {
          done += " " + std::to_string(outcome.skipped.size()) + " feature" +
                  (outcome.skipped.size() == 1 ? " was" : "s were") +
                  " left out, with a vertex outside the correction grid: " +
                  SkippedList(outcome.skipped) + ".";
        }
        if (request.output != "-" || progress.shown()) std::fprintf(stderr, "%s\n", done.c_str());
      }
      return kExitDone;
    }
    case vortan::gis::DatasetStatus::kOutsideGrid:
      std::fprintf(stderr, "vortan-transform: %s\n", outcome.message.c_str());
      return kExitOutsideGrid;
    case vortan::gis::DatasetStatus::kCancelled: {
      const StopCause cause = CauseOfStop();
      std::fprintf(stderr, "vortan-transform: %s; nothing was written to %s.\n", cause.words,
                   output.c_str());
      return cause.status;
    }
    case vortan::gis::DatasetStatus::kUsage:
      return Usage(outcome.message);
    case vortan::gis::DatasetStatus::kError:
      std::fprintf(stderr, "vortan-transform: %s\n", outcome.message.c_str());
      return kExitError;
  }
  return kExitError;
}

int Run(int argc, char** argv) {
  Command command;
  if (std::optional<int> end = Parse(argc, argv, command)) return *end;
  if (command.positional.empty()) return Usage("no job given");
  const std::string& name = command.positional[0];
  const bool convert = name == "convert";
  const vortan::JobDefinition* job = convert ? nullptr : vortan::FindJob(name);
  if (!convert && !job) return Usage("unknown job '" + vortan::DisplayText(name) + "'");
  if (!convert && (command.from || command.to || command.keepHeights)) {
    return Usage("--from, --to and --keep-heights go with convert, not with a job");
  }
  const bool sized = convert && command.positional.size() == 3;
  command.recordsIn = sized && vortan::gis::InputIsRecords(command.positional[1], command.format);
  command.recordsOut =
      sized && vortan::gis::OutputIsRecords(command.positional[2], command.format);
  const bool dataset = sized && (!command.recordsIn || !command.recordsOut);
  if (!dataset && ((!command.format.empty() && command.format != "records") ||
                   !command.columns.empty() || command.outside || command.overwrite)) {
    return Usage("--format, --columns, --outside and --overwrite go with convert on GIS "
                 "datasets (an INPUT or OUTPUT that is not a record file)");
  }
  if (convert && !command.to) return Usage("convert needs --to FORM");
  if (convert && !dataset && !command.from) {
    return Usage("convert needs --from FORM and --to FORM (a record file has no CRS)");
  }
  const std::size_t outputs = convert ? 1 : job->outputCount();
  if (command.positional.size() != 2 + outputs) {
    return Usage(name + " takes an input file and " + std::to_string(outputs) + " output file" +
                 (outputs == 1 ? "" : "s"));
  }
  if (dataset) return RunDataset(command);

  vortan::TransformContext context = vortan::MakeContext(*command.profile, vortan::kDataFileBounds);
  const bool acrossDatum =
      convert ? vortan::InHtrs07(*command.from) != vortan::InHtrs07(*command.to)
              : job->usesTransform;
  if (acrossDatum) {
    const std::string error = vortan::InitialStep(context, command.dnPath, command.dePath);
    if (!error.empty()) {
      std::fprintf(stderr,
                   "vortan-transform: %s\nThe grids are read from %s and %s; give other files "
                   "with --dn and --de.\n",
                   error.c_str(), vortan::DisplayText(command.dnPath).c_str(),
                   vortan::DisplayText(command.dePath).c_str());
      return kExitError;
    }
  }

  vortan::JobOptions options;
  options.threads = command.threads;
  options.cancel = &interrupted;
  options.gridFiles = GridFiles(command);
  ProgressLine progress(!command.quiet && ::isatty(STDERR_FILENO) != 0);
  if (progress.shown()) {
    options.progress = [&](const vortan::JobProgress& p) { ShowJobProgress(progress, p); };
  }
  const std::string& input = command.positional[1];
  const std::vector<std::string> outputPaths(command.positional.begin() + 2,
                                             command.positional.end());
  vortan::JobOutcome outcome;
  if (convert) {
    const vortan::Conversion conversion(context, *command.from, *command.to, command.keepHeights);
    outcome = vortan::RunConversion(conversion, input, outputPaths[0], options);
  } else {
    outcome = vortan::RunJob(job->kind, context, input, outputPaths, options);
  }
  progress.Clear();
  return Finish(outcome, outputPaths[0] == "-", progress.shown());
}

}  // namespace

int main(int argc, char** argv) {
  vortan::PrepareProcessForJobs();
  CatchStopSignals();
  vortan::cli::PrepareConsole(argc, argv, interrupted, stopSignal, kExitInterrupted);
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr,
                 "vortan-transform: not enough memory (the system refused more). Close other "
                 "programs or run with fewer --threads.\n");
    return kExitError;
  }
}
