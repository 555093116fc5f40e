// The output files of a job, as one set: every output is opened and checked before any is
// emptied, no output may be a file the job reads or another output of the job, nor a file that
// another job is writing (each output is locked while the job writes it), and the files grow
// by whole batches of lines. A batch that cannot be written whole into every output is
// taken back from all of them, so that on every failure each output holds complete lines, the
// same number in each.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "data_files/record_writer.h"
#include "io/file_identity.h"

namespace vortan {

// A file the job reads, or another that no job overwrites (a correction grid it does not
// read), which no output may be.
struct ReadFile {
  FileIdentity identity;
  std::string name;       // as messages name it
  std::string nameGreek;  // in Greek
  bool read = true;       // the job reads it
};

// Why an output set could not be opened: which output and what to do.
struct OutputError {
  std::size_t output = 0;  // index of the output at fault
  std::string reason;
  std::string reasonGreek;
};

class OutputSet {
 public:
  OutputSet() = default;
  ~OutputSet();
  OutputSet(const OutputSet&) = delete;
  OutputSet& operator=(const OutputSet&) = delete;

  // Opens every output ("-" is standard output) without emptying any, checks them against the
  // files the job reads and against each other, and only then empties them. On failure
  // nothing has been touched: files that this call made are removed again.
  std::optional<OutputError> Open(const std::vector<std::string>& paths,
                                  const std::vector<ReadFile>& reads);

  std::size_t size() const { return files_.size(); }

  // Appends one batch of lines to every output (lines[i] to output i). False when an output
  // could not take them: the batch is then taken back from every output that can be cut back
  // (regular files), error() and failedOutput() say why and where.
  bool Append(const std::vector<LineBuffer>& lines);

  // Closes every output; false when one could not be closed (its last lines may be lost).
  bool Close();

  // Complete lines in each output.
  const std::vector<std::uint64_t>& lines() const { return lines_; }
  // Whether each output is the null device, which discards what it is given.
  const std::vector<bool>& discarded() const { return discarded_; }
  int error() const { return error_; }
  std::size_t failedOutput() const { return failed_; }

 private:
  struct File {
    std::string path;
    int fd = -1;
    bool owned = false;  // not standard output
    bool locked = false;  // holds the writer's lock (given up when closed, or by Close)
    std::optional<std::uint64_t> start;  // where its first line went, when it can be cut back
    std::uint64_t committed = 0;         // bytes of complete batches written
    std::uint64_t reserved = 0;  // the end of the disk space reserved ahead of the writes
    bool reserves = true;        // false once the file system declined a reservation
  };
  static void ReserveAhead(File& f, std::size_t size);
  static void ReleaseAhead(File& f);
  std::vector<File> files_;
  std::vector<std::uint64_t> lines_;
  std::vector<bool> discarded_;
  int error_ = 0;
  std::size_t failed_ = 0;
};

}  // namespace vortan
