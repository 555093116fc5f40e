#include "engine/session.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <thread>
#include <vector>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "core/geodetic_params.h"
#include "core/math_functions.h"
#include "core/number_format.h"
#include "core/numeric_guard.h"
#include "core/transverse_mercator.h"
#include "io/problem.h"
#include "transform/grid_file.h"

namespace vortan {
namespace {

long ThisProcess() {
#if defined(_WIN32)
  return 0;  // no fork
#else
  return static_cast<long>(::getpid());
#endif
}

// The first failure of an array call in words: the point by its index and, where the inputs
// are still there (not overwritten by the outputs), its coordinates in the call's units.
Problem FirstFailure(const ArrayCall& call, std::size_t n, const ArrayOutcome& outcome,
                     ArraysIn in, ArraysOut out, const std::vector<double>& latitude,
                     const std::vector<double>& longitude) {
  const std::size_t first = *outcome.firstFailure;
  const bool geographic = IsGeographic(call.from);
  const bool radians = call.angles == AngleUnit::kRadians;
  const auto names = CoordinateNames(call.from);
  std::string where = std::to_string(first);
  // A geographic input was copied in radians before the outputs were written.
  const bool inPlace = out.a == in.a || out.a == in.b || out.b == in.a || out.b == in.b;
  if (!inPlace || (geographic && !latitude.empty())) {
    double x = in.a[first], y = in.b[first];
    if (geographic && !latitude.empty()) {
      x = latitude[first] * (radians ? 1 : kDegreesPerRadian);
      y = longitude[first] * (radians ? 1 : kDegreesPerRadian);
    }
    const bool degrees = geographic && !radians;
    const int decimals = geographic ? (radians ? 11 : 9) : 3;
    const char* unit = degrees ? "°" : "";
    where += " (" + std::string(names[0]) + " " + MessageCoordinate(x, decimals) + unit + ", " +
             std::string(names[1]) + " " + MessageCoordinate(y, decimals) + unit + ")";
  }
  const std::string form(FormName(call.from));
  const std::string fault = outcome.firstOutcome.fault;
  Problem p;
  switch (outcome.firstOutcome.status) {
    case PointStatus::kOutsideGrid:
      p.reason = "point " + where + " lies outside the correction grid";
      p.reasonGreek = "το σημείο " + where + " βρίσκεται έξω από τον κάνναβο διορθώσεων";
      break;
    case PointStatus::kOutOfRange:
      p.reason = "point " + where + " is no point of the Earth (a " + fault + "); are its " +
                 "coordinates " + form + ", latitude first?";
      p.reasonGreek = "το σημείο " + where + " δεν είναι σημείο της Γης (" +
                      FaultNameGreek(fault) + ")· είναι οι συντεταγμένες του " + form +
                      ", πρώτα το πλάτος;";
      break;
    default:
      p.reason = "point " + where + " cannot be converted (a numeric fault: " + fault +
                 "); its coordinates are not " + form + " coordinates of the area served";
      p.reasonGreek = "το σημείο " + where + " δεν μετασχηματίζεται (αριθμητικό σφάλμα: " +
                      FaultNameGreek(fault) + ")· οι συντεταγμένες του δεν είναι " + form +
                      " της περιοχής που εξυπηρετείται";
      break;
  }
  if (outcome.failures > 1) {
    const std::string count = std::to_string(outcome.failures), of = std::to_string(n);
    p.reason += "; " + count + " of the " + of + " points failed";
    p.reasonGreek += "· " + count + " από τα " + of + " σημεία απέτυχαν";
  }
  return p;
}

}  // namespace

Session::Session(const RegionProfile& region, int threads, Routines routines,
                 const GridBounds& bounds)
    : context_(MakeContext(region, bounds)), threads_(1), routines_(routines) {
  SetThreads(threads);
  // The region's parameters at once; the grids, where it has them, come with LoadGrids.
  if (!region.hasGrids) {
    if (const std::string error = InitialStep(context_, "", ""); !error.empty()) {
      throw std::runtime_error(error);
    }
  } else {
    context_.helmert = region.helmert;
    context_.initialised = true;
  }
}

std::string Session::LoadGrids(const std::string& dnPath, const std::string& dePath,
                               std::string* errorGreek) {
  if (!context_.profile->hasGrids) return "";
  return InitialStep(context_, dnPath, dePath, errorGreek);
}

std::string Session::LoadGridBytes(std::string_view dn, std::string_view de) {
  if (!context_.profile->hasGrids) return "";
  context_.DropGrids();
  GridLoadResult loaded = LoadCorrectionGridBytes(dn, "the dN grid", de, "the dE grid");
  if (!loaded.grids) return loaded.error;
  return InitialStepWithGrids(context_, std::move(*loaded.grids));
}

int Session::threads() const {
  if (threads_ > 0) return threads_;
  return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1,
                    kMaxSessionThreads);
}

void Session::SetThreads(int threads) {
  const std::lock_guard<std::mutex> lock(poolMutex_);
  threads_ = std::clamp(threads, 0, kMaxSessionThreads);
  pool_.reset();
}

WorkerPool* Session::Pool() const {
  if (threads() <= 1) return nullptr;
  const std::lock_guard<std::mutex> lock(poolMutex_);
  if (pool_ && poolProcess_ != ThisProcess()) (void)pool_.release();  // the parent's threads
  if (!pool_) {
    pool_ = std::make_unique<WorkerPool>(threads());
    poolProcess_ = ThisProcess();
  }
  return pool_.get();
}

ArrayOutcome Session::ConvertArrays(const ArrayCall& call, std::size_t n, ArraysIn in,
                                    ArraysOut out) const {
  ArrayOutcome outcome;
  if (n == 0) return outcome;
  const Conversion conversion = ConversionOf(call.from, call.to, call.keepHeights);
  // The engine takes latitude and longitude in radians.
  std::vector<double> latitude, longitude, zeros, heights;
  const double* a = in.a;
  const double* b = in.b;
  const double* c = in.c;
  if (IsGeographic(call.from)) {
    latitude.assign(in.a, in.a + n);
    longitude.assign(in.b, in.b + n);
    if (call.angles == AngleUnit::kDegrees) {
      for (std::size_t i = 0; i < n; ++i) {
        latitude[i] *= kRadiansPerDegree;
        longitude[i] *= kRadiansPerDegree;
      }
    }
    a = latitude.data();
    b = longitude.data();
  }
  if (!c) {
    zeros.assign(n, 0.0);
    c = zeros.data();
  }
  double* outC = out.c;
  if (!outC) {
    heights.resize(n);
    outC = heights.data();
  }
  BatchOptions options;
  options.pool = Pool();
  options.stopAtFirst = call.stopAtFirst;
  options.cancel = call.cancel;
  options.progress = call.progress;
  auto convert = [&] {
    static_cast<BatchOutcome&>(outcome) =
        ConvertBatch(conversion, {a, n}, {b, n}, {c, n}, {out.a, n}, {out.b, n}, {outC, n},
                     call.status ? std::span<PointStatus>(call.status, n)
                                 : std::span<PointStatus>(),
                     options);
  };
  if (call.exact) {
    math::RecomputeExactly(convert);
  } else {
    convert();
  }
  if (IsGeographic(call.to) && call.angles == AngleUnit::kDegrees && !outcome.cancelled) {
    const std::size_t done =
        call.stopAtFirst && outcome.firstFailure ? *outcome.firstFailure : n;
    for (std::size_t i = 0; i < done; ++i) {
      out.a[i] *= kDegreesPerRadian;
      out.b[i] *= kDegreesPerRadian;
    }
  }
  if (outcome.firstFailure) {
    outcome.failure = FirstFailure(call, n, outcome, in, out, latitude, longitude);
  }
  return outcome;
}

EveryForm Session::PointInEveryForm(Form from, const Xyz& in, bool keepHeights) const {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  EveryForm r;
  r.values.fill({kNaN, kNaN, kNaN});
  r.status.fill(PointStatus::kFault);
  r.tm07Scale = r.dECm = r.dNCm = kNaN;
  for (std::size_t f = 0; f < kAllForms.size(); ++f) {
    const Form form = kAllForms[f];
    double result[3];
    PointOutcome outcome;
    if (form == from) {
      std::copy(in.begin(), in.end(), result);
    } else {
      outcome = ConversionOf(from, form, keepHeights).Point(in.data(), result);
    }
    r.status[f] = outcome.status;
    if (outcome.ok()) {
      r.values[f] = {result[0], result[1], result[2]};
    } else if (r.failure.reason.empty() && outcome.status != PointStatus::kNoValue) {
      const std::string name(FormName(form)), source(FormName(from));
      r.failureStatus = outcome.status;
      if (outcome.status == PointStatus::kOutsideGrid) {
        r.failure.reason = name + ": the point lies outside the correction grid";
        r.failure.reasonGreek = name + ": το σημείο βρίσκεται έξω από τον κάνναβο διορθώσεων";
      } else {
        r.failure.reason = name + ": a numeric fault (" + std::string(outcome.fault) +
                           "); the coordinates are not " + source +
                           " coordinates of the area served";
        r.failure.reasonGreek = name + ": αριθμητικό σφάλμα (" + FaultNameGreek(outcome.fault) +
                                ")· οι συντεταγμένες δεν είναι " + source +
                                " της περιοχής που εξυπηρετείται";
      }
    }
  }

  // The chain across the datum as the windows run it: every value they show, with the TM87
  // E, N of a GGRS87 latitude and longitude.
  ChainOptions options;
  options.lanes = routines_ == Routines::kLanes;
  options.keepHeight = keepHeights;
  r.chain = StageChain(context_, from, options).Run(in);
  const PointResult& chain = r.chain;
  if (chain.Completed(Stage::kDatum)) {
    r.dECm = chain.dE;
    r.dNCm = chain.dN;
  }
  // Where the chain has each system's latitude and longitude: the source system's from its
  // first stage (or the input), the other system's from the datum step.
  const bool htrs07InChain = InHtrs07(from) ? from == Form::kHtrs07Geographic ||
                                                  chain.Completed(Stage::kHtrs07Geographic)
                                            : chain.Completed(Stage::kDatum);
  const bool ggrs87InChain = InHtrs07(from) ? chain.Completed(Stage::kDatum)
                                            : from == Form::kGgrs87Geographic ||
                                                  chain.Completed(Stage::kGgrs87Geographic);

  // Degrees, minutes and seconds of the angles, as the windows show them: the chain's where it
  // has them.
  auto angles = [&](Form form, bool inChain, const double (&fromChain)[2],
                    std::optional<Dms>& latitude, std::optional<Dms>& longitude) {
    const std::size_t f = FormIndex(form);
    if (r.status[f] != PointStatus::kDone) return;
    const double phi = inChain ? fromChain[0] : r.values[f][0];
    const double lambda = inChain ? fromChain[1] : r.values[f][1];
    NumericGuard guard;
    const Dms lat = RadiansToDms(phi), lon = RadiansToDms(lambda);
    if (guard.Clean()) {
      latitude = lat;
      longitude = lon;
    }
  };
  angles(Form::kHtrs07Geographic, htrs07InChain, {chain.htrs07.latitude, chain.htrs07.longitude},
         r.htrs07Latitude, r.htrs07Longitude);
  angles(Form::kGgrs87Geographic, ggrs87InChain, {chain.ggrs87.latitude, chain.ggrs87.longitude},
         r.ggrs87Latitude, r.ggrs87Longitude);

  // The scale factor from the chain where it computes one (from X, Y, Z and from latitude,
  // longitude), else at the HTRS07 position, the chain's where it has one.
  const std::size_t htrs07 = FormIndex(Form::kHtrs07Geographic);
  if (chain.Completed(Stage::kTm07) &&
      (from == Form::kHtrs07Xyz || from == Form::kHtrs07Geographic)) {
    r.tm07Scale = chain.htrs07.scale;
  } else if (r.status[htrs07] == PointStatus::kDone) {
    const double phi = htrs07InChain ? chain.htrs07.latitude : r.values[htrs07][0];
    const double lambda = htrs07InChain ? chain.htrs07.longitude : r.values[htrs07][1];
    NumericGuard guard;
    const double scale = TmPointScale(MakeGrs80Params(context_.profile->tm07), phi, lambda);
    if (guard.Clean()) {
      r.tm07Scale = scale;
    } else {
      r.tm07ScaleFault = guard.FaultName();
    }
  }
  return r;
}

}  // namespace vortan
