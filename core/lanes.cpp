// The core's routines over vector lanes (core/lanes.h), compiled for each target of Google
// Highway in this one file (hwy/foreach_target.h includes it again per target), the target
// chosen at run time from the processor's features. Each routine is the plain one's formula
// with the same operations in the same order, lane by lane (no contraction into fused
// multiply-adds: the build forbids it); sine, cosine, arc tangent, exponential and logarithm
// are kernels of this file, of plain operations only (Highway's exponential and logarithm use
// the processor's fused multiply-add where it has one), and the rare lanes they do not serve
// take the core's correctly rounded functions. So every target gives the same bits for the
// same point: AVX-512, AVX2, SSE4 and, in the WebAssembly build, the same kernels on two
// doubles a vector (core/detail/wasm_lanes.h). Short arrays are padded with copies of their
// first point, so that the lanes past the end compute something harmless and raise no flag of
// their own.
#include "core/lanes.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "core/angles.h"
#include "core/cartesian.h"
#include "core/detail/tm_series.h"
#include "core/math_functions.h"
#include "core/numeric_guard.h"
#include "core/tm_coefficients.h"
#include "core/transverse_mercator.h"

#if VORTAN_HIGHWAY
// A processor with SSSE3 but no SSE4 (older than 2008) runs the plain routines.
#ifndef HWY_DISABLED_TARGETS
#define HWY_DISABLED_TARGETS HWY_SSSE3
#endif
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "core/lanes.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"
#elif VORTAN_WASM_LANES
// WebAssembly SIMD: two doubles a vector, through the part of Highway's interface used here.
#include "core/detail/wasm_lanes.h"
#endif

#if VORTAN_HIGHWAY || VORTAN_WASM_LANES
HWY_BEFORE_NAMESPACE();
namespace vortan::lanes {
namespace HWY_NAMESPACE {
namespace {

namespace hn = hwy::HWY_NAMESPACE;
using D = hn::ScalableTag<double>;
using V = hn::Vec<D>;
using M = hn::Mask<D>;

// The widest target has eight lanes of doubles; the arrays of a call are worked in pieces of
// at most kPiece points, padded to whole vectors.
constexpr std::size_t kPiece = 16;
constexpr std::size_t kMaxLanes = HWY_MAX_BYTES / sizeof(double);

V K(double x) { return hn::Set(D(), x); }

// The iterations run kChains vectors side by side: each pass waits for the one before, and the
// processor overlaps the chains of independent vectors, which one vector alone leaves idle. A
// piece is worked in groups of kChains vectors (kPiece is a multiple of kChains vectors on
// every target).
constexpr std::size_t kChains = 2;
static_assert(kPiece % (kChains * (HWY_MAX_BYTES / sizeof(double))) == 0);
#define VORTAN_EACH _Pragma("GCC unroll 2") for (std::size_t j = 0; j < kChains; ++j)

// One series table on vectors: the arithmetic of tm_series_eval.inc on single vectors, the
// table given as both of its pair. Each table is evaluated alone, on its own rows, where the
// plain routine pads the shorter table of a pair with zeros to evaluate both in the two halves
// of one register: Horner's rule turns a zero into nothing (0 * y + c is c), so that the sums
// are the same, without the operations on the padding. (Its rows are independent chains of
// their own: evaluating the tables of two vectors in lock step gained nothing measurable and
// made this file take minutes to compile with the sanitizers.)
struct VectorOps {
  using Value = V;
  using Pair = V;
  static Pair Const(double a, double) { return K(a); }
  static Pair Both(V x) { return x; }
  static Pair Of(V x, V) { return x; }
};

using tm_series::Cell;
using tm_series::DoubleOps;
using tm_series::CellCount;
using tm_series::OrderCount;
using tm_series::OrderFactor;
using tm_series::OrderRows;
#include "core/detail/tm_series_eval.inc"

template <const auto& kRows>
V Series(V x, V t2, V eta2) {
  return SeriesPair<kRows, kRows, VectorOps>(x, t2, eta2);
}

// The points of a piece in whole groups of kChains vectors.
std::size_t Whole(std::size_t count) {
  const std::size_t group = kChains * hn::Lanes(D());
  return (count + group - 1) / group * group;
}

// An input array of a piece, read as whole vectors: the caller's own where its points fill
// them, else a copy whose lanes past the points repeat the first point, so that they compute
// something harmless and raise no flag of their own.
class Input {
 public:
  Input(const double* in, std::size_t count) : at_(in) {
    if (in == nullptr || count == Whole(count)) return;
    std::copy(in, in + count, pad_);
    std::fill(pad_ + count, pad_ + kPiece, in[0]);
    at_ = pad_;
  }
  V operator()(std::size_t i) const { return hn::LoadU(D(), at_ + i); }

 private:
  alignas(64) double pad_[kPiece];
  const double* at_;
};

// An output array of a piece, written as whole vectors: in place where its points fill them,
// else into a scratch whose first points Finish copies out. A null array takes nothing.
class Output {
 public:
  Output(double* out, std::size_t count)
      : out_(out), count_(count), at_(out && count == Whole(count) ? out : scratch_) {}
  void operator()(std::size_t i, V v) { hn::StoreU(v, D(), at_ + i); }
  double operator[](std::size_t k) const { return at_[k]; }
  void Finish() {
    if (out_ && at_ != out_) std::copy(at_, at_ + count_, out_);
  }

 private:
  alignas(64) double scratch_[kPiece];
  double* out_;
  std::size_t count_;
  double* at_;
};

// With flags kept in software (WebAssembly), a lane that is not finite raises the flag a
// processor would have: overflow for an infinity, invalid operation for a NaN.
void NoteLanes(V v) {
  if constexpr (kSoftwareFaultFlags) {
    const D d;
    if (!hn::AllTrue(d, hn::IsFinite(v))) {
      const bool nan = !hn::AllFalse(d, hn::IsNaN(v));
      RaiseNumericFault(nan ? NumericFault::kInvalid : NumericFault::kOverflow);
    }
  } else {
    (void)v;
  }
}

#include "core/detail/elementary_kernels.inc"

M NoLanes() { return hn::MaskFromVec(hn::Zero(D())); }

bool AllDone(const M (&done)[kChains]) {
  bool all = true;
  VORTAN_EACH all = all && hn::AllTrue(D(), done[j]);
  return all;
}

// --- X, Y, Z and latitude, longitude, height ---

void ToGeodeticPiece(const GeodeticParams& params, std::size_t count, const double* xs,
                     const double* ys, const double* zs, double* latitude, double* longitude,
                     double* height, double* tanLatitude) {
  const D d;
  const std::size_t lanes = hn::Lanes(d);
  const Input px(xs, count), py(ys, count), pz(zs, count);
  Output lat(latitude, count), lon(longitude, count), h(height, count), tan(tanLatitude, count);
  const double a = params.semiMajorAxis;
  const double qs = 1 - 1 / params.inverseFlattening;  // b / a
  const V q = K(qs);
  const V aE2 = K(a * (1 - qs * qs));  // a e^2
  const V qa = K(qs * a);
  const V one = K(1);
  bool westOrPolar = false;
  for (std::size_t i = 0; i < Whole(count); i += kChains * lanes) {
    V x[kChains], y[kChains], z[kChains], p[kChains], t[kChains];
    VORTAN_EACH {
      x[j] = px(i + j * lanes);
      y[j] = py(i + j * lanes);
      z[j] = pz(i + j * lanes);
      p[j] = hn::Sqrt(y[j] * y[j] + x[j] * x[j]);
      t[j] = z[j] / (q * p[j]);
    }
    // The plain routine's passes, operation for operation: the height and the tangent of the
    // latitude come out as its own (one division a pass would be faster but moves the heights:
    // docs/performance.md, "Choices measured"). A pass that leaves every t as it was leaves it
    // so in every pass after it: the passes end there, with the six passes' bits.
    for (int pass = 0; pass < kBowringPasses; ++pass) {
      bool same = true;
      VORTAN_EACH {
        const V s = hn::Sqrt(one + t[j] * t[j]);
        const V ts = t[j] / s;
        const V next = (q * z[j] + aE2 * (ts * ts * ts)) / (p[j] - aE2 / (s * s * s));
        same = same && hn::AllTrue(d, hn::Eq(next, t[j]));
        t[j] = next;
      }
      if (same) break;
    }
    VORTAN_EACH {
      const std::size_t at = i + j * lanes;
      const V s = hn::Sqrt(one + t[j] * t[j]);
      const V dz = z[j] - t[j] * qa / s;
      const V dp = p[j] - K(a) / s;
      V hv = hn::Sqrt(dz * dz + dp * dp);
      hv = hn::IfThenElse(dp <= hn::Zero(d), hn::Neg(hv), hv);
      const V tanLat = t[j] / q;
      // atan(Y / X) in the eastern hemisphere; elsewhere (no division by an X of 0) the lane's
      // longitude comes from the plain routine below.
      const M east = x[j] > hn::Zero(d);
      const V lambda = Atan(y[j] / hn::IfThenElse(east, x[j], one));
      westOrPolar = westOrPolar || !hn::AllTrue(d, east);
      NoteLanes(tanLat);
      NoteLanes(lambda);
      NoteLanes(hv);
      lat(at, Atan(tanLat));
      lon(at, lambda);
      h(at, hv);
      tan(at, tanLat);
    }
  }
  lat.Finish();
  lon.Finish();
  h.Finish();
  tan.Finish();
  // atan(Y / X) holds for the eastern hemisphere (X > 0); elsewhere the quadrant comes from the
  // signs of X and Y, as in the plain routine.
  if (westOrPolar) {
    for (std::size_t k = 0; k < count; ++k) {
      if (!(xs[k] > 0)) longitude[k] = math::CorrectlyRoundedAtan2(ys[k], xs[k]);
    }
  }
}

void ToCartesianPiece(const GeodeticParams& params, std::size_t count, const double* latitude,
                      const double* longitude, const double* height, double* xs, double* ys,
                      double* zs) {
  const D d;
  const std::size_t lanes = hn::Lanes(d);
  const Input pphi(latitude, count), plambda(longitude, count), ph(height, count);
  Output ox(xs, count), oy(ys, count), oz(zs, count);
  const double f = params.flattening;
  const double e2s = 2 * f - f * f;
  const V e2 = K(e2s), one = K(1), a = K(params.semiMajorAxis);
  for (std::size_t i = 0; i < Whole(count); i += lanes) {
    const V phi = pphi(i), lambda = plambda(i), h = ph(i);
    V sinPhi, cosPhi, sinLambda, cosLambda;
    SinCos(phi, sinPhi, cosPhi);
    SinCos(lambda, sinLambda, cosLambda);
    const V w = hn::Sqrt(one - sinPhi * sinPhi * e2);
    const V n = a / w;
    const V x = (n + h) * cosPhi * cosLambda;
    const V y = (n + h) * cosPhi * sinLambda;
    const V z = ((one - e2) * n + h) * sinPhi;
    NoteLanes(x);
    NoteLanes(y);
    NoteLanes(z);
    ox(i, x);
    oy(i, y);
    oz(i, z);
  }
  ox.Finish();
  oy.Finish();
  oz.Finish();
}

// --- The projection, forward ---

// sin 2x, sin 4x, sin 6x, sin 8x from sin 2x and cos 2x by the multiple-angle recurrence.
struct EvenSines {
  V s2, s4, s6, s8;
};
EvenSines EvenMultipleSines(V s2, V c2) {
  const V s4 = K(2) * s2 * c2;
  const V c4 = K(1) - K(2) * s2 * s2;
  return {s2, s4, s4 * c2 + c4 * s2, K(2) * s4 * c4};
}

// The meridian arc's series at phi, given sin 2k phi.
V MeridianArcSeries(const GeodeticParams& params, V phi, const EvenSines& s) {
  const tm_series::MeridianArcTerms c = tm_series::MeridianArcOf(params.flattening);
  return K(params.semiMajorAxis) * (K(c.a0) * phi - K(c.a2 / 2) * s.s2 + K(c.a4 / 2) * s.s4 -
                                    K(c.a6 / 2) * s.s6 + K(c.a8 / 2) * s.s8);
}

void TmForwardPiece(const GeodeticParams& params, std::size_t count, const double* phis,
                    const double* tans, const double* dLambdas, double* easting,
                    double* northing, double* scale) {
  const D d;
  const std::size_t lanes = hn::Lanes(d);
  const Input pphi(phis, count), ptan(tans, count), pdl(dLambdas, count);
  Output oe(easting, count), on(northing, count), ok(scale, count);
  const double a = params.semiMajorAxis;
  const double f = params.flattening;
  const double k0 = params.scaleFactor;
  const double e2 = f * (2 - f);
  const double ep2 = e2 / ((1 - f) * (1 - f));
  const double ep2Scale = f * (2 - f) / ((1 - f) * (1 - f));
  const V one = K(1);
  for (std::size_t i = 0; i < Whole(count); i += kChains * lanes) {
    V s[kChains], c[kChains], t[kChains], l[kChains];
    VORTAN_EACH {
      const std::size_t at = i + j * lanes;
      const V phi = pphi(at);
      if (tans) {
        t[j] = ptan(at);
        c[j] = one / hn::Sqrt(one + t[j] * t[j]);
        s[j] = t[j] * c[j];
      } else {
        SinCos(phi, s[j], c[j]);
        t[j] = s[j] / c[j];
      }
      const V m = MeridianArcSeries(
          params, phi, EvenMultipleSines(K(2) * s[j] * c[j], (c[j] - s[j]) * (c[j] + s[j])));
      const V eta2 = c[j] * c[j] * K(ep2);
      const V v2 = one + eta2;
      const V n = K(a) / (K(1 - f) * hn::Sqrt(v2));
      const V t2 = t[j] * t[j];
      l[j] = c[j] * pdl(at);
      const V eastSeries = Series<tm_tables::kEastingCoefficients>(l[j], t2, eta2);
      const V northSeries = Series<tm_tables::kNorthingCoefficients>(l[j], t2, eta2);
      const V e = K(params.falseEasting) + K(k0) * n * eastSeries;
      const V north = K(params.falseNorthing) + K(k0) * m + K(k0) * n * t[j] * northSeries;
      NoteLanes(e);
      NoteLanes(north);
      oe(at, e);
      on(at, north);
    }
    if (scale) {
      VORTAN_EACH {
        const V st2 = t[j] * t[j];
        const V st4 = st2 * st2;
        const V seta2 = K(ep2Scale) * c[j] * c[j];
        const V seta4 = seta2 * seta2;
        const V seta6 = seta4 * seta2;
        const V sv2 = one + seta2;
        const V sl2 = l[j] * l[j];
        const V sl4 = sl2 * sl2;
        const V sl6 = sl4 * sl2;
        const V k = K(k0) * (one + sl2 * K(0.5) * sv2 +
                             sl4 / K(24) *
                                 (K(5) - K(4) * st2 + K(14) * seta2 - K(28) * st2 * seta2 +
                                  K(13) * seta4 - K(48) * st2 * seta4 + K(4) * seta6 -
                                  K(24) * st2 * seta6) +
                             sl6 / K(720) * (K(61) - K(148) * st2 + K(16) * st4));
        NoteLanes(k);
        ok(i + j * lanes, k);
      }
    }
  }
  oe.Finish();
  on.Finish();
  ok.Finish();
}

// --- The projection, inverse ---

// sin x and 1 - cos x of a small angle (|x| < 0.01) by their series: all the terms in every
// lane (the plain routine drops those that a smaller x does not need; they add nothing there).
void SmallSinCos(V x, V& st, V& omc) {
  const V x2 = x * x;
  const V s3 = K(-1.0 / 6), s5 = K(1.0 / 120), s7 = K(-1.0 / 5040), s9 = K(1.0 / 362880);
  const V c2 = K(1.0 / 2), c4 = K(-1.0 / 24), c6 = K(1.0 / 720), c8 = K(-1.0 / 40320);
  st = x + x * x2 * (s3 + x2 * (s5 + x2 * (s7 + x2 * s9)));
  omc = x2 * (c2 + x2 * (c4 + x2 * (c6 + x2 * c8)));
}

V AtanhSmall(V x) { return AtanhSeries(x, K); }

V IsometricFrom(V s, V c, double e) {
  return Log(hn::Abs((K(1) + s) / c)) - K(e) * AtanhSmall(K(e) * s);
}

// The footpoint latitudes of arcs m, lane by lane by the plain iteration's passes and stopping
// rule, each lane stopping at its own pass and keeping its value while the others go on; the
// passes start not from mu but from the inverse of the iteration's own arc series at mu
// (tm_series::FootpointStartOf), at their limit to the last bits, so that the first pass ends
// where the plain routine takes five or six (whose own result lies within its tolerance of
// the limit, up to 1e-15 rad).
void FootpointLatitudes(const V (&m)[kChains], double a, double f, V (&out)[kChains]) {
  const D d;
  const tm_series::FootpointTerms terms = tm_series::FootpointOf(f);
  const tm_series::FootpointStartTerms start = tm_series::FootpointStartOf(f);
  const V k0 = K(terms.k0), k1 = K(terms.k1), k2 = K(terms.k2), k3 = K(terms.k3);
  const V q0 = K(start.q0), q1 = K(start.q1), q2 = K(start.q2), q3 = K(start.q3),
          q4 = K(start.q4), q5 = K(start.q5);
  V mu[kChains], phi[kChains], s2[kChains], c2[kChains];
  M done[kChains];
  VORTAN_EACH {
    mu[j] = m[j] * K(1 + terms.n) / K(a * terms.g);
    SinCos(K(2) * mu[j], s2[j], c2[j]);
    // The start moves phi from mu by less than 0.003 rad: sin 2phi and cos 2phi are those of
    // 2 mu turned on by twice the move.
    const V cc = c2[j] * c2[j];
    const V lift =
        s2[j] * ((q0 + q1 * c2[j]) + cc * ((q2 + q3 * c2[j]) + cc * (q4 + q5 * c2[j])));
    phi[j] = mu[j] + lift;
    V st, omc;
    SmallSinCos(K(2) * (phi[j] - mu[j]), st, omc);
    const V sn = s2[j] + (c2[j] * st - s2[j] * omc);
    c2[j] = c2[j] - (s2[j] * st + c2[j] * omc);
    s2[j] = sn;
    out[j] = phi[j];
    done[j] = NoLanes();
  }
  for (int pass = 1;; ++pass) {
    V next[kChains];
    M large[kChains];
    bool anyLarge = false;
    VORTAN_EACH {
      const V delta = s2[j] * ((k0 + k1 * c2[j]) + (c2[j] * c2[j]) * (k2 + k3 * c2[j]));
      const M stop =
          hn::AndNot(done[j], hn::Abs((phi[j] - mu[j]) - delta) < K(kFootpointTolerance));
      const M ends = pass > kFootpointMaxPasses ? hn::Not(done[j]) : stop;
      out[j] = hn::IfThenElse(ends, phi[j], out[j]);
      done[j] = hn::Or(done[j], ends);
      next[j] = delta + mu[j];
    }
    // From the start above, the first pass ends every lane: nothing is turned on for nothing.
    if (AllDone(done)) return;
    VORTAN_EACH {
      const V turn = K(2) * (next[j] - phi[j]);
      V st, omc;
      SmallSinCos(turn, st, omc);
      const V sn = s2[j] + (c2[j] * st - s2[j] * omc);
      const V cn = c2[j] - (s2[j] * st + c2[j] * omc);
      large[j] = hn::AndNot(done[j], hn::Not(hn::Abs(turn) < K(0.01)));
      anyLarge = anyLarge || !hn::AllFalse(d, large[j]);
      s2[j] = hn::IfThenElse(done[j], s2[j], sn);
      c2[j] = hn::IfThenElse(done[j], c2[j], cn);
    }
    if (anyLarge) {
      VORTAN_EACH {
        if (hn::AllFalse(d, large[j])) continue;
        V ls, lc;
        SinCos(K(2) * next[j], ls, lc);
        s2[j] = hn::IfThenElse(large[j], ls, s2[j]);
        c2[j] = hn::IfThenElse(large[j], lc, c2[j]);
      }
    }
    VORTAN_EACH phi[j] = hn::IfThenElse(done[j], phi[j], next[j]);
  }
}

// The latitudes whose isometric latitudes are psiTarget, lane by lane: the conformal latitude
// chi = 2 atan(exp psiTarget) - pi/2 plus its series to the geodetic latitude in the third
// flattening to n^6 (tm_series::ConformalStartOf), whose first omitted terms are in n^7, 4e-20
// rad. The plain routine iterates from chi to its tolerance (three or four passes, its result
// within 1e-15 rad of the latitude); a pass from the series value moved no lane by more than
// its last bits, so the series value is the result here.
void LatitudesFromIsometric(const V (&psiTarget)[kChains], double f, V (&out)[kChains]) {
  const V one = K(1);
  const tm_series::ConformalStartTerms start = tm_series::ConformalStartOf(f);
  const V q0 = K(start.q0), q1 = K(start.q1), q2 = K(start.q2), q3 = K(start.q3),
          q4 = K(start.q4), q5 = K(start.q5);
  VORTAN_EACH {
    // sin chi = (E^2 - 1) / (E^2 + 1) and cos chi = 2 E / (E^2 + 1) with E = exp(psiTarget).
    const V ex = Exp(psiTarget[j]);
    const V chi = K(2) * Atan(ex) - K(kPi / 2);
    const V ex2 = ex * ex;
    const V r = one / (ex2 + one);
    const V sChi = (ex2 - one) * r;
    const V cChi = K(2) * ex * r;
    const V s2 = K(2) * sChi * cChi;
    const V c2 = (cChi - sChi) * (cChi + sChi);
    const V c4 = c2 * c2;
    out[j] = chi + s2 * ((q0 + q1 * c2) + c4 * ((q2 + q3 * c2) + c4 * (q4 + q5 * c2)));
  }
}

// RadiansToDms(r).packed of the lanes, and whether a split came near its boundary.
V Packed(V radians, bool& nearSplit) {
  const V dv = radians * K(180) / K(kPi);
  const V degrees = hn::Floor(dv);
  const V minutes = hn::Floor((dv - degrees) * K(60));
  const V seconds = ((dv - degrees) * K(60) - minutes) * K(60);
  {
    const V f1 = dv - degrees, f2 = (dv - degrees) * K(60) - minutes;
    const V margin = K(math::kSplitMargin), top = K(1 - math::kSplitMargin);
    const M near = hn::Or(hn::Or(f1 < margin, f1 > top), hn::Or(f2 < margin, f2 > top));
    nearSplit = nearSplit || !hn::AllFalse(D(), near);
  }
  // Whole degrees beyond 16 bits have no packed value: the plain routine raises the invalid
  // operation there.
  if (!hn::AllTrue(D(), hn::Abs(degrees) <= K(32767))) RaiseNumericFault(NumericFault::kInvalid);
  return (degrees * K(10000) + minutes * K(100)) + seconds;
}

void TmInversePiece(const GeodeticParams& params, std::size_t count, const double* eastings,
                    const double* northings, double* latitude, double* longitude,
                    double* packedLatitude, double* packedLongitude) {
  const D d;
  const std::size_t lanes = hn::Lanes(d);
  const Input pe(eastings, count), pn(northings, count);
  Output olat(latitude, count), olon(longitude, count), oplat(packedLatitude, count),
      oplon(packedLongitude, count);
  const double a = params.semiMajorAxis;
  const tm_series::InverseTerms terms = tm_series::InverseOf(a, params.inverseFlattening);
  const double f = terms.f, e = terms.e, ep2 = terms.ep2;
  const double lambda0 = CentralMeridianRadByPi(params);
  const double k0 = params.scaleFactor;
  const V one = K(1);
  bool outside = false, nearSplit = false;
  for (std::size_t i = 0; i < Whole(count); i += kChains * lanes) {
    V m[kChains], phi1[kChains], psi[kChains], dLambda[kChains], phi[kChains];
    VORTAN_EACH m[j] = (pn(i + j * lanes) - K(params.falseNorthing)) / K(k0);
    FootpointLatitudes(m, a, f, phi1);
    VORTAN_EACH {
      const V x = pe(i + j * lanes) - K(params.falseEasting);
      V s1, c1;
      SinCos(phi1[j], s1, c1);
      // The quotients by cos phi1 and by N1 = a / ((1 - f) V) as products: one division.
      const V rc = one / c1;
      const V t1 = s1 * rc;
      const V eta2 = K(ep2) * c1 * c1;
      const V v2 = one + eta2;
      const V dd = x * (K(1 - f) * hn::Sqrt(v2)) * K(1 / (k0 * a));
      const V t2 = t1 * t1;
      const V psi1 = IsometricFrom(s1, c1, e);
      psi[j] =
          psi1 + (t1 * rc) * Series<tm_tables::kIsometricLatitudeCoefficients>(dd, t2, eta2);
      dLambda[j] = rc * Series<tm_tables::kLongitudeCoefficients>(dd, t2, eta2);
    }
    LatitudesFromIsometric(psi, f, phi);
    VORTAN_EACH {
      const V lambda = K(lambda0) + dLambda[j];
      NoteLanes(phi[j]);
      NoteLanes(lambda);
      const M inside =
          hn::And(hn::And(hn::Abs(m[j]) <= K(terms.quarter), hn::Abs(phi[j]) <= K(kPi / 2)),
                  hn::Abs(dLambda[j]) <= K(kPi / 2));
      if (!hn::AllTrue(d, inside)) {
        outside = true;
        continue;
      }
      const std::size_t at = i + j * lanes;
      olat(at, phi[j]);
      olon(at, lambda);
      if (packedLatitude) {
        oplat(at, Packed(phi[j], nearSplit));
        oplon(at, Packed(lambda, nearSplit));
      }
    }
  }
  if (nearSplit) math::internal::nearBoundary = true;
  if (outside) {
    // A position without an inverse: the plain routine says which, raising the invalid
    // operation and giving NaN there.
    for (std::size_t k = 0; k < count; ++k) {
      const TmInverseResult r = vortan::TmInverse(params, eastings[k], northings[k]);
      latitude[k] = r.latitude;
      longitude[k] = r.longitude;
      if (packedLatitude) {
        packedLatitude[k] = r.packedLatitude;
        packedLongitude[k] = r.packedLongitude;
      }
    }
    return;
  }
  olat.Finish();
  olon.Finish();
  oplat.Finish();
  oplon.Finish();
}

void PackedPiece(std::size_t count, const double* radians, double* packed) {
  const D d;
  const std::size_t lanes = hn::Lanes(d);
  const Input pr(radians, count);
  Output op(packed, count);
  bool nearSplit = false;
  for (std::size_t i = 0; i < Whole(count); i += lanes) op(i, Packed(pr(i), nearSplit));
  if (nearSplit) math::internal::nearBoundary = true;
  op.Finish();
}

void GridCellsPiece(const Mesh& mesh, const Extent& extent, std::size_t count,
                    const double* northings, const double* eastings, double* rows,
                    double* columns, double* ts, double* ss) {
  const D d;
  const std::size_t lanes = hn::Lanes(d);
  const Input pn(northings, count), pe(eastings, count);
  Output orow(rows, count), ocolumn(columns, count), ot(ts, count), os(ss, count);
  // A cell needs rows i, i + 1 and columns j, j + 1.
  const bool cells = mesh.rowCount >= 2 && mesh.columnCount >= 2;
  const double lastRow = mesh.rowCount - 1, lastColumn = mesh.columnCount - 1;
  const V step = K(mesh.step), zero = hn::Zero(d), one = K(1);
  const V below = K(-mesh.rounding), rowLimit = K(lastRow), columnLimit = K(lastColumn);
  const V rowBeyond = K(lastRow + mesh.rounding), columnBeyond = K(lastColumn + mesh.rounding);
  const V nMin = K(extent.nMin), nMax = K(extent.nMax), eMin = K(extent.eMin),
          eMax = K(extent.eMax), margin = K(math::kComparisonMargin);
  bool near = false;
  for (std::size_t i = 0; i < Whole(count); i += lanes) {
    const V northing = pn(i), easting = pe(i);
    const V n = northing - K(extent.falseNorthing);
    const M nearN = hn::Or(hn::Abs(n - nMin) < margin, hn::Abs(n - nMax) < margin);
    const M nearE = hn::Or(hn::Abs(easting - eMin) < margin, hn::Abs(easting - eMax) < margin);
    near = near || !hn::AllFalse(d, hn::Or(nearN, nearE));
    const M inExtent =
        hn::And(hn::And(nMin <= n, n <= nMax), hn::And(eMin <= easting, easting <= eMax));
    const V fromNorth = K(mesh.nNorth) - northing;
    const V fromWest = easting - K(mesh.eWest);
    V u = fromNorth / step;
    V v = fromWest / step;
    // Beyond an edge by no more than rounding: on it.
    u = hn::IfThenZeroElse(hn::And(u < zero, u > below), u);
    v = hn::IfThenZeroElse(hn::And(v < zero, v > below), v);
    u = hn::IfThenElse(hn::And(u > rowLimit, u < rowBeyond), rowLimit, u);
    v = hn::IfThenElse(hn::And(v > columnLimit, v < columnBeyond), columnLimit, v);
    const M inside =
        hn::And(hn::And(u >= zero, u <= rowLimit), hn::And(v >= zero, v <= columnLimit));
    // The floor of u, v (not negative inside) plus one; on the southern row or the eastern
    // column the last cell.
    const V row = hn::Min(hn::Floor(hn::IfThenElseZero(inside, u)) + one, rowLimit);
    const V column = hn::Min(hn::Floor(hn::IfThenElseZero(inside, v)) + one, columnLimit);
    orow(i, cells ? hn::IfThenElseZero(hn::And(inExtent, inside), row) : zero);
    ocolumn(i, column);
    ot(i, (row * step - fromNorth) / step);
    os(i, (fromWest - (column - one) * step) / step);
  }
  if (near) math::internal::nearBoundary = true;
  orow.Finish();
  ocolumn.Finish();
  ot.Finish();
  os.Finish();
}

}  // namespace

// The routines of the target, over pieces of kPiece points.
void CartesianToGeodetic(const GeodeticParams& params, std::size_t n, const double* x,
                         const double* y, const double* z, double* latitude, double* longitude,
                         double* height, double* tanLatitude) {
  for (std::size_t b = 0; b < n; b += kPiece) {
    const std::size_t m = std::min(kPiece, n - b);
    ToGeodeticPiece(params, m, x + b, y + b, z + b, latitude + b, longitude + b, height + b,
                    tanLatitude ? tanLatitude + b : nullptr);
  }
}

void GeodeticToCartesian(const GeodeticParams& params, std::size_t n, const double* latitude,
                         const double* longitude, const double* height, double* x, double* y,
                         double* z) {
  for (std::size_t b = 0; b < n; b += kPiece) {
    const std::size_t m = std::min(kPiece, n - b);
    ToCartesianPiece(params, m, latitude + b, longitude + b, height + b, x + b, y + b, z + b);
  }
}

void TmForward(const GeodeticParams& params, std::size_t n, const double* phi,
               const double* tanPhi, const double* dLambda, double* easting, double* northing,
               double* scale) {
  for (std::size_t b = 0; b < n; b += kPiece) {
    const std::size_t m = std::min(kPiece, n - b);
    TmForwardPiece(params, m, phi + b, tanPhi ? tanPhi + b : nullptr, dLambda + b, easting + b,
                   northing + b, scale ? scale + b : nullptr);
  }
}

void TmInverse(const GeodeticParams& params, std::size_t n, const double* easting,
               const double* northing, double* latitude, double* longitude,
               double* packedLatitude, double* packedLongitude) {
  for (std::size_t b = 0; b < n; b += kPiece) {
    const std::size_t m = std::min(kPiece, n - b);
    TmInversePiece(params, m, easting + b, northing + b, latitude + b, longitude + b,
                   packedLatitude ? packedLatitude + b : nullptr,
                   packedLongitude ? packedLongitude + b : nullptr);
  }
}

void PackedAngles(std::size_t n, const double* radians, double* packed) {
  for (std::size_t b = 0; b < n; b += kPiece) {
    PackedPiece(std::min(kPiece, n - b), radians + b, packed + b);
  }
}

void GridCells(const Mesh& mesh, const Extent& extent, std::size_t n, const double* northing,
               const double* easting, double* row, double* column, double* t, double* s) {
  for (std::size_t b = 0; b < n; b += kPiece) {
    GridCellsPiece(mesh, extent, std::min(kPiece, n - b), northing + b, easting + b, row + b,
                   column + b, t + b, s + b);
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace vortan::lanes
HWY_AFTER_NAMESPACE();
#endif  // VORTAN_HIGHWAY || VORTAN_WASM_LANES

#if !VORTAN_HIGHWAY || HWY_ONCE
namespace vortan::lanes {
namespace {

// The routines of one target.
struct Kernels {
  const char* name;
  decltype(&vortan::lanes::CartesianToGeodetic) cartesianToGeodetic;
  decltype(&vortan::lanes::GeodeticToCartesian) geodeticToCartesian;
  decltype(&vortan::lanes::TmForward) tmForward;
  decltype(&vortan::lanes::TmInverse) tmInverse;
  decltype(&vortan::lanes::PackedAngles) packedAngles;
  decltype(&vortan::lanes::GridCells) gridCells;
};

#define VORTAN_KERNELS_OF(ns, label)                                                        \
  Kernels {                                                                                 \
    label, &ns::CartesianToGeodetic, &ns::GeodeticToCartesian, &ns::TmForward,             \
        &ns::TmInverse, &ns::PackedAngles, &ns::GridCells                                   \
  }

// The targets of this build that the processor runs (the features Highway's targets take),
// widest first.
std::vector<Kernels> Runnable() {
  std::vector<Kernels> runnable;
#if VORTAN_HIGHWAY
#if HWY_ARCH_X86 && (defined(__GNUC__) || defined(__clang__))
  __builtin_cpu_init();
#if HWY_TARGETS & HWY_AVX3
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
      __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw")) {
    runnable.push_back(VORTAN_KERNELS_OF(N_AVX3, "AVX3"));
  }
#endif
#if HWY_TARGETS & HWY_AVX2
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") &&
      __builtin_cpu_supports("bmi2")) {
    runnable.push_back(VORTAN_KERNELS_OF(N_AVX2, "AVX2"));
  }
#endif
#if HWY_TARGETS & HWY_SSE4
  if (__builtin_cpu_supports("sse4.2") && __builtin_cpu_supports("pclmul") &&
      __builtin_cpu_supports("aes")) {
    runnable.push_back(VORTAN_KERNELS_OF(N_SSE4, "SSE4"));
  }
#endif
#endif
#elif VORTAN_WASM_LANES
  runnable.push_back(VORTAN_KERNELS_OF(N_WASM128, "WASM128"));
#endif
  return runnable;
}

const std::vector<Kernels>& AllRunnable() {
  static const std::vector<Kernels> runnable = Runnable();
  return runnable;
}

const Kernels kNone{"none", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

// The runnable target of that name, in capitals or not.
const Kernels* Named(const char* name) {
  if (name == nullptr) return nullptr;
  for (const Kernels& k : AllRunnable()) {
    std::size_t i = 0;
    while (k.name[i] != 0 && std::toupper(static_cast<unsigned char>(name[i])) == k.name[i]) ++i;
    if (k.name[i] == 0 && name[i] == 0) return &k;
  }
  return nullptr;
}

// The target VORTAN_SIMD names (AVX3, AVX2 or SSE4, for comparison), where the processor runs
// it; else the widest, or none.
const Kernels* Initial() {
  if (const Kernels* named = Named(std::getenv("VORTAN_SIMD"))) return named;
  return AllRunnable().empty() ? &kNone : &AllRunnable().front();
}

// Set once at the start, and by SelectTarget.
std::atomic<const Kernels*>& ChosenPointer() {
  static std::atomic<const Kernels*> chosen{Initial()};
  return chosen;
}

const Kernels& Chosen() { return *ChosenPointer().load(std::memory_order_relaxed); }

// On where a target runs, unless VORTAN_SIMD=off.
bool StartsActive() {
  if (Chosen().tmInverse == nullptr) return false;
  const char* setting = std::getenv("VORTAN_SIMD");
  return !(setting && (std::strcmp(setting, "off") == 0 || std::strcmp(setting, "0") == 0));
}

// Read by every thread that converts; set once.
const bool& ActiveFlag() {
  static const bool active = StartsActive();
  return active;
}

// The setting read before anything is computed.
[[maybe_unused]] const bool kStarted = ActiveFlag();

}  // namespace

const char* Target() { return Chosen().name; }

std::vector<const char*> Targets() {
  std::vector<const char*> names;
  for (const Kernels& k : AllRunnable()) names.push_back(k.name);
  return names;
}

bool SelectTarget(const char* name) {
  const Kernels* named = Named(name);
  if (!named) return false;
  ChosenPointer().store(named, std::memory_order_relaxed);
  return true;
}

bool Active() { return ActiveFlag(); }

void CartesianToGeodetic(const GeodeticParams& params, std::size_t n, const double* x,
                         const double* y, const double* z, double* latitude, double* longitude,
                         double* height, double* tanLatitude) {
  Chosen().cartesianToGeodetic(params, n, x, y, z, latitude, longitude, height, tanLatitude);
}

void GeodeticToCartesian(const GeodeticParams& params, std::size_t n, const double* latitude,
                         const double* longitude, const double* height, double* x, double* y,
                         double* z) {
  Chosen().geodeticToCartesian(params, n, latitude, longitude, height, x, y, z);
}

void TmForward(const GeodeticParams& params, std::size_t n, const double* phi,
               const double* tanPhi, const double* dLambda, double* easting, double* northing,
               double* scale) {
  Chosen().tmForward(params, n, phi, tanPhi, dLambda, easting, northing, scale);
}

void TmInverse(const GeodeticParams& params, std::size_t n, const double* easting,
               const double* northing, double* latitude, double* longitude,
               double* packedLatitude, double* packedLongitude) {
  Chosen().tmInverse(params, n, easting, northing, latitude, longitude, packedLatitude,
                     packedLongitude);
}

void PackedAngles(std::size_t n, const double* radians, double* packed) {
  Chosen().packedAngles(n, radians, packed);
}

void GridCells(const Mesh& mesh, const Extent& extent, std::size_t n, const double* northing,
               const double* easting, double* row, double* column, double* t, double* s) {
  Chosen().gridCells(mesh, extent, n, northing, easting, row, column, t, s);
}

}  // namespace vortan::lanes
#endif
