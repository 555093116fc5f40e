// The C library over the engine (include/vortan/vortan.h). This layer only moves values and
// turns outcomes into codes: every number comes from the engine, the jobs and the core's number
// patterns, and no exception leaves a call.
#include "vortan/vortan.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "core/angles.h"
#include "core/lanes.h"
#include "core/geodetic_params.h"
#include "core/number_format.h"
#include "core/numeric_guard.h"
#include "core/transverse_mercator.h"
#include "data_files/job_table.h"
#include "data_files/jobs.h"
#include "data_files/records.h"
#include "engine/conversion.h"
#include "engine/crs.h"
#include "engine/crs_recognition.h"
#include "engine/forms.h"
#include "engine/session.h"
#include "engine/worker_pool.h"
#include "io/display_text.h"
#include "transform/datum.h"
#include "transform/regions.h"
#include "vortan/version.h"


struct vortan_context {
  vortan_context(const vortan::RegionProfile& profile, int code) : session(profile), region(code) {}
  // The region's context and grids, the threads and their pool, the routines of the batch and
  // point calls (vortan_context_set_vector_lanes).
  vortan::Session session;
  int region;
};

namespace vortan {
namespace {

constexpr int kMaxThreads = kMaxSessionThreads;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// ---------------------------------------------------------------------------------------------
// The outcome of the thread's last call.

struct ErrorState {
  int code = VORTAN_OK;
  std::string message, file, field, pointId;
  std::uint64_t line = 0;
  std::int64_t index = -1;
};

ErrorState& Error() {
  thread_local ErrorState state;
  return state;
}

int Succeed() {
  ErrorState& e = Error();
  e.code = VORTAN_OK;
  e.message.clear();
  e.file.clear();
  e.field.clear();
  e.pointId.clear();
  e.line = 0;
  e.index = -1;
  return VORTAN_OK;
}

int Fail(int code, std::string message) {
  Succeed();
  ErrorState& e = Error();
  e.code = code;
  e.message = std::move(message);
  return code;
}

// Runs the body of a call: its code, or a code for what it threw.
template <typename Body>
int Guarded(Body&& body) noexcept {
  try {
    Succeed();
    return body();
  } catch (const std::bad_alloc&) {
    try {
      return Fail(VORTAN_OUT_OF_MEMORY, "not enough memory for the call");
    } catch (...) {
      return VORTAN_OUT_OF_MEMORY;
    }
  } catch (const std::exception& e) {
    try {
      return Fail(VORTAN_INTERNAL_ERROR, std::string("internal error: ") + e.what());
    } catch (...) {
      return VORTAN_INTERNAL_ERROR;
    }
  } catch (...) {
    return VORTAN_INTERNAL_ERROR;
  }
}

// ---------------------------------------------------------------------------------------------
// Codes and names.

// The regions' codes are their places in the list (VORTAN_MAINLAND, VORTAN_KASTELORIZO).
const RegionProfile* ProfileOf(int region) {
  if (region < 0 || static_cast<std::size_t>(region) >= Regions().size()) return nullptr;
  return Regions()[static_cast<std::size_t>(region)];
}

std::optional<Form> FormOf(int form) {
  if (form < 0 || form >= VORTAN_FORM_COUNT) return std::nullopt;
  return kAllForms[static_cast<std::size_t>(form)];
}

int CodeOf(Form form) {
  return static_cast<int>(std::find(kAllForms.begin(), kAllForms.end(), form) - kAllForms.begin());
}

const JobDefinition* JobOf(int job) {
  if (job < 0 || job >= VORTAN_JOB_COUNT) return nullptr;
  return &JobDefinitions()[static_cast<std::size_t>(job)];
}

int BadForm(const char* what, int form) {
  return Fail(VORTAN_INVALID_ARGUMENT, std::string(what) + ": " + std::to_string(form) +
                                           " is no form (0 to 4: " + FormNameList() + ")");
}

int NullArgument(const char* name) {
  return Fail(VORTAN_INVALID_ARGUMENT, std::string(name) + " is NULL");
}

int NotReady() {
  return Fail(VORTAN_NOT_READY,
              "a conversion across the datum on the mainland needs the correction grids: load "
              "dN_2km_V1-0.grd and dE_2km_V1-0.grd first (vortan_context_load_grids)");
}

uint8_t PointCode(PointStatus status) {
  switch (status) {
    case PointStatus::kDone: return VORTAN_POINT_DONE;
    case PointStatus::kOutsideGrid: return VORTAN_POINT_OUTSIDE_GRID;
    case PointStatus::kFault: return VORTAN_POINT_FAULT;
    case PointStatus::kNoValue: return VORTAN_POINT_NO_VALUE;
    case PointStatus::kOutOfRange: return VORTAN_POINT_OUT_OF_RANGE;
  }
  return VORTAN_POINT_FAULT;
}

int CallCode(PointStatus status) {
  return status == PointStatus::kOutsideGrid ? VORTAN_OUTSIDE_GRID : VORTAN_NUMERIC_FAULT;
}

// Texts that live as long as the library, for the name functions.
struct NameTables {
  std::array<std::string, VORTAN_FORM_COUNT> forms;
  std::array<std::string, 2> regions;
  std::array<std::string, VORTAN_JOB_COUNT> jobs;
  // [job][region], [job][output][region]
  std::array<std::array<std::string, 2>, VORTAN_JOB_COUNT> inputs;
  std::array<std::vector<std::array<std::string, 2>>, VORTAN_JOB_COUNT> outputs;
  // [form][region]
  std::array<std::array<CrsDefinition, 2>, VORTAN_FORM_COUNT> crs;

  NameTables() {
    for (std::size_t f = 0; f < kAllForms.size(); ++f) {
      forms[f] = std::string(FormName(kAllForms[f]));
      for (int r = 0; r < 2; ++r) crs[f][static_cast<std::size_t>(r)] = CrsOf(kAllForms[f], *ProfileOf(r));
    }
    for (int r = 0; r < 2; ++r) regions[static_cast<std::size_t>(r)] = std::string(ProfileOf(r)->name);
    for (std::size_t j = 0; j < jobs.size(); ++j) {
      const JobDefinition& d = JobDefinitions()[j];
      jobs[j] = std::string(d.cliName);
      for (int r = 0; r < 2; ++r) {
        inputs[j][static_cast<std::size_t>(r)] = RegionFileName(*ProfileOf(r), d.input.defaultName);
      }
      for (const JobFile& file : d.outputs) {
        outputs[j].push_back({RegionFileName(*ProfileOf(0), file.defaultName),
                              RegionFileName(*ProfileOf(1), file.defaultName)});
      }
    }
  }
};

const NameTables* Names() noexcept {
  try {
    static const NameTables tables;
    return &tables;
  } catch (...) {
    return nullptr;
  }
}

// ---------------------------------------------------------------------------------------------
// Jobs.

struct ProgressBridge {
  vortan_progress_fn progress = nullptr;
  void* user = nullptr;
  std::atomic<bool> cancel{false};

  void Attach(JobOptions& options) {
    options.cancel = &cancel;
    if (!progress) return;
    options.progress = [this](const JobProgress& p) {
      if (progress(p.pointsDone, p.bytesRead, p.bytesTotal, user) != 0) cancel.store(true);
    };
  }
};

int JobCode(const JobOutcome& outcome, std::uint64_t* pointsWritten) {
  if (pointsWritten) *pointsWritten = outcome.pointsWritten;
  if (outcome.status == JobStatus::kDone) return VORTAN_OK;
  const int code = outcome.status == JobStatus::kOutsideGrid ? VORTAN_OUTSIDE_GRID
                   : outcome.status == JobStatus::kCancelled ? VORTAN_CANCELLED
                                                             : VORTAN_FILE_ERROR;
  Fail(code, outcome.Message());
  ErrorState& e = Error();
  e.file = outcome.file;
  e.line = outcome.line;
  e.field = outcome.field;
  e.pointId = outcome.pointId;
  return code;
}


}  // namespace
}  // namespace vortan

using namespace vortan;

// The layout vortan.h states for callers that lay the structure out by hand.
static_assert(sizeof(vortan_dms) == 24);
static_assert(offsetof(vortan_point, status) == 120 &&
              offsetof(vortan_point, htrs07_latitude) == 144 &&
              offsetof(vortan_point, ggrs87_longitude) == 216 &&
              offsetof(vortan_point, tm07_scale) == 240 && offsetof(vortan_point, dn_cm) == 256 &&
              sizeof(vortan_point) == 264);
static_assert(offsetof(vortan_crs_form, name) == 16 && sizeof(vortan_crs_form) == 40);

extern "C" {

const char* vortan_version(void) { return kVersion; }

int vortan_api_version(void) { return VORTAN_API_VERSION; }

const char* vortan_status_string(int code) {
  switch (code) {
    case VORTAN_OK: return "done";
    case VORTAN_OUTSIDE_GRID: return "the point lies outside the correction grid";
    case VORTAN_NUMERIC_FAULT:
      return "a numeric fault: the coordinates lie far outside the area served";
    case VORTAN_CANCELLED: return "stopped by the caller";
    case VORTAN_INVALID_ARGUMENT:
      return "an invalid argument: a null pointer, an unknown form, region or job, or a count";
    case VORTAN_NOT_READY: return "the correction grids are not loaded";
    case VORTAN_GRID_ERROR: return "a grid file cannot be read or is no correction grid";
    case VORTAN_FILE_ERROR: return "a record file cannot be read or written, or a field is wrong";
    case VORTAN_OUT_OF_MEMORY: return "out of memory";
    case VORTAN_INTERNAL_ERROR: return "an internal error";
    default: return nullptr;
  }
}

const char* vortan_form_name(int form) {
  const NameTables* names = Names();
  if (!names || form < 0 || form >= VORTAN_FORM_COUNT) return nullptr;
  return names->forms[static_cast<std::size_t>(form)].c_str();
}

int vortan_form_of_name(const char* name) {
  if (!name) return -1;
  const std::optional<Form> form = FormOfName(name);
  return form ? CodeOf(*form) : -1;
}

const char* vortan_region_name(int region) {
  const NameTables* names = Names();
  if (!names || !ProfileOf(region)) return nullptr;
  return names->regions[static_cast<std::size_t>(region)].c_str();
}

int vortan_region_of_name(const char* name) {
  const RegionProfile* profile = name ? FindRegion(name) : nullptr;
  if (!profile) return -1;
  return static_cast<int>(std::find(Regions().begin(), Regions().end(), profile) - Regions().begin());
}

const char* vortan_job_name(int job) {
  const NameTables* names = Names();
  if (!names || !JobOf(job)) return nullptr;
  return names->jobs[static_cast<std::size_t>(job)].c_str();
}

int vortan_job_of_name(const char* name) {
  if (!name) return -1;
  const JobDefinition* d = FindJob(name);
  return d ? static_cast<int>(d->kind) : -1;
}

int vortan_job_output_count(int job) {
  const JobDefinition* d = JobOf(job);
  return d ? static_cast<int>(d->outputCount()) : 0;
}

const char* vortan_job_input_name(int job, int region) {
  const NameTables* names = Names();
  if (!names || !JobOf(job) || !ProfileOf(region)) return nullptr;
  return names->inputs[static_cast<std::size_t>(job)][static_cast<std::size_t>(region)].c_str();
}

const char* vortan_job_output_name(int job, int output, int region) {
  const NameTables* names = Names();
  if (!names || !JobOf(job) || !ProfileOf(region) || output < 0 ||
      output >= vortan_job_output_count(job)) {
    return nullptr;
  }
  return names->outputs[static_cast<std::size_t>(job)][static_cast<std::size_t>(output)]
                       [static_cast<std::size_t>(region)]
                           .c_str();
}

int vortan_crs_epsg(int form, int region) {
  const NameTables* names = Names();
  if (!names || !FormOf(form) || !ProfileOf(region)) return 0;
  return names->crs[static_cast<std::size_t>(form)][static_cast<std::size_t>(region)].epsg;
}

const char* vortan_crs_name(int form, int region) {
  const NameTables* names = Names();
  if (!names || !FormOf(form) || !ProfileOf(region)) return nullptr;
  return names->crs[static_cast<std::size_t>(form)][static_cast<std::size_t>(region)].name.c_str();
}

const char* vortan_crs_wkt(int form, int region) {
  const NameTables* names = Names();
  if (!names || !FormOf(form) || !ProfileOf(region)) return nullptr;
  return names->crs[static_cast<std::size_t>(form)][static_cast<std::size_t>(region)].wkt.c_str();
}

int vortan_form_of_crs(const char* crs, int region, vortan_crs_form* out) {
  return Guarded([&]() -> int {
    if (!crs || !out) return Fail(VORTAN_INVALID_ARGUMENT, "vortan_form_of_crs: a null pointer");
    if (region != -1 && !ProfileOf(region)) {
      return Fail(VORTAN_INVALID_ARGUMENT,
                  "vortan_form_of_crs: region " + std::to_string(region) +
                      " is none: give -1 (any), VORTAN_MAINLAND or VORTAN_KASTELORIZO");
    }
    // The texts of the answer, kept on the thread until its next call.
    thread_local CrsRecognition kept;
    kept = region == -1 ? RecognizeCrs(crs) : RecognizeCrsInRegion(crs, static_cast<unsigned>(region));
    out->form = kept.form ? CodeOf(*kept.form) : -1;
    out->regions = static_cast<int>(kept.regions);
    out->swapped = kept.swapped ? 1 : 0;
    out->fits = static_cast<int>(kept.fits);
    out->name = kept.name.c_str();
    out->reason = kept.reason.c_str();
    out->reason_el = kept.reasonGreek.c_str();
    return VORTAN_OK;
  });
}

int vortan_format_number(double value, const char* pattern, char* buffer, size_t size) {
  int result = -1;
  Guarded([&]() -> int {
    if (!pattern) return NullArgument("pattern");
    if (!buffer && size > 0) return NullArgument("buffer");
    const std::string_view text(pattern);
    const bool valid = !text.empty() && text.size() <= 24 &&
                       text.find_first_not_of("0.") == std::string_view::npos &&
                       std::count(text.begin(), text.end(), '.') <= 1;
    const NumberPattern p = NumberPattern::Of(text);
    if (!valid || p.decimals > 9 || p.integerDigits > 12) {
      return Fail(VORTAN_INVALID_ARGUMENT,
                  "the pattern \"" + DisplayText(text) +
                      "\" is none: zeros with at most one point, such as \".000\", \".00000\", "
                      "\"0.000000\" or \"000.0\" (at most 9 decimals and 12 integer digits)");
    }
    const std::string formatted = FormatNumber(value, p);
    if (size > 0) {
      const std::size_t n = std::min(formatted.size(), size - 1);
      std::memcpy(buffer, formatted.data(), n);
      buffer[n] = '\0';
    }
    result = static_cast<int>(formatted.size());
    return VORTAN_OK;
  });
  return result;
}

int vortan_error_code(void) { return Error().code; }
const char* vortan_error_message(void) { return Error().message.c_str(); }
const char* vortan_error_file(void) { return Error().file.c_str(); }
uint64_t vortan_error_line(void) { return Error().line; }
const char* vortan_error_field(void) { return Error().field.c_str(); }
const char* vortan_error_point_id(void) { return Error().pointId.c_str(); }
int64_t vortan_error_index(void) { return Error().index; }

vortan_context* vortan_context_new(int region) {
  vortan_context* made = nullptr;
  Guarded([&]() -> int {
    const RegionProfile* profile = ProfileOf(region);
    if (!profile) {
      return Fail(VORTAN_INVALID_ARGUMENT, "region " + std::to_string(region) +
                                               " is none (0 mainland, 1 kastelorizo)");
    }
    // The region's parameters are stored at once; the mainland's grids are loaded apart.
    made = std::make_unique<vortan_context>(*profile, region).release();
    return VORTAN_OK;
  });
  return made;
}

void vortan_context_free(vortan_context* context) { delete context; }

int vortan_context_load_grids(vortan_context* context, const char* dn_path,
                              const char* de_path) {
  return Guarded([&]() -> int {
    if (!context) return NullArgument("context");
    if (!dn_path) return NullArgument("dn_path");
    if (!de_path) return NullArgument("de_path");
    const std::string error = context->session.LoadGrids(dn_path, de_path);
    if (!error.empty()) return Fail(VORTAN_GRID_ERROR, error);
    return VORTAN_OK;
  });
}

int vortan_context_load_grids_from_bytes(vortan_context* context, const void* dn,
                                         size_t dn_size, const void* de, size_t de_size) {
  return Guarded([&]() -> int {
    if (!context) return NullArgument("context");
    if (!dn && dn_size > 0) return NullArgument("dn");
    if (!de && de_size > 0) return NullArgument("de");
    const std::string error = context->session.LoadGridBytes(
        std::string_view(static_cast<const char*>(dn), dn_size),
        std::string_view(static_cast<const char*>(de), de_size));
    if (!error.empty()) return Fail(VORTAN_GRID_ERROR, error);
    return VORTAN_OK;
  });
}

int vortan_context_ready(const vortan_context* context) {
  return context && context->session.Ready() ? 1 : 0;
}

int vortan_context_region(const vortan_context* context) {
  return context ? context->region : -1;
}

int vortan_context_set_vector_lanes(vortan_context* context, int on) {
  return Guarded([&]() -> int {
    if (!context) return NullArgument("context");
    context->session.SetRoutines(on != 0 ? Routines::kLanes : Routines::kPlain);
    return VORTAN_OK;
  });
}

const char* vortan_vector_target(void) { return lanes::Target(); }

int vortan_context_set_threads(vortan_context* context, int threads) {
  return Guarded([&]() -> int {
    if (!context) return NullArgument("context");
    if (threads < 0 || threads > kMaxThreads) {
      return Fail(VORTAN_INVALID_ARGUMENT, "threads: " + std::to_string(threads) +
                                               " is not from 0 (every core) to 256");
    }
    context->session.SetThreads(threads);
    return VORTAN_OK;
  });
}

int vortan_convert(const vortan_context* context, int from, int to, int keep_heights, size_t n,
                   const double* a, const double* b, const double* c, double* out_a,
                   double* out_b, double* out_c, uint8_t* status) {
  return Guarded([&]() -> int {
    if (!context) return NullArgument("context");
    const std::optional<Form> source = FormOf(from);
    if (!source) return BadForm("from", from);
    const std::optional<Form> target = FormOf(to);
    if (!target) return BadForm("to", to);
    if (n == 0) return VORTAN_OK;
    // More doubles than an array can hold: a count that no caller's arrays can have (a negative
    // count passed as size_t), which is the caller's fault, not a lack of memory.
    if (constexpr std::size_t kMaxPoints = PTRDIFF_MAX / sizeof(double); n > kMaxPoints) {
      return Fail(VORTAN_INVALID_ARGUMENT,
                  "n is " + std::to_string(n) +
                      ", more points than an array of doubles can hold (at most " +
                      std::to_string(kMaxPoints) + "); is it a negative count passed as size_t?");
    }
    if (!a) return NullArgument("a");
    if (!b) return NullArgument("b");
    if (!out_a) return NullArgument("out_a");
    if (!out_b) return NullArgument("out_b");
    if (!c && *source == Form::kHtrs07Xyz) {
      return Fail(VORTAN_INVALID_ARGUMENT, "c is NULL, and X, Y, Z needs all three coordinates");
    }
    if (InHtrs07(*source) != InHtrs07(*target) && !context->session.Ready()) return NotReady();
    std::vector<PointStatus> states(n);
    ArrayCall call;
    call.from = *source;
    call.to = *target;
    call.keepHeights = keep_heights != 0;
    call.status = states.data();
    const ArrayOutcome outcome =
        context->session.ConvertArrays(call, n, {a, b, c}, {out_a, out_b, out_c});
    if (status) {
      for (std::size_t i = 0; i < n; ++i) status[i] = PointCode(states[i]);
    }
    if (outcome.failures == 0 || !outcome.firstFailure) return VORTAN_OK;
    const int code = CallCode(outcome.firstOutcome.status);
    Fail(code, outcome.failure.reason +
                   (outcome.failures > 1 ? " (the status array says which)" : ""));
    Error().index = static_cast<std::int64_t>(*outcome.firstFailure);
    return code;
  });
}

int vortan_convert_point(const vortan_context* context, int from, int keep_heights,
                         int packed_angles, const double in[3], vortan_point* out) {
  return Guarded([&]() -> int {
    if (!context) return NullArgument("context");
    if (!in) return NullArgument("in");
    if (!out) return NullArgument("out");
    const std::optional<Form> source = FormOf(from);
    if (!source) return BadForm("from", from);
    if (!context->session.Ready()) return NotReady();

    for (auto& values : out->values) std::fill(std::begin(values), std::end(values), kNaN);
    std::fill(std::begin(out->status), std::end(out->status), int{VORTAN_POINT_FAULT});
    const vortan_dms none{0, 0, kNaN, kNaN};
    out->htrs07_latitude = out->htrs07_longitude = none;
    out->ggrs87_latitude = out->ggrs87_longitude = none;
    out->tm07_scale = out->de_cm = out->dn_cm = kNaN;

    // The input in the engine's units.
    double point[3] = {in[0], in[1], in[2]};
    if (IsGeographic(*source)) {
      if (packed_angles) {
        NumericGuard guard;
        const LatLon ll = PackedPairToRadians(in[0], in[1]);
        if (!guard.Clean()) {
          return Fail(VORTAN_NUMERIC_FAULT, std::string("the packed angles cannot be read (a "
                                                        "numeric fault: ") +
                                                guard.FaultName() + ")");
        }
        point[0] = ll.latitude;
        point[1] = ll.longitude;
      } else {
        point[0] = in[0] * kRadiansPerDegree;
        point[1] = in[1] * kRadiansPerDegree;
      }
    }

    const EveryForm every = context->session.PointInEveryForm(
        *source, {point[0], point[1], point[2]}, keep_heights != 0);
    for (std::size_t f = 0; f < kAllForms.size(); ++f) {
      out->status[f] = PointCode(every.status[f]);
      if (every.status[f] != PointStatus::kDone) continue;
      std::copy(every.values[f].begin(), every.values[f].end(), out->values[f]);
      if (IsGeographic(kAllForms[f])) {
        out->values[f][0] *= kDegreesPerRadian;
        out->values[f][1] *= kDegreesPerRadian;
        if (kAllForms[f] == *source && !packed_angles) {
          out->values[f][0] = in[0];
          out->values[f][1] = in[1];
        }
      }
    }
    auto dms = [](const std::optional<Dms>& d, vortan_dms& to) {
      if (d) to = vortan_dms{d->degrees, d->minutes, d->seconds, d->packed};
    };
    dms(every.htrs07Latitude, out->htrs07_latitude);
    dms(every.htrs07Longitude, out->htrs07_longitude);
    dms(every.ggrs87Latitude, out->ggrs87_latitude);
    dms(every.ggrs87Longitude, out->ggrs87_longitude);
    out->tm07_scale = every.tm07Scale;
    out->de_cm = every.dECm;
    out->dn_cm = every.dNCm;
    if (!every.failure.reason.empty()) {
      return Fail(CallCode(every.failureStatus), every.failure.reason);
    }
    return VORTAN_OK;
  });
}

int vortan_run_job(const vortan_context* context, int job, const char* input,
                   const char* const* outputs, size_t output_count, vortan_progress_fn progress,
                   void* user, uint64_t* points_written) {
  return Guarded([&]() -> int {
    if (points_written) *points_written = 0;
    if (!context) return NullArgument("context");
    const JobDefinition* definition = JobOf(job);
    if (!definition) {
      std::string names;
      for (const JobDefinition& d : JobDefinitions()) {
        names += (names.empty() ? "" : ", ") + std::string(d.cliName);
      }
      return Fail(VORTAN_INVALID_ARGUMENT,
                  "job " + std::to_string(job) + " is none (0 to 3: " + names + ")");
    }
    if (!input) return NullArgument("input");
    if (!outputs && output_count > 0) return NullArgument("outputs");
    if (output_count != definition->outputCount()) {
      return Fail(VORTAN_INVALID_ARGUMENT,
                  "the job " + std::string(definition->cliName) + " writes " +
                      std::to_string(definition->outputCount()) + " output file" +
                      (definition->outputCount() == 1 ? "" : "s") + ", " +
                      std::to_string(output_count) + " were given");
    }
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < output_count; ++i) {
      if (!outputs[i]) {
        return Fail(VORTAN_INVALID_ARGUMENT, "output " + std::to_string(i) + " is NULL");
      }
      paths.emplace_back(outputs[i]);
    }
    if (definition->usesTransform && !context->session.Ready()) return NotReady();
    ProgressBridge bridge;
    bridge.progress = progress;
    bridge.user = user;
    JobOptions options;
    options.threads = context->session.threads();
    bridge.Attach(options);
    return JobCode(RunJob(definition->kind, context->session.context(), input, paths, options),
                   points_written);
  });
}

int vortan_convert_file(const vortan_context* context, int from, int to, int keep_heights,
                        const char* input, const char* output, vortan_progress_fn progress,
                        void* user, uint64_t* points_written) {
  return Guarded([&]() -> int {
    if (points_written) *points_written = 0;
    if (!context) return NullArgument("context");
    const std::optional<Form> source = FormOf(from);
    if (!source) return BadForm("from", from);
    const std::optional<Form> target = FormOf(to);
    if (!target) return BadForm("to", to);
    if (!input) return NullArgument("input");
    if (!output) return NullArgument("output");
    const Conversion conversion(context->session.context(), *source, *target, keep_heights != 0);
    if (conversion.acrossDatum() && !context->session.Ready()) return NotReady();
    ProgressBridge bridge;
    bridge.progress = progress;
    bridge.user = user;
    JobOptions options;
    options.threads = context->session.threads();
    bridge.Attach(options);
    return JobCode(RunConversion(conversion, input, output, options), points_written);
  });
}

}  // extern "C"
