#include "web/api_common.h"

#include <emscripten/emscripten.h>

#include <cstddef>
#include <utility>

#include "transform/regions.h"

namespace vortan::web {

const RegionProfile& ProfileOf(int region) {
  if (region < 0 || static_cast<std::size_t>(region) >= Regions().size()) return kMainlandProfile;
  return *Regions()[static_cast<std::size_t>(region)];
}

// The answer of the last call.
namespace {
std::string answer;
}  // namespace
const char* Answer(std::string text) {
  answer = std::move(text);
  return answer.c_str();
}

// Progress of the job that runs now, to the JavaScript side (Module.onJobProgress).
EM_JS(void, ReportProgress, (double points, double bytesRead, double bytesTotal), {
  if (Module["onJobProgress"]) Module["onJobProgress"](points, bytesRead, bytesTotal);
});

void ReportJobProgress(double points, double bytesRead, double bytesTotal) {
  ReportProgress(points, bytesRead, bytesTotal);
}

std::optional<Form> FormOf(const char* name) { return FormOfName(name ? name : ""); }

std::map<int, std::unique_ptr<Engine>> engines;
int nextHandle = 1;

Engine* EngineOf(int handle) {
  const auto it = engines.find(handle);
  return it == engines.end() ? nullptr : it->second.get();
}

namespace {

const char* StatusName(JobStatus status) {
  switch (status) {
    case JobStatus::kDone: return "done";
    case JobStatus::kOutsideGrid: return "outside-grid";
    case JobStatus::kCancelled: return "cancelled";
    case JobStatus::kError: return "error";
  }
  return "error";
}

}  // namespace

void WriteOutcome(JsonWriter& json, const JobOutcome& o) {
  json.Field("status", StatusName(o.status))
      .Field("message", o.Message())
      .Field("file", o.file)
      .Field("line", static_cast<double>(o.line))
      .Field("field", o.field)
      .Field("reason", o.reason)
      .Field("point", o.pointId)
      .Field("pointsWritten", static_cast<double>(o.pointsWritten));
  json.Key("outputs").BeginArray();
  for (const std::string& path : o.outputs) json.Value(path);
  json.EndArray();
  json.Key("linesWritten").BeginArray();
  for (std::uint64_t n : o.linesWritten) json.Value(static_cast<double>(n));
  json.EndArray();
}

JobOptions ProgressOptions() {
  JobOptions options;
  options.progress = [](const JobProgress& p) {
    ReportJobProgress(static_cast<double>(p.pointsDone), static_cast<double>(p.bytesRead),
                      static_cast<double>(p.bytesTotal));
  };
  return options;
}

void WriteHeader(JsonWriter& json, const GridHeader& h) {
  json.Key("header")
      .BeginObject()
      .Field("rowCount", h.rowCount)
      .Field("columnCount", h.columnCount)
      .Field("step", h.step)
      .Field("nSouth", h.nSouth)
      .Field("eWest", h.eWest)
      .Field("nNorth", h.nNorth())
      .Field("eEast", h.eEast())
      .EndObject();
}

}  // namespace vortan::web
