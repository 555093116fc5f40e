#include <gtest/gtest.h>

#include <cmath>

#include "core/angles.h"
#include "core/cartesian.h"
#include "core/number_format.h"
#include "core/transverse_mercator.h"
#include "engine/conversion.h"
#include "transform/datum.h"

namespace vortan {
namespace {

const double kPi = 4 * std::atan(1.0);

TransformContext Kastelorizo() {
  TransformContext context = MakeContext(kKastelorizoProfile, kSinglePointBounds);
  EXPECT_EQ(InitialStep(context, "/nonexistent/dN", "/nonexistent/dE"), "");  // reads nothing
  EXPECT_TRUE(context.Ready());
  return context;
}

// The default point, the scale factor on 30 degrees and the zero corrections are chain cases
// (tests/transform/chains/kastelorizo.chains).

TEST(Kastelorizo, TranslationsOnlyThereAndBack) {
  const HelmertParams& h = kKastelorizoProfile.helmert;
  const Cartesian c = HelmertTransform(h, 4483880.358, 2546197.179, 3741457.925, +1);
  EXPECT_EQ(c.x, 4483880.358 + -5.02);
  EXPECT_EQ(c.y, 2546197.179 + -19.885);
  EXPECT_EQ(c.z, 3741457.925 + -12.244);
  const Cartesian b = HelmertTransform(h, c.x, c.y, c.z, -1);
  EXPECT_NEAR(b.x, 4483880.358, 1e-9);
  EXPECT_NEAR(b.y, 2546197.179, 1e-9);
  EXPECT_NEAR(b.z, 3741457.925, 1e-9);
}

TEST(Kastelorizo, ThereAndBackWithoutAGrid) {
  const TransformContext context = Kastelorizo();
  // Kastelorizo itself, a mainland point and a point far outside Greece.
  for (const auto& [lat, lon] : {std::pair{36.15, 29.59}, {38.0, 23.7}, {48.0, 2.0}}) {
    const GeodeticParams grs80 = MakeGrs80Params(kKastelorizoProfile.tm07);
    const Cartesian c = GeodeticToCartesian(grs80, lat * kPi / 180, lon * kPi / 180, 10);
    const PointResult f = Conversion(context, Form::kHtrs07Xyz, Form::kGgrs87Geographic)
                              .Chain(Xyz{c.x, c.y, c.z}.data());
    ASSERT_TRUE(f.ok());
    const PointResult b = Conversion(context, Form::kGgrs87Geographic, Form::kHtrs07Geographic)
                              .Chain(Xyz{f.ggrs87.latitude, f.ggrs87.longitude, f.ggrs87.height}
                                         .data());
    ASSERT_TRUE(b.ok());
    // The series serve a few degrees around the central meridians; far away they only run.
    if (std::fabs(lon - 30) > 7) continue;
    EXPECT_NEAR(b.htrs07.latitude, lat * kPi / 180, 1e-9);
    EXPECT_NEAR(b.htrs07.longitude, lon * kPi / 180, 1e-9);
    EXPECT_NEAR(b.htrs07.height, 10, 1e-3);
  }
}

}  // namespace
}  // namespace vortan
