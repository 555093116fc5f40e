// vortan._vortan: the conversion engine, the record jobs and convert on record texts for
// Python. This layer only moves values: the package (vortan/__init__.py) gives it its pyproj
// style, shapes, scalars and exceptions. Arrays come in as contiguous float64 and go straight
// to the engine's batch call; the GIL is released while it computes.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

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
#include <thread>
#include <vector>

#include "core/geodetic_params.h"
#include "core/lanes.h"
#include "engine/session.h"
#include "data_files/job_table.h"
#include "data_files/jobs.h"
#include "data_files/record_text.h"
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
  static bool IsMainThread() {
    const py::object threading = py::module_::import("threading");
    return threading.attr("current_thread")().is(threading.attr("main_thread")());
  }
  bool active_;
  std::atomic<bool> cancel_{false};
  std::chrono::steady_clock::time_point last_{};
  std::unique_ptr<py::error_already_set> error_;
};

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

  // Convert on a record text: (outcome dict, output text).
  py::tuple ConvertLines(const py::bytes& text) {
    std::string_view view;
    {
      char* data = nullptr;
      Py_ssize_t size = 0;
      if (PyBytes_AsStringAndSize(text.ptr(), &data, &size) != 0) throw py::error_already_set();
      view = std::string_view(data, static_cast<std::size_t>(size));
    }
    InterruptCheck interrupt;
    JobOptions options;
    options.threads = session_->threads();
    options.cancel = interrupt.flag();
    options.progress = [&](const JobProgress&) { interrupt.Poll(); };
    RecordTextResult result;
    {
      py::gil_scoped_release release;  // text stays alive: the caller holds it
      result = ConvertRecordText(*conversion_, view, options, "the lines", "the output lines");
    }
    interrupt.Rethrow(result.outcome.status == JobStatus::kCancelled);
    const std::vector<std::string_view> lines = SplitWrittenLines(result.text);
    py::list out;
    for (std::string_view line : lines) out.append(py::bytes(line.data(), line.size()));
    return py::make_tuple(OutcomeDict(result.outcome), out);
  }

 private:
  std::unique_ptr<Session> session_;
  Form from_, to_;
  bool keepHeights_;
  std::unique_ptr<Conversion> conversion_;  // of the lines
};

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
      .def("convert_lines", &Engine::ConvertLines);
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
