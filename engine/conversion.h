// The conversion between any two of the five coordinate forms, for one point and for arrays of
// points on the worker pool.
//
// Across the datum it runs the chains of chains.h; within one system only the core's
// conversions (no datum step, no grid, no extent test). Heights: across the datum the third
// coordinate is the target system's ellipsoidal height as the Helmert step gives it, or, with
// keepHeights, the input height unchanged (for orthometric heights, which the two systems
// share); from X, Y, Z the input height is the point's HTRS07 ellipsoidal height. Within one
// system h is unchanged between latitude, longitude and E, N, and computed from X, Y, Z.
//
// Units: metres; latitude and longitude in radians, latitude first.
#pragma once

#include <array>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "engine/chains.h"
#include "engine/forms.h"
#include "engine/worker_pool.h"
#include "transform/datum.h"

namespace vortan {

// The fault of a point with an infinite coordinate, which no chain converts.
inline constexpr const char* kInfiniteCoordinate = "infinite coordinate";

// How one point came out.
struct PointOutcome {
  PointStatus status = PointStatus::kDone;
  Stage failed = Stage::kNone;
  const char* fault = "";
  bool ok() const { return status == PointStatus::kDone; }
};

// The core routines a conversion runs on: the vector lanes where the processor has them (the
// results within 1e-12 m or rad of the plain routines; numbers printed to their decimals are
// checked and the same), or the plain routines, whose last bits are the same on every processor
// and in every build (for numbers written with every digit of the double).
enum class Routines { kLanes, kPlain };

class Conversion {
 public:
  // The context must stay alive and, for a conversion across the datum, be initialised.
  Conversion(const TransformContext& context, Form from, Form to, bool keepHeights = false,
             Routines routines = Routines::kLanes);

  Form from() const { return from_; }
  Form to() const { return to_; }
  bool keepHeights() const { return keepHeights_; }
  // Across the datum: needs the initial step's parameters (and, on the mainland, the grids).
  bool acrossDatum() const { return InHtrs07(from_) != InHtrs07(to_); }
  const TransformContext& context() const { return context_; }

  // One point, in and out in the forms' units. A point that fails leaves out untouched: NaN in
  // any coordinate is no value, a latitude or longitude beyond its range is out of range, an
  // infinity a fault (kInfiniteCoordinate). With where, also the latitude and longitude
  // (radians) of the point as the conversion has them on its way, in either system: where it
  // is on the Earth; NaN where the conversion computes none (a projected form to itself).
  PointOutcome Point(const double in[3], double out[3], double* where = nullptr) const;

  // The points in[k] into out[k] with their outcomes, as Point gives them one by one: the
  // chain runs over them in blocks. With where, where[k] as Point's where gives it.
  void Points(const Xyz* in, std::size_t n, Xyz* out, PointOutcome* outcomes,
              std::array<double, 2>* where = nullptr) const;

  // The whole chain of one point across the datum from the source form with every value it
  // shows (chains.h), also for a conversion within one system.
  PointResult Chain(const double in[3]) const;

 private:
  // Whether a point goes to the chain as it is, without further checks: finite E, N or X, Y, Z
  // across the datum (Before's first test; the batch loops ask it without the call).
  bool GoesAsIs(const double in[3]) const {
    return acrossDatum() && !IsGeographic(from_) && std::isfinite(in[0]) &&
           std::isfinite(in[1]) && std::isfinite(in[2]);
  }
  // A point the chain does not take, or that needs no chain: true, with its outcome (and, when
  // done, its output).
  bool Before(const double in[3], double out[3], double* where, PointOutcome& outcome) const;
  // The output of a point the chain took, from its result.
  PointOutcome After(const PointResult& r, const double in[3], double out[3],
                     double* where) const;

  const TransformContext& context_;
  Form from_, to_;
  bool keepHeights_;
  StageChain lean_;  // only the values the target form takes
  StageChain full_;  // every value of the chain
};

struct BatchOptions {
  int threads = 1;               // used when no pool is given
  WorkerPool* pool = nullptr;    // an existing pool to run on
  bool stopAtFirst = false;      // stop at the first point that fails, in input order
  // Called on the calling thread as the points are done (a count, in input order).
  std::function<void(std::size_t pointsDone)> progress;
  const std::atomic<bool>* cancel = nullptr;  // stops before the next chunk of points
};

struct BatchOutcome {
  std::size_t completed = 0;   // points converted, or the index of the stop with stopAtFirst
  std::size_t failures = 0;    // points that failed (with stopAtFirst: 0 or 1)
  std::optional<std::size_t> firstFailure;  // index of the first point that failed
  PointOutcome firstOutcome;                // and how
  bool cancelled = false;
  int threadsUsed = 1;
};

// Converts n points given as three arrays (in the forms' units) into three arrays. A failed
// point gets NaN in all three outputs and its status (when status is not empty). Input arrays
// may be the output arrays. With stopAtFirst the points after the first failure are left as
// they are.
BatchOutcome ConvertBatch(const Conversion& conversion, std::span<const double> a,
                          std::span<const double> b, std::span<const double> c,
                          std::span<double> outA, std::span<double> outB, std::span<double> outC,
                          std::span<PointStatus> status, const BatchOptions& options = {});

}  // namespace vortan
