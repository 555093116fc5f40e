// What a record job does with one point: the engine's chain for it, and the lines it writes
// from the stages the point completed. The four jobs and the conversion between two forms each
// are one task on the same frame (jobs.cpp).
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data_files/job_table.h"
#include "data_files/record_writer.h"
#include "engine/conversion.h"
#include "transform/datum.h"

namespace vortan {

// Why a point stopped the job.
enum class StopKind { kNone, kField, kFault, kOutOfRange, kOutsideGrid, kCancelled };

// What a task tells of a point that stopped: the numeric fault, or the coordinate out of range.
struct StopDetail {
  const char* fault = "";  // "overflow", ..., or "latitude beyond ±90°", ...
  int field = -1;          // the input field at fault (0 to 2), -1 for the point as a whole
  double value = 0;        // that field's value as the chain takes it (radians for angles)
  // Outside the grid: the TM07 position the extent test or the grid refused, metres.
  double easting = 0, northing = 0;
};

// Where a point is on the Earth: its latitude and longitude (radians, in either system) as the
// task's chain has them; NaN where it has none.
struct Where {
  double latitude, longitude;
};

class RecordTask {
 public:
  virtual ~RecordTask() = default;
  // The names of the three numeric fields of an input record, as messages name them.
  virtual std::array<std::string_view, 3> FieldNames() const = 0;
  virtual std::size_t OutputCount() const = 0;
  virtual bool UsesTransform() const = 0;
  // Computes one point from its id (as it is written) and three numbers and writes its lines;
  // returns kNone, or why it stopped (the lines of the stages completed before the stop are
  // written, and detail says what failed). where receives where the point is.
  virtual StopKind Compute(std::string_view id, const double v[3], std::vector<LineBuffer>& out,
                           StopDetail& detail, Where& where) const = 0;
  // Whether the first two numbers of a record are packed DDMMSS.SSSSS angles.
  virtual bool ReadsAngles() const { return false; }
  // The points ComputeBlock takes at a time (at most kMaxBlock).
  virtual std::size_t BlockSize() const { return 1; }
  // Compute of n points in order, up to the first that stops: returns how many completed, and
  // when fewer than n, why the next one stopped (in stop and detail; the lines of the stages it
  // completed are written). Each point writes exactly the lines Compute writes for it.
  virtual std::size_t ComputeBlock(const std::string_view* ids, const Xyz* values,
                                   std::size_t n, std::vector<LineBuffer>& out, StopKind& stop,
                                   StopDetail& detail, Where* where) const;
  static constexpr std::size_t kMaxBlock = StageChain::kBlock;  // a block of the chains
};

// The task of one of the four jobs.
std::unique_ptr<RecordTask> MakeJobTask(JobKind kind, const TransformContext& context,
                                        Routines routines = Routines::kLanes);

// The task that converts records of one form into records of another.
std::unique_ptr<RecordTask> MakeConversionTask(const Conversion& conversion);

}  // namespace vortan
