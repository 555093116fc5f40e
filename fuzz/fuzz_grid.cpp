// The correction grid loader on arbitrary bytes, and the interpolation at arbitrary points of
// each grid that loads. The first 24 bytes choose the point; the rest is the grid file.
// Checked: a refused file gets a message that begins with its path and shows every byte on one
// line (no control character); a loaded grid holds rowCount * columnCount values within 10 m and
// a header within the plausible limits; an interpolated correction lies between the smallest and
// the largest value of the grid, and at a node of a well-conditioned grid it is that node's
// value (to float rounding).
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <string>

#include "fuzz/memory_file.h"
#include "transform/grid_file.h"

using vortan::fuzz::Broken;
using vortan::fuzz::MemoryFile;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider point(data, std::min<std::size_t>(size, 24));
  const double u = point.ConsumeFloatingPoint<double>();
  const double v = point.ConsumeFloatingPoint<double>();
  const std::uint16_t nodeRow = point.ConsumeIntegral<std::uint16_t>();
  const std::uint16_t nodeColumn = point.ConsumeIntegral<std::uint16_t>();
  const bool raw = point.ConsumeBool();
  const std::size_t used = std::min<std::size_t>(size, 24);

  const MemoryFile file(data + used, size - used, "grid");
  std::string error;
  const std::optional<vortan::CorrectionGrid> grid = vortan::ReadCorrectionGrid(file.path(), error);
  if (!grid) {
    if (error.rfind(file.path(), 0) != 0) Broken("the message does not name the file: " + error);
    for (const char ch : error) {
      const unsigned char byte = static_cast<unsigned char>(ch);
      if (byte < 0x20 || byte == 0x7F) Broken("a control character in the message: " + error);
    }
    return 0;
  }
  if (!error.empty()) Broken("a loaded grid with an error: " + error);
  const vortan::GridHeader& h = grid->header;
  if (h.rowCount < 1 || h.columnCount < 1 || !(h.step >= vortan::kMinGridStep) ||
      !(h.step <= vortan::kMaxGridStep) || !(std::fabs(h.nSouth) <= vortan::kMaxGridCoordinate) ||
      !(std::fabs(h.eWest) <= vortan::kMaxGridCoordinate)) {
    Broken("a bad header was accepted");
  }
  if (grid->values.size() != static_cast<std::size_t>(h.rowCount) * h.columnCount) {
    Broken("the value count does not match the header");
  }
  float low = grid->values.front(), high = grid->values.front();
  for (float value : grid->values) {
    if (!std::isfinite(value)) Broken("a non-finite correction value was accepted");
    if (std::fabs(value) > vortan::kMaxCorrectionCm) Broken("a correction beyond 10 m was accepted");
    low = std::min(low, value);
    high = std::max(high, value);
  }

  const vortan::GridPair pair{*grid, *grid};
  // Either raw coordinates, or a position in cells from the north-west corner.
  const double n = raw ? u : h.nNorth() - std::fmod(u, h.rowCount + 1.0) * h.step;
  const double e = raw ? v : h.eWest + std::fmod(v, h.columnCount + 1.0) * h.step;
  const std::optional<vortan::Correction> c = vortan::InterpolateCorrection(pair, n, e);
  const double slack = 1e-5 * std::max(std::fabs(double(low)), std::fabs(double(high))) + 1e-30;
  if (c) {
    for (float r : {c->dN, c->dE}) {
      if (!(r >= low - slack && r <= high + slack)) {
        Broken("interpolated " + std::to_string(r) + " outside [" + std::to_string(low) + ", " +
               std::to_string(high) + "]");
      }
    }
  }

  // At a node of a grid with small whole numbers as header, the node's own value comes back.
  const bool wellConditioned = h.step >= 1 && h.step <= 1e5 && h.step == std::floor(h.step) &&
                               std::fabs(h.nSouth) < 1e8 && std::fabs(h.eWest) < 1e8 &&
                               h.nSouth == std::floor(h.nSouth) && h.eWest == std::floor(h.eWest);
  if (wellConditioned && h.rowCount >= 2 && h.columnCount >= 2) {
    const int i = 1 + nodeRow % h.rowCount;
    const int j = 1 + nodeColumn % h.columnCount;
    const std::optional<vortan::Correction> atNode = vortan::InterpolateCorrection(
        pair, h.nNorth() - (i - 1) * h.step, h.eWest + (j - 1) * h.step);
    if (!atNode) Broken("no correction at a node of the grid");
    // The differences between neighbouring nodes are formed in single precision (as the
    // grids are held), so the node value comes back to a few float ulps of the largest value.
    const float expected = grid->Value(i, j);
    const double ulps = 4 * FLT_EPSILON * std::max(std::fabs(double(low)), std::fabs(double(high)));
    if (std::fabs(atNode->dN - expected) > ulps || std::fabs(atNode->dE - expected) > ulps) {
      Broken("node (" + std::to_string(i) + ", " + std::to_string(j) + ") gives " +
             std::to_string(atNode->dN) + ", not " + std::to_string(expected));
    }
  }
  return 0;
}
