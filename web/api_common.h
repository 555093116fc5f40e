// What the exports of the WebAssembly module share (web/engine_api.cpp, table_api.cpp,
// window_api.cpp): the answer of the last call, the regions by number, the page's engines (each
// a session of its region), the outcome of a job in JSON and the progress told to the page.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "data_files/jobs.h"
#include "engine/forms.h"
#include "engine/session.h"
#include "transform/correction_grid.h"
#include "transform/region_profile.h"
#include "web/json.h"

namespace vortan::web {

// A region by its place in the list (0 the mainland, 1 Kastelorizo); the mainland for another.
const RegionProfile& ProfileOf(int region);

// Keeps text as the answer of the call, valid until the next call, and gives its characters.
const char* Answer(std::string text);

// A form by its name; nothing for another name or none.
std::optional<Form> FormOf(const char* name);

// A page's engine: the session of its region (engine/session.h), as every front end has one.
struct Engine {
  explicit Engine(const RegionProfile& profile) : session(profile), context(session.context()) {}
  Session session;
  TransformContext& context;
};
// The engines by handle; the next handle to give.
extern std::map<int, std::unique_ptr<Engine>> engines;
extern int nextHandle;
// The engine of a handle, or null.
Engine* EngineOf(int handle);

// A job's outcome, a grid's header, into the answer being written.
void WriteOutcome(JsonWriter& json, const JobOutcome& o);
void WriteHeader(JsonWriter& json, const GridHeader& h);

// The progress of the job that runs now, told to the JavaScript side (Module.onJobProgress);
// job options that tell it.
void ReportJobProgress(double points, double bytesRead, double bytesTotal);
JobOptions ProgressOptions();

}  // namespace vortan::web
