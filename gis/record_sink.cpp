#include "gis/record_sink.h"

#include <cerrno>

#include "core/angles.h"
#include "data_files/jobs.h"
#include "data_files/records.h"
#include "io/display_text.h"
#include "io/files.h"

namespace vortan::gis {

RecordSink::RecordSink(std::string input, std::string target, Form to)
    : input_(std::move(input)), target_(std::move(target)), to_(to) {}

RecordSink::~RecordSink() {
  if (fd_ >= 0 && fd_ != kStandardOutput) CloseFile(fd_);
}

std::optional<Stop> RecordSink::Open() {
  if (target_ == "-") {
    fd_ = kStandardOutput;
    return std::nullopt;
  }
  const std::string error = place_.Prepare(target_);
  if (!error.empty()) return Stop{DatasetStatus::kError, error};
  const OpenedOutput opened = OpenForWriting(place_.path());
  if (opened.fd < 0) {
    return Stop{DatasetStatus::kError, DisplayText(target_) + ": cannot be written (" +
                                           SystemReason(opened.error) + ")"};
  }
  fd_ = opened.fd;
  return std::nullopt;
}

std::optional<Stop> RecordSink::Write(const InputLayer& in, Chunk& chunk) {
  lines_.Clear();
  const NumberPattern* p = PatternsOf(LayoutOf(to_));
  std::string scratch;
  for (std::size_t i = 0; i < chunk.size(); ++i) {
    if (chunk.skip[i]) continue;
    OGRFeature& f = *chunk.features[i];
    if (!in.points) {
      const OGRGeometry* g = f.GetGeometryRef();
      if (!g || wkbFlatten(g->getGeometryType()) != wkbPoint || g->IsEmpty()) {
        return Stop{DatasetStatus::kError,
                    FeatureWhere(input_, in, chunk, i) + ": a record file holds points, and this " +
                        (g ? std::string("is a ") + OGRGeometryTypeToName(g->getGeometryType())
                           : std::string("feature has no geometry")) +
                        "; write lines and polygons to a GIS dataset (.gpkg, .shp, ...)"};
      }
    }
    const int idField = f.GetFieldIndex("id");
    const std::string id = idField >= 0 && f.IsFieldSetAndNotNull(idField)
                               ? std::string(f.GetFieldAsString(idField))
                               : std::to_string(f.GetFID());
    const std::size_t v = chunk.first[i];
    double values[3] = {chunk.out.a[v], chunk.out.b[v], chunk.out.c[v]};
    if (IsGeographic(to_)) {
      values[0] = RadiansToDms(values[0]).packed;
      values[1] = RadiansToDms(values[1]).packed;
    }
    LineOut(lines_).Id(WrittenId(id, IdNeedsQuotes(id), scratch))
        .Number(values[0], p[0]).Number(values[1], p[1]).Number(values[2], p[2]).End();
  }
  std::size_t written = 0;
  if (lines_.size() && !WriteAll(fd_, lines_.data(), lines_.size(), written)) {
    return Stop{DatasetStatus::kError, FileDisplayName(target_, false) + ": cannot be written (" +
                                           SystemReason(errno) + ")"};
  }
  return std::nullopt;
}

std::optional<Stop> RecordSink::Finish(const std::atomic<bool>* cancel) {
  if (fd_ == kStandardOutput) return std::nullopt;
  const int fd = fd_;
  fd_ = -1;
  if (!CloseFile(fd)) {
    return Stop{DatasetStatus::kError, DisplayText(target_) + ": cannot be written (" +
                                           SystemReason(errno) + ")"};
  }
  if (cancel && cancel->load()) return Stop{DatasetStatus::kCancelled, "nothing written"};
  const std::string error = place_.Commit();
  if (!error.empty()) return Stop{DatasetStatus::kError, error};
  return std::nullopt;
}

}  // namespace vortan::gis
