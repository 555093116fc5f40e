// Point features into a record file of the target form's layout, written as the record jobs
// write it; the id from the attribute `id`, else the FID.
#pragma once

#include <string>

#include "data_files/record_writer.h"
#include "gis/output_place.h"
#include "gis/sink.h"

namespace vortan::gis {

class RecordSink : public Sink {
 public:
  // input: the dataset read, as messages name it.
  RecordSink(std::string input, std::string target, Form to);
  ~RecordSink() override;

  // Opens the output (standard output for "-", else a temporary file beside the target).
  std::optional<Stop> Open();

  std::optional<Stop> BeginLayer(const InputLayer&) override { return std::nullopt; }
  std::optional<Stop> Write(const InputLayer& in, Chunk& chunk) override;
  std::optional<Stop> EndLayer(const InputLayer&) override { return std::nullopt; }
  std::optional<Stop> Finish(const std::atomic<bool>* cancel) override;

 private:
  std::string input_;
  std::string target_;
  Form to_;
  int fd_ = -1;
  OutputPlace place_;
  LineBuffer lines_;
};

}  // namespace vortan::gis
