// A whole batch job on arbitrary input bytes. The first byte picks the job, the region and
// whether the text is repeated into a long file that also runs on three threads; the rest is
// the coordinate file. Checked after every run:
// - the outcome says what happened, and an error names its reason (and its file when it names a
//   line);
// - every output holds complete CR LF lines only, one per point written (plus the line of the
//   stopping point that a job writes before its extent test); an id is quoted only where it
//   holds a comma, a quote or a line break;
// - every number written has "." as decimal point, the decimals of its pattern, and is finite;
// - on a long file, three threads give the outcome and the files of one.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "data_files/jobs.h"
#include "fuzz/memory_file.h"
#include "transform/datum.h"

namespace {

using vortan::fuzz::Broken;
using vortan::fuzz::MemoryFile;

vortan::TransformContext* mainland = nullptr;
vortan::TransformContext* kastelorizo = nullptr;

// Numeric fields at the end of a line of each layout and their decimals.
std::vector<int> Decimals(vortan::Layout layout) {
  switch (layout) {
    case vortan::Layout::kSFLh: return {5, 5, 3};
    case vortan::Layout::kSENh: return {3, 3, 3};
    case vortan::Layout::kSXYZ: return {3, 3, 3};
    case vortan::Layout::kSFL: return {5, 5};
    case vortan::Layout::kSEN: return {3, 3};
    case vortan::Layout::kSENk: return {3, 3, 6};
  }
  return {};
}

// "-"? digits* "." digits{decimals}
bool WrittenNumber(std::string_view field, int decimals) {
  if (!field.empty() && field.front() == '-') field.remove_prefix(1);
  const std::size_t point = field.find('.');
  if (point == std::string_view::npos) return false;
  if (field.size() - point - 1 != static_cast<std::size_t>(decimals)) return false;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (i != point && (field[i] < '0' || field[i] > '9')) return false;
  }
  return true;
}

void CheckOutput(const std::string& text, vortan::Layout layout, const vortan::JobOutcome& o,
                 std::size_t index) {
  const std::string name = "output " + std::to_string(index) + " (" +
                           std::string(vortan::LayoutName(layout)) + ")";
  std::uint64_t lines = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    // A quoted id may hold commas, doubled quotes and line breaks: the line ends after it.
    std::size_t after = start;
    if (text[start] == '"') {
      for (after = start + 1;; ++after) {
        if (after >= text.size()) Broken(name + ": a quoted id is not closed");
        if (text[after] != '"') continue;
        if (after + 1 < text.size() && text[after + 1] == '"') {
          ++after;
          continue;
        }
        break;
      }
      const std::string_view id = std::string_view(text).substr(start + 1, after - start - 1);
      if (id.find_first_of(",\"\r\n") == std::string_view::npos) {
        Broken(name + ", line " + std::to_string(lines + 1) + ": an id quoted without need");
      }
    }
    const std::size_t end = text.find("\r\n", after);
    if (end == std::string::npos) Broken(name + " ends in half a line");
    const std::string_view line = std::string_view(text).substr(start, end - start);
    if (line.substr(after - start).find_first_of("\r\n") != std::string_view::npos) {
      Broken(name + ", line " + std::to_string(lines + 1) + " holds a bare CR or LF");
    }
    const std::vector<int> decimals = Decimals(layout);
    std::size_t to = line.size();
    for (std::size_t f = decimals.size(); f-- > 0;) {
      const std::size_t comma = line.rfind(',', to == 0 ? 0 : to - 1);
      if (comma == std::string_view::npos || to == 0 || comma < after - start) {
        Broken(name + ", line " + std::to_string(lines + 1) + " has too few fields");
      }
      const std::string_view field = line.substr(comma + 1, to - comma - 1);
      if (!WrittenNumber(field, decimals[f])) {
        Broken(name + ", line " + std::to_string(lines + 1) + ": bad number \"" +
               std::string(field) + "\"");
      }
      to = comma;
    }
    ++lines;
    start = end + 2;
  }
  const bool done = o.status == vortan::JobStatus::kDone;
  if (lines < o.pointsWritten || lines > o.pointsWritten + (done ? 0 : 1)) {
    Broken(name + " has " + std::to_string(lines) + " lines for " +
           std::to_string(o.pointsWritten) + " points written");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static vortan::TransformContext m =
      vortan::MakeContext(vortan::kMainlandProfile, vortan::kDataFileBounds);
  static vortan::TransformContext k =
      vortan::MakeContext(vortan::kKastelorizoProfile, vortan::kDataFileBounds);
  const std::string grids = VORTAN_FUZZ_GRIDS;
  for (vortan::TransformContext* c : {&m, &k}) {
    const std::string error =
        vortan::InitialStep(*c, grids + "/dN_2km_V1-0.grd", grids + "/dE_2km_V1-0.grd");
    if (!error.empty()) Broken("the grids do not load: " + error);
  }
  mainland = &m;
  kastelorizo = &k;
  return 0;
}

namespace {

struct Run {
  vortan::JobOutcome outcome;
  std::vector<std::string> files;
};

Run RunOn(vortan::JobKind kind, const vortan::TransformContext& context, const MemoryFile& input,
          int threads) {
  const vortan::JobDefinition& job = vortan::DefinitionOf(kind);
  std::vector<MemoryFile> outputs(job.outputCount());
  std::vector<std::string> paths;
  for (const MemoryFile& f : outputs) paths.push_back(f.path());
  vortan::JobOptions options;
  options.threads = threads;
  Run run{vortan::RunJob(kind, context, input.path(), paths, options), {}};
  for (const MemoryFile& f : outputs) run.files.push_back(f.Content());
  return run;
}

void CheckOutcome(const vortan::JobDefinition& job, const Run& run) {
  const vortan::JobOutcome& o = run.outcome;
  if (o.Message().empty()) Broken("empty message");
  switch (o.status) {
    case vortan::JobStatus::kDone:
      break;
    case vortan::JobStatus::kError:
      if (o.reason.empty()) Broken("an error without a reason");
      if (o.line > 0 && o.file.empty()) Broken("an error names a line but no file");
      break;
    case vortan::JobStatus::kOutsideGrid:
      if (!job.usesTransform) Broken("outside the grid in a job without grids");
      if (o.line == 0) Broken("outside the grid without a line");
      break;
    case vortan::JobStatus::kCancelled:
      Broken("cancelled without a cancel request");
  }
  for (std::size_t i = 0; i < run.files.size(); ++i) {
    CheckOutput(run.files[i], job.outputs[i].layout, o, i);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t selector = data[0];
  static constexpr vortan::JobKind kKinds[] = {
      vortan::JobKind::kSflhToSenh, vortan::JobKind::kSenhToHtrs07,
      vortan::JobKind::kSflhToSxyz, vortan::JobKind::kSxyzToGgrs87};
  const vortan::JobKind kind = kKinds[selector & 3];
  const vortan::TransformContext& context = (selector & 4) ? *kastelorizo : *mainland;
  const vortan::JobDefinition& job = vortan::DefinitionOf(kind);

  // With bit 8 the text up to a byte 1 is repeated to some 1500 records and the rest follows
  // once, so that a bad record can stand deep in the file; the job on three threads must give
  // the outcome and the files of one thread.
  const bool many = (selector & 8) != 0 && size > 1;
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (many) {
    const std::size_t cut = text.find('\x01');
    const std::string head = text.substr(0, cut);
    const std::string tail = cut == std::string::npos ? "" : text.substr(cut + 1);
    text.clear();
    while (!head.empty() && text.size() < 65536) text += head;
    text += tail;
  }
  const MemoryFile input(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                         "input");
  const Run one = RunOn(kind, context, input, 1);
  CheckOutcome(job, one);
  if (many) {
    const Run three = RunOn(kind, context, input, 3);
    const vortan::JobOutcome& a = one.outcome;
    const vortan::JobOutcome& b = three.outcome;
    if (a.status != b.status || a.pointsWritten != b.pointsWritten || a.pointId != b.pointId ||
        a.file != b.file || a.line != b.line || a.field != b.field || a.reason != b.reason) {
      Broken("three threads end otherwise than one: \"" + b.Message() + "\" instead of \"" +
             a.Message() + "\"");
    }
    if (one.files != three.files) Broken("three threads write other files than one");
  }
  return 0;
}
