#include "data_files/batch_scheduler.h"

#include <array>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace vortan {

bool RunBatches(RecordReader& reader, const BatchSteps& steps, WorkerPool* pool) {
  const std::size_t threads = pool ? static_cast<std::size_t>(pool->threads()) : 1;
  // Each thread's two batches (BatchSteps::kPerThread): while one waits to be written, the
  // thread reads and computes the other. One thread alone writes each batch as it is computed
  // and needs one.
  const std::size_t perThread = pool ? BatchSteps::kPerThread : 1;
  struct Held {
    RecordBatch batch;
    std::uint64_t sequence = 0;
    std::uint64_t bytes = 0;  // input bytes read up to the end of the batch
    bool waiting = false;     // computed, not yet written
  };
  std::vector<Held> held(threads * perThread);
  std::mutex reading;  // the reader, more and read
  bool more = true;
  std::uint64_t read = 0;
  std::mutex writing;  // the writes, the batches waiting, written, stopped and ended
  std::condition_variable freed;  // a batch was written, or the job stopped
  std::vector<Held*> queue(threads * perThread, nullptr);  // by sequence % size
  std::uint64_t written = 0;
  bool stopped = false;  // a batch ended the job, or a thread failed: nothing more is written
  bool ended = false;
  std::optional<std::uint64_t> told;  // the input bytes the progress told last
  const std::thread::id caller = std::this_thread::get_id();

  // Writes, in input order, every computed batch whose turn has come (of any thread); under
  // the writing lock.
  auto writeReady = [&]() {
    bool any = false;
    for (;;) {
      Held* next = queue[written % queue.size()];
      if (stopped || next == nullptr || next->sequence != written || !next->waiting) break;
      queue[written % queue.size()] = nullptr;
      ended = steps.write(next->batch, static_cast<std::size_t>(next - held.data()));
      next->waiting = false;
      ++written;
      stopped = ended;
      any = true;
      if (!stopped && std::this_thread::get_id() == caller && steps.progress) {
        steps.progress(next->bytes);
        told = next->bytes;
      }
    }
    return any;
  };

  auto run = [&](std::size_t slot) {
    try {
      for (std::size_t turn = 0;; ++turn) {
        Held& h = held[slot * perThread + turn % perThread];
        {
          // The thread's batch before last must have been written before its room is used.
          std::unique_lock<std::mutex> lock(writing);
          freed.wait(lock, [&] { return stopped || !h.waiting; });
          if (stopped) return;
        }
        {
          const std::lock_guard<std::mutex> lock(reading);
          if (!more) return;
          more = reader.ReadBatch(h.batch, steps.records, steps.bytes);
          if (h.batch.records.empty()) return;
          h.sequence = read++;
          h.bytes = reader.bytesConsumed();
        }
        steps.compute(h.batch, static_cast<std::size_t>(&h - held.data()));
        {
          const std::lock_guard<std::mutex> lock(writing);
          if (stopped) return;
          h.waiting = true;
          queue[h.sequence % queue.size()] = &h;
          if (!writeReady() && !stopped) continue;  // another thread writes it in its turn
        }
        freed.notify_all();
        if (h.batch.text.capacity() > 2 * steps.bytes) {
          const std::lock_guard<std::mutex> lock(writing);
          if (!h.waiting) {
            h.batch.text.clear();
            h.batch.text.shrink_to_fit();
          }
        }
      }
    } catch (...) {
      // No batch after this one can be written: the others stop, and the job fails.
      {
        const std::lock_guard<std::mutex> lock(writing);
        stopped = true;
      }
      freed.notify_all();
      throw;
    }
  };
  std::vector<TaskTicket> tickets(threads - 1);
  std::exception_ptr failure;
  try {
    for (std::size_t t = 0; t < tickets.size(); ++t) {
      pool->Submit([&run, t] { run(t + 1); }, tickets[t]);
    }
    run(0);
  } catch (...) {
    failure = std::current_exception();
    {
      const std::lock_guard<std::mutex> lock(writing);
      stopped = true;
    }
    freed.notify_all();
  }
  // The other threads' runs use this frame: they end before it does (a ticket never
  // submitted is done).
  for (TaskTicket& ticket : tickets) {
    try {
      pool->Wait(ticket);
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
  if (ended) return true;
  // Every batch is written: the progress tells the end, unless this thread's last did.
  if (steps.progress && told != reader.bytesConsumed()) steps.progress(reader.bytesConsumed());
  return false;
}

}  // namespace vortan
