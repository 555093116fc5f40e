#include "engine/conversion.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <memory>
#include <stdexcept>

#include "core/cartesian.h"
#include "core/numeric_guard.h"
#include "core/simd.h"
#include "core/transverse_mercator.h"

namespace vortan {
namespace {

// The stage that produces a form within its own system.
Stage StageOf(Form form) {
  switch (form) {
    case Form::kHtrs07Xyz: return Stage::kHtrs07Xyz;
    case Form::kHtrs07Geographic: return Stage::kHtrs07Geographic;
    case Form::kHtrs07Tm07: return Stage::kTm07;
    case Form::kGgrs87Geographic: return Stage::kGgrs87Geographic;
    case Form::kGgrs87Tm87: return Stage::kTm87;
  }
  throw std::logic_error("StageOf: not a form");
}

void Set(double out[3], double a, double b, double c) {
  out[0] = a;
  out[1] = b;
  out[2] = c;
}

// A conversion within one system: the core's conversions only.
PointOutcome Within(const TransformContext& context, Form from, Form to, const double in[3],
                    double out[3], double* where) {
  const GeodeticParams params =
      MakeGrs80Params(InHtrs07(from) ? context.profile->tm07 : context.profile->tm87);
  const double a = in[0], b = in[1], h = in[2];
  double result[3];
  NumericGuard guard;
  // Latitude, longitude and height of the input, from any of the three forms.
  Geodetic g{a, b, h};
  if (from == Form::kHtrs07Xyz) {
    g = CartesianToGeodetic(params, a, b, h);
  } else if (IsProjected(from)) {
    const TmInverseResult ll = TmInverse(params, a, b);
    g = {ll.latitude, ll.longitude, h};
  }
  switch (to) {
    case Form::kHtrs07Xyz: {
      const Cartesian c = GeodeticToCartesian(params, g.latitude, g.longitude, g.height);
      Set(result, c.x, c.y, c.z);
      break;
    }
    case Form::kHtrs07Geographic:
    case Form::kGgrs87Geographic:
      Set(result, g.latitude, g.longitude, g.height);
      break;
    case Form::kHtrs07Tm07:
    case Form::kGgrs87Tm87: {
      const GridPoint p =
          TmForward(params, g.latitude, g.longitude - CentralMeridianRad(params));
      Set(result, p.easting, p.northing, g.height);
      break;
    }
  }
  if (!guard.Clean()) return {PointStatus::kFault, StageOf(to), guard.FaultName()};
  std::copy(result, result + 3, out);
  if (where) {
    where[0] = g.latitude;
    where[1] = g.longitude;
  }
  return {};
}

}  // namespace

std::string_view FormName(Form form) {
  switch (form) {
    case Form::kHtrs07Xyz: return "htrs07-xyz";
    case Form::kHtrs07Geographic: return "htrs07-geographic";
    case Form::kHtrs07Tm07: return "htrs07-tm07";
    case Form::kGgrs87Geographic: return "ggrs87-geographic";
    case Form::kGgrs87Tm87: return "ggrs87-tm87";
  }
  throw std::logic_error("FormName: not a form");
}

std::optional<Form> FormOfName(std::string_view name) {
  for (Form form : kAllForms) {
    if (FormName(form) == name) return form;
  }
  return std::nullopt;
}

int GeographicOutOfRange(double latitude, double longitude) {
  if (std::fabs(latitude) > kPi / 2) return 0;
  if (std::fabs(longitude) > kPi) return 1;
  return -1;
}

const char* RangeFault(int coordinate) {
  return coordinate == 0 ? "latitude beyond ±90°" : "longitude beyond ±180°";
}

std::array<std::string_view, 3> CoordinateNames(Form form) {
  if (form == Form::kHtrs07Xyz) return {"X", "Y", "Z"};
  if (IsGeographic(form)) return {"φ", "λ", "h"};
  return {"E", "N", "h"};
}

namespace {

// The values a chain computes for a target form: for the lean chain only what that form
// takes (no latitude, longitude of the corrected position for an E, N target); for the full
// chain every value the windows show.
ChainOptions OptionsFor(Form to, bool keepHeights, bool lean, Routines routines) {
  ChainOptions options;
  options.lanes = routines == Routines::kLanes;
  options.shown = !lean;
  options.ggrs87Geographic = !lean || to == Form::kGgrs87Geographic;
  options.htrs07Geographic = !lean || to != Form::kHtrs07Tm07;
  options.withXyz = to == Form::kHtrs07Xyz;
  options.withTm87 = false;
  options.keepHeight = keepHeights;
  return options;
}

}  // namespace

Conversion::Conversion(const TransformContext& context, Form from, Form to, bool keepHeights,
                       Routines routines)
    : context_(context),
      from_(from),
      to_(to),
      keepHeights_(keepHeights),
      lean_(context, from, OptionsFor(to, keepHeights, true, routines)),
      full_(context, from, OptionsFor(to, keepHeights, false, routines)) {}

PointResult Conversion::Chain(const double in[3]) const { return full_.Run({in[0], in[1], in[2]}); }

bool Conversion::Before(const double in[3], double out[3], double* where,
                        PointOutcome& outcome) const {
  outcome = {};
  if (GoesAsIs(in)) return false;
  if (std::isnan(in[0]) || std::isnan(in[1]) || std::isnan(in[2])) {
    outcome = {PointStatus::kNoValue, Stage::kNone, ""};
    return true;
  }
  if (IsGeographic(from_)) {
    if (const int bad = GeographicOutOfRange(in[0], in[1]); bad >= 0) {
      outcome = {PointStatus::kOutOfRange, Stage::kNone, RangeFault(bad)};
      return true;
    }
  }
  // Infinities raise no flag in the chains (atan2 of an infinity is exact), and would come out
  // as a latitude of 0: a numeric fault before any chain runs.
  if (std::isinf(in[0]) || std::isinf(in[1]) || std::isinf(in[2])) {
    outcome = {PointStatus::kFault, Stage::kNone, kInfiniteCoordinate};
    return true;
  }
  if (IsGeographic(from_) && where) {
    where[0] = in[0];
    where[1] = in[1];
  }
  if (from_ == to_) {
    // A form to itself computes no latitude or longitude: where it is stays unknown (NaN),
    // which no note takes for a place.
    if (where && !IsGeographic(from_)) {
      where[0] = where[1] = std::numeric_limits<double>::quiet_NaN();
    }
    std::copy(in, in + 3, out);
    return true;
  }
  if (!acrossDatum()) {
    outcome = Within(context_, from_, to_, in, out, IsGeographic(from_) ? nullptr : where);
    return true;
  }
  return false;
}

PointOutcome Conversion::After(const PointResult& r, const double in[3], double out[3],
                               double* where) const {
  if (!r.ok()) return {r.status, r.failed, r.fault};
  if (where && !IsGeographic(from_)) {
    // Every chain that does not begin with latitude and longitude forms them first.
    const bool htrs07 = InHtrs07(from_);
    where[0] = htrs07 ? r.htrs07.latitude : r.ggrs87.latitude;
    where[1] = htrs07 ? r.htrs07.longitude : r.ggrs87.longitude;
  }
  if (InHtrs07(to_)) {
    const Htrs07Values& v = r.htrs07;  // the height as keepHeights asks, set by the chain
    switch (to_) {
      case Form::kHtrs07Xyz: Set(out, v.x, v.y, v.z); break;
      case Form::kHtrs07Geographic: Set(out, v.latitude, v.longitude, v.height); break;
      default: Set(out, v.easting, v.northing, v.height); break;
    }
    return {};
  }
  const Ggrs87Values& v = r.ggrs87;
  // The input height: the given one, or from X, Y, Z the HTRS07 ellipsoidal height.
  const double inputHeight = from_ == Form::kHtrs07Xyz ? r.htrs07.height : in[2];
  const double h = keepHeights_ ? inputHeight : v.height;
  if (to_ == Form::kGgrs87Geographic) {
    Set(out, v.latitude, v.longitude, h);
  } else {
    Set(out, v.easting, v.northing, h);
  }
  return {};
}

PointOutcome Conversion::Point(const double in[3], double out[3], double* where) const {
  PointOutcome outcome;
  if (Before(in, out, where, outcome)) return outcome;
  return After(lean_.Run({in[0], in[1], in[2]}), in, out, where);
}

void Conversion::Points(const Xyz* in, std::size_t n, Xyz* out, PointOutcome* outcomes,
                        std::array<double, 2>* where) const {
  constexpr std::size_t kBlock = StageChain::kBlock;
  for (std::size_t b = 0; b < n; b += kBlock) {
    const std::size_t m = std::min(kBlock, n - b);
    // The points of the block that the chain takes, gathered.
    Xyz taken[kBlock];
    std::size_t index[kBlock];
    std::size_t count = 0;
    for (std::size_t k = b; k < b + m; ++k) {
      const Xyz& p = in[k];
      if (GoesAsIs(p.data())) {
        outcomes[k] = {};
        taken[count] = p;
        index[count++] = k;
      } else if (!Before(p.data(), out[k].data(), where ? where[k].data() : nullptr,
                         outcomes[k])) {
        taken[count] = p;
        index[count++] = k;
      }
    }
    // Storage the chain fills (it begins each point afresh): results constructed here would be
    // zeroed at every block for nothing.
    union Results {
      Results() {}
      PointResult r[kBlock];
    } results;
    PointResult* r = results.r;
    lean_.Run(taken, count, r);
    for (std::size_t q = 0; q < count; ++q) {
      const std::size_t k = index[q];
      outcomes[k] = After(r[q], taken[q].data(), out[k].data(), where ? where[k].data() : nullptr);
    }
  }
}

namespace {

constexpr std::size_t kBatchChunk = 4096;  // points a task converts

// One chunk of a batch and what it found.
struct BatchChunk {
  std::size_t begin = 0, end = 0;
  std::size_t failures = 0;
  std::optional<std::size_t> firstFailure;
  PointOutcome firstOutcome;
  TaskTicket ticket;
};

}  // namespace

BatchOutcome ConvertBatch(const Conversion& conversion, std::span<const double> a,
                          std::span<const double> b, std::span<const double> c,
                          std::span<double> outA, std::span<double> outB, std::span<double> outC,
                          std::span<PointStatus> status, const BatchOptions& options) {
  const std::size_t n = a.size();
  if (b.size() != n || c.size() != n || outA.size() != n || outB.size() != n ||
      outC.size() != n || (!status.empty() && status.size() != n)) {
    throw std::invalid_argument("ConvertBatch: arrays of different lengths");
  }
  std::unique_ptr<WorkerPool> ownPool;
  WorkerPool* pool = options.pool;
  if (pool == nullptr) {
    ownPool = std::make_unique<WorkerPool>(std::max(1, options.threads));
    pool = ownPool.get();
  }
  // With stopAtFirst, chunks that begin after a failure found so far are not computed.
  std::atomic<std::size_t> stopAt{std::numeric_limits<std::size_t>::max()};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  auto compute = [&](BatchChunk& chunk) {
    if (options.stopAtFirst && chunk.begin > stopAt.load(std::memory_order_relaxed)) return;
    constexpr std::size_t kBlock = StageChain::kBlock;
    for (std::size_t first = chunk.begin; first < chunk.end; first += kBlock) {
      const std::size_t m = std::min(kBlock, chunk.end - first);
      // The next block's lines of the arrays asked for while this one computes: the processor
      // fetches a stream ahead only while it is being read, and a block computes for
      // microseconds between its reads.
      for (std::size_t i = first + kBlock; i < std::min(first + 2 * kBlock, chunk.end);
           i += 64 / sizeof(double)) {
        simd::PrefetchRead(&a[i]);
        simd::PrefetchRead(&b[i]);
        simd::PrefetchRead(&c[i]);
        simd::PrefetchWrite(&outA[i]);
        simd::PrefetchWrite(&outB[i]);
        simd::PrefetchWrite(&outC[i]);
      }
      Xyz in[kBlock], out[kBlock];
      PointOutcome outcomes[kBlock];
      for (std::size_t q = 0; q < m; ++q) in[q] = {a[first + q], b[first + q], c[first + q]};
      conversion.Points(in, m, out, outcomes);
      for (std::size_t q = 0; q < m; ++q) {
        const std::size_t i = first + q;
        const PointOutcome& o = outcomes[q];
        if (!status.empty()) status[i] = o.status;
        if (o.ok()) {
          outA[i] = out[q][0];
          outB[i] = out[q][1];
          outC[i] = out[q][2];
          continue;
        }
        outA[i] = outB[i] = outC[i] = nan;
        if (o.status == PointStatus::kNoValue) continue;
        ++chunk.failures;
        if (!chunk.firstFailure) {
          chunk.firstFailure = i;
          chunk.firstOutcome = o;
          if (options.stopAtFirst) {
            std::size_t seen = stopAt.load(std::memory_order_relaxed);
            while (i < seen && !stopAt.compare_exchange_weak(seen, i)) {
            }
            return;
          }
        }
      }
    }
  };

  BatchOutcome outcome;
  outcome.threadsUsed = pool->threads();
  // Chunks in flight: a few per thread, so that the output order and memory stay bounded.
  const std::size_t window = 4 * static_cast<std::size_t>(pool->threads());
  std::deque<BatchChunk> chunks;
  std::size_t next = 0;
  // The queued chunks refer to this frame: whatever happens, they have run before it ends.
  struct Drain {
    WorkerPool& pool;
    std::deque<BatchChunk>& chunks;
    ~Drain() {
      for (BatchChunk& chunk : chunks) {
        try {
          pool.Wait(chunk.ticket);
        } catch (...) {
        }
      }
    }
  } drain{*pool, chunks};
  while (next < n || !chunks.empty()) {
    while (next < n && chunks.size() < window &&
           !(options.cancel && options.cancel->load(std::memory_order_relaxed)) &&
           !(options.stopAtFirst && outcome.firstFailure)) {
      BatchChunk& chunk = chunks.emplace_back();
      chunk.begin = next;
      chunk.end = std::min(n, next + kBatchChunk);
      next = chunk.end;
      pool->Submit([&compute, &chunk] { compute(chunk); }, chunk.ticket);
    }
    if (chunks.empty()) break;
    BatchChunk& oldest = chunks.front();
    pool->Wait(oldest.ticket);
    if (!outcome.firstFailure || !options.stopAtFirst) {
      outcome.failures += oldest.failures;
      if (oldest.firstFailure && !outcome.firstFailure) {
        outcome.firstFailure = oldest.firstFailure;
        outcome.firstOutcome = oldest.firstOutcome;
      }
      outcome.completed = outcome.firstFailure && options.stopAtFirst ? *outcome.firstFailure
                                                                      : oldest.end;
      if (options.progress) options.progress(outcome.completed);
    }
    chunks.pop_front();
  }
  if (next < n && !(options.stopAtFirst && outcome.firstFailure)) outcome.cancelled = true;
  return outcome;
}

}  // namespace vortan
