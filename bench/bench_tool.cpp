// vortan-bench-tool: the helpers of the end-to-end benchmark.
//
//   vortan-bench-tool points COUNT SEED DIR
//       writes COUNT random points over the mainland, inside the extent of the correction
//       grids, as DIR/HTRS07-SXYZ.txt and DIR/GGRS87-SENh.txt (the inputs of sxyz-to-ggrs87
//       and senh-to-htrs07) and as DIR/cct-xyz.txt and DIR/cct-enh.txt (the same points as
//       whitespace-separated columns for PROJ's cct).
//   vortan-bench-tool compute JOB INPUT DN DE [REPEAT]
//       reads INPUT into memory (not timed), then runs the chain of the job over every point,
//       without parsing or formatting, REPEAT times (default 5); prints the best time.
//   vortan-bench-tool load-grids DN DE [REPEAT [THREADS]]
//       loads the two correction grids REPEAT times (default 1), on THREADS threads (default 1;
//       2 reads them at the same time, as a job on several threads does); prints the time of
//       the first load, as a program makes it once at its initial step, and the best of the
//       later ones.
//   vortan-bench-tool time OUT COMMAND [ARGS...]
//       runs COMMAND (its standard streams those of the tool) and writes its wall time in
//       seconds, to the microsecond, and its peak resident memory in KiB into the file OUT, as
//       "S KIB"; exits with the command's status. /usr/bin/time tells the wall time only to
//       the hundredth, which is too coarse for ratios near their targets.
//
// Times are printed as "seconds=S points_per_second=P" for the scripts to read.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/angles.h"
#include "core/cartesian.h"
#include "core/geodetic_params.h"
#include "core/number_format.h"
#include "core/numeric_guard.h"
#include "core/transverse_mercator.h"
#include "data_files/record_reader.h"
#include "engine/chains.h"
#include "data_files/records.h"
#include "transform/correction_grid.h"
#include "transform/datum.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

int Usage() {
  std::fprintf(stderr,
               "usage: vortan-bench-tool points COUNT SEED DIR\n"
               "       vortan-bench-tool compute sxyz-to-ggrs87|senh-to-htrs07 INPUT DN DE "
               "[REPEAT]\n"
               "       vortan-bench-tool load-grids DN DE [REPEAT [THREADS]]\n"
               "       vortan-bench-tool time OUT COMMAND [ARGS...]\n");
  return 2;
}

// Random points: TM07 (or TM87) positions drawn uniformly over the grid extent with a margin,
// heights from -60 m to 2900 m.
int WritePoints(long count, unsigned long seed, const std::string& dir) {
  using vortan::patterns::kMetres;
  const vortan::GeodeticParams tm07 = vortan::MakeGrs80Params(vortan::kMainlandProfile.tm07);
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> east(60000, 860000);
  std::uniform_real_distribution<double> north(3870000, 4630000);  // without false northing
  std::uniform_real_distribution<double> height(-60, 2900);
  std::ofstream sxyz(dir + "/HTRS07-SXYZ.txt", std::ios::binary);
  std::ofstream senh(dir + "/GGRS87-SENh.txt", std::ios::binary);
  std::ofstream cctXyz(dir + "/cct-xyz.txt", std::ios::binary);
  std::ofstream cctEnh(dir + "/cct-enh.txt", std::ios::binary);
  std::string a, b, c, d;
  auto number = [](std::string& out, double v) {
    char buffer[vortan::kMaxFormattedLength];
    out.append(buffer, vortan::FormatNumber(v, kMetres, buffer));
  };
  for (long i = 1; i <= count; ++i) {
    const std::string id = "P" + std::to_string(i);
    // An HTRS07 point from a TM07 position.
    const double e07 = east(random), n07 = north(random) + tm07.falseNorthing, h07 = height(random);
    const vortan::TmInverseResult g = vortan::TmInverse(tm07, e07, n07);
    const vortan::Cartesian x = vortan::GeodeticToCartesian(tm07, g.latitude, g.longitude, h07);
    // A GGRS87 point given in TM87 (false northing 0).
    const double e87 = east(random), n87 = north(random), h87 = height(random);
    a += id;
    for (double v : {x.x, x.y, x.z}) a += ',', number(a, v);
    a += "\r\n";
    b += id;
    for (double v : {e87, n87, h87}) b += ',', number(b, v);
    b += "\r\n";
    for (double v : {x.x, x.y, x.z}) number(c, v), c += ' ';
    c += '\n';
    for (double v : {e87, n87, h87}) number(d, v), d += ' ';
    d += '\n';
    if (a.size() > (1 << 20) || i == count) {
      sxyz << a;
      senh << b;
      cctXyz << c;
      cctEnh << d;
      a.clear(), b.clear(), c.clear(), d.clear();
    }
  }
  return sxyz && senh && cctXyz && cctEnh ? 0 : 1;
}

struct Point {
  double v[3];
};

// The numbers of every record of a coordinate file.
bool ReadPoints(const std::string& path, std::vector<Point>& points) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  static const std::array<std::string_view, 3> names = {"1", "2", "3"};
  vortan::RecordReader reader(fd, names);
  vortan::RecordBatch batch;
  std::string reason;
  bool more = true;
  while (more) {
    more = reader.ReadBatch(batch, 8192);
    for (const vortan::RawRecord& r : batch.records) {
      Point p;
      for (int n = 0; n < 3; ++n) {
        p.v[n] = vortan::ParseFieldNumber(batch.Field(r.numbers[n]), reason).value_or(0);
      }
      points.push_back(p);
    }
  }
  ::close(fd);
  return !reader.failed();
}

// What the batch jobs compute for their points (the chain of the job over blocks of points,
// with its fault guard), without their parsing and formatting. The sums keep the compiler from
// dropping the work.
double ChainOf(const vortan::StageChain& chain, const Point* p, std::size_t n) {
  constexpr std::size_t kBlock = vortan::StageChain::kBlock;  // the jobs' block
  vortan::Xyz xyz[kBlock];
  vortan::PointResult r[kBlock];
  double sum = 0;
  for (std::size_t b = 0; b < n; b += kBlock) {
    const std::size_t m = std::min(kBlock, n - b);
    for (std::size_t k = 0; k < m; ++k) xyz[k] = {p[b + k].v[0], p[b + k].v[1], p[b + k].v[2]};
    chain.Run(xyz, m, r);
    for (std::size_t k = 0; k < m; ++k) {
      const vortan::PointResult& q = r[k];
      if (!q.ok()) continue;
      sum += q.htrs07.packedLatitude + q.htrs07.packedLongitude + q.htrs07.height +
             q.htrs07.easting + q.htrs07.northing + q.htrs07.scale + q.ggrs87.easting +
             q.ggrs87.northing + q.ggrs87.packedLatitude + q.ggrs87.packedLongitude;
    }
  }
  return sum;
}

int Compute(const std::string& job, const std::string& input, const std::string& dn,
            const std::string& de, int repeat) {
  vortan::TransformContext context =
      vortan::MakeContext(vortan::kMainlandProfile, vortan::kDataFileBounds);
  const std::string error = vortan::InitialStep(context, dn, de);
  if (!error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::vector<Point> points;
  if (!ReadPoints(input, points)) {
    std::fprintf(stderr, "cannot read %s\n", input.c_str());
    return 1;
  }
  const bool forward = job == "sxyz-to-ggrs87";
  if (!forward && job != "senh-to-htrs07") return Usage();
  const vortan::StageChain chain(
      context, forward ? vortan::Form::kHtrs07Xyz : vortan::Form::kGgrs87Tm87);
  double best = std::numeric_limits<double>::infinity();
  double check = 0;
  for (int r = 0; r < repeat; ++r) {
    const Clock::time_point start = Clock::now();
    const double sum = ChainOf(chain, points.data(), points.size());
    best = std::min(best, Seconds(Clock::now() - start));
    check = sum;
  }
  std::printf("points=%zu seconds=%.6f points_per_second=%.0f check=%.6e\n", points.size(), best,
              static_cast<double>(points.size()) / best, check);
  return 0;
}

// The first load is what a program pays at its initial step (fresh memory, no warm caches of
// the allocator); the later ones show the same work on memory already in use.
int LoadGrids(const std::string& dn, const std::string& de, int repeat, int threads) {
  double first = 0;
  double best = std::numeric_limits<double>::infinity();
  for (int r = 0; r < repeat; ++r) {
    const Clock::time_point start = Clock::now();
    const vortan::GridLoadResult loaded = vortan::LoadCorrectionGrids(dn, de, threads);
    const double s = Seconds(Clock::now() - start);
    if (!loaded.grids) {
      std::fprintf(stderr, "%s\n", loaded.error.c_str());
      return 1;
    }
    if (r == 0) first = s;
    best = std::min(best, s);
  }
  std::printf("seconds=%.6f later_best_seconds=%.6f\n", first, best);
  return 0;
}

// Runs argv[0..] and writes "wall-seconds peak-KiB" into out; returns the command's status.
int TimeCommand(const std::string& out, char** argv) {
  pid_t child = 0;
  const Clock::time_point start = Clock::now();
  if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv, environ) != 0) {
    std::fprintf(stderr, "vortan-bench-tool time: cannot run %s\n", argv[0]);
    return 127;
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) {
    std::fprintf(stderr, "vortan-bench-tool time: lost %s\n", argv[0]);
    return 127;
  }
  const double wall = Seconds(Clock::now() - start);
  std::FILE* f = std::fopen(out.c_str(), "w");
  if (f == nullptr || std::fprintf(f, "%.6f %ld\n", wall, usage.ru_maxrss) < 0 ||
      std::fclose(f) != 0) {
    std::fprintf(stderr, "vortan-bench-tool time: cannot write %s\n", out.c_str());
    return 127;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage();
  if (args[0] == "time" && args.size() >= 3) return TimeCommand(args[1], argv + 3);
  if (args[0] == "points" && args.size() == 4) {
    return WritePoints(std::atol(args[1].c_str()), std::strtoul(args[2].c_str(), nullptr, 10),
                       args[3]);
  }
  if (args[0] == "compute" && (args.size() == 5 || args.size() == 6)) {
    return Compute(args[1], args[2], args[3], args[4],
                   args.size() == 6 ? std::atoi(args[5].c_str()) : 5);
  }
  if (args[0] == "load-grids" && args.size() >= 3 && args.size() <= 5) {
    return LoadGrids(args[1], args[2], args.size() >= 4 ? std::atoi(args[3].c_str()) : 1,
                     args.size() == 5 ? std::atoi(args[4].c_str()) : 1);
  }
  return Usage();
}
