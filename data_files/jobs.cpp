#include "data_files/jobs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "core/angles.h"
#include "core/cartesian.h"
#include "core/decimal_text.h"
#include "core/number_format.h"
#include "core/numeric_guard.h"
#include "core/transverse_mercator.h"
#include "data_files/record_reader.h"

namespace vortan {

namespace {

namespace pat = patterns;

constexpr std::size_t kBatchRecords = 4096;  // records read at a time on one thread
constexpr std::size_t kChunkRecords = 2048;  // records a worker computes at a time

// Why a point stopped the job.
enum class StopKind { kNone, kField, kFault, kOutsideGrid, kCancelled };

struct Stop {
  StopKind kind = StopKind::kNone;
  std::size_t record = 0;  // index in the batch
  std::string field;
  std::uint64_t line = 0;
  std::string reason;
};

// Lines for one output file. Its memory stays from one chunk to the next.
class LineBuffer {
 public:
  // Room for n more characters behind the current end.
  char* Room(std::size_t n) {
    if (data_.size() - size_ < n) data_.resize(std::max(2 * data_.size(), size_ + n));
    return data_.data() + size_;
  }
  void Grow(std::size_t n) { size_ += n; }
  void EndLine() { ++lines_; }
  void Clear() {
    size_ = 0;
    lines_ = 0;
  }
  std::uint64_t lines() const { return lines_; }
  const char* data() const { return data_.data(); }
  std::size_t size() const { return size_; }

 private:
  std::vector<char> data_;
  std::size_t size_ = 0;
  std::uint64_t lines_ = 0;
};

// One output line printed straight into a LineBuffer: fields joined by "," with no spaces,
// ended by CR LF (the layout of LineBuilder).
class LineOut {
 public:
  explicit LineOut(LineBuffer& out) : out_(out) {}
  LineOut& Id(std::string_view id) {
    if (!id.empty()) std::memcpy(out_.Room(id.size()), id.data(), id.size());
    out_.Grow(id.size());
    return *this;
  }
  LineOut& Number(double value, NumberPattern pattern) {
    char* at = out_.Room(kMaxFormattedLength + 1);
    at[0] = ',';
    out_.Grow(1 + FormatNumber(value, pattern, at + 1));
    return *this;
  }
  void End() {
    char* at = out_.Room(2);
    at[0] = '\r';
    at[1] = '\n';
    out_.Grow(2);
    out_.EndLine();
  }

 private:
  LineBuffer& out_;
};

// The lines of a contiguous run of records of one batch, one buffer per output.
struct ChunkResult {
  std::vector<LineBuffer> lines;
  std::size_t completed = 0;  // records whose lines are all in the buffers
  Stop stop;
};

// Per-job computation of one point: writes its lines in the job's order and returns kNone, or
// why it stopped (the lines written before the stop stay).
class PointComputer {
 public:
  PointComputer(JobKind kind, const TransformContext& context)
      : kind_(kind),
        context_(context),
        tm87_(MakeGrs80Params(context.profile->tm87)),
        tm07_(MakeGrs80Params(context.profile->tm07)) {}

  // The chains compute the whole point first and test the fault flags once; a point that
  // raised one (far outside the served area) is computed again step by step, so that it writes
  // exactly the lines that come before the step that failed.
  StopKind Compute(std::string_view id, const double v[3], std::vector<LineBuffer>& out,
                   std::string& fault) const {
    switch (kind_) {
      case JobKind::kSenhToHtrs07: {
        NumericGuard guard;
        const TmInverseResult g87 = TmInverse(tm87_, v[0], v[1]);
        const BackChainResult r = Ggrs87ToHtrs07(context_, g87.latitude, g87.longitude, v[2]);
        if (!guard.Clean()) break;
        WriteGgrs87Sflh(id, g87, v[2], out);
        if (r.status == ChainStatus::kOutsideGrid) return StopKind::kOutsideGrid;
        WriteHtrs07Lines(id, r, out);
        return StopKind::kNone;
      }
      case JobKind::kSxyzToGgrs87: {
        NumericGuard guard;
        const Htrs07PointResult r = Htrs07PointToGgrs87(context_, v[0], v[1], v[2]);
        const double packedPhi = RadiansToDms(r.htrs07.latitude).packed;
        const double packedLambda = RadiansToDms(r.htrs07.longitude).packed;
        if (!guard.Clean()) break;
        WriteHtrs07Lines(id, packedPhi, packedLambda, r.htrs07.height, r.tm07, out);
        if (r.ggrs87.status == ChainStatus::kOutsideGrid) return StopKind::kOutsideGrid;
        WriteGgrs87Lines(id, r.ggrs87, out);
        return StopKind::kNone;
      }
      default:
        break;
    }
    return ComputeInSteps(id, v, out, fault);
  }

 private:
  // Computes the point step by step, testing the fault flags after each step.
  StopKind ComputeInSteps(std::string_view id, const double v[3], std::vector<LineBuffer>& out,
                          std::string& fault) const {
    NumericGuard guard;
    // A line is written only while no numeric fault has been raised for the point.
    auto clean = [&]() {
      if (guard.Clean()) return true;
      fault = guard.Fault();
      return false;
    };
    switch (kind_) {
      case JobKind::kSflhToSenh: {
        const LatLon ll = PackedPairToRadians(v[0], v[1]);
        const GridPoint p = TmForward(tm87_, ll.latitude, ll.longitude - CentralMeridianRad(tm87_));
        if (!clean()) return StopKind::kFault;
        LineOut(out[0]).Id(id).Number(p.easting, pat::kMetres).Number(p.northing, pat::kMetres)
            .Number(v[2], pat::kMetres).End();
        return StopKind::kNone;
      }
      case JobKind::kSflhToSxyz: {
        const LatLon ll = PackedPairToRadians(v[0], v[1]);
        const Cartesian c = GeodeticToCartesian(tm07_, ll.latitude, ll.longitude, v[2]);
        if (!clean()) return StopKind::kFault;
        LineOut(out[0]).Id(id).Number(c.x, pat::kMetres).Number(c.y, pat::kMetres)
            .Number(c.z, pat::kMetres).End();
        return StopKind::kNone;
      }
      case JobKind::kSenhToHtrs07: {
        const TmInverseResult g87 = TmInverse(tm87_, v[0], v[1]);
        if (!clean()) return StopKind::kFault;
        WriteGgrs87Sflh(id, g87, v[2], out);
        const BackChainResult r = Ggrs87ToHtrs07(context_, g87.latitude, g87.longitude, v[2]);
        if (!clean()) return StopKind::kFault;
        if (r.status == ChainStatus::kOutsideGrid) return StopKind::kOutsideGrid;
        WriteHtrs07Lines(id, r, out);
        return StopKind::kNone;
      }
      case JobKind::kSxyzToGgrs87: {
        const Geodetic g07 = CartesianToGeodetic(tm07_, v[0], v[1], v[2]);
        const double packedPhi = RadiansToDms(g07.latitude).packed;
        const double packedLambda = RadiansToDms(g07.longitude).packed;
        if (!clean()) return StopKind::kFault;
        LineOut(out[0]).Id(id).Number(packedPhi, pat::kPacked)
            .Number(packedLambda, pat::kPacked).Number(g07.height, pat::kMetres).End();
        const double dLambda = g07.longitude - CentralMeridianRad(tm07_);
        const GridPointScale p07 = TmForwardScale(tm07_, g07.latitude, dLambda);
        if (!clean()) return StopKind::kFault;
        LineOut(out[1]).Id(id).Number(p07.easting, pat::kMetres)
            .Number(p07.northing, pat::kMetres).Number(p07.scale, pat::kScale).End();
        const ForwardChainResult r =
            Htrs07ToGgrs87(context_, v[0], v[1], v[2], p07.easting, p07.northing);
        if (!clean()) return StopKind::kFault;
        if (r.status == ChainStatus::kOutsideGrid) return StopKind::kOutsideGrid;
        WriteGgrs87Lines(id, r, out);
        return StopKind::kNone;
      }
    }
    return StopKind::kNone;
  }

  // senh-to-htrs07. Outputs in dialog order: GGRS87 SFLh, HTRS07 SFL, HTRS07 SEN; written
  // SFLh, SEN, SFL.
  static void WriteGgrs87Sflh(std::string_view id, const TmInverseResult& g87, double h,
                              std::vector<LineBuffer>& out) {
    LineOut(out[0]).Id(id).Number(g87.packedLatitude, pat::kPacked)
        .Number(g87.packedLongitude, pat::kPacked).Number(h, pat::kMetres).End();
  }
  static void WriteHtrs07Lines(std::string_view id, const BackChainResult& r,
                               std::vector<LineBuffer>& out) {
    LineOut(out[2]).Id(id).Number(r.e07, pat::kMetres).Number(r.n07, pat::kMetres).End();
    LineOut(out[1]).Id(id).Number(r.packedPhi07, pat::kPacked)
        .Number(r.packedLambda07, pat::kPacked).End();
  }

  // sxyz-to-ggrs87: HTRS07 SFLh and SENk, then GGRS87 SFL and SEN.
  static void WriteHtrs07Lines(std::string_view id, double packedPhi, double packedLambda,
                               double h, const GridPointScale& p07,
                               std::vector<LineBuffer>& out) {
    LineOut(out[0]).Id(id).Number(packedPhi, pat::kPacked)
        .Number(packedLambda, pat::kPacked).Number(h, pat::kMetres).End();
    LineOut(out[1]).Id(id).Number(p07.easting, pat::kMetres)
        .Number(p07.northing, pat::kMetres).Number(p07.scale, pat::kScale).End();
  }
  static void WriteGgrs87Lines(std::string_view id, const ForwardChainResult& r,
                               std::vector<LineBuffer>& out) {
    LineOut(out[2]).Id(id).Number(r.packedPhi87, pat::kPacked)
        .Number(r.packedLambda87, pat::kPacked).End();
    LineOut(out[3]).Id(id).Number(r.e87, pat::kMetres).Number(r.n87, pat::kMetres).End();
  }

  JobKind kind_;
  const TransformContext& context_;
  GeodeticParams tm87_;
  GeodeticParams tm07_;
};

// A numeric field. The plain numbers of coordinate files take the fast path of
// ReadPlainDecimalFast; anything else, and anything out of range, is left to ParseFieldNumber
// (which also words the reason).
// The value comes back through a reference: an optional<double> returned here went through
// memory in a way that stalled the processor on every field.
bool ReadField(std::string_view text, double& value, std::string& reason) {
  if (ReadPlainDecimalFast(text, value)) return true;
  const std::optional<double> parsed = ParseFieldNumber(text, reason);
  if (parsed) value = *parsed;
  return parsed.has_value();
}

// Computes the records of a batch into chunk, stopping at the first point that cannot be
// completed.
void ComputeChunk(const PointComputer& computer, const JobDefinition& job, const RecordBatch& batch,
                  const std::atomic<bool>* cancel, ChunkResult& chunk) {
  // The buffers keep their memory from one chunk to the next.
  chunk.lines.resize(job.outputCount());
  for (LineBuffer& lines : chunk.lines) {
    lines.Clear();
    lines.Room(batch.records.size() * 48);
  }
  chunk.completed = 0;
  chunk.stop = Stop{};
  std::string reason;
  for (std::size_t r = 0; r < batch.records.size(); ++r) {
    const RawRecord& record = batch.records[r];
    if (cancel && cancel->load(std::memory_order_relaxed)) {
      chunk.stop = {StopKind::kCancelled, r, "", record.id.line, ""};
      return;
    }
    double values[3];
    for (int n = 0; n < 3; ++n) {
      if (!ReadField(batch.Field(record.numbers[n]), values[n], reason)) {
        if (record.numbers[n].line > record.id.line) {
          // The field was taken from a later line: a field may be missing before it.
          reason += " (the record begins on line " + std::to_string(record.id.line) +
                    "; is a field missing there?)";
        }
        chunk.stop = {StopKind::kField, r, std::string(job.fieldNames[n]), record.numbers[n].line,
                      reason};
        return;
      }
    }
    std::string fault;
    const StopKind kind = computer.Compute(batch.Field(record.id), values, chunk.lines, fault);
    if (kind != StopKind::kNone) {
      chunk.stop = {kind, r, "", record.id.line,
                    kind == StopKind::kFault
                        ? "numeric fault (" + fault +
                              ") in the computation of this point: its coordinates are far "
                              "outside the area the conversion serves; correct or remove it"
                        : ""};
      return;
    }
    ++chunk.completed;
  }
}

// A chunk of records read in input order, and what its points gave.
struct Slot {
  RecordBatch batch;
  ChunkResult result;
};

// A ring of slots and a pool of worker threads that compute the submitted slots. The reading
// thread submits chunks in input order, collects them in the same order and, while the oldest
// is not done, computes queued chunks itself: on `threads` threads in all (the caller and
// threads - 1 workers, which live as long as the job).
class ChunkPipeline {
 public:
  ChunkPipeline(int threads, std::function<void(Slot&)> compute)
      : compute_(std::move(compute)),
        slots_(2 * static_cast<std::size_t>(threads) + 2),
        done_(slots_.size(), false) {
    for (int t = 1; t < threads; ++t) workers_.emplace_back([this] { Work(); });
  }
  ~ChunkPipeline() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closing_ = true;
    }
    workAvailable_.notify_all();
    for (std::thread& w : workers_) w.join();
  }
  ChunkPipeline(const ChunkPipeline&) = delete;
  ChunkPipeline& operator=(const ChunkPipeline&) = delete;

  std::size_t slotCount() const { return slots_.size(); }
  // The slot of chunk `sequence`; free to fill once the chunk slotCount() before it is written.
  Slot& At(std::uint64_t sequence) { return slots_[sequence % slots_.size()]; }

  void Submit(std::uint64_t sequence) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_[sequence % slots_.size()] = false;
      queue_.push_back(sequence);
    }
    workAvailable_.notify_one();
  }

  bool Done(std::uint64_t sequence) {
    std::lock_guard<std::mutex> lock(mutex_);
    return done_[sequence % slots_.size()];
  }

  Slot& WaitDone(std::uint64_t sequence) {
    std::unique_lock<std::mutex> lock(mutex_);
    chunkDone_.wait(lock, [&] { return static_cast<bool>(done_[sequence % slots_.size()]); });
    return At(sequence);
  }

  // Computes the oldest queued chunk on the calling thread; false when none is queued.
  bool ComputeOne() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (queue_.empty()) return false;
    ComputeFront(lock);
    return true;
  }

 private:
  void Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      workAvailable_.wait(lock, [&] { return closing_ || !queue_.empty(); });
      if (closing_) return;
      ComputeFront(lock);
      chunkDone_.notify_one();
    }
  }

  // Takes the oldest queued chunk (the queue is not empty), computes it without the lock and
  // marks it done; returns with the lock held.
  void ComputeFront(std::unique_lock<std::mutex>& lock) {
    const std::uint64_t sequence = queue_.front();
    queue_.pop_front();
    lock.unlock();
    compute_(At(sequence));
    lock.lock();
    done_[sequence % slots_.size()] = true;
  }

  std::function<void(Slot&)> compute_;
  std::vector<Slot> slots_;
  std::vector<bool> done_;
  std::deque<std::uint64_t> queue_;
  bool closing_ = false;
  std::mutex mutex_;
  std::condition_variable workAvailable_;
  std::condition_variable chunkDone_;
  std::vector<std::thread> workers_;
};

bool SamePath(const std::string& a, const std::string& b) {
  if (a == "-" || b == "-") return a == b;
  namespace fs = std::filesystem;
  std::error_code ec1, ec2;
  if (fs::exists(a, ec1) && fs::exists(b, ec2)) {
    std::error_code ec;
    const bool same = fs::equivalent(a, b, ec);
    if (!ec) return same;
  }
  std::error_code ec;
  const fs::path pa = fs::weakly_canonical(fs::absolute(a, ec), ec);
  const fs::path pb = fs::weakly_canonical(fs::absolute(b, ec), ec);
  return pa == pb;
}

std::string SystemReason(int error) {
  switch (error) {
    case ENOENT: return "no such file or folder";
    case EACCES: return "permission denied";
    case EISDIR: return "it is a folder";
    case ENOSPC: return "no space left on the device";
    default: return std::strerror(error);
  }
}

// One output file: whole lines are appended; a failed write is cut back to the last complete
// line, so that the file never ends in half a line.
class OutputFile {
 public:
  OutputFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  ~OutputFile() { Close(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Append(const LineBuffer& lines) {
    std::size_t done = 0;
    while (done < lines.size()) {
      const ssize_t n = ::write(fd_, lines.data() + done, lines.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error_ = n < 0 ? errno : ENOSPC;
        if (done > 0 && path_ != "-") {
          if (::ftruncate(fd_, static_cast<off_t>(committed_)) == 0) {
            ::lseek(fd_, static_cast<off_t>(committed_), SEEK_SET);
          }
        }
        return false;
      }
      done += static_cast<std::size_t>(n);
    }
    committed_ += lines.size();
    return true;
  }

  bool Close() {
    if (fd_ < 0) return true;
    const bool ok = path_ == "-" ? true : ::close(fd_) == 0;
    if (!ok && error_ == 0) error_ = errno;
    fd_ = -1;
    return ok;
  }

  const std::string& path() const { return path_; }
  int error() const { return error_; }

 private:
  std::string path_;
  int fd_;
  std::uint64_t committed_ = 0;
  int error_ = 0;
};

JobOutcome Fail(JobOutcome outcome, std::string file, std::uint64_t line, std::string field,
                std::string reason) {
  outcome.status = JobStatus::kError;
  outcome.file = std::move(file);
  outcome.line = line;
  outcome.field = std::move(field);
  outcome.reason = std::move(reason);
  return outcome;
}

std::string DisplayPath(const std::string& path, bool input) {
  if (path == "-") return input ? "standard input" : "standard output";
  return path;
}

}  // namespace

JobOutcome RunJob(JobKind kind, const TransformContext& context, const std::string& inputPath,
                  const std::vector<std::string>& outputPaths, const JobOptions& options) {
  const JobDefinition& job = DefinitionOf(kind);
  JobOutcome outcome;
  outcome.outputs = outputPaths;
  const std::string input = DisplayPath(inputPath, true);
  if (outputPaths.size() != job.outputCount()) {
    return Fail(outcome, "", 0, "",
                "the job " + std::string(job.cliName) + " writes " +
                    std::to_string(job.outputCount()) + " output files, " +
                    std::to_string(outputPaths.size()) + " were given");
  }
  if (job.usesTransform && !context.Ready()) {
    return Fail(outcome, "", 0, "",
                "the initial step has not run: the transformation parameters" +
                    std::string(context.profile && context.profile->hasGrids
                                    ? " and the correction grids are not loaded"
                                    : " are not set"));
  }
  // Neither the input nor another output may be destroyed by an output.
  for (std::size_t i = 0; i < outputPaths.size(); ++i) {
    // "-" as input is standard input and as output standard output: never the same.
    if (inputPath != "-" && SamePath(outputPaths[i], inputPath)) {
      return Fail(outcome, outputPaths[i], 0, "",
                  "this output is the input file; choose another name so that the input is "
                  "not overwritten");
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (SamePath(outputPaths[i], outputPaths[j])) {
        return Fail(outcome, outputPaths[i], 0, "",
                    "this path is given for two outputs of the job; give each output its own "
                    "file");
      }
    }
  }

  // The input is opened before any output is created.
  const int inFd = inputPath == "-" ? STDIN_FILENO : ::open(inputPath.c_str(), O_RDONLY);
  if (inFd < 0) {
    return Fail(outcome, input, 0, "",
                "cannot be opened (" + SystemReason(errno) + "); check the name and the folder");
  }
  struct FdCloser {
    int fd;
    ~FdCloser() {
      if (fd != STDIN_FILENO) ::close(fd);
    }
  } inCloser{inFd};
  struct stat st {};
  std::uint64_t totalBytes = 0;
  if (::fstat(inFd, &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      return Fail(outcome, input, 0, "", "is a folder, not a coordinate file; choose a file");
    }
    if (S_ISREG(st.st_mode)) totalBytes = static_cast<std::uint64_t>(st.st_size);
  }

  std::vector<std::unique_ptr<OutputFile>> outputs;
  for (const std::string& path : outputPaths) {
    const int fd = path == "-" ? STDOUT_FILENO
                               : ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                                        0666);
    if (fd < 0) {
      const int error = errno;
      const bool noFolder = error == ENOENT;
      return Fail(outcome, path, 0, "",
                  "cannot be created (" + SystemReason(error) + ")" +
                      (noFolder ? "; the folder does not exist, create it or choose another"
                                : "; choose another place"));
    }
    outputs.push_back(std::make_unique<OutputFile>(path, fd));
  }
  outcome.outputsCreated = true;
  outcome.linesWritten.assign(outputs.size(), 0);

  const PointComputer computer(kind, context);
  RecordReader reader(inFd, job.fieldNames);
  // Writes the lines of a chunk; returns the final outcome when the chunk ends the job.
  auto writeChunk = [&](const RecordBatch& batch, const ChunkResult& chunk)
      -> std::optional<JobOutcome> {
    for (std::size_t o = 0; o < outputs.size(); ++o) {
      if (!outputs[o]->Append(chunk.lines[o])) {
        return Fail(outcome, outputs[o]->path(), 0, "",
                    "cannot be written (" + SystemReason(outputs[o]->error()) +
                        "); the file holds complete lines only. Free some space or choose "
                        "another place, then run the job again");
      }
    }
    outcome.pointsWritten += chunk.completed;
    for (std::size_t o = 0; o < outputs.size(); ++o) outcome.linesWritten[o] += chunk.lines[o].lines();
    const Stop& stop = chunk.stop;
    if (stop.kind == StopKind::kNone) return std::nullopt;
    const RawRecord& record = batch.records[stop.record];
    outcome.pointId = std::string(batch.Field(record.id));
    switch (stop.kind) {
      case StopKind::kOutsideGrid:
        outcome.status = JobStatus::kOutsideGrid;
        outcome.file = input;
        outcome.line = stop.line;
        return outcome;
      case StopKind::kCancelled:
        outcome.status = JobStatus::kCancelled;
        return outcome;
      case StopKind::kField:
      case StopKind::kFault:
        return Fail(outcome, input, stop.line, stop.field, stop.reason);
      case StopKind::kNone:
        break;
    }
    return std::nullopt;
  };
  auto reportProgress = [&] {
    if (options.progress) {
      options.progress({outcome.pointsWritten, reader.bytesConsumed(), totalBytes});
    }
  };

  if (options.threads <= 1) {
    // One thread: read a batch, compute it, write it.
    RecordBatch batch;
    ChunkResult chunk;
    bool more = true;
    while (more) {
      more = reader.ReadBatch(batch, kBatchRecords);
      ComputeChunk(computer, job, batch, options.cancel, chunk);
      if (std::optional<JobOutcome> end = writeChunk(batch, chunk)) return *end;
      reportProgress();
    }
  } else {
    // Several threads: this thread keeps the ring full of chunks read ahead, writes the
    // finished ones in input order, and in between computes chunks like the workers.
    ChunkPipeline pipeline(options.threads, [&](Slot& slot) {
      ComputeChunk(computer, job, slot.batch, options.cancel, slot.result);
    });
    std::uint64_t read = 0, written = 0, sinceProgress = 0;
    bool more = true;
    while (more || written < read) {
      if (more && read - written < pipeline.slotCount()) {
        Slot& slot = pipeline.At(read);
        more = reader.ReadBatch(slot.batch, kChunkRecords);
        if (!slot.batch.records.empty()) pipeline.Submit(read++);
        continue;
      }
      if (!pipeline.Done(written) && pipeline.ComputeOne()) continue;
      Slot& slot = pipeline.WaitDone(written);
      if (std::optional<JobOutcome> end = writeChunk(slot.batch, slot.result)) return *end;
      ++written;
      sinceProgress += slot.batch.records.size();
      if (sinceProgress >= kBatchRecords || (!more && written == read)) {
        sinceProgress = 0;
        reportProgress();
      }
    }
  }
  if (reader.failed()) {
    const ReadError& e = reader.error();
    return Fail(outcome, input, e.line, e.field, e.reason);
  }
  for (auto& out : outputs) {
    if (!out->Close()) {
      return Fail(outcome, out->path(), 0, "",
                  "cannot be written (" + SystemReason(out->error()) + ")");
    }
  }
  return outcome;
}

std::string JobOutcome::Message() const {
  auto written = [&] {
    if (!outputsCreated) return std::string("Nothing was written");
    std::string s = std::to_string(pointsWritten) + (pointsWritten == 1 ? " point" : " points") +
                    " written";
    if (!outputs.empty()) {
      s += " to ";
      for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (i > 0) s += i + 1 == outputs.size() ? " and " : ", ";
        s += DisplayPath(outputs[i], false);
      }
    }
    return s;
  };
  switch (status) {
    case JobStatus::kDone:
      return written() + ".";
    case JobStatus::kCancelled:
      return "Cancelled before point " + pointId + ": " + written() + ".";
    case JobStatus::kOutsideGrid:
      return "Το σημείο είναι εκτός του καννάβου : " + pointId + "\nThe point " + pointId +
             " (" + file + ", line " + std::to_string(line) +
             ") lies outside the correction grid; the job stopped there. " + written() + ".";
    case JobStatus::kError: {
      std::string where = file;
      if (line > 0) where += ", line " + std::to_string(line);
      if (!field.empty()) where += ", field " + field;
      std::string s = where.empty() ? reason : where + ": " + reason;
      s += ". " + written() + ".";
      return s;
    }
  }
  return "";
}

}  // namespace vortan
