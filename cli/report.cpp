#include "cli/report.h"

#include <cstdio>

#include "cli/exit_status.h"
#include "cli/stop_signals.h"
#include "io/display_text.h"

namespace vortan::cli {
namespace {

void Say(const std::string& text) { std::fprintf(stderr, "vortan-transform: %s\n", text.c_str()); }

// The features left out with --outside skip, by layer: every FID up to a limit.
std::string SkippedList(const std::vector<gis::SkippedFeature>& skipped) {
  constexpr std::size_t kListed = 1000;
  std::string text;
  std::string layer;
  for (std::size_t i = 0; i < skipped.size() && i < kListed; ++i) {
    if (i == 0 || skipped[i].layer != layer) {
      layer = skipped[i].layer;
      text += std::string(i ? "; " : "") + "layer '" + DisplayText(layer) + "' FID ";
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

std::string Plural(std::uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + (n == 1 ? one : many);
}

}  // namespace

int Usage(const std::string& message) {
  std::fprintf(stderr, "vortan-transform: %s\nTry 'vortan-transform --help'.\n", message.c_str());
  return kExitUsage;
}

int Error(const std::string& message) {
  Say(message);
  return kExitError;
}

int ReportJob(const JobOutcome& outcome, bool toStandardOutput, bool progressShown) {
  if (outcome.threadsUsed < outcome.threadsAsked) {
    std::fprintf(stderr,
                 "vortan-transform: only %d of the %d threads asked for could be started; the "
                 "job ran on %d (the files are the same).\n",
                 outcome.threadsUsed, outcome.threadsAsked, outcome.threadsUsed);
  }
  int status = kExitError;
  switch (outcome.status) {
    case JobStatus::kDone:
      if (progressShown || !toStandardOutput) {
        std::fprintf(stderr, "%s\n", outcome.Message().c_str());
      }
      status = kExitDone;
      break;
    case JobStatus::kOutsideGrid:
      Say(outcome.Message());
      status = kExitOutsideGrid;
      break;
    case JobStatus::kCancelled: {
      const StopCause cause = CauseOfStop();
      Say(std::string(cause.words) + ". " + outcome.Message());
      status = cause.status;
      break;
    }
    case JobStatus::kError:
      Say(outcome.Message());
      break;
  }
  // What the job noticed, said after its outcome whatever --quiet says.
  for (const std::string& note : outcome.NoteTexts()) Say("note: " + note);
  return status;
}

int ReportDataset(const gis::DatasetOutcome& outcome, const gis::DatasetRequest& request,
                  bool quiet, bool progressShown) {
  for (const std::string& note : outcome.notes) Say("note: " + note);
  const std::string output = FileDisplayName(request.output, false);
  switch (outcome.status) {
    case gis::DatasetStatus::kDone: {
      if (!quiet || !outcome.skipped.empty()) {
        std::string done = Plural(outcome.featuresWritten, " feature", " features") + " in " +
                           Plural(outcome.layers, " layer", " layers") + " written to " + output +
                           " (" + Plural(outcome.pointsConverted, " point", " points") +
                           " converted to " + std::string(FormName(request.to)) + ").";
        if (!outcome.skipped.empty()) {
          done += " " + Plural(outcome.skipped.size(), " feature was", " features were") +
                  " left out, with a vertex outside the correction grid: " +
                  SkippedList(outcome.skipped) + ".";
        }
        if (request.output != "-" || progressShown) std::fprintf(stderr, "%s\n", done.c_str());
      }
      return kExitDone;
    }
    case gis::DatasetStatus::kOutsideGrid:
      Say(outcome.message);
      return kExitOutsideGrid;
    case gis::DatasetStatus::kCancelled: {
      const StopCause cause = CauseOfStop();
      Say(std::string(cause.words) + "; nothing was written to " + output + ".");
      return cause.status;
    }
    case gis::DatasetStatus::kUsage:
      return Usage(outcome.message);
    case gis::DatasetStatus::kError:
      return Error(outcome.message);
  }
  return kExitError;
}

}  // namespace vortan::cli
