#include "engine/worker_pool.h"

#include <system_error>

namespace vortan {

WorkerPool::WorkerPool(int threads) {
  for (int t = 1; t < threads; ++t) {
    try {
      workers_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
      break;  // the system gives no more threads: work with those started
    }
  }
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  workAvailable_.notify_all();
  for (std::thread& w : workers_) w.join();
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
