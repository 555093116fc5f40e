#include "gis/conversion_messages.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "core/geodetic_params.h"
#include "data_files/jobs.h"
#include "gis/form_names.h"
#include "io/display_text.h"

namespace vortan::gis {
namespace {

// A coordinate for a message: metres to the millimetre, degrees to the nine decimals; a value
// far beyond any coordinate (1e300 in a broken file) in scientific notation.
std::string Coordinate(double value, bool angle) {
  char buffer[64];
  if (!(std::fabs(value) < 1e12)) {
    std::snprintf(buffer, sizeof buffer, "%.9g", value);
  } else {
    std::snprintf(buffer, sizeof buffer, angle ? "%.9f" : "%.3f", value);
  }
  return buffer;
}

}  // namespace

std::string Quote(const std::string& text) { return "'" + DisplayText(text) + "'"; }

std::string FeaturePlace(const std::string& file, const std::string& layer, std::int64_t fid,
                         std::uint64_t line) {
  std::string where = DisplayText(file) + ", layer " + Quote(layer) + ", feature " +
                      std::to_string(fid);
  if (line) where += " (line " + std::to_string(line) + ")";
  return where;
}

std::string VertexPosition(Form form, double a, double b) {
  if (IsGeographic(form)) {
    return " (λ " + Coordinate(b * kDegreesPerRadian, true) + "°, φ " +
           Coordinate(a * kDegreesPerRadian, true) + "°)";
  }
  const auto names = CoordinateNames(form);
  return " (" + std::string(names[0]) + " " + Coordinate(a, false) + ", " +
         std::string(names[1]) + " " + Coordinate(b, false) + ")";
}

Stop PointStop(PointStatus status, const std::string& where, Form from, double a, double b,
               const RegionProfile& profile) {
  switch (status) {
    case PointStatus::kOutsideGrid:
      return {DatasetStatus::kOutsideGrid,
              where + ": outside the correction grid. Nothing was written; give --outside skip "
                      "to leave out the features outside the grid"};
    case PointStatus::kOutOfRange:
      return {DatasetStatus::kError,
              where + ": a " + RangeFault(GeographicOutOfRange(a, b)) +
                  " is no point of the Earth: are the coordinates " +
                  FormCrsDisplayName(from, profile) +
                  ", with latitude and longitude in their places? Correct the geometry or give "
                  "the right --from"};
    case PointStatus::kNoValue:
      return {DatasetStatus::kError,
              where + ": a coordinate is not a number (NaN); correct the geometry"};
    default:
      return {DatasetStatus::kError, where +
                                         ": the conversion fails there (a numeric fault); the "
                                         "coordinates are not " +
                                         FormCrsDisplayName(from, profile)};
  }
}

std::string NoCrsNote(const std::string& what, Form to, const RegionProfile& profile) {
  return what + ": the coordinates written are " + FormCrsDisplayName(to, profile) +
         "; give --from " + std::string(FormName(to)) + " when you convert the file again";
}

std::string RecodedNote(const std::string& file) {
  return DisplayText(file) +
         " is not UTF-8: its text is read as Windows-1253 (Greek Excel's \"CSV (delimited)\") "
         "and written in UTF-8";
}

void FarPoints::Note(const TransformContext& context, Form from, Form to,
                     std::span<const double> a, std::span<const double> b,
                     std::span<const double> c, std::span<const double> outA,
                     std::span<const double> outB, std::span<const PointStatus> status,
                     const std::function<std::string(std::size_t)>& name, WorkerPool* pool) {
  // Latitude and longitude, radians: the input's or the output's where either is geographic,
  // else from the input within its own system.
  std::span<const double> latitude = a, longitude = b;
  std::vector<double> placeA, placeB, placeC;
  if (!IsGeographic(from)) {
    if (IsGeographic(to)) {
      latitude = outA;
      longitude = outB;
    } else {
      const std::size_t n = a.size();
      placeA.resize(n);
      placeB.resize(n);
      placeC.resize(n);
      std::vector<PointStatus> placed(n);
      const Form place = InHtrs07(from) ? Form::kHtrs07Geographic : Form::kGgrs87Geographic;
      BatchOptions options;
      options.pool = pool;
      ConvertBatch(Conversion(context, from, place, false, Routines::kPlain), a, b, c, placeA,
                   placeB, placeC, placed, options);
      latitude = placeA;
      longitude = placeB;
    }
  }
  for (std::size_t v = 0; v < status.size() && v < latitude.size(); ++v) {
    if (status[v] != PointStatus::kDone || !OutsideGreece(latitude[v], longitude[v])) continue;
    if (count_++ == 0) {
      first_ = name(v);
      latitude_ = latitude[v] * kDegreesPerRadian;
      longitude_ = longitude[v] * kDegreesPerRadian;
    }
  }
}

std::string FarPoints::Text(std::uint64_t pointsConverted) const {
  if (count_ == 0) return "";
  return OutsideGreeceNote(count_, pointsConverted, {first_, first_}, latitude_, longitude_)
      .english;
}

std::optional<Stop> PrepareContext(TransformContext& context, const DatasetRequest& request,
                                   Form from) {
  if (InHtrs07(from) == InHtrs07(request.to) || context.initialised) return std::nullopt;
  const std::string error =
      InitialStep(context, request.dnPath, request.dePath, nullptr, request.threads);
  if (error.empty()) return std::nullopt;
  return Stop{DatasetStatus::kError, GridFilesError(error, request.dnPath, request.dePath)};
}

std::string GridFilesError(const std::string& error, const std::string& dnPath,
                           const std::string& dePath) {
  return error + "\nThe grids are read from " + DisplayText(dnPath) + " and " +
         DisplayText(dePath) + "; give other files with --dn and --de.";
}

}  // namespace vortan::gis
