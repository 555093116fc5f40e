// The threads of a record job: each takes the next batch of records from the reader in turn,
// computes it on its own and, in turn again, hands it to be written, so that a batch's text and
// lines stay in the cache of the processor that computes them (handing them from a reading
// thread to a computing one and back to be written made every thread slower). At most one batch
// a thread is in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "data_files/record_reader.h"
#include "engine/worker_pool.h"

namespace vortan {

struct BatchSteps {
  // The records and the input bytes a batch holds at most (RecordReader::ReadBatch).
  std::size_t records = 0, bytes = 0;
  // Computes a batch, on any thread; slot is the thread's own (0 the caller's, then 1 to the
  // pool's threads - 1), for the results it keeps from one batch to the next.
  std::function<void(const RecordBatch& batch, std::size_t slot)> compute;
  // Writes a computed batch, one at a time and in input order; true when the batch ends the
  // job (nothing more is read or written).
  std::function<bool(const RecordBatch& batch, std::size_t slot)> write;
  // Tells the input bytes read up to the batches written, on the calling thread only.
  std::function<void(std::uint64_t bytesRead)> progress;
};

// The batches of reader on this thread and the pool's (none without a pool), until the input
// ends or a write ends the job; what a step throws stops every thread and is thrown again here.
// Returns whether a write ended the job. The number of slots is 1 without a pool, else the
// pool's threads.
bool RunBatches(RecordReader& reader, const BatchSteps& steps, WorkerPool* pool);

}  // namespace vortan
