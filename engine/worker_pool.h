// A pool of worker threads that run submitted tasks, and on which the submitting thread helps
// while it waits: on `threads` threads in all (the caller and threads - 1 workers, which live as
// long as the pool). Where the system refuses a thread (a process or memory limit), the pool
// makes do with half the threads it got, down to the caller alone, so that the memory left
// serves the points. The workers run on small stacks: they compute points, nothing deep.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vortan {

// What the submitter keeps of a task: whether it has run, and what it threw.
struct TaskTicket {
  bool done = true;  // false from Submit until the task has run
  std::exception_ptr error;
};

class WorkerPool {
 public:
  explicit WorkerPool(int threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Threads that compute: the workers that started and the caller.
  int threads() const { return static_cast<int>(workers_.size()) + 1; }

  // Queues a task; the ticket must outlive it.
  void Submit(std::function<void()> task, TaskTicket& ticket);

  bool Done(const TaskTicket& ticket);

  // Returns when the ticket's task has run, running queued tasks on this thread meanwhile.
  // Rethrows what the task threw.
  void Wait(TaskTicket& ticket);

  // Runs the oldest queued task on this thread; false when none is queued.
  bool RunOne();

 private:
  struct Task {
    std::function<void()> run;
    TaskTicket* ticket;
  };
  void Work();
  // Starts up to count workers; how many started.
  int Start(int count);
  void Stop();
  static void* Entry(void* pool);
  // Takes the front task (the queue is not empty) and runs it without the lock; returns with
  // the lock held.
  void RunFront(std::unique_lock<std::mutex>& lock);

  std::mutex mutex_;
  std::condition_variable workAvailable_;
  std::condition_variable taskDone_;
  std::deque<Task> queue_;
  bool closing_ = false;
#if defined(_WIN32)
  std::vector<std::thread> workers_;
#else
  std::vector<unsigned long> workers_;  // pthread_t
#endif
};

}  // namespace vortan
