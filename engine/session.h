// One session over the engine, for every front end that converts values (the C library, the
// Python module, the page's module, the single-point windows): a region's transformation
// context with its grids, the threads and their pool, and the routines the conversions of
// values run on. The front ends translate their calls into these and their outcomes into their
// own codes, so that the units, the statuses, the routines and the words of the first failure
// are decided here, once.
//
// The routines, one rule for every front end: values handed back as numbers (arrays, one point)
// come from the plain routines, unless the caller asks for the vector lanes (faster, within
// 1e-12 m or rad). The plain routines' last bits are the same in every build (x86-64 and aarch64
// Linux, the portable build, Windows whatever the caller's x87 control word, the browser): they
// compute with the core's own elementary functions, never the C library's
// (core/math_functions.h). The lanes' are the same in every build that has them (x86-64 Linux,
// the browser) for the conversions across the datum: their kernels are plain operations in a
// fixed order (core/lanes.h); within one system a conversion is one plain step. Files,
// lines, tables and boxes printed to their decimals run on the lanes where they run, in every
// front end: their printed numbers are the same either way (core/math_functions.h checks them).
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/angles.h"
#include "engine/conversion.h"
#include "engine/forms.h"
#include "engine/worker_pool.h"
#include "io/problem.h"
#include "transform/correction_grid.h"
#include "transform/datum.h"
#include "transform/region_profile.h"

namespace vortan {

// The routines of values handed back as numbers, unless a session is told otherwise.
inline constexpr Routines kValueRoutines = Routines::kPlain;

// How a session's array calls take and give latitude and longitude.
enum class AngleUnit { kDegrees, kRadians };

// The most threads a session computes on.
inline constexpr int kMaxSessionThreads = 256;

// Three arrays of n points in, three out. c in may be null (0 for every point: a height the
// caller does not have); c out may be null (the third coordinate not wanted). The outputs may
// be the inputs.
struct ArraysIn {
  const double* a;
  const double* b;
  const double* c;
};
struct ArraysOut {
  double* a;
  double* b;
  double* c;
};

struct ArrayCall {
  Form from = Form::kHtrs07Xyz, to = Form::kGgrs87Tm87;
  bool keepHeights = false;
  AngleUnit angles = AngleUnit::kDegrees;
  bool stopAtFirst = false;           // the points after the first failure are left as they are
  PointStatus* status = nullptr;      // each point's status, or null
  const std::atomic<bool>* cancel = nullptr;
  std::function<void(std::size_t)> progress;  // points done, on the calling thread
  // The reference computation throughout (math::RecomputeExactly: the correctly rounded
  // functions where the build checks its functions, and the plain routines).
  bool exact = false;
};

struct ArrayOutcome : BatchOutcome {
  // The first failure in words, English and Greek (empty without one): the point by its index
  // and, where the inputs are still there, its coordinates; what went wrong; how many failed.
  Problem failure;
};

// One point in every form, with every value the windows show beside the coordinates.
struct EveryForm {
  // In the order of kAllForms, in the engine's units (radians for latitude and longitude): NaN
  // where the form's status is not done. The source form holds the input.
  std::array<Xyz, kAllForms.size()> values;
  std::array<PointStatus, kAllForms.size()> status;
  // The chain across the datum from the source form as the single-point windows run it, with
  // every value they show of it (chains.h): the stages it completed, the stage that failed and
  // why, the packed angles, the TM07 E, N and height on the way, the TM87 E, N of a GGRS87
  // latitude and longitude, the corrected positions and the corrections.
  PointResult chain;
  // Degrees, minutes and seconds of the two systems' latitude and longitude, where computed:
  // of the chain's where it has them, else of the form's values.
  std::optional<Dms> htrs07Latitude, htrs07Longitude, ggrs87Latitude, ggrs87Longitude;
  // The TM07 point scale factor at the HTRS07 position (NaN where there is none, with the
  // numeric fault in tm07ScaleFault where one kept it from being computed), and the grid
  // corrections at the point in centimetres (NaN without a datum step).
  double tm07Scale;
  const char* tm07ScaleFault = "";
  double dECm, dNCm;
  // The first form that failed otherwise than for want of a value, and why; empty reason when
  // none did.
  PointStatus failureStatus = PointStatus::kDone;
  Problem failure;
};

class Session {
 public:
  // threads: 1 to kMaxSessionThreads, or 0 for every core of the machine; bounds: the extent
  // test of the program (the single-point windows accept a little more than the files).
  explicit Session(const RegionProfile& region, int threads = 1,
                   Routines routines = kValueRoutines,
                   const GridBounds& bounds = kDataFileBounds);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  const RegionProfile& region() const { return *context_.profile; }
  TransformContext& context() { return context_; }
  const TransformContext& context() const { return context_; }

  // The grids of the initial step, from files or from their bytes; the error's text (in Greek
  // too, where errorGreek is given), or empty. A region without grids needs none: nothing is
  // read.
  std::string LoadGrids(const std::string& dnPath, const std::string& dePath,
                        std::string* errorGreek = nullptr);
  std::string LoadGridBytes(std::string_view dn, std::string_view de);
  // Whether conversions across the datum can run.
  bool Ready() const { return context_.Ready(); }

  // The threads asked for (0: every core) and those the calls run on. Setting them drops the
  // pool; it must not overlap other calls.
  int threadsAsked() const { return threads_; }
  int threads() const;
  void SetThreads(int threads);

  Routines routines() const { return routines_; }
  void SetRoutines(Routines routines) { routines_ = routines; }

  // The pool the calls share, made on first use; null on one thread. In a child process made
  // by fork the parent's workers do not exist: the child makes its own.
  WorkerPool* Pool() const;

  // A conversion between two forms on this session's routines.
  Conversion ConversionOf(Form from, Form to, bool keepHeights) const {
    return Conversion(context_, from, to, keepHeights, routines_);
  }

  // n points through the conversion of call, in the call's angle unit (latitude first); a
  // failed point gets NaN and its status. Across the datum the session must be Ready().
  ArrayOutcome ConvertArrays(const ArrayCall& call, std::size_t n, ArraysIn in,
                             ArraysOut out) const;

  // One point of the form `from` (the engine's units) in every form. The session must be
  // Ready().
  EveryForm PointInEveryForm(Form from, const Xyz& in, bool keepHeights) const;

 private:
  TransformContext context_;
  int threads_;
  Routines routines_;
  mutable std::mutex poolMutex_;
  mutable std::unique_ptr<WorkerPool> pool_;
  mutable long poolProcess_ = 0;
};

}  // namespace vortan
