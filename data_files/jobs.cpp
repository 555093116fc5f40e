#include "data_files/jobs.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <utility>

#include "core/angles.h"
#include "core/decimal_text.h"
#include "core/number_format.h"
#include "data_files/batch_scheduler.h"
#include "data_files/job_messages.h"
#include "data_files/output_files.h"
#include "data_files/record_reader.h"
#include "data_files/record_tasks.h"
#include "engine/worker_pool.h"
#include "io/display_text.h"
#include "io/files.h"
#include "io/stop_request.h"
#include "transform/grid_file.h"

namespace vortan {
namespace {

// A batch is cut by records and by bytes, and each thread holds at most two batches
// (batch_scheduler.h), so that memory stays bounded whatever the shape of the input: per thread
// two batches of at most about kBatchBytes of input and the lines printed from them, and the
// reader's buffer with one record of at most RecordReader::kMaxRecordBytes.
constexpr std::size_t kBatchRecords = 4096;         // records read at a time on one thread
constexpr std::size_t kChunkRecords = 2048;         // records a batch holds on several threads
constexpr std::size_t kBatchBytes = 256u << 10;     // input bytes of a batch (or one record)
constexpr std::size_t kLineBufferKeep = 256u << 10;  // memory an output buffer keeps

struct Stop {
  StopKind kind = StopKind::kNone;
  std::size_t record = 0;  // index in the batch
  std::string field;
  std::uint64_t line = 0;
  std::string reason;
  std::string reasonGreek;
  double easting = 0, northing = 0;  // outside the grid: the TM07 position refused
};

using Said = job_messages::Reason;

// When the TM07 position a point outside the grid had lies inside the program's extent but
// farther than a cell from the grid read, the grid is not the one of that extent (a step in
// kilometres, a southern edge without the false northing): what it covers, for the message.
std::string GridCoverage(const TransformContext& context, double easting, double northing) {
  if (!context.grids || !context.profile) return "";
  const double falseNorthing = context.profile->tm07.falseNorthing;
  if (!InsideGridBounds(context.bounds, easting, northing, falseNorthing)) return "";
  const GridHeader& h = context.grids->dE.header;
  const double beyond = std::max({h.eWest - easting, easting - h.eEast(), h.nSouth - northing,
                                  northing - h.nNorth()});
  if (!(beyond > h.step)) return "";
  return job_messages::GridCoverage(h, falseNorthing, easting, northing);
}

// What the points of a batch gave to note: how many, and the first (its record in the batch).
struct ChunkNotes {
  std::uint64_t outsideGreece = 0;
  std::size_t outsideRecord = 0;
  Where outsideWhere{0, 0};
  std::uint64_t decimalDegrees = 0;
  std::size_t degreesRecord = 0;
  int degreesField = 0;
  double degreesValue = 0;
};

// The lines of a batch, one buffer per output.
struct ChunkResult {
  std::vector<LineBuffer> lines;
  std::size_t completed = 0;  // records whose lines are all in the buffers
  Stop stop;
  ChunkNotes notes;
};

// The envelope of Greece in radians.
constexpr double kSouth = JobNotes::kSouth * kRadiansPerDegree;
constexpr double kNorth = JobNotes::kNorth * kRadiansPerDegree;
constexpr double kWest = JobNotes::kWest * kRadiansPerDegree;
constexpr double kEast = JobNotes::kEast * kRadiansPerDegree;

}  // namespace

bool OutsideGreece(double latitude, double longitude) {
  // NaN compares false: a point whose chain gave no latitude is not noted.
  return latitude < kSouth || latitude > kNorth || longitude < kWest || longitude > kEast;
}

bool PackedBelowHundred(double packed) {
  const double v = std::fabs(packed);
  return v > 0 && v < 100;
}

namespace {

// Notes what the completed points of a block show: where they are, and packed angles below 100.
void NotePoints(const RecordTask& task, const Xyz* values, const Where* where, std::size_t n,
                std::size_t firstRecord, ChunkNotes& notes) {
  const bool angles = task.ReadsAngles();
  for (std::size_t k = 0; k < n; ++k) {
    const Where& w = where[k];
    if (OutsideGreece(w.latitude, w.longitude)) {
      if (notes.outsideGreece++ == 0) {
        notes.outsideRecord = firstRecord + k;
        notes.outsideWhere = w;
      }
    }
    if (!angles) continue;
    for (int f = 0; f < 2; ++f) {
      if (PackedBelowHundred(values[k][f]) && notes.decimalDegrees++ == 0) {
        notes.degreesRecord = firstRecord + k;
        notes.degreesField = f;
        notes.degreesValue = values[k][f];
      }
    }
  }
}

// A numeric field. The plain numbers of coordinate files take the fast path of
// ReadPlainDecimalInText; anything else, and anything out of range, is left to ParseFieldNumber
// (which also words the reason).
// The value comes back through a reference, which keeps it in a register (docs/performance.md,
// "Choices measured").
bool ReadField(const RecordBatch& batch, const FieldText& field, double& value,
               std::string& reason, std::string& greek) {
  const std::string_view text = batch.Field(field);
  // Excel's short scientific form is short; the numbers of a coordinate file seldom are.
  if (ReadPlainDecimalInText(batch.text.data(), text, value) &&
      (text.size() > 9 || !IsExcelRoundedNumber(text))) {
    return true;
  }
  const std::optional<double> parsed = ParseFieldNumber(text, reason, greek);
  if (parsed) value = *parsed;
  return parsed.has_value();
}

// Computes the records of a batch into chunk, stopping at the first point that cannot be
// completed.
void ComputeChunk(const RecordTask& task, const RecordBatch& batch,
                  const std::atomic<bool>* cancel, ChunkResult& chunk) {
  // The buffers keep their memory from one batch to the next.
  chunk.lines.resize(task.OutputCount());
  for (LineBuffer& lines : chunk.lines) {
    lines.Clear();
    lines.Room(batch.records.size() * 48);
  }
  chunk.completed = 0;
  chunk.stop = Stop{};
  chunk.notes = ChunkNotes{};
  const std::array<std::string_view, 3> names = task.FieldNames();
  std::string reason, greek;
  // The records go to the task in blocks: read up to a block of them (up to one that cannot
  // be read, or a cancel), compute the block, then stop where the first stop came.
  const std::size_t blockSize =
      std::clamp<std::size_t>(task.BlockSize(), 1, RecordTask::kMaxBlock);
  std::array<std::string, RecordTask::kMaxBlock> quoted;
  std::array<std::string_view, RecordTask::kMaxBlock> ids;
  std::array<Xyz, RecordTask::kMaxBlock> values;
  std::array<Where, RecordTask::kMaxBlock> where;
  const std::size_t size = batch.records.size();
  for (std::size_t r = 0; r < size;) {
    std::size_t n = 0;
    Stop unread;  // the record after the block, when it cannot be read or the job is cancelled
    for (; n < blockSize && r + n < size; ++n) {
      const RawRecord& record = batch.records[r + n];
      if (cancel && cancel->load(std::memory_order_relaxed)) {
        unread = {StopKind::kCancelled, r + n, "", record.id.line, "", ""};
        break;
      }
      int bad = -1;
      for (int k = 0; k < 3 && bad < 0; ++k) {
        if (!ReadField(batch, record.numbers[k], values[n][k], reason, greek)) bad = k;
      }
      if (bad >= 0) {
        if (record.numbers[bad].line > record.id.line) {
          // The field was taken from a later line: a field may be missing before it.
          const Said earlier = job_messages::RecordBeginsEarlier(record.id.line);
          reason += earlier.english;
          greek += earlier.greek;
        }
        unread = {StopKind::kField, r + n, std::string(names[bad]), record.numbers[bad].line,
                  reason, greek};
        break;
      }
      ids[n] = WrittenId(batch.Field(record.id), record.idNeedsQuotes, quoted[n]);
    }
    StopKind kind = StopKind::kNone;
    StopDetail detail;
    const std::size_t done =
        n == 0 ? 0
               : task.ComputeBlock(ids.data(), values.data(), n, chunk.lines, kind, detail,
                                   where.data());
    chunk.completed += done;
    NotePoints(task, values.data(), where.data(), done, r, chunk.notes);
    if (done < n) {
      const RawRecord& record = batch.records[r + done];
      if (kind == StopKind::kOutOfRange) {
        const FieldText& field = record.numbers[detail.field];
        Said said = job_messages::OutOfRange(batch.Field(field), detail.field, detail.value);
        chunk.stop = {StopKind::kField, r + done, std::string(names[detail.field]), field.line,
                      std::move(said.english), std::move(said.greek)};
        return;
      }
      Said said;
      if (kind == StopKind::kFault) said = job_messages::NumericFault(detail.fault);
      chunk.stop = {kind,           r + done,        "", record.id.line, std::move(said.english),
                    std::move(said.greek), detail.easting, detail.northing};
      return;
    }
    if (unread.kind != StopKind::kNone) {
      chunk.stop = std::move(unread);
      return;
    }
    r += n;
  }
}

JobOutcome Fail(JobOutcome outcome, std::string file, std::uint64_t line, std::string field,
                Said reason) {
  outcome.status = JobStatus::kError;
  static_cast<Problem&>(outcome) = {std::move(file), line, std::move(field),
                                    std::move(reason.english), std::move(reason.greek)};
  return outcome;
}

JobOutcome Fail(JobOutcome outcome, const Problem& problem, std::string file) {
  return Fail(std::move(outcome), std::move(file), problem.line, problem.field,
              {problem.reason, problem.reasonGreek});
}

// Whether the job was asked to stop: its cancel flag, or a stop signal, which also makes every
// read, write and open fail (io/stop_request.h). Such a failure is the stop, not an error.
bool StopAsked(const std::atomic<bool>* cancel) {
  return (cancel && cancel->load()) || StopRequested();
}

// The outcome of a job stopped before pointId (none when it waited for the input or an
// output), with what it wrote so far.
JobOutcome Cancelled(JobOutcome outcome, std::string pointId = "") {
  outcome.status = JobStatus::kCancelled;
  outcome.pointId = std::move(pointId);
  return outcome;
}

// The files the job reads, and the grids it does not read, which no output may be.
std::vector<ReadFile> FilesRead(const TransformContext& context, int inputFd,
                                const std::string& input, const JobOptions& options) {
  std::vector<ReadFile> reads;
  if (const std::optional<FileIdentity> id = IdentityOfDescriptor(inputFd)) {
    reads.push_back({*id, "the input (" + input + ")", "η είσοδος (" + input + ")"});
  }
  if (context.grids) {
    for (const std::string* grid : {&context.dnPath, &context.dePath}) {
      if (const std::optional<FileIdentity> id = IdentityOfPath(*grid)) {
        reads.push_back({*id, "the correction grid " + DisplayText(*grid),
                         "ο κάνναβος διορθώσεων " + DisplayText(*grid)});
      }
    }
  }
  for (const std::string& grid : GridFilesNeverOutput(options.gridFiles)) {
    if (const std::optional<FileIdentity> id = IdentityOfPath(grid)) {
      reads.push_back({*id, "the correction grid " + DisplayText(grid),
                       "ο κάνναβος διορθώσεων " + DisplayText(grid), false});
    }
  }
  return reads;
}

// Writes the lines of the computed batches into the outputs, in input order, and keeps the
// outcome of the job up to date: the points and lines written, the first of each note, and the
// stop that ends the job. Reports the progress of what it has written.
class ChunkWriter {
 public:
  ChunkWriter(const RecordTask& task, const TransformContext& context, const std::string& input,
              const std::vector<std::string>& outputPaths, OutputSet& outputs,
              JobOutcome& outcome, std::uint64_t totalBytes,
              const std::function<void(const JobProgress&)>& progress,
              const std::atomic<bool>* cancel)
      : task_(task),
        context_(context),
        input_(input),
        outputPaths_(outputPaths),
        outputs_(outputs),
        outcome_(outcome),
        totalBytes_(totalBytes),
        progress_(progress),
        cancel_(cancel) {}

  // Writes the lines of a batch; returns the final outcome when the batch ends the job.
  std::optional<JobOutcome> Write(const RecordBatch& batch, const ChunkResult& chunk) {
    if (!outputs_.Append(chunk.lines)) {
      outcome_.linesWritten = outputs_.lines();
      if (StopAsked(cancel_)) {
        return Cancelled(outcome_, std::string(batch.Field(batch.records.front().id)));
      }
      const std::string& failed = outputPaths_[outputs_.failedOutput()];
      return Fail(outcome_, FileDisplayName(failed, false), 0, "",
                  job_messages::WriteFailure(outputs_.error(), failed));
    }
    outcome_.linesWritten = outputs_.lines();
    outcome_.pointsWritten += chunk.completed;
    Note(batch, chunk.notes);
    if (chunk.stop.kind == StopKind::kNone) return std::nullopt;
    return Stopped(batch, chunk.stop);
  }

  // Tells the points written and the input bytes read up to them.
  void ReportProgress(std::uint64_t bytesRead) const {
    if (progress_) progress_({outcome_.pointsWritten, bytesRead, totalBytes_});
  }

 private:
  // The first note of the job is the first of the first batch that has one.
  void Note(const RecordBatch& batch, const ChunkNotes& n) {
    JobNotes& notes = outcome_.notes;
    if (n.outsideGreece > 0 && notes.outsideGreece == 0) {
      const RawRecord& record = batch.records[n.outsideRecord];
      notes.outsideId = std::string(batch.Field(record.id));
      notes.outsideLine = record.id.line;
      notes.outsideLatitude = n.outsideWhere.latitude / kRadiansPerDegree;
      notes.outsideLongitude = n.outsideWhere.longitude / kRadiansPerDegree;
    }
    notes.outsideGreece += n.outsideGreece;
    if (n.decimalDegrees > 0 && notes.decimalDegrees == 0) {
      const RawRecord& record = batch.records[n.degreesRecord];
      notes.degreesId = std::string(batch.Field(record.id));
      notes.degreesLine = record.numbers[n.degreesField].line;
      notes.degreesField = std::string(task_.FieldNames()[n.degreesField]);
      notes.degreesText = std::string(batch.Field(record.numbers[n.degreesField]));
      notes.degreesValue = n.degreesValue;
    }
    notes.decimalDegrees += n.decimalDegrees;
  }

  // The outcome of a job that a point of the batch stopped.
  JobOutcome Stopped(const RecordBatch& batch, const Stop& stop) {
    const RawRecord& record = batch.records[stop.record];
    outcome_.pointId = std::string(batch.Field(record.id));
    switch (stop.kind) {
      case StopKind::kOutsideGrid:
        outcome_.status = JobStatus::kOutsideGrid;
        outcome_.file = input_;
        outcome_.line = stop.line;
        outcome_.gridCoverage = GridCoverage(context_, stop.easting, stop.northing);
        return outcome_;
      case StopKind::kCancelled:
        // Where the job stopped: the point not converted, at its line of the input.
        outcome_.status = JobStatus::kCancelled;
        outcome_.file = input_;
        outcome_.line = stop.line;
        return outcome_;
      case StopKind::kField:
      case StopKind::kFault:
      case StopKind::kOutOfRange:  // turned into a field's stop by ComputeChunk
      case StopKind::kNone:        // not given here (Write)
        break;
    }
    return Fail(outcome_, input_, stop.line, stop.field, {stop.reason, stop.reasonGreek});
  }

  const RecordTask& task_;
  const TransformContext& context_;
  const std::string& input_;
  const std::vector<std::string>& outputPaths_;
  OutputSet& outputs_;
  JobOutcome& outcome_;
  const std::uint64_t totalBytes_;
  const std::function<void(const JobProgress&)>& progress_;
  const std::atomic<bool>* cancel_;
};

// The records on this thread and the pool's (none without a pool), through the task batch by
// batch (batch_scheduler.h), the lines written in input order. The final outcome when a batch
// ends the job before the input does.
std::optional<JobOutcome> RunBatches(const RecordTask& task, RecordReader& reader,
                                     ChunkWriter& writer, WorkerPool* pool,
                                     const std::atomic<bool>* cancel) {
  // The results of each slot's batch (batch_scheduler.h), its buffers kept from one batch to
  // the next.
  std::vector<ChunkResult> chunks(pool ? BatchSteps::kPerThread *
                                             static_cast<std::size_t>(pool->threads())
                                       : 1);
  std::optional<JobOutcome> end;
  BatchSteps steps;
  steps.records = pool ? kChunkRecords : kBatchRecords;
  steps.bytes = kBatchBytes;
  steps.compute = [&](const RecordBatch& batch, std::size_t slot) {
    for (LineBuffer& lines : chunks[slot].lines) lines.Shrink(kLineBufferKeep);
    ComputeChunk(task, batch, cancel, chunks[slot]);
  };
  steps.write = [&](const RecordBatch& batch, std::size_t slot) {
    end = writer.Write(batch, chunks[slot]);
    return end.has_value();
  };
  steps.progress = [&](std::uint64_t bytes) { writer.ReportProgress(bytes); };
  vortan::RunBatches(reader, steps, pool);
  return end;
}

// The frame of every record job: paths checked, input opened before any output, outputs
// checked before any is emptied, the records streamed in batches through the task (on several
// threads if asked), the lines written in input order, and what happened.
JobOutcome RunRecords(const RecordTask& task, const TransformContext& context,
                      const std::string& name, const std::string& inputPath,
                      const std::vector<std::string>& outputPaths, const JobOptions& options) {
  JobOutcome outcome;
  outcome.outputs = outputPaths;
  outcome.threadsAsked = std::max(1, options.threads);
  outcome.threadsUsed = outcome.threadsAsked;
  const std::string input = FileDisplayName(inputPath, true);
  outcome.input = input;
  if (outputPaths.size() != task.OutputCount()) {
    return Fail(outcome, "", 0, "",
                job_messages::OutputCount(name, task.OutputCount(), outputPaths.size()));
  }
  if (task.UsesTransform() && !context.Ready()) {
    const bool grids = context.profile && context.profile->hasGrids;
    return Fail(outcome, "", 0, "", job_messages::InitialStepMissing(grids));
  }
  if (inputPath.empty()) {
    return Fail(outcome, input, 0, "", job_messages::EmptyInputName());
  }

  // The input is opened before any output is created.
  if (const std::string device = ReservedDeviceName(inputPath); !device.empty()) {
    return Fail(outcome, input, 0, "",
                {ReservedDeviceReason(device), ReservedDeviceReasonGreek(device)});
  }
  const int inFd = inputPath == "-" ? kStandardInput : OpenForReading(inputPath);
  if (inFd < 0) {
    const int error = errno;
    if (StopAsked(options.cancel)) return Cancelled(outcome);
    if (const std::string cause = PathProblem(inputPath, error); !cause.empty()) {
      return Fail(outcome, input, 0, "", {cause, PathProblemGreek(inputPath, error)});
    }
    return Fail(outcome, input, 0, "", job_messages::InputCannotOpen(error));
  }
  struct InputCloser {
    int fd;
    ~InputCloser() {
      if (fd != kStandardInput) CloseFile(fd);
    }
  } inCloser{inFd};
  if (IsFolder(inFd)) {
    return Fail(outcome, input, 0, "", job_messages::InputIsFolder());
  }
  std::uint64_t totalBytes = RegularFileSize(inFd).value_or(0);

  // A file of another kind or encoding is refused before any output is touched.
  RecordReader reader(inFd, task.FieldNames());
  if (!options.part.whole()) {
    const JobOptions::InputPart& part = options.part;
    if (!ReadFrom(inFd, part.offset) || part.offset > totalBytes) {
      return Fail(outcome, input, 0, "", job_messages::PartCannotBeRead(part.offset, totalBytes));
    }
    // A part begins where a line does: after a line break, or at the start of the file.
    char before = '\n';
    if (part.offset > 0 && (!ReadFrom(inFd, part.offset - 1) || ReadSome(inFd, &before, 1) != 1 ||
                            (before != '\n' && before != '\r'))) {
      return Fail(outcome, input, 0, "", job_messages::PartInsideLine(part.offset));
    }
    totalBytes = std::min(totalBytes - part.offset, part.length);
    reader.ReadPart(part.length, part.firstLine);
  }
  if (!reader.Start()) {
    return StopAsked(options.cancel) ? Cancelled(outcome) : Fail(outcome, reader.error(), input);
  }

  OutputSet outputs;
  if (const std::optional<OutputError> error =
          outputs.Open(outputPaths, FilesRead(context, inFd, input, options))) {
    if (StopAsked(options.cancel)) return Cancelled(outcome);
    return Fail(outcome, FileDisplayName(outputPaths[error->output], false), 0, "",
                {error->reason, error->reasonGreek});
  }
  outcome.outputsCreated = true;
  outcome.linesWritten.assign(outputs.size(), 0);
  outcome.discarded = outputs.discarded();

  ChunkWriter writer(task, context, input, outputPaths, outputs, outcome, totalBytes,
                     options.progress, options.cancel);
  try {
    std::unique_ptr<WorkerPool> pool;
    if (outcome.threadsAsked > 1) pool = std::make_unique<WorkerPool>(outcome.threadsAsked);
    outcome.threadsUsed = pool ? pool->threads() : 1;
    const std::optional<JobOutcome> end = RunBatches(
        task, reader, writer, outcome.threadsUsed > 1 ? pool.get() : nullptr, options.cancel);
    if (end) return *end;
  } catch (const std::bad_alloc&) {
    outcome.linesWritten = outputs.lines();
    return Fail(outcome, input, 0, "", job_messages::NoMemoryDuringRecords());
  }
  if (reader.failed()) {
    outcome.linesWritten = outputs.lines();
    return StopAsked(options.cancel) ? Cancelled(outcome) : Fail(outcome, reader.error(), input);
  }
  if (!outputs.Close()) {
    const std::string& failed = outputPaths[outputs.failedOutput()];
    return Fail(outcome, FileDisplayName(failed, false), 0, "",
                job_messages::WriteFailure(outputs.error(), failed));
  }
  return outcome;
}

}  // namespace

std::string FileDisplayName(const std::string& path, bool input) {
  if (path == "-") return input ? "standard input" : "standard output";
  return DisplayFileName(path);
}

namespace {

// A job that found no memory before or after its records: an error like the others.
JobOutcome OutOfMemory(const std::vector<std::string>& outputs) {
  JobOutcome outcome;
  outcome.outputs = outputs;
  return Fail(outcome, "", 0, "", job_messages::NoMemoryForJob());
}

}  // namespace

JobOutcome RunJob(JobKind kind, const TransformContext& context, const std::string& inputPath,
                  const std::vector<std::string>& outputPaths, const JobOptions& options) {
  try {
    const std::unique_ptr<RecordTask> task = MakeJobTask(kind, context, options.routines);
    return RunRecords(*task, context, "the job " + std::string(DefinitionOf(kind).cliName),
                      inputPath, outputPaths, options);
  } catch (const std::bad_alloc&) {
    return OutOfMemory(outputPaths);
  }
}

JobOutcome RunConversion(const Conversion& conversion, const std::string& inputPath,
                         const std::string& outputPath, const JobOptions& options) {
  try {
    const std::unique_ptr<RecordTask> task = MakeConversionTask(conversion);
    return RunRecords(*task, conversion.context(), "convert", inputPath, {outputPath}, options);
  } catch (const std::bad_alloc&) {
    return OutOfMemory({outputPath});
  }
}

}  // namespace vortan
