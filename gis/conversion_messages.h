// What a dataset conversion says, written once for the conversion through GDAL and for the CSV
// tables converted without it (csv_conversion.h): where a feature and a vertex are, why a point
// stops the conversion, the notes on what the user should know, and the initial step run once
// the forms of the input are known. No GDAL here.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "engine/conversion.h"
#include "engine/forms.h"
#include "gis/dataset.h"
#include "transform/datum.h"

namespace vortan::gis {

// What stops a conversion: how it ends, and the message that says where and what to do.
struct Stop {
  DatasetStatus status = DatasetStatus::kError;
  std::string message;
};

// A name in quotes, made safe for a message: 'name'.
std::string Quote(const std::string& text);

// A feature of a dataset's layer: "file, layer 'name', feature 12", with " (line 14)" where the
// feature is a row of a table (line 0: none).
std::string FeaturePlace(const std::string& file, const std::string& layer, std::int64_t fid,
                         std::uint64_t line);

// Where a vertex lies, in the units of its form, from the engine's arrays a, b (latitude,
// longitude in radians for the geographic forms): " (λ 23.700000000°, φ 37.900000000°)" or
// " (E 476000.000, N 4200000.000)".
std::string VertexPosition(Form form, double a, double b);

// The stop for a vertex the engine did not convert (status is not kDone); where names it
// (FeaturePlace, a vertex, VertexPosition).
Stop PointStop(PointStatus status, const std::string& where, Form from, double a, double b,
               const RegionProfile& profile);

// The note for an output that holds no CRS of the target form: "what: the coordinates written
// are ...; give --from FORM when you convert the file again".
std::string NoCrsNote(const std::string& what, Form to, const RegionProfile& profile);

// The note for a table read as Windows-1253 because it is not UTF-8.
std::string RecodedNote(const std::string& file);

// The points of a conversion far outside Greece, by the rule and in the words of the record
// jobs (data_files/jobs.h): counted chunk by chunk, the first named.
class FarPoints {
 public:
  // The vertices a, b, c of a chunk (in the units of the form from) converted into outA, outB
  // (the form to's) with their statuses; name(v) names vertex v, asked of the first only. Where
  // neither form is geographic, the points are placed by a conversion within the input's
  // system, on the pool where one is given.
  void Note(const TransformContext& context, Form from, Form to, std::span<const double> a,
            std::span<const double> b, std::span<const double> c, std::span<const double> outA,
            std::span<const double> outB, std::span<const PointStatus> status,
            const std::function<std::string(std::size_t)>& name, WorkerPool* pool = nullptr);
  // The note, "" when every point lies in Greece.
  std::string Text(std::uint64_t pointsConverted) const;

 private:
  std::uint64_t count_ = 0;
  std::string first_;
  double latitude_ = 0, longitude_ = 0;  // degrees
};

// The initial step, where a conversion from `from` to request.to crosses the datum and the
// context is not ready yet: the region's parameters and the grids of request.dnPath and
// request.dePath. Nothing, or the stop that says why the grids cannot be read.
std::optional<Stop> PrepareContext(TransformContext& context, const DatasetRequest& request,
                                   Form from);

}  // namespace vortan::gis
