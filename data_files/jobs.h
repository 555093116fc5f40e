// The four batch jobs of the data-file converter on one job frame: check the paths, open the
// input before any output, stream the records in batches, compute each point under the
// numeric-fault guard (on several threads if asked), write one line per point into every
// output in input order, and return what happened.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "data_files/records.h"
#include "transform/datum.h"

namespace vortan {

enum class JobKind {
  kSflhToSenh,    // Command5: GGRS87 phi, lambda, h -> GGRS87 TM87 E, N, h
  kSenhToHtrs07,  // Command1: GGRS87 E, N, h -> GGRS87 SFLh, HTRS07 SFL, HTRS07 SEN
  kSflhToSxyz,    // Command4: HTRS07 phi, lambda, h -> HTRS07 X, Y, Z
  kSxyzToGgrs87,  // Command2: HTRS07 X, Y, Z -> HTRS07 SFLh, SENk, GGRS87 SFL, SEN
};

// One file dialog of a job: the input first (an open dialog), then the outputs (save dialogs).
struct JobDialog {
  std::string_view dialog;      // "CD14"
  std::string_view title;
  std::string_view presetName;  // mainland default file name
  std::string_view pathBox;     // the box that shows the chosen path, "Text21"
  Layout layout;
};

struct JobDefinition {
  JobKind kind;
  std::string_view cliName;  // "sflh-to-senh"
  std::string_view button;   // "Command5"
  std::string_view description;
  std::string fieldNames[3];          // the numeric fields of the input record
  std::vector<JobDialog> dialogs;     // input, then outputs in dialog order
  bool usesTransform;                 // needs the initial step's parameters (and grids)
  std::size_t outputCount() const { return dialogs.size() - 1; }
};

const std::vector<JobDefinition>& JobDefinitions();
const JobDefinition& DefinitionOf(JobKind kind);
const JobDefinition* FindJob(std::string_view cliName);

enum class JobStatus { kDone, kOutsideGrid, kCancelled, kError };

struct JobOutcome {
  JobStatus status = JobStatus::kDone;
  std::uint64_t pointsWritten = 0;  // points whose lines are in every output
  std::string pointId;              // the point that stopped the job
  std::string file;                 // where an error stands
  std::uint64_t line = 0;           // 0 when no line applies
  std::string field;
  std::string reason;
  std::vector<std::string> outputs;  // the output paths of the job
  bool outputsCreated = false;       // false when the job stopped before creating its outputs

  // One paragraph for the user: what happened, where, and what to do.
  std::string Message() const;
};

struct JobProgress {
  std::uint64_t pointsDone;
  std::uint64_t bytesRead;
  std::uint64_t bytesTotal;  // 0 when unknown (standard input)
};

struct JobOptions {
  int threads = 1;
  std::function<void(const JobProgress&)> progress;  // called after each batch
  const std::atomic<bool>* cancel = nullptr;          // stops after the current point
};

// Runs a job from an input path to its output paths ("-" is standard input or output).
// An output that is the input or another output of the job is refused before anything is
// opened. The context must be initialised for the jobs that use the transformation.
JobOutcome RunJob(JobKind kind, const TransformContext& context, const std::string& inputPath,
                  const std::vector<std::string>& outputPaths, const JobOptions& options = {});

}  // namespace vortan
