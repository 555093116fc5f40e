#include "engine/worker_pool.h"

#include <system_error>

#if !defined(_WIN32)
#include <pthread.h>
#endif

namespace vortan {
namespace {

constexpr std::size_t kWorkerStack = 512u << 10;

}  // namespace

WorkerPool::WorkerPool(int threads) {
  const int wanted = threads - 1;
  const int started = Start(wanted);
  if (started < wanted) {
    // The system is at a limit: keep half, so that memory is left for the work.
    Stop();
    Start(started / 2);
  }
}

WorkerPool::~WorkerPool() { Stop(); }

void* WorkerPool::Entry(void* pool) {
  static_cast<WorkerPool*>(pool)->Work();
  return nullptr;
}

int WorkerPool::Start(int count) {
  closing_ = false;
#if defined(_WIN32)
  for (int t = 0; t < count; ++t) {
    try {
      workers_.emplace_back([this] { Entry(this); });
    } catch (const std::system_error&) {
      break;
    }
  }
#else
  static_assert(sizeof(pthread_t) <= sizeof(unsigned long));
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return 0;
  pthread_attr_setstacksize(&attributes, kWorkerStack);
  for (int t = 0; t < count; ++t) {
    pthread_t thread;
    if (pthread_create(&thread, &attributes, &WorkerPool::Entry, this) != 0) break;
    workers_.push_back(static_cast<unsigned long>(thread));
  }
  pthread_attr_destroy(&attributes);
#endif
  return static_cast<int>(workers_.size());
}

void WorkerPool::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  workAvailable_.notify_all();
#if defined(_WIN32)
  for (std::thread& w : workers_) w.join();
#else
  for (unsigned long w : workers_) pthread_join(static_cast<pthread_t>(w), nullptr);
#endif
  workers_.clear();
}

void WorkerPool::Submit(std::function<void()> task, TaskTicket& ticket) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ticket.done = false;
    ticket.error = nullptr;
    queue_.push_back({std::move(task), &ticket});
  }
  workAvailable_.notify_one();
}

bool WorkerPool::Done(const TaskTicket& ticket) {
  std::lock_guard<std::mutex> lock(mutex_);
  return ticket.done;
}

void WorkerPool::Wait(TaskTicket& ticket) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!ticket.done) {
    if (!queue_.empty()) {
      RunFront(lock);
    } else {
      taskDone_.wait(lock);
    }
  }
  if (ticket.error) std::rethrow_exception(ticket.error);
}

bool WorkerPool::RunOne() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (queue_.empty()) return false;
  RunFront(lock);
  return true;
}

void WorkerPool::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    workAvailable_.wait(lock, [&] { return closing_ || !queue_.empty(); });
    if (closing_) return;
    RunFront(lock);
  }
}

void WorkerPool::RunFront(std::unique_lock<std::mutex>& lock) {
  Task task = std::move(queue_.front());
  queue_.pop_front();
  lock.unlock();
  std::exception_ptr error;
  try {
    task.run();
  } catch (...) {
    error = std::current_exception();
  }
  lock.lock();
  task.ticket->error = error;
  task.ticket->done = true;
  taskDone_.notify_all();
}

}  // namespace vortan
