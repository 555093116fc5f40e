// The run of a dataset conversion: the input opened (sources.h), the output's format checked
// and the engine made ready for the forms found (the initial step where one crosses the datum),
// then every layer read, converted and written chunk by chunk (sink.h), and the output put in
// place only when whole.
#include "gis/dataset.h"

#include <algorithm>
#include <future>
#include <map>
#include <memory>
#include <set>

#include "engine/conversion.h"
#include "engine/worker_pool.h"
#include "gis/conversion_messages.h"
#include "gis/gdal_sink.h"
#include "transform/grid_file.h"
#include "gis/gdal_support.h"
#include "gis/output_place.h"
#include "gis/record_sink.h"
#include "gis/sources.h"

namespace vortan::gis {
namespace {

class Run {
 public:
  explicit Run(const DatasetRequest& request)
      : request_(request), profile_(*request.profile),
        context_(MakeContext(profile_, kDataFileBounds)) {}

  DatasetOutcome Go() {
    RegisterGdal();
    ScopedWriteOptions writeOptions;
    if (std::optional<Stop> stop = Convert()) {
      outcome_.status = stop->status;
      outcome_.message = stop->message;
    } else if (const std::string far = far_.Text(outcome_.pointsConverted); !far.empty()) {
      outcome_.notes.push_back(far);
    }
    for (const std::string& w : errors_.TakeWarnings()) {
      if (outcome_.notes.size() < kMaxNotes) outcome_.notes.push_back("GDAL: " + w);
    }
    return std::move(outcome_);
  }

 private:
  std::optional<Stop> Convert() {
    if (request_.recordsIn && request_.recordsOut) {
      return Stop{DatasetStatus::kUsage, "both files are record files: that is the record convert"};
    }
    if (!request_.columns.empty() && request_.columns.size() != 2 && request_.columns.size() != 3) {
      return Stop{DatasetStatus::kUsage, "--columns names two or three columns: X,Y or X,Y,Z"};
    }
    for (const std::string* path : {&request_.input, &request_.output}) {
      if (*path == "-") continue;
      if (std::optional<std::string> why = NetworkPath(*path)) {
        return Stop{DatasetStatus::kError, *why};
      }
    }
    DatasetInput input(request_, profile_, errors_, outcome_.notes);
    if (std::optional<Stop> stop = input.Open()) return stop;
    std::vector<InputLayer>& layers = input.layers();

    // The output's format.
    GDALDriver* driver = nullptr;
    if (!request_.recordsOut) {
      if (std::optional<Stop> stop = FindOutputDriver(request_, driver)) return stop;
      if (std::optional<Stop> stop = CheckOutputFormat(TraitsOf(driver->GetDescription()), request_,
                                                       layers.size(), profile_, outcome_.notes)) {
        return stop;
      }
    }

    // The engine for each input form; the grids are read now that the forms are known.
    std::set<Form> forms;
    for (const InputLayer& layer : layers) {
      if (layer.hasGeometry || layer.points) forms.insert(layer.from);
    }
    for (Form from : forms) {
      if (std::optional<Stop> stop = PrepareContext(context_, request_, from)) return stop;
      // Coordinates are written with every digit of the double: the plain routines, so that a
      // file comes out the same on every processor and in the browser.
      conversions_.emplace(from, Conversion(context_, from, request_.to, request_.keepHeights,
                                            Routines::kPlain));
    }
    std::vector<std::string> grids = GridFilesNeverOutput(request_.gridFiles);
    if (!context_.dnPath.empty()) grids.push_back(context_.dnPath);
    if (!context_.dePath.empty()) grids.push_back(context_.dePath);
    if (request_.output != "-") {
      bool needsOverwrite = false;
      if (std::optional<std::string> refused = RefusedOutput(
              request_.output, input.filesRead(), grids, request_.overwrite, needsOverwrite)) {
        return Stop{needsOverwrite ? DatasetStatus::kUsage : DatasetStatus::kError, *refused};
      }
    } else if (std::optional<std::string> refused =
                   RefusedStandardOutput(input.filesRead(), grids)) {
      return Stop{DatasetStatus::kError, *refused};
    }

    std::unique_ptr<Sink> sink;
    if (request_.recordsOut) {
      auto recordSink = std::make_unique<RecordSink>(request_.input, request_.output, request_.to);
      if (std::optional<Stop> stop = recordSink->Open()) return stop;
      sink = std::move(recordSink);
    } else {
      auto gdalSink = std::make_unique<GdalSink>(driver, request_, profile_, errors_,
                                                 outcome_.notes, input.csvLayout());
      if (std::optional<Stop> stop = gdalSink->Open()) return stop;
      sink = std::move(gdalSink);
    }

    WorkerPool pool(std::max(1, request_.threads));
    outcome_.threadsUsed = pool.threads();
    std::int64_t total = 0;
    for (const InputLayer& layer : layers) {
      if (layer.total < 0) total = -1;
      if (total >= 0) total += layer.total;
    }
    progress_.featuresTotal = total;

    for (InputLayer& layer : layers) {
      if (std::optional<Stop> stop = sink->BeginLayer(layer)) return stop;
      if (std::optional<Stop> stop = CopyLayer(layer, input.source(), *sink, pool)) return stop;
      if (std::optional<Stop> stop = sink->EndLayer(layer)) return stop;
      ++outcome_.layers;
    }
    if (request_.cancel && request_.cancel->load()) {
      return Stop{DatasetStatus::kCancelled, "nothing written"};
    }
    return sink->Finish(request_.cancel);
  }

  // Reads, converts and writes the layer chunk by chunk. The engine converts one chunk on its
  // own thread (and the pool) while this thread reads the next chunk through GDAL and writes
  // the one before: reading and writing a dataset cost as much as the computation.
  std::optional<Stop> CopyLayer(InputLayer& layer, Source& source, Sink& sink, WorkerPool& pool) {
    if (layer.layer) layer.layer->ResetReading();
    const Conversion* conversion = nullptr;
    if (auto it = conversions_.find(layer.from); it != conversions_.end()) conversion = &it->second;
    Chunk chunks[2];
    std::optional<Stop> stop;
    // Reads the next chunk; false at the end of the layer (or at a stop).
    auto read = [&](Chunk& chunk) {
      if (request_.cancel && request_.cancel->load()) {
        stop = Stop{DatasetStatus::kCancelled, "nothing written"};
        return false;
      }
      const bool more = source.Next(layer, chunk, stop);
      if (stop) return false;
      chunk.skip.assign(chunk.size(), 0);
      return more || chunk.size() > 0;
    };
    auto convert = [&](Chunk& chunk) -> std::future<BatchOutcome> {
      const std::size_t n = chunk.in.size();
      if (n == 0 || !conversion) return {};
      chunk.out.a.resize(n);
      chunk.out.b.resize(n);
      chunk.out.c.resize(n);
      chunk.status.resize(n);
      return std::async(std::launch::async, [&chunk, conversion, &pool, this] {
        BatchOptions options;
        options.pool = &pool;
        options.cancel = request_.cancel;
        return ConvertBatch(*conversion, chunk.in.a, chunk.in.b, chunk.in.c, chunk.out.a,
                            chunk.out.b, chunk.out.c, chunk.status, options);
      });
    };

    int current = 0;
    bool have = read(chunks[current]);
    if (stop) return stop;
    std::future<BatchOutcome> computing =
        have ? convert(chunks[current]) : std::future<BatchOutcome>();
    while (have) {
      Chunk& chunk = chunks[current];
      Chunk& next = chunks[1 - current];
      const bool haveNext = chunk.size() > 0 && read(next);
      // The computation of this chunk ends before anything returns: it works on its arrays.
      if (computing.valid()) {
        const BatchOutcome batch = computing.get();
        if (batch.cancelled) return Stop{DatasetStatus::kCancelled, "nothing written"};
        if (std::optional<Stop> s = Check(layer, chunk)) return s;
        far_.Note(context_, layer.from, request_.to, chunk.in.a, chunk.in.b, chunk.in.c,
                  chunk.out.a, chunk.out.b, chunk.status, [&](std::size_t v) {
                    const auto after = std::upper_bound(chunk.first.begin(), chunk.first.end(), v);
                    const auto i = static_cast<std::size_t>(after - chunk.first.begin()) - 1;
                    return FeatureWhere(request_.input, layer, chunk, i);
                  }, &pool);
        outcome_.pointsConverted += chunk.in.size();
      }
      if (stop) return stop;
      std::future<BatchOutcome> nextComputing =
          haveNext ? convert(next) : std::future<BatchOutcome>();
      if (std::optional<Stop> s = sink.Write(layer, chunk)) return s;
      for (std::size_t i = 0; i < chunk.size(); ++i) {
        if (!chunk.skip[i]) ++outcome_.featuresWritten;
      }
      progress_.featuresDone += chunk.size();
      progress_.pointsDone = outcome_.pointsConverted;
      if (request_.progress) request_.progress(progress_);
      computing = std::move(nextComputing);
      have = haveNext;
      current = 1 - current;
    }
    return std::nullopt;
  }

  // The points that failed: a stop, or with --outside skip the features left out.
  std::optional<Stop> Check(const InputLayer& layer, Chunk& chunk) {
    for (std::size_t i = 0; i < chunk.size(); ++i) {
      for (std::size_t v = chunk.first[i]; v < chunk.first[i + 1]; ++v) {
        const PointStatus s = chunk.status[v];
        if (s == PointStatus::kDone) continue;
        if (s == PointStatus::kOutsideGrid && request_.outside == OutsidePolicy::kSkip) {
          chunk.skip[i] = 1;
          outcome_.skipped.push_back({layer.name, chunk.features[i]->GetFID()});
          break;
        }
        return PointStop(s, VertexWhere(request_.input, layer, chunk, i, v), layer.from,
                         chunk.in.a[v], chunk.in.b[v], profile_);
      }
    }
    return std::nullopt;
  }

  const DatasetRequest& request_;
  const RegionProfile& profile_;
  TransformContext context_;
  ErrorCapture errors_;
  DatasetOutcome outcome_;
  std::map<Form, Conversion> conversions_;
  DatasetProgress progress_;
  FarPoints far_;  // the points converted that lie far outside Greece
};

}  // namespace

DatasetOutcome ConvertDataset(const DatasetRequest& request) {
  Run run(request);
  return run.Go();
}

}  // namespace vortan::gis
