// Every chain of the system, once: the way from each entry form of a point across the datum
// transformation (and within one system), in the fixed order of steps, as a list of stages run
// over a block of points (a single point is a block of one) under the numeric-fault guard.
// Each stage fills the values that a window or a job shows or writes of the points it
// computes, and a point records which stages it completed: on a failure, the stage that failed
// and why.
//
// A stage completes as a whole or not at all; the values of a stage are valid only when the
// result says the stage completed. The windows show, and the jobs write, exactly the values of
// the completed stages.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/forms.h"
#include "transform/datum.h"

namespace vortan {

enum class PointStatus : std::uint8_t {
  kDone,
  kOutsideGrid,  // the TM07 position fails the extent test or lies outside the grids read
  kFault,        // a numeric fault (overflow, division by zero, invalid operation)
  kNoValue,      // an input coordinate is NaN: the output is NaN, and that is no failure
  kOutOfRange,   // an input latitude beyond 90 degrees or longitude beyond 180 degrees
};

// The stages of the chains, each named after what it produces.
enum class Stage : std::uint8_t {
  kNone = 0,
  kHtrs07Geographic,  // HTRS07 latitude, longitude (radians, packed) and height
  kHtrs07Xyz,         // HTRS07 X, Y, Z
  kTm07,              // HTRS07 TM07 E, N (uncorrected) and point scale factor
  kGgrs87Geographic,  // GGRS87 latitude, longitude (radians, packed) of the entry point
  kTm87,              // GGRS87 TM87 E, N of the entry point
  kDatum,             // the datum transformation with its grid correction, either way
};

// The HTRS07 values of a point.
struct Htrs07Values {
  double x = 0, y = 0, z = 0;  // metres
  double latitude = 0, longitude = 0;  // radians
  double packedLatitude = 0, packedLongitude = 0;  // DDMMSS.SSSSS
  double height = 0;  // ellipsoidal, metres: the input's forward, Helmert's on the way back
  double easting = 0, northing = 0;  // TM07, metres (corrected on the way back)
  double scale = 0;  // TM07 point scale factor (forward chains from X, Y, Z and from phi, lambda)
};

// The GGRS87 values of a point.
struct Ggrs87Values {
  double latitude = 0, longitude = 0;  // radians
  double packedLatitude = 0, packedLongitude = 0;  // DDMMSS.SSSSS
  double height = 0;  // ellipsoidal, metres
  double easting = 0, northing = 0;  // TM87, metres (corrected in the forward chains)
};

// Every value of one point, as the stages fill it.
struct PointResult {
  PointStatus status = PointStatus::kDone;
  Stage failed = Stage::kNone;  // the stage that failed, kNone when done
  const char* fault = "";       // "overflow", "division by zero", "invalid operation"
  std::uint8_t completed = 0;   // the stages completed, a bit each
  Htrs07Values htrs07;
  Ggrs87Values ggrs87;  // the height: Helmert's in the forward chains, the input's on the way back
  // The datum step: the TM position before the correction (TM87 forward, TM07 on the way
  // back; on the way back also the TM07 position refused outside the grid, which forward is
  // htrs07.easting, northing), and the corrections in centimetres as shown (the grid values
  // forward, negated on the way back).
  double uncorrectedEasting = 0, uncorrectedNorthing = 0;
  float dE = 0, dN = 0;

  bool Completed(Stage stage) const {
    return (completed & (1u << static_cast<unsigned>(stage))) != 0;
  }
  bool ok() const { return status == PointStatus::kDone; }
};

// What a chain computes beyond what its target form needs.
struct ChainOptions {
  bool ggrs87Geographic = true;  // forward: the GGRS87 latitude, longitude of the corrected TM87
  bool htrs07Geographic = true;  // back: the HTRS07 latitude, longitude of the corrected TM07
  bool withXyz = false;          // back: the HTRS07 X, Y, Z of the result (stage kHtrs07Xyz)
  bool withTm87 = true;          // back from latitude, longitude: their TM87 E, N (kTm87)
  bool keepHeight = false;       // back: the HTRS07 height is the input's, not Helmert's
  // The core routines on vector lanes where they run (core/lanes.h); off: the plain routines,
  // the same last bits on every processor and in every build.
  bool lanes = true;
  // The packed angles and the TM07 scale factor, which the windows and the record files show.
  bool shown = true;
};

// The chains across the datum, by entry form (a chain ends in the other system):
//
// From HTRS07 X, Y, Z: HTRS07 latitude, longitude and height (kHtrs07Geographic); TM07 E, N and
// scale factor (kTm07), projected from the tangent of the latitude as the conversion ends with
// it; the datum step, its extent test at that TM07 position (kDatum), with TM87 projected from
// the tangent of the GGRS87 latitude likewise.
// From HTRS07 latitude, longitude, h: X, Y, Z (kHtrs07Xyz); TM07 E, N, scale (kTm07); the datum.
// From TM07 E, N, h: the extent test at the given E, N first (outside: nothing completes);
// latitude, longitude by the inverse TM07 (kHtrs07Geographic); X, Y, Z (kHtrs07Xyz); the datum.
// The forward datum step: the grid cell at the TM07 position, Helmert to GGRS87, its latitude,
// longitude and height, TM87 E, N, the grid correction added (kDatum), and (ggrs87Geographic)
// the GGRS87 latitude, longitude of the corrected position.
//
// From TM87 E, N, h: latitude, longitude by the inverse TM87 (kGgrs87Geographic), then the way
// back. From GGRS87 latitude, longitude, h: (withTm87) TM87 E, N (kTm87), then the way back.
// The way back: X, Y, Z on GRS80, Helmert with the seven parameters negated, HTRS07 latitude
// and longitude, TM07 E, N, the extent test there, the correction subtracted (kDatum), the
// (htrs07Geographic) HTRS07 latitude and longitude of the corrected position, and (withXyz)
// the X, Y, Z of the result (kHtrs07Xyz).
//
// Each chain is one list of steps, each step a stage or part of one run over every point of a
// block still in the chain; one runner tests the numeric-fault guard once a block and, when it
// raised a fault, runs the block again point by point, step by step, to name the failing stage.
class StageChain {
 public:
  // The chain across the datum from the form `from`. The context must outlive the chain and be
  // initialised before the chain runs.
  StageChain(const TransformContext& context, Form from, const ChainOptions& options = {});

  // The points in[k] (in the entry form's units, angles in radians, latitude first) through
  // the chain into out[k]: every value of the stages each completed, its status and, on a
  // failure, the stage that failed. Each result is that of a block of one, to the last bit.
  void Run(const Xyz* in, std::size_t n, PointResult* out) const;
  PointResult Run(const Xyz& in) const;

  Form from() const { return from_; }

  // The points a block holds: each step runs over so many at once, the framing of a block (its
  // setup, each step's call, the pieces of the lanes) spread over them (the size chosen by
  // measurement: docs/performance.md, "Choices measured").
  static constexpr std::size_t kBlock = 64;

  struct Block;
  struct Step {
    Stage stage;     // the stage the step is part of: a fault in it fails that stage
    bool completes;  // the stage's last step: after it the point has completed the stage
    void (*run)(const TransformContext& context, Block& block);
  };

 private:
  void RunBlock(const Xyz* in, std::size_t n, PointResult* out) const;
  void RunPoint(const Xyz& in, PointResult& out) const;
  void Add(Stage stage, bool completes, void (*run)(const TransformContext&, Block&));

  const TransformContext& context_;
  Form from_;
  bool keepHeight_;
  bool lanes_;
  bool shown_;
  std::array<Step, 8> steps_{};
  std::size_t stepCount_ = 0;
};

// One point through the chain across the datum from a form: the chain of a block of one.
PointResult ChainOfPoint(const TransformContext& context, Form from, const Xyz& in,
                         const ChainOptions& options = {});

}  // namespace vortan
