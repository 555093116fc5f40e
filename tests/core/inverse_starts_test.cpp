// The series of the inverse projection's two iterations on the vector lanes
// (tm_series::FootpointStartOf, ConformalStartOf). The footpoint's is the start of the lanes'
// iteration, within its tolerance of the iteration's limit so that their first pass stops
// there (a wrong coefficient leaves the results right but the lanes slow). The conformal one is
// the lanes' latitude of an isometric latitude itself, with no pass after it: within four units
// of the last place of the latitude (5e-16 rad, the rounding of this test's own sums and
// functions included), where the plain iteration stops within 1e-15 rad.
#include <gtest/gtest.h>

#include <cmath>

#include "core/detail/tm_series.h"
#include "core/geodetic_params.h"
#include "core/transverse_mercator.h"
#include "tests/support/ulp.h"

namespace vortan {
namespace {

constexpr double kA = kGrs80SemiMajorAxis;
constexpr double kF = 1 / kGrs80InverseFlattening;

// x + sin 2x (q0 + q1 c + ... + q5 c^5), c = cos 2x: the layout of both starts.
template <typename Terms>
double Start(const Terms& q, double x) {
  const double s = std::sin(2 * x), c = std::cos(2 * x);
  return x + s * (q.q0 + c * (q.q1 + c * (q.q2 + c * (q.q3 + c * (q.q4 + c * q.q5)))));
}

// Latitudes from 30 to 46 degrees, the served areas with a margin, every 0.01 degree.
template <typename F>
void OverLatitudes(F&& f) {
  for (int k = 0; k <= 1600; ++k) f((30 + k * 0.01) * kPi / 180);
}

TEST(InverseStarts, FootpointStartIsWithinTheToleranceOfTheIterationsLimit) {
  const tm_series::FootpointTerms terms = tm_series::FootpointOf(kF);
  const tm_series::FootpointStartTerms start = tm_series::FootpointStartOf(kF);
  OverLatitudes([&](double phi) {
    // The arc of phi by the iteration's own series, whose limit is phi.
    const double m = kA * terms.g / (1 + terms.n) * phi -
                     kA * terms.g / (1 + terms.n) * std::sin(2 * phi) *
                         ((terms.k0 + terms.k1 * std::cos(2 * phi)) +
                          std::cos(2 * phi) * std::cos(2 * phi) *
                              (terms.k2 + terms.k3 * std::cos(2 * phi)));
    const double mu = m * (1 + terms.n) / (kA * terms.g);
    // Tolerance 0: the iteration runs to its pass limit, at its limit in double precision.
    const double limit = FootpointLatitude(m, kA, kF, 0);
    EXPECT_LT(std::fabs(Start(start, mu) - limit), kFootpointTolerance) << phi * 180 / kPi;
  });
}

TEST(InverseStarts, ConformalSeriesIsTheLatitudeToItsLastBits) {
  const tm_series::ConformalStartTerms start = tm_series::ConformalStartOf(kF);
  const double e = std::sqrt(kF * (2 - kF));
  OverLatitudes([&](double phi) {
    const double chi = 2 * std::atan(std::exp(IsometricLatitude(phi, e))) - kPi / 2;
    EXPECT_LE(support::UlpDistance(Start(start, chi), phi), 4) << phi * 180 / kPi;
  });
}

}  // namespace
}  // namespace vortan
