// vortan._vortan: the conversion engine, the record jobs and convert on record texts for
// Python. This layer only moves values: the package (vortan/__init__.py) gives it its pyproj
// style, shapes, scalars and exceptions. Arrays come in as contiguous float64 and go straight
// to the engine's batch call; the GIL is released while it computes.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "core/geodetic_params.h"
#include "core/lanes.h"
#include "engine/session.h"
#include "data_files/job_table.h"
#include "data_files/jobs.h"
#include "engine/conversion.h"
#include "engine/crs.h"
#include "engine/crs_recognition.h"
#include "engine/forms.h"
#include "engine/worker_pool.h"
#include "transform/datum.h"
#include "transform/regions.h"
#include "vortan/version.h"

namespace py = pybind11;

namespace vortan {
namespace {

using Array = py::array_t<double, py::array::c_style | py::array::forcecast>;


const RegionProfile& ProfileOf(const std::string& region) {
  if (const RegionProfile* profile = FindRegion(region)) return *profile;
  throw py::value_error("unknown region '" + region + "' (" + RegionNameList() + ")");
}

Form FormOf(const std::string& name) {
  if (const std::optional<Form> form = FormOfName(name)) return *form;
  throw py::value_error("unknown form '" + name + "' (" + FormNameList() + ")");
}

int EveryCore() { return std::max(1, static_cast<int>(std::thread::hardware_concurrency())); }

const char* StatusName(PointStatus status) {
  switch (status) {
    case PointStatus::kDone: return "done";
    case PointStatus::kOutsideGrid: return "outside-grid";
    case PointStatus::kFault: return "fault";
    case PointStatus::kNoValue: return "no-value";
    case PointStatus::kOutOfRange: return "out-of-range";
  }
  return "";
}

const char* JobStatusName(JobStatus status) {
  switch (status) {
    case JobStatus::kDone: return "done";
    case JobStatus::kOutsideGrid: return "outside-grid";
    case JobStatus::kCancelled: return "cancelled";
    case JobStatus::kError: return "error";
  }
  return "";
}

// A job outcome as a dict the package turns into a return value or an exception.
py::dict OutcomeDict(const JobOutcome& o) {
  py::dict d;
  d["status"] = JobStatusName(o.status);
  d["points_written"] = o.pointsWritten;
  d["point_id"] = py::bytes(o.pointId);
  d["file"] = o.file;
  d["line"] = o.line;
  d["field"] = o.field;
  d["reason"] = o.reason;
  d["message"] = o.Message();
  return d;
}

// The initial step for a context, from the grid files; a bad grid raises ValueError with the
// engine's message (file and line). The package has checked that both files can be opened.
void LoadContext(TransformContext& context, const std::string& dn, const std::string& de) {
  const std::string error = InitialStep(context, dn, de);
  if (!error.empty()) throw py::value_error(error);
}

// Whether the calling thread is Python's main thread, where signal handlers run.
bool IsMainThread() {
  const py::object threading = py::module_::import("threading");
  return threading.attr("current_thread")().is(threading.attr("main_thread")());
}

// Ctrl+C while a long job or conversion runs on the main thread: asked for at most every 100 ms
// from the progress callback, which runs on the calling thread between chunks of points.
class InterruptCheck {
 public:
  InterruptCheck() : active_(PyGILState_Check() && IsMainThread()) {}
  void Poll() {
    if (!active_ || cancel_.load(std::memory_order_relaxed)) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() != 0) {
      error_ = std::make_unique<py::error_already_set>();
      cancel_.store(true);
    }
  }
  const std::atomic<bool>* flag() const { return &cancel_; }
  // Whether Ctrl+C was pressed during the work.
  bool Interrupted() const { return error_ && error_->matches(PyExc_KeyboardInterrupt); }
  // After the work, with the GIL: raises what a signal handler raised, unless it is Ctrl+C and
  // the work stopped for it (cancelled): then the package raises KeyboardInterrupt saying how
  // far it got. Ctrl+C during the last points, which did not stop the work, is raised as is.
  void Rethrow(bool cancelled) {
    if (error_ && !(cancelled && Interrupted())) throw std::move(*error_);
  }

 private:
  bool active_;
  std::atomic<bool> cancel_{false};
  std::chrono::steady_clock::time_point last_{};
  std::unique_ptr<py::error_already_set> error_;
};

class LineStream;

// One conversion on its session (engine/session.h): the region's context, the threads and
// their pool, the routines of the arrays.
class Engine {
 public:
  Engine(const std::string& from, const std::string& to, const std::string& region,
         bool keepHeights, int threads)
      : session_(std::make_unique<Session>(ProfileOf(region), Threads(threads))),
        from_(FormOf(from)),
        to_(FormOf(to)),
        keepHeights_(keepHeights),
        // Lines are printed: the lanes where they run (the same text either way).
        conversion_(std::make_unique<Conversion>(session_->context(), from_, to_, keepHeights,
                                                 Routines::kLanes)) {}

  static int Threads(int threads) {
    if (threads > kMaxSessionThreads) throw py::value_error("threads: at most 256");
    return threads > 0 ? threads : EveryCore();
  }

  // The arrays on the vector lanes (faster, within 1e-12 m or rad) or on the plain routines
  // (the default: the same last bits in every build and from every front end).
  bool vectorLanes() const { return session_->routines() == Routines::kLanes; }
  void setVectorLanes(bool on) { session_->SetRoutines(on ? Routines::kLanes : Routines::kPlain); }

  // The transformation needs the initial step: across the datum (and grids on the mainland).
  bool needsGrids() const { return conversion_->acrossDatum() && session_->region().hasGrids; }

  void LoadFiles(const std::string& dn, const std::string& de) {
    if (!conversion_->acrossDatum()) return;
    const std::string error = session_->LoadGrids(dn, de);
    if (!error.empty()) throw py::value_error(error);
  }

  // Header fields and the values of both grids as float32 bytes (row i from the north first),
  // or None where no grid is loaded.
  py::object GridState() const {
    if (!session_->context().grids) return py::none();
    const GridPair& g = *session_->context().grids;
    const GridHeader& h = g.dN.header;
    auto bytes = [](const CorrectionGrid& grid) {
      return py::bytes(reinterpret_cast<const char*>(grid.values.data()),
                       grid.values.size() * sizeof(float));
    };
    return py::make_tuple(py::make_tuple(h.rowCount, h.columnCount, h.step, h.nSouth, h.eWest),
                          bytes(g.dN), bytes(g.dE));
  }

  void LoadState(const py::object& state) {
    if (!conversion_->acrossDatum()) return;
    GridPair grids;
    if (!state.is_none()) {
      const py::tuple t = state.cast<py::tuple>();
      const py::tuple h = t[0].cast<py::tuple>();
      const GridHeader header{h[0].cast<int>(), h[1].cast<int>(), h[2].cast<double>(),
                              h[3].cast<double>(), h[4].cast<double>()};
      auto values = [&](const py::handle& data) {
        const std::string raw = data.cast<std::string>();
        if (raw.size() % sizeof(float) != 0) throw py::value_error("grid values: bad length");
        CorrectionGrid grid;
        grid.header = header;
        grid.values.resize(raw.size() / sizeof(float));
        std::memcpy(grid.values.data(), raw.data(), raw.size());
        return grid;
      };
      grids.dN = values(t[1]);
      grids.dE = values(t[2]);
    } else if (session_->region().hasGrids) {
      throw py::value_error("the state holds no correction grids");
    }
    const std::string error = InitialStepWithGrids(session_->context(), std::move(grids));
    if (!error.empty()) throw py::value_error(error);
  }

  int threads() const { return session_->threads(); }

  // Converts n points of three arrays into three arrays, in the forms' units of the package
  // (degrees for latitude and longitude, or radians). Returns (failures, first failure or -1,
  // its status, its fault, points completed in order, whether Ctrl+C stopped it). With
  // stopAtFirst the outputs after the first failure are not computed.
  py::tuple Convert(const Array& a, const Array& b, const Array& c, Array& outA, Array& outB,
                    Array& outC, bool stopAtFirst, bool radians) {
    const std::size_t n = static_cast<std::size_t>(a.size());
    if (static_cast<std::size_t>(b.size()) != n || static_cast<std::size_t>(c.size()) != n ||
        static_cast<std::size_t>(outA.size()) != n || static_cast<std::size_t>(outB.size()) != n ||
        static_cast<std::size_t>(outC.size()) != n) {
      throw py::value_error("arrays of different lengths");
    }
    InterruptCheck interrupt;
    ArrayCall call;
    call.from = from_;
    call.to = to_;
    call.keepHeights = keepHeights_;
    call.angles = radians ? AngleUnit::kRadians : AngleUnit::kDegrees;
    call.stopAtFirst = stopAtFirst;
    call.cancel = interrupt.flag();
    call.progress = [&](std::size_t) { interrupt.Poll(); };
    ArrayOutcome outcome;
    {
      py::gil_scoped_release release;
      outcome = session_->ConvertArrays(call, n, {a.data(), b.data(), c.data()},
                                        {outA.mutable_data(), outB.mutable_data(),
                                         outC.mutable_data()});
    }
    interrupt.Rethrow(outcome.cancelled);
    const long long first =
        outcome.firstFailure ? static_cast<long long>(*outcome.firstFailure) : -1;
    return py::make_tuple(outcome.failures, first, StatusName(outcome.firstOutcome.status),
                          outcome.firstOutcome.fault, outcome.completed,
                          outcome.cancelled && interrupt.Interrupted());
  }

  // The batch call alone on arrays in the engine's units, timed without the binding: for the
  // benchmark of what the binding adds. Seconds.
  double TimeBatch(const Array& a, const Array& b, const Array& c) {
    const std::size_t n = static_cast<std::size_t>(a.size());
    if (static_cast<std::size_t>(b.size()) != n || static_cast<std::size_t>(c.size()) != n) {
      throw py::value_error("arrays of different lengths");
    }
    std::vector<double> outA(n), outB(n), outC(n);
    py::gil_scoped_release release;
    BatchOptions options;
    options.pool = session_->Pool();
    const Conversion conversion = session_->ConversionOf(from_, to_, keepHeights_);
    const auto start = std::chrono::steady_clock::now();
    ConvertBatch(conversion, {a.data(), n}, {b.data(), n}, {c.data(), n}, outA, outB, outC, {},
                 options);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }

  // Convert on record text in pieces (LineStream below), on this engine's conversion.
  LineStream* OpenStream(int mode, bool addEnds);

  // Convert from a record file, or a part of it (JobOptions::part; length < 0: to the end),
  // to a record file, on this engine's conversion and threads: the job frame reads and writes
  // the files itself. The outcome as run_job gives it.
  py::dict ConvertFile(const std::string& input, const std::string& output,
                       std::uint64_t offset, long long length, std::uint64_t firstLine) {
    InterruptCheck interrupt;
    JobOptions options;
    options.threads = session_->threads();
    options.cancel = interrupt.flag();
    options.progress = [&](const JobProgress&) { interrupt.Poll(); };
    options.part.offset = offset;
    if (length >= 0) options.part.length = static_cast<std::uint64_t>(length);
    options.part.firstLine = firstLine;
    JobOutcome outcome;
    {
      py::gil_scoped_release release;
      outcome = RunConversion(*conversion_, input, output, options);
    }
    interrupt.Rethrow(outcome.status == JobStatus::kCancelled);
    return OutcomeDict(outcome);
  }

 private:
  std::unique_ptr<Session> session_;
  Form from_, to_;
  bool keepHeights_;
  std::unique_ptr<Conversion> conversion_;  // of the lines
};

// Convert on record text that comes and goes in pieces, in bounded memory (Transformer.
// transform_lines and transform_chunks): the job frame runs on a thread of its own and reads the
// pieces from a pipe as it reads a file, with the same records, stops, line numbers and
// messages as convert on a file, and the lines it writes come back through another pipe. The
// memory is that of the pieces in flight, whatever the length of the text. Python ignores
// SIGPIPE: a side that ends early gives the other EPIPE, never the end of the process.
class LineStream {
 public:
  // What feed and finish give back: the output bytes as they come, or its lines (bytes or str).
  enum Mode { kBytes = 0, kByteLines = 1, kTextLines = 2 };

  // addEnds: a line given without its line end gets CR LF (lines given as a list).
  LineStream(const Conversion& conversion, int threads, int mode, bool addEnds)
      : mode_(static_cast<Mode>(mode)), addEnds_(addEnds) {
    if (mode < kBytes || mode > kTextLines) throw py::value_error("line stream: bad mode");
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) Fail(errno);
    if (::pipe2(out, O_CLOEXEC) != 0) {
      const int error = errno;
      ::close(in[0]);
      ::close(in[1]);
      Fail(error);
    }
    inRead_ = in[0];
    inWrite_ = in[1];
    outRead_ = out[0];
    outWrite_ = out[1];
    // This side never waits inside a read or a write: it polls both, so that a full pipe on one
    // side cannot hold up the other.
    ::fcntl(inWrite_, F_SETFL, ::fcntl(inWrite_, F_GETFL) | O_NONBLOCK);
    ::fcntl(outRead_, F_SETFL, ::fcntl(outRead_, F_GETFL) | O_NONBLOCK);
#if defined(F_SETPIPE_SZ)
    // Pipes as large as a batch of the job: a few turns of the two threads per batch, not one
    // per 64 KiB (the system may give less; the pipes work either way).
    ::fcntl(inWrite_, F_SETPIPE_SZ, kPipeBytes);
    ::fcntl(outRead_, F_SETPIPE_SZ, kPipeBytes);
#endif
    inPath_ = FdPath(inRead_);
    outPath_ = FdPath(outWrite_);
    options_.threads = threads;
    options_.cancel = &cancel_;
    worker_ = std::thread([this, &conversion] { Run(conversion); });
  }
  LineStream(const LineStream&) = delete;
  LineStream& operator=(const LineStream&) = delete;
  ~LineStream() { Stop(false); }

  // Whether the job still reads: false once it has stopped (at a bad record, say) or the input
  // has been ended; what is fed then is dropped.
  bool reading() const { return inWrite_ >= 0; }

  // Hands a piece of the input (bytes or any contiguous buffer, or a list of lines as str or
  // bytes) to the job; returns the output ready so far (bytes, or the complete lines in a
  // list). The piece is all taken before the call returns: a buffer may be reused after it.
  py::object Feed(const py::handle& data) {
    if (!worker_.joinable()) throw py::value_error("the line stream has ended");
    out_.clear();  // the buffers keep their size from one piece to the next
    if (PyList_Check(data.ptr())) {
      JoinLines(py::reinterpret_borrow<py::list>(data));
      Pump(joined_, out_, false);
    } else {
      Py_buffer view;
      if (PyObject_GetBuffer(data.ptr(), &view, PyBUF_SIMPLE) != 0) throw py::error_already_set();
      struct Release {
        Py_buffer* view;
        ~Release() { PyBuffer_Release(view); }
      } release{&view};
      Pump(std::string_view(static_cast<const char*>(view.buf),
                            static_cast<std::size_t>(view.len)),
           out_, false);
    }
    return Give(out_, false);
  }

  // Ends the input and waits for the job: (outcome dict, the rest of the output).
  py::tuple Finish() {
    if (!worker_.joinable()) throw py::value_error("the line stream has ended");
    CloseInput();
    out_.clear();
    Pump({}, out_, true);
    {
      py::gil_scoped_release release;
      worker_.join();
    }
    // The messages name the texts, not the pipes.
    if (outcome_.file == FileDisplayName(inPath_, true)) {
      outcome_.file = "the lines";
    } else if (outcome_.file == FileDisplayName(outPath_, false)) {
      outcome_.file = "the output lines";
    }
    for (std::string& name : outcome_.outputs) name = "the output lines";
    py::object rest = Give(out_, true);
    return py::make_tuple(OutcomeDict(outcome_), rest);
  }

  // Stops the job where it is (an abandoned stream); nothing more is given back.
  void Close() { Stop(true); }

 private:
  [[noreturn]] static void Fail(int error) {
    throw std::system_error(error, std::generic_category(), "no pipe for the lines");
  }
  static std::string FdPath(int fd) {
#if defined(__linux__)
    return "/proc/self/fd/" + std::to_string(fd);
#else
    return "/dev/fd/" + std::to_string(fd);
#endif
  }

  void Run(const Conversion& conversion) {
    try {
      outcome_ = RunConversion(conversion, inPath_, outPath_, options_);
    } catch (const std::exception& e) {
      outcome_.status = JobStatus::kError;
      outcome_.reason = e.what();
    }
    // The job's own descriptors are closed; these are the last of its ends: the feeder gets
    // EPIPE, the reader the end of the output.
    ::close(inRead_);
    ::close(outWrite_);
  }

  void CloseInput() {
    if (inWrite_ >= 0) ::close(inWrite_);
    inWrite_ = -1;
  }

  // Ends the job early: its reads see the end, its writes EPIPE, and it stops.
  void Stop(bool releaseGil) {
    if (!worker_.joinable()) return;
    cancel_.store(true);
    CloseInput();
    if (outRead_ >= 0) ::close(outRead_);
    outRead_ = -1;
    if (releaseGil) {
      py::gil_scoped_release release;
      worker_.join();
    } else {
      worker_.join();  // the job calls no Python: it ends without the GIL
    }
  }

  // The lines of a list as one text in joined_: str encoded as UTF-8 (surrogateescape), all of
  // one kind.
  void JoinLines(const py::list& lines) {
    std::string& text = joined_;
    text.clear();
    for (const py::handle& item : lines) {
      const char* data = nullptr;
      Py_ssize_t size = 0;
      py::object encoded;
      if (PyUnicode_Check(item.ptr())) {
        if (mode_ != kTextLines) throw py::type_error("lines must be all str or all bytes");
        data = PyUnicode_AsUTF8AndSize(item.ptr(), &size);
        if (!data) {  // a lone surrogate: the bytes it stands for
          PyErr_Clear();
          encoded = py::reinterpret_steal<py::object>(
              PyUnicode_AsEncodedString(item.ptr(), "utf-8", "surrogateescape"));
          if (!encoded) throw py::error_already_set();
          data = PyBytes_AS_STRING(encoded.ptr());
          size = PyBytes_GET_SIZE(encoded.ptr());
        }
      } else if (PyBytes_Check(item.ptr()) || PyByteArray_Check(item.ptr())) {
        if (mode_ == kTextLines) throw py::type_error("lines must be all str or all bytes");
        const bool isBytes = PyBytes_Check(item.ptr());
        data = isBytes ? PyBytes_AS_STRING(item.ptr()) : PyByteArray_AS_STRING(item.ptr());
        size = isBytes ? PyBytes_GET_SIZE(item.ptr()) : PyByteArray_GET_SIZE(item.ptr());
      } else {
        throw py::type_error(std::string("a line must be str or bytes, not ") +
                             Py_TYPE(item.ptr())->tp_name);
      }
      text.append(data, static_cast<std::size_t>(size));
      if (addEnds_ && (size == 0 || (data[size - 1] != '\n' && data[size - 1] != '\r'))) {
        text += "\r\n";
      }
    }
  }

  // Writes text into the job's input while taking what it writes, until the text is written or
  // the job reads no more; with toEnd, then until the job's output ends. Without the GIL
  // throughout (a Dask worker's other threads take it often: each turn of taking it back
  // would cost a wait); on the main thread it is taken every 100 ms to look for Ctrl+C,
  // which stops the job and is raised.
  void Pump(std::string_view text, std::string& out, bool toEnd) {
    std::unique_ptr<py::error_already_set> signal;
    {
      py::gil_scoped_release release;
      std::size_t done = 0;
      auto looked = std::chrono::steady_clock::now();
      for (;;) {
        const bool feeding = done < text.size() && inWrite_ >= 0;
        if (!feeding && (!toEnd || outRead_ < 0)) break;
        pollfd waits[2] = {{outRead_, POLLIN, 0}, {feeding ? inWrite_ : -1, POLLOUT, 0}};
        if (::poll(waits, 2, 100) > 0) {
          if (waits[0].revents != 0 && Drain(out)) {
            ::close(outRead_);
            outRead_ = -1;
          }
          if (feeding && waits[1].revents != 0) {
            const ssize_t n = ::write(inWrite_, text.data() + done, text.size() - done);
            if (n > 0) {
              done += static_cast<std::size_t>(n);
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
              CloseInput();  // EPIPE: the job has stopped reading
            }
          }
        }
        const auto now = std::chrono::steady_clock::now();
        if (watchSignals_ && now - looked >= std::chrono::milliseconds(100)) {
          looked = now;
          py::gil_scoped_acquire gil;
          if (PyErr_CheckSignals() != 0) {
            signal = std::make_unique<py::error_already_set>();
            break;
          }
        }
      }
      if (!signal && outRead_ >= 0 && Drain(out)) {
        ::close(outRead_);
        outRead_ = -1;
      }
    }
    if (signal) {
      Stop(true);
      throw std::move(*signal);
    }
  }

  // Reads what the job has written so far; true at the end of its output.
  bool Drain(std::string& out) {
    for (;;) {
      const ssize_t n = ::read(outRead_, buffer_.data(), buffer_.size());
      if (n > 0) {
        out.append(buffer_.data(), static_cast<std::size_t>(n));
      } else if (n == 0) {
        return true;
      } else if (errno != EINTR) {
        return errno != EAGAIN;
      }
    }
  }

  // The output as the mode gives it: bytes, or its complete lines (a line ends at a CR LF
  // outside quotes); at the end also an incomplete last one.
  py::object Give(const std::string& out, bool last) {
    if (mode_ == kBytes) return py::bytes(out);
    pending_ += out;
    py::list lines;
    std::size_t begin = 0;
    auto add = [&](std::size_t end) {
      const char* data = pending_.data() + begin;
      const auto size = static_cast<Py_ssize_t>(end - begin);
      PyObject* line = mode_ == kTextLines ? PyUnicode_DecodeUTF8(data, size, "surrogateescape")
                                           : PyBytes_FromStringAndSize(data, size);
      if (!line) throw py::error_already_set();
      lines.append(py::reinterpret_steal<py::object>(line));
      begin = end;
    };
    for (std::size_t i = scanned_; i < pending_.size(); ++i) {
      if (pending_[i] == '"') {
        quoted_ = !quoted_;  // an inner quote is doubled: two turns
      } else if (!quoted_ && pending_[i] == '\n' && i > 0 && pending_[i - 1] == '\r') {
        add(i + 1);
      }
    }
    if (last && begin < pending_.size()) add(pending_.size());
    pending_.erase(0, begin);
    scanned_ = pending_.size();
    return lines;
  }

  static constexpr int kPipeBytes = 1 << 20;

  Mode mode_;
  bool addEnds_;
  int inRead_ = -1, inWrite_ = -1, outRead_ = -1, outWrite_ = -1;
  std::string inPath_, outPath_;
  JobOptions options_;
  std::atomic<bool> cancel_{false};
  JobOutcome outcome_;
  std::thread worker_;
  // Kept from one piece to the next: in a Dask worker, whose allocator gives large blocks back
  // to the system at once (MALLOC_TRIM_THRESHOLD_), a new block for every piece costs as much
  // as the conversion.
  std::vector<char> buffer_ = std::vector<char>(kPipeBytes);  // of Drain
  std::string joined_;  // the lines of a list fed
  std::string out_;     // the output of a piece
  // Whether Ctrl+C can come here: Python runs signal handlers on the main thread only.
  bool watchSignals_ = PyGILState_Check() && IsMainThread();
  std::string pending_;       // output not yet given back as lines
  std::size_t scanned_ = 0;  // of pending_, looked at for line ends
  bool quoted_ = false;      // at scanned_, inside a quoted id
};

LineStream* Engine::OpenStream(int mode, bool addEnds) {
  return new LineStream(*conversion_, session_->threads(), mode, addEnds);
}

py::dict RunJobFiles(const std::string& job, const std::string& input,
                     const std::vector<std::string>& outputs, const std::string& region,
                     const std::string& dn, const std::string& de, int threads) {
  const JobDefinition* definition = FindJob(job);
  if (!definition) {
    std::string names;
    for (const JobDefinition& d : JobDefinitions()) {
      names += (names.empty() ? "" : ", ") + std::string(d.cliName);
    }
    throw py::value_error("unknown job '" + job + "' (" + names + ")");
  }
  if (outputs.size() != definition->outputCount()) {
    throw py::value_error("the job " + job + " writes " +
                          std::to_string(definition->outputCount()) + " output file" +
                          (definition->outputCount() == 1 ? "" : "s") + ", " +
                          std::to_string(outputs.size()) + " were given");
  }
  TransformContext context = MakeContext(ProfileOf(region), kDataFileBounds);
  if (definition->usesTransform) LoadContext(context, dn, de);
  InterruptCheck interrupt;
  JobOptions options;
  options.threads = threads > 0 ? threads : EveryCore();
  options.cancel = interrupt.flag();
  options.progress = [&](const JobProgress&) { interrupt.Poll(); };
  JobOutcome outcome;
  {
    py::gil_scoped_release release;
    outcome = RunJob(definition->kind, context, input, outputs, options);
  }
  interrupt.Rethrow(outcome.status == JobStatus::kCancelled);
  return OutcomeDict(outcome);
}

}  // namespace
}  // namespace vortan

PYBIND11_MODULE(_vortan, m) {
  using vortan::Engine;
  m.doc() = "The VORTAN conversion engine (use the package vortan)";
  m.attr("__version__") = vortan::kVersion;
  py::class_<Engine>(m, "Engine")
      .def(py::init<const std::string&, const std::string&, const std::string&, bool, int>(),
           py::arg("from_form"), py::arg("to_form"), py::arg("region"), py::arg("keep_heights"),
           py::arg("threads"))
      .def_property_readonly("needs_grids", &Engine::needsGrids)
      .def_property_readonly("threads", &Engine::threads)
      .def_property("vector_lanes", &Engine::vectorLanes, &Engine::setVectorLanes)
      .def("load_files", &Engine::LoadFiles)
      .def("grid_state", &Engine::GridState)
      .def("load_state", &Engine::LoadState)
      .def("convert", &Engine::Convert)
      // The benchmark's (bench/python_bench.py), not the package's.
      .def("_time_batch", &Engine::TimeBatch)
      .def("convert_file", &Engine::ConvertFile)
      .def("open_stream", &Engine::OpenStream, py::arg("mode"), py::arg("add_ends"),
           py::keep_alive<0, 1>());  // the stream runs on the engine's conversion
  py::class_<vortan::LineStream>(m, "LineStream")
      .def_property_readonly("reading", &vortan::LineStream::reading)
      .def("feed", &vortan::LineStream::Feed)
      .def("finish", &vortan::LineStream::Finish)
      .def("close", &vortan::LineStream::Close);
  m.def("run_job", &vortan::RunJobFiles);
  // The processor's vector target that the lanes run on ("AVX3", "AVX2", "SSE4"; "none").
  m.def("vector_target", [] { return std::string(vortan::lanes::Target()); });
  m.def("crs_of", [](const std::string& form, const std::string& region) {
    const vortan::CrsDefinition crs = vortan::CrsOf(vortan::FormOf(form), vortan::ProfileOf(region));
    return py::make_tuple(crs.epsg, crs.name, crs.wkt);
  });
  // The form of a CRS text (WKT, EPSG code, PROJ string): (form or None, [regions], swapped,
  // [(form, region) it can hold whatever its datum], name, reason, reason in Greek, how the text
  // spells it: "wkt", "epsg", "proj", or "" where it is none of these).
  m.def("form_of_crs", [](const std::string& text) {
    const vortan::CrsRecognition r = vortan::RecognizeCrs(text);
    py::list regions, fits;
    for (unsigned i = 0; i < vortan::Regions().size(); ++i) {
      const std::string region(vortan::Regions()[i]->name);
      if (r.regions >> i & 1u) regions.append(region);
      for (vortan::Form form : vortan::kAllForms) {
        if (r.fits & vortan::CrsRecognition::FitBit(form, i)) {
          fits.append(py::make_tuple(std::string(vortan::FormName(form)), region));
        }
      }
    }
    py::object form = r.form ? py::object(py::str(std::string(vortan::FormName(*r.form))))
                             : py::object(py::none());
    const char* spelling = r.spelling == vortan::CrsSpelling::kWkt          ? "wkt"
                           : r.spelling == vortan::CrsSpelling::kEpsgCode   ? "epsg"
                           : r.spelling == vortan::CrsSpelling::kProjString ? "proj"
                                                                             : "";
    return py::make_tuple(form, regions, r.swapped, fits, r.name, r.reason, r.reasonGreek,
                          spelling);
  });
  m.def("regions", [] {
    std::vector<std::string> names;
    for (const vortan::RegionProfile* region : vortan::Regions()) names.emplace_back(region->name);
    return names;
  });
  m.def("forms", [] {
    std::vector<std::string> names;
    for (vortan::Form form : vortan::kAllForms) names.emplace_back(vortan::FormName(form));
    return names;
  });
  // (name, whether it uses the transformation, its number of outputs), in the order of JobKind.
  m.def("jobs", [] {
    py::list jobs;
    for (const vortan::JobDefinition& d : vortan::JobDefinitions()) {
      jobs.append(py::make_tuple(std::string(d.cliName), d.usesTransform, d.outputCount()));
    }
    return jobs;
  });
  m.def("every_core", &vortan::EveryCore);
}
