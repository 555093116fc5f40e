#include "data_files/record_tasks.h"

#include "core/angles.h"
#include "core/math_functions.h"
#include "core/numeric_guard.h"
#include "data_files/records.h"

namespace vortan {
namespace {

namespace pat = patterns;

// The TM07 position that a chain outside the grid refused: forward the point's own, on the way
// back the one before the correction.
void TellRefusedPosition(const PointResult& r, bool forward, StopDetail& detail) {
  detail.easting = forward ? r.htrs07.easting : r.uncorrectedEasting;
  detail.northing = forward ? r.htrs07.northing : r.uncorrectedNorthing;
}

// One point computed and printed by `point`. A point whose numbers came too close to a
// rounding boundary while it was computed or printed (or whose chain was computed in a block
// that did, `noted`; core/math_functions.h) has its lines taken back and is computed and
// printed again by the reference computation; `point` is then called a second time.
template <typename F>
StopKind CheckedPoint(std::vector<LineBuffer>& out, bool noted, F&& point) {
  struct Mark {
    std::size_t size;
    std::uint64_t lines;
  };
  std::array<Mark, 8> marks{};
  for (std::size_t i = 0; i < out.size() && i < marks.size(); ++i) {
    marks[i] = {out[i].size(), out[i].lines()};
  }
  math::ResetNoted();
  StopKind stop = point();
  if (!noted && !math::Noted()) return stop;
  for (std::size_t i = 0; i < out.size() && i < marks.size(); ++i) {
    out[i].TakeBack(marks[i].size, marks[i].lines);
  }
  math::RecomputeExactly([&] { stop = point(); });
  return stop;
}

// Records of one form into records of another: the input read in the layout of its form
// (packed angles turned into radians), the point converted by the engine, the output written
// in the layout of its form. The jobs without a datum step are such conversions.
class ConversionTask : public RecordTask {
 public:
  explicit ConversionTask(const Conversion& conversion) : conversion_(conversion) {}

  std::array<std::string_view, 3> FieldNames() const override {
    return CoordinateNames(conversion_.from());
  }
  std::size_t OutputCount() const override { return 1; }
  bool UsesTransform() const override { return conversion_.acrossDatum(); }
  bool ReadsAngles() const override { return IsGeographic(conversion_.from()); }

  StopKind Compute(std::string_view id, const double v[3], std::vector<LineBuffer>& out,
                   StopDetail& detail, Where& where) const override {
    double in[3];
    if (!Input(v, in, detail)) return StopKind::kFault;
    double result[3];
    double at[2];
    const PointOutcome o = conversion_.Point(in, result, at);
    return Print(id, in, result, o, at, out, detail, where);
  }

  // Across the datum the chain runs over a block of points, on the vector lanes where they
  // are in force; within one system each point on its own.
  std::size_t BlockSize() const override {
    return conversion_.acrossDatum() ? kMaxBlock : 1;
  }

  std::size_t ComputeBlock(const std::string_view* ids, const Xyz* values, std::size_t n,
                           std::vector<LineBuffer>& out, StopKind& stop,
                           StopDetail& detail, Where* where) const override {
    math::ResetNoted();
    Xyz in[kMaxBlock];
    std::size_t m = 0;  // the points up to the first whose input is a numeric fault
    for (; m < n && Input(values[m].data(), in[m].data(), detail); ++m) {
    }
    Xyz result[kMaxBlock];
    PointOutcome outcomes[kMaxBlock];
    std::array<double, 2> at[kMaxBlock];
    conversion_.Points(in, m, result, outcomes, at);
    const bool noted = math::Noted();
    for (std::size_t k = 0; k < m; ++k) {
      bool again = false;
      stop = CheckedPoint(out, noted, [&] {
        // Computed again on its own (a block of one gives the same numbers).
        if (again) return Compute(ids[k], values[k].data(), out, detail, where[k]);
        again = true;
        return Print(ids[k], in[k].data(), result[k].data(), outcomes[k], at[k].data(), out,
                     detail, where[k]);
      });
      if (stop != StopKind::kNone) return k;
    }
    // The point whose input is a fault, and those after it, one by one.
    if (m == n) return n;
    return m + RecordTask::ComputeBlock(ids + m, values + m, n - m, out, stop, detail,
                                        where + m);
  }

 private:
  // The numbers of a record as the conversion takes them: packed angles in radians. False,
  // with the fault, where they are not numbers the angles can be formed from.
  bool Input(const double v[3], double in[3], StopDetail& detail) const {
    in[0] = v[0];
    in[1] = v[1];
    in[2] = v[2];
    if (!IsGeographic(conversion_.from())) return true;
    NumericGuard guard;
    const LatLon ll = PackedPairToRadians(v[0], v[1]);
    if (!guard.Clean()) {
      detail.fault = guard.FaultName();
      return false;
    }
    in[0] = ll.latitude;
    in[1] = ll.longitude;
    return true;
  }

  // The line of a converted point (or why it stopped), from its outcome.
  StopKind Print(std::string_view id, const double in[3], const double converted[3],
                 const PointOutcome& o, const double at[2], std::vector<LineBuffer>& out,
                 StopDetail& detail, Where& where) const {
    if (o.status == PointStatus::kOutsideGrid) {
      // The whole chain once more, for the TM07 position it refused.
      TellRefusedPosition(conversion_.Chain(in), InHtrs07(conversion_.from()), detail);
      return StopKind::kOutsideGrid;
    }
    if (o.status == PointStatus::kOutOfRange) {
      detail.field = GeographicOutOfRange(in[0], in[1]);
      detail.fault = o.fault;
      detail.value = in[detail.field];
      return StopKind::kOutOfRange;
    }
    if (!o.ok()) {
      detail.fault = o.fault;
      return StopKind::kFault;
    }
    double result[3] = {converted[0], converted[1], converted[2]};
    if (IsGeographic(conversion_.to())) {
      NumericGuard guard;
      result[0] = RadiansToDms(result[0]).packed;
      result[1] = RadiansToDms(result[1]).packed;
      if (!guard.Clean()) {
        detail.fault = guard.FaultName();
        return StopKind::kFault;
      }
    }
    where = {at[0], at[1]};
    const NumberPattern* p = PatternsOf(LayoutOf(conversion_.to()));
    LineOut(out[0]).Id(id).Number(result[0], p[0]).Number(result[1], p[1])
        .Number(result[2], p[2]).End();
    return StopKind::kNone;
  }

  Conversion conversion_;
};

StopKind Stopped(const PointResult& r, bool forward, StopDetail& detail) {
  if (r.status == PointStatus::kOutsideGrid) {
    TellRefusedPosition(r, forward, detail);
    return StopKind::kOutsideGrid;
  }
  detail.fault = r.fault;
  return StopKind::kFault;
}

ChainOptions ChainOptionsOf(Routines routines) {
  ChainOptions options;
  options.lanes = routines == Routines::kLanes;
  return options;
}

// A job across the datum: the chain from the job's input form over a block of points, then
// the lines of the stages each point completed.
class ChainTask : public RecordTask {
 public:
  ChainTask(const TransformContext& context, Form from, Routines routines)
      : chain_(context, from, ChainOptionsOf(routines)) {}
  bool UsesTransform() const override { return true; }

  StopKind Compute(std::string_view id, const double v[3], std::vector<LineBuffer>& out,
                   StopDetail& detail, Where& where) const override {
    const PointResult r = chain_.Run({v[0], v[1], v[2]});
    where = WhereOf(r);
    return Print(id, v, r, out, detail);
  }

  std::size_t BlockSize() const override { return kMaxBlock; }

  std::size_t ComputeBlock(const std::string_view* ids, const Xyz* values, std::size_t n,
                           std::vector<LineBuffer>& out, StopKind& stop,
                           StopDetail& detail, Where* where) const override {
    PointResult r[kMaxBlock];
    math::ResetNoted();
    chain_.Run(values, n, r);
    const bool noted = math::Noted();
    for (std::size_t k = 0; k < n; ++k) {
      bool again = false;
      stop = CheckedPoint(out, noted, [&] {
        // Computed again on its own (a block of one gives the same numbers).
        if (again) r[k] = chain_.Run(values[k]);
        again = true;
        return Print(ids[k], values[k].data(), r[k], out, detail);
      });
      where[k] = WhereOf(r[k]);
      if (stop != StopKind::kNone) return k;
    }
    return n;
  }

 protected:
  // The lines of a point from the stages it completed; kNone, or why it stopped.
  virtual StopKind Print(std::string_view id, const double v[3], const PointResult& r,
                         std::vector<LineBuffer>& out, StopDetail& detail) const = 0;

  bool forward() const { return InHtrs07(chain_.from()); }

 private:
  // Where the point is: the latitude and longitude of the chain's entry system.
  Where WhereOf(const PointResult& r) const {
    return forward() ? Where{r.htrs07.latitude, r.htrs07.longitude}
                     : Where{r.ggrs87.latitude, r.ggrs87.longitude};
  }

  StageChain chain_;
};

// senh-to-htrs07: GGRS87 SFLh, then HTRS07 SEN and SFL (outputs in the order SFLh, SFL, SEN).
class SenhToHtrs07Task : public ChainTask {
 public:
  SenhToHtrs07Task(const TransformContext& context, Routines routines)
      : ChainTask(context, Form::kGgrs87Tm87, routines) {}
  std::array<std::string_view, 3> FieldNames() const override { return {"E", "N", "h"}; }
  std::size_t OutputCount() const override { return 3; }

 private:
  StopKind Print(std::string_view id, const double v[3], const PointResult& r,
                 std::vector<LineBuffer>& out, StopDetail& detail) const override {
    if (r.Completed(Stage::kGgrs87Geographic)) {
      LineOut(out[0]).Id(id)
          .Numbers(r.ggrs87.packedLatitude, pat::kPacked, r.ggrs87.packedLongitude, pat::kPacked)
          .Number(v[2], pat::kMetres).End();
    }
    if (!r.ok()) return Stopped(r, false, detail);
    LineOut(out[2]).Id(id)
        .Numbers(r.htrs07.easting, pat::kMetres, r.htrs07.northing, pat::kMetres).End();
    LineOut(out[1]).Id(id)
        .Numbers(r.htrs07.packedLatitude, pat::kPacked, r.htrs07.packedLongitude, pat::kPacked)
        .End();
    return StopKind::kNone;
  }
};

// sxyz-to-ggrs87: HTRS07 SFLh and SENk, then GGRS87 SFL and SEN.
class SxyzToGgrs87Task : public ChainTask {
 public:
  SxyzToGgrs87Task(const TransformContext& context, Routines routines)
      : ChainTask(context, Form::kHtrs07Xyz, routines) {}
  std::array<std::string_view, 3> FieldNames() const override { return {"X", "Y", "Z"}; }
  std::size_t OutputCount() const override { return 4; }

 private:
  StopKind Print(std::string_view id, const double*, const PointResult& r,
                 std::vector<LineBuffer>& out, StopDetail& detail) const override {
    const Htrs07Values& h = r.htrs07;
    if (r.Completed(Stage::kHtrs07Geographic)) {
      LineOut(out[0]).Id(id)
          .Numbers(h.packedLatitude, pat::kPacked, h.packedLongitude, pat::kPacked)
          .Number(h.height, pat::kMetres).End();
    }
    if (r.Completed(Stage::kTm07)) {
      LineOut(out[1]).Id(id).Numbers(h.easting, pat::kMetres, h.northing, pat::kMetres)
          .Number(h.scale, pat::kScale).End();
    }
    if (!r.ok()) return Stopped(r, true, detail);
    const Ggrs87Values& g = r.ggrs87;
    LineOut(out[2]).Id(id)
        .Numbers(g.packedLatitude, pat::kPacked, g.packedLongitude, pat::kPacked).End();
    LineOut(out[3]).Id(id).Numbers(g.easting, pat::kMetres, g.northing, pat::kMetres).End();
    return StopKind::kNone;
  }
};

}  // namespace

std::size_t RecordTask::ComputeBlock(const std::string_view* ids, const Xyz* values,
                                     std::size_t n, std::vector<LineBuffer>& out, StopKind& stop,
                                     StopDetail& detail, Where* where) const {
  for (std::size_t k = 0; k < n; ++k) {
    stop = CheckedPoint(out, false,
                        [&] { return Compute(ids[k], values[k].data(), out, detail, where[k]); });
    if (stop != StopKind::kNone) return k;
  }
  return n;
}

std::unique_ptr<RecordTask> MakeJobTask(JobKind kind, const TransformContext& context,
                                        Routines routines) {
  switch (kind) {
    case JobKind::kSflhToSenh:
      return std::make_unique<ConversionTask>(
          Conversion(context, Form::kGgrs87Geographic, Form::kGgrs87Tm87, false, routines));
    case JobKind::kSflhToSxyz:
      return std::make_unique<ConversionTask>(
          Conversion(context, Form::kHtrs07Geographic, Form::kHtrs07Xyz, false, routines));
    case JobKind::kSenhToHtrs07: return std::make_unique<SenhToHtrs07Task>(context, routines);
    case JobKind::kSxyzToGgrs87: return std::make_unique<SxyzToGgrs87Task>(context, routines);
  }
  throw std::logic_error("MakeJobTask: a job kind without a task");
}

std::unique_ptr<RecordTask> MakeConversionTask(const Conversion& conversion) {
  return std::make_unique<ConversionTask>(conversion);
}

}  // namespace vortan
