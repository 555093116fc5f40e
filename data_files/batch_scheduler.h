// The threads of a record job: each takes the next batch of records from the reader in turn,
// computes it on its own and hands it to be written in input order, so that a batch's text and
// lines stay in the cache of the processor that computes them (handing them from a reading
// thread to a computing one and back to be written made every thread slower). A thread whose
// batch is computed before its turn to be written leaves it waiting and goes on with its second
// batch; whichever thread completes the turn writes every batch that is then due, so that no
// thread idles while another computes. At most two batches a thread are in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "data_files/record_reader.h"
#include "engine/worker_pool.h"

namespace vortan {

struct BatchSteps {
  // The batches each thread holds at most: one waiting to be written, one being computed.
  static constexpr std::size_t kPerThread = 2;
  // The records and the input bytes a batch holds at most (RecordReader::ReadBatch).
  std::size_t records = 0, bytes = 0;
  // Computes a batch, on any thread, into the room `slot` (0 to kPerThread times the threads,
  // less one), which holds its results until it is written and then serves a later batch.
  std::function<void(const RecordBatch& batch, std::size_t slot)> compute;
  // Writes a computed batch with its slot's results, one at a time and in input order, on any
  // thread; true when the batch ends the job (nothing more is read or written).
  std::function<bool(const RecordBatch& batch, std::size_t slot)> write;
  // Tells the input bytes read up to the batches written, on the calling thread only.
  std::function<void(std::uint64_t bytesRead)> progress;
};

// The batches of reader on this thread and the pool's (none without a pool), until the input
// ends or a write ends the job; what a step throws stops every thread and is thrown again here.
// Returns whether a write ended the job. The number of slots is 1 without a pool, else
// kPerThread times the pool's threads.
bool RunBatches(RecordReader& reader, const BatchSteps& steps, WorkerPool* pool);

}  // namespace vortan
