#include "data_files/batch_scheduler.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace vortan {

bool RunBatches(RecordReader& reader, const BatchSteps& steps, WorkerPool* pool) {
  std::mutex reading;  // the reader, more and read
  bool more = true;
  std::uint64_t read = 0;
  std::mutex writing;  // the writes, written, stopped and ended
  std::condition_variable turn;
  std::uint64_t written = 0;
  bool stopped = false;  // a batch ended the job, or a thread failed: nothing more is written
  bool ended = false;
  std::optional<std::uint64_t> told;  // the input bytes the progress told last
  const std::thread::id caller = std::this_thread::get_id();
  auto run = [&](std::size_t slot) {
    RecordBatch batch;
    try {
      for (;;) {
        std::uint64_t sequence, bytes;
        {
          const std::lock_guard<std::mutex> lock(reading);
          if (!more) return;
          {
            const std::lock_guard<std::mutex> stop(writing);
            if (stopped) return;
          }
          more = reader.ReadBatch(batch, steps.records, steps.bytes);
          if (batch.records.empty()) return;
          sequence = read++;
          bytes = reader.bytesConsumed();
        }
        steps.compute(batch, slot);
        {
          std::unique_lock<std::mutex> lock(writing);
          turn.wait(lock, [&] { return stopped || written == sequence; });
          if (stopped) return;
          ended = steps.write(batch, slot);
          ++written;
          stopped = ended;
          if (!stopped && std::this_thread::get_id() == caller && steps.progress) {
            steps.progress(bytes);
            told = bytes;
          }
        }
        turn.notify_all();
        if (batch.text.capacity() > 2 * steps.bytes) {
          batch.text.clear();
          batch.text.shrink_to_fit();
        }
      }
    } catch (...) {
      // No batch after this one can be written: the others stop, and the job fails.
      {
        const std::lock_guard<std::mutex> lock(writing);
        stopped = true;
      }
      turn.notify_all();
      throw;
    }
  };
  std::vector<TaskTicket> tickets(pool ? static_cast<std::size_t>(pool->threads() - 1) : 0);
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
    turn.notify_all();
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
