// The job frame of the batch jobs: check the paths, open the input before any output, stream
// the records in batches, compute each point under the numeric-fault guard (on several threads
// if asked), write one line per point into every output in input order, and return what
// happened.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "data_files/job_table.h"
#include "engine/conversion.h"
#include "io/problem.h"
#include "transform/datum.h"

namespace vortan {

enum class JobStatus { kDone, kOutsideGrid, kCancelled, kError };

// What a job noticed in the points it converted that the user should know, though the job
// went on: points far outside Greece (where no grid stops them: within one system, on
// Kastelorizo), which a file of another form or with its columns in another order gives; and
// packed angles below 100, most likely decimal degrees. The first of each is named.
struct JobNotes {
  // The envelope of Greece, generous: Gavdos to Evros, Othonoi to Kastelorizo and beyond.
  static constexpr double kSouth = 33, kNorth = 43, kWest = 18, kEast = 31;  // degrees

  std::uint64_t outsideGreece = 0;
  std::string outsideId;
  std::uint64_t outsideLine = 0;
  double outsideLatitude = 0, outsideLongitude = 0;  // degrees

  std::uint64_t decimalDegrees = 0;
  std::string degreesId;
  std::uint64_t degreesLine = 0;
  std::string degreesField;
  std::string degreesText;  // the field as it stands in the file
  double degreesValue = 0;
};

// Whether a point lies outside the envelope of Greece (JobNotes): latitude and longitude in
// radians, in either system. A NaN is not.
bool OutsideGreece(double latitude, double longitude);
// Whether a packed DDMMSS.SSSSS angle lies below 100 (and is not 0), as decimal degrees would.
bool PackedBelowHundred(double packed);
// A note for the user, in Greek and in English, as the windows show it (the tool prints the
// English).
struct NoteText {
  std::string greek, english;
};
// The note on points outside Greece: count of the total converted, the first named by first
// (its id and where it is read), where it lies (degrees).
NoteText OutsideGreeceNote(std::uint64_t count, std::uint64_t total, const NoteText& first,
                           double latitude, double longitude);
// The note on packed angles below 100: the first in the field of the point named by point (its
// text as it stands and its value), and how many the file holds.
NoteText DecimalDegreesNote(const std::string& field, const NoteText& point,
                            const std::string& text, double value, std::uint64_t count);

// What a job did: its status, and for an error the problem (file, line, field, reason) and,
// for an out-of-grid stop, the file and line of the point.
struct JobOutcome : Problem {
  JobStatus status = JobStatus::kDone;
  std::uint64_t pointsWritten = 0;  // points whose lines are in every output
  std::string pointId;              // the point that stopped the job
  std::string input;                 // the input as messages name it
  std::vector<std::string> outputs;  // the output paths of the job
  // The complete lines in each output, in the order of outputs: pointsWritten each, one more
  // in the outputs that already hold the point of an outside-grid stop.
  std::vector<std::uint64_t> linesWritten;
  // Whether each output is the null device (/dev/null, NUL), which discards its lines.
  std::vector<bool> discarded;
  bool outputsCreated = false;       // false when the job stopped before creating its outputs
  int threadsAsked = 1;              // threads the job was given
  int threadsUsed = 1;               // threads it ran on: fewer when the system gave no more

  JobNotes notes;
  // For an out-of-grid stop at a point inside the program's extent: what the grid read covers,
  // as the message says it (a grid whose header is wrong refuses every point).
  std::string gridCoverage;

  // One paragraph for the user: what happened, where, and what to do.
  std::string Message() const;
  // One paragraph for each thing noticed (JobNotes), which the user should read even when the
  // job is done: in Greek and in English, as the windows show them.
  std::vector<NoteText> Notes() const;
  // The English paragraphs of Notes, as the tool prints them.
  std::vector<std::string> NoteTexts() const;
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
  // Correction grid files that no output may be, whether or not the job reads them (the grids
  // the user named); the default grid files are never an output without being named here.
  std::vector<std::string> gridFiles;
  // The routines of the jobs' chains: the lanes where they run (their printed numbers are the
  // plain routines', core/math_functions.h), or the plain routines, for comparison.
  Routines routines = Routines::kLanes;
  // A part of the input file: the bytes [offset, offset + length) of a regular file, which
  // begin at the start of a line numbered firstLine (the caller counts the lines before it, for
  // the messages). The whole input by default. The lines of the part are converted as a file
  // of their own would be: a cluster's tasks each take a part and write its lines.
  struct InputPart {
    std::uint64_t offset = 0;
    std::uint64_t length = UINT64_MAX;
    std::uint64_t firstLine = 1;
    bool whole() const { return offset == 0 && length == UINT64_MAX && firstLine == 1; }
  } part;
};

// Runs a job from an input path to its output paths ("-" is standard input or output).
// Every output is checked before any is emptied: none may be the input, a grid file of the
// context or of options.gridFiles, a default grid file (GridFilesNeverOutput), or another
// output of the job. The context must be initialised for the jobs that use
// the transformation.
JobOutcome RunJob(JobKind kind, const TransformContext& context, const std::string& inputPath,
                  const std::vector<std::string>& outputPaths, const JobOptions& options = {});

// Converts a record file of one form into a record file of another (SXYZ for X, Y, Z, SFLh for
// latitude, longitude and height, SENh for E, N, h), on the same frame as the jobs.
JobOutcome RunConversion(const Conversion& conversion, const std::string& inputPath,
                         const std::string& outputPath, const JobOptions& options = {});

// How a message names a file: "standard input" or "standard output" for "-", "an empty file
// name" for "", else the path with control characters escaped.
std::string FileDisplayName(const std::string& path, bool input);

}  // namespace vortan
