// Google Benchmark of the computation core and of one whole point of each datum chain.
// Each benchmark walks through a fixed set of random points over the mainland, so that the
// iteration counts and branches are those of real data rather than of one repeated point.
#include <benchmark/benchmark.h>
#if VORTAN_BENCH_PROJ
#include <proj.h>
#endif

#include <cstddef>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/angles.h"
#include "core/cartesian.h"
#include "core/decimal_text.h"
#include "core/geodetic_params.h"
#include "core/lanes.h"
#include "core/number_format.h"
#include "core/numeric_guard.h"
#include "core/transverse_mercator.h"
#include "data_files/record_writer.h"
#include "data_files/records.h"
#include "engine/chains.h"
#include "engine/conversion.h"
#include "transform/correction_grid.h"
#include "transform/datum.h"

namespace {

using namespace vortan;

constexpr std::size_t kPoints = 4096;  // a power of two

struct Sample {
  double phi, dLambda;  // HTRS07, radians
  double x, y, z;       // HTRS07 Cartesian
  double e07, n07;      // TM07
  double e87, n87, h;   // a GGRS87 TM87 point
  double phi87, lambda87;
};

const GeodeticParams& Tm07() {
  static const GeodeticParams params = MakeGrs80Params(kMainlandProfile.tm07);
  return params;
}

const GeodeticParams& Tm87() {
  static const GeodeticParams params = MakeGrs80Params(kMainlandProfile.tm87);
  return params;
}

const std::vector<Sample>& Samples() {
  static const std::vector<Sample> samples = [] {
    std::mt19937_64 random(20070501);
    std::uniform_real_distribution<double> east(60000, 860000);
    std::uniform_real_distribution<double> north(3870000, 4630000);
    std::uniform_real_distribution<double> height(-60, 2900);
    std::vector<Sample> s(kPoints);
    for (Sample& p : s) {
      p.e07 = east(random);
      p.n07 = north(random) + Tm07().falseNorthing;
      p.h = height(random);
      const TmInverseResult g = TmInverse(Tm07(), p.e07, p.n07);
      p.phi = g.latitude;
      p.dLambda = g.longitude - CentralMeridianRad(Tm07());
      const Cartesian c = GeodeticToCartesian(Tm07(), g.latitude, g.longitude, p.h);
      p.x = c.x, p.y = c.y, p.z = c.z;
      p.e87 = east(random);
      p.n87 = north(random);
      const TmInverseResult g87 = TmInverse(Tm87(), p.e87, p.n87);
      p.phi87 = g87.latitude;
      p.lambda87 = g87.longitude;
    }
    return s;
  }();
  return samples;
}

const TransformContext& Context() {
  static const TransformContext context = [] {
    TransformContext c = MakeContext(kMainlandProfile, kDataFileBounds);
    const std::string error = InitialStep(c, VORTAN_GRID_DIR "/dN_2km_V1-0.grd",
                                          VORTAN_GRID_DIR "/dE_2km_V1-0.grd");
    if (!error.empty()) std::abort();
    return c;
  }();
  return context;
}

// Runs body on the samples in turn, one per iteration.
template <class Body>
void OverSamples(benchmark::State& state, Body body) {
  const std::vector<Sample>& s = Samples();
  std::size_t i = 0;
  for (auto _ : state) body(s[i++ & (kPoints - 1)]);
}

void BM_TmForward(benchmark::State& state) {
  OverSamples(state, [&](const Sample& p) {
    benchmark::DoNotOptimize(TmForward(Tm07(), p.phi, p.dLambda));
  });
}
BENCHMARK(BM_TmForward);

void BM_TmScaleConvergence(benchmark::State& state) {
  OverSamples(state, [&](const Sample& p) {
    benchmark::DoNotOptimize(TmScaleConvergence(Tm07(), p.phi, p.dLambda));
  });
}
BENCHMARK(BM_TmScaleConvergence);

void BM_TmForwardScale(benchmark::State& state) {
  OverSamples(state, [&](const Sample& p) {
    benchmark::DoNotOptimize(TmForwardScale(Tm07(), p.phi, p.dLambda));
  });
}
BENCHMARK(BM_TmForwardScale);

void BM_TmInverse(benchmark::State& state) {
  OverSamples(state, [&](const Sample& p) {
    benchmark::DoNotOptimize(TmInverse(Tm07(), p.e07, p.n07));
  });
}
BENCHMARK(BM_TmInverse);

// Two positions a call, side by side: per point, half the time of a call.
void BM_TmInversePair(benchmark::State& state) {
  const std::vector<Sample>& s = Samples();
  std::size_t i = 0;
  for (auto _ : state) {
    const Sample& p = s[i++ & (kPoints - 1)];
    const Sample& q = s[i & (kPoints - 1)];
    const double e[] = {p.e07, q.e07}, n[] = {p.n07, q.n07};
    TmInverseResult r[2];
    TmInverses(Tm07(), e, n, 2, r);
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_TmInversePair);

void BM_CartesianToGeodetic(benchmark::State& state) {
  OverSamples(state, [&](const Sample& p) {
    benchmark::DoNotOptimize(CartesianToGeodetic(Tm07(), p.x, p.y, p.z));
  });
}
BENCHMARK(BM_CartesianToGeodetic);

void BM_CartesianToGeodeticPair(benchmark::State& state) {
  const std::vector<Sample>& s = Samples();
  std::size_t i = 0;
  for (auto _ : state) {
    const Sample& p = s[i++ & (kPoints - 1)];
    const Sample& q = s[i & (kPoints - 1)];
    benchmark::DoNotOptimize(
        CartesianToGeodeticPair(Tm07(), Cartesian{p.x, p.y, p.z}, Cartesian{q.x, q.y, q.z}));
  }
}
BENCHMARK(BM_CartesianToGeodeticPair);

// Four points a call, with their tangents, as the chains convert a block.
void BM_CartesianToGeodetics4(benchmark::State& state) {
  const std::vector<Sample>& s = Samples();
  std::size_t i = 0;
  double tans[4];
  Geodetic g[4];
  for (auto _ : state) {
    Cartesian c[4];
    for (Cartesian& q : c) {
      const Sample& p = s[i++ & (kPoints - 1)];
      q = Cartesian{p.x, p.y, p.z};
    }
    CartesianToGeodetics(Tm07(), c, 4, g, tans);
    benchmark::DoNotOptimize(g);
  }
}
BENCHMARK(BM_CartesianToGeodetics4);

void BM_GeodeticToCartesian(benchmark::State& state) {
  OverSamples(state, [&](const Sample& p) {
    benchmark::DoNotOptimize(GeodeticToCartesian(Tm87(), p.phi87, p.lambda87, p.h));
  });
}
BENCHMARK(BM_GeodeticToCartesian);

void BM_InterpolateCorrection(benchmark::State& state) {
  const GridPair& grids = *Context().grids;
  OverSamples(state, [&](const Sample& p) {
    benchmark::DoNotOptimize(InterpolateCorrection(grids, p.n07, p.e07));
  });
}
BENCHMARK(BM_InterpolateCorrection);

void BM_RadiansToDms(benchmark::State& state) {
  OverSamples(state, [&](const Sample& p) {
    benchmark::DoNotOptimize(RadiansToDms(p.phi));
  });
}
BENCHMARK(BM_RadiansToDms);

void BM_NumericGuard(benchmark::State& state) {
  for (auto _ : state) {
    NumericGuard guard;
    benchmark::DoNotOptimize(guard.Clean());
  }
}
BENCHMARK(BM_NumericGuard);

// The chain of one point (a block of one), as the single-point windows call it.
void BM_ChainForwardPoint(benchmark::State& state) {
  const StageChain chain(Context(), Form::kHtrs07Xyz);
  OverSamples(state, [&](const Sample& p) { benchmark::DoNotOptimize(chain.Run({p.x, p.y, p.z})); });
}
BENCHMARK(BM_ChainForwardPoint);

void BM_ChainBackPoint(benchmark::State& state) {
  const StageChain chain(Context(), Form::kGgrs87Tm87);
  OverSamples(state,
              [&](const Sample& p) { benchmark::DoNotOptimize(chain.Run({p.e87, p.n87, p.h})); });
}
BENCHMARK(BM_ChainBackPoint);

// The chains over blocks of 16 points, as the jobs run them, on the vector lanes (argument 1,
// where the processor has them: lanes::Target()) or the plain routines (0); points per second
// are the items per second.
template <Form from>
void BM_ChainBlock(benchmark::State& state) {
  state.SetLabel(state.range(0) ? lanes::Target() : "plain");
  ChainOptions options;
  options.lanes = state.range(0) != 0;
  const StageChain chain(Context(), from, options);
  const std::vector<Sample>& s = Samples();
  std::size_t i = 0;
  Xyz in[StageChain::kBlock];
  PointResult out[StageChain::kBlock];
  for (auto _ : state) {
    for (Xyz& v : in) {
      const Sample& p = s[i++ & (kPoints - 1)];
      v = from == Form::kHtrs07Xyz ? Xyz{p.x, p.y, p.z} : Xyz{p.e87, p.n87, p.h};
    }
    chain.Run(in, StageChain::kBlock, out);
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * StageChain::kBlock));
}
BENCHMARK(BM_ChainBlock<Form::kHtrs07Xyz>)->Arg(1)->Arg(0);
BENCHMARK(BM_ChainBlock<Form::kGgrs87Tm87>)->Arg(1)->Arg(0);

// The batch call on arrays, as the Python and GIS front ends use it: 1,000,000 HTRS07 X, Y, Z
// to GGRS87 TM87 E, N, h on the given number of threads (one pool for all runs). Points per
// second are the items per second.
void BM_EngineBatchXyzToTm87(benchmark::State& state) {
  const TransformContext& context = Context();
  const std::size_t n = 1000000;
  std::vector<double> x(n), y(n), z(n), e(n), north(n), h(n);
  const std::vector<Sample>& s = Samples();
  for (std::size_t i = 0; i < n; ++i) {
    x[i] = s[i & (kPoints - 1)].x;
    y[i] = s[i & (kPoints - 1)].y;
    z[i] = s[i & (kPoints - 1)].z;
  }
  const Conversion conversion(context, Form::kHtrs07Xyz, Form::kGgrs87Tm87);
  WorkerPool pool(static_cast<int>(state.range(0)));
  BatchOptions options;
  options.pool = &pool;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ConvertBatch(conversion, x, y, z, e, north, h, {}, options));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
BENCHMARK(BM_EngineBatchXyzToTm87)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FormatMetres(benchmark::State& state) {
  char buffer[kMaxFormattedLength];
  OverSamples(state, [&](const Sample& p) {
    benchmark::DoNotOptimize(FormatNumber(p.n87, patterns::kMetres, buffer));
    benchmark::ClobberMemory();
  });
}
BENCHMARK(BM_FormatMetres);

void BM_FormatPacked(benchmark::State& state) {
  std::vector<double> packed;
  for (const Sample& p : Samples()) packed.push_back(RadiansToDms(p.phi).packed);
  char buffer[kMaxFormattedLength];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatNumber(packed[i++ & (kPoints - 1)], patterns::kPacked, buffer));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FormatPacked);

// The four output lines of one point of the HTRS07 X, Y, Z job (ten numbers and four ids), as
// the job prints them into its line buffers.
void BM_PrintSxyzLines(benchmark::State& state) {
  std::vector<LineBuffer> out(4);
  std::size_t i = 0;
  for (auto _ : state) {
    const Sample& p = Samples()[i++ & (kPoints - 1)];
    if ((i & 1023) == 0) {
      for (LineBuffer& b : out) b.Clear();
    }
    const std::string_view id = "P123456";
    LineOut(out[0]).Id(id)
        .Numbers(p.phi87 * 1e5, patterns::kPacked, p.lambda87 * 1e5, patterns::kPacked)
        .Number(p.h, patterns::kMetres).End();
    LineOut(out[1]).Id(id).Numbers(p.e07, patterns::kMetres, p.n07, patterns::kMetres)
        .Number(0.9996 + p.dLambda * 1e-3, patterns::kScale).End();
    LineOut(out[2]).Id(id)
        .Numbers(p.phi * 1e5, patterns::kPacked, p.dLambda * 1e5, patterns::kPacked).End();
    LineOut(out[3]).Id(id).Numbers(p.e87, patterns::kMetres, p.n87, patterns::kMetres).End();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PrintSxyzLines);

void BM_ParseFieldNumber(benchmark::State& state) {
  const std::vector<Sample>& s = Samples();
  std::vector<std::string> texts;
  for (const Sample& p : s) texts.push_back(FormatNumber(p.x, patterns::kMetres));
  std::string reason;
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ParseFieldNumber(texts[i++ & (kPoints - 1)], reason));
  }
}
BENCHMARK(BM_ParseFieldNumber);

// The three fields of an HTRS07 X, Y, Z record, as the job reads them: in the text of its
// records.
void BM_ReadXyzFields(benchmark::State& state) {
  std::string text;
  std::vector<std::string_view> fields;
  std::vector<std::size_t> offsets;
  for (const Sample& p : Samples()) {
    text += "P1";
    for (double v : {p.x, p.y, p.z}) {
      text += ',';
      offsets.push_back(text.size());
      text += FormatNumber(v, patterns::kMetres);
      offsets.push_back(text.size());
    }
    text += "\r\n";
  }
  for (std::size_t k = 0; k < offsets.size(); k += 2) {
    fields.push_back(std::string_view(text).substr(offsets[k], offsets[k + 1] - offsets[k]));
  }
  std::size_t i = 0;
  for (auto _ : state) {
    double v[3];
    const std::size_t j = 3 * (i++ & (kPoints - 1));
    for (int k = 0; k < 3; ++k) ReadPlainDecimalInText(text.data(), fields[j + k], v[k]);
    benchmark::DoNotOptimize(v);
  }
}
BENCHMARK(BM_ReadXyzFields);

}  // namespace

#if VORTAN_BENCH_PROJ
// In memory on one thread, 1,000,000 points: the batch call (as the Python package and the
// browser call it) on the lanes (argument 1) or the plain routines (0), against PROJ's
// pipelines on the same points: Helmert and TM87 forward, no grid (a smaller pipeline than
// ours), and its inverse; points per second are the items per second.
constexpr const char* kHelmert =
    "+proj=helmert +convention=coordinate_frame +x=203.437 +y=-73.461 +z=-243.594 "
    "+rx=-0.170 +ry=-0.060 +rz=-0.151 +s=-0.294 +ellps=GRS80";
constexpr const char* kTm87 =
    "+proj=tmerc +lat_0=0 +lon_0=24 +k=0.9996 +x_0=500000 +y_0=0 +ellps=GRS80";

struct Arrays {
  std::vector<double> a, b, c;
};

// HTRS07 X, Y, Z and GGRS87 TM87 E, N, h of 1,000,000 points over the grid, in random order.
const Arrays& InMemoryPoints(bool back) {
  static const Arrays xyz = [] {
    std::mt19937_64 random(2007);
    std::uniform_real_distribution<double> east(60000, 860000);
    std::uniform_real_distribution<double> north(3870000, 4630000);
    std::uniform_real_distribution<double> height(-60, 2900);
    Arrays a;
    for (std::size_t i = 0; i < 1000000; ++i) {
      const TmInverseResult g =
          TmInverse(Tm07(), east(random), north(random) + Tm07().falseNorthing);
      const Cartesian c = GeodeticToCartesian(Tm07(), g.latitude, g.longitude, height(random));
      a.a.push_back(c.x);
      a.b.push_back(c.y);
      a.c.push_back(c.z);
    }
    return a;
  }();
  static const Arrays tm87 = [] {
    Arrays t{std::vector<double>(xyz.a.size()), std::vector<double>(xyz.a.size()),
             std::vector<double>(xyz.a.size())};
    const Conversion forward(Context(), Form::kHtrs07Xyz, Form::kGgrs87Tm87);
    ConvertBatch(forward, xyz.a, xyz.b, xyz.c, t.a, t.b, t.c, {}, {});
    return t;
  }();
  return back ? tm87 : xyz;
}

template <bool back>
void BM_InMemory(benchmark::State& state) {
  state.SetLabel(state.range(0) ? lanes::Target() : "plain");
  const Arrays& in = InMemoryPoints(back);
  Arrays out{std::vector<double>(in.a.size()), std::vector<double>(in.a.size()),
             std::vector<double>(in.a.size())};
  const Conversion conversion(Context(), back ? Form::kGgrs87Tm87 : Form::kHtrs07Xyz,
                              back ? Form::kHtrs07Xyz : Form::kGgrs87Tm87, false,
                              state.range(0) != 0 ? Routines::kLanes : Routines::kPlain);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        ConvertBatch(conversion, in.a, in.b, in.c, out.a, out.b, out.c, {}, {}));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(in.a.size()));
}
BENCHMARK(BM_InMemory<false>)->Name("BM_InMemoryForward")->Arg(1)->Arg(0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InMemory<true>)->Name("BM_InMemoryBack")->Arg(1)->Arg(0)
    ->Unit(benchmark::kMillisecond);

template <bool back>
void BM_ProjInMemory(benchmark::State& state) {
  PJ_CONTEXT* context = proj_context_create();
  const std::string pipeline =
      back ? std::string("+proj=pipeline +step +inv ") + kTm87 +
                 " +step +proj=cart +ellps=GRS80 +step +inv " + kHelmert
           : std::string("+proj=pipeline +step ") + kHelmert +
                 " +step +inv +proj=cart +ellps=GRS80 +step " + kTm87;
  PJ* p = proj_create(context, pipeline.c_str());
  if (!p) {
    state.SkipWithError("PROJ does not take the pipeline");
    return;
  }
  const Arrays& in = InMemoryPoints(back);
  Arrays out = in;
  const std::size_t n = in.a.size();
  for (auto _ : state) {
    state.PauseTiming();
    out = in;  // PROJ converts in place
    state.ResumeTiming();
    proj_trans_generic(p, PJ_FWD, out.a.data(), sizeof(double), n, out.b.data(), sizeof(double),
                       n, out.c.data(), sizeof(double), n, nullptr, 0, 0);
    benchmark::DoNotOptimize(out.a.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
  proj_destroy(p);
  proj_context_destroy(context);
}
BENCHMARK(BM_ProjInMemory<false>)->Name("BM_ProjInMemoryForward")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProjInMemory<true>)->Name("BM_ProjInMemoryBack")->Unit(benchmark::kMillisecond);
#endif
