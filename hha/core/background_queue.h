// One background thread that runs tasks strictly one after the other, in the order they
// were posted: work whose result depends on its order (topic numbers, the full-text
// index) moves off the calling thread without changing what it computes.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace hha {

class BackgroundQueue {
 public:
  // threaded: false runs every task inside Post, on the caller's thread (one core, or a
  //           caller that asked for one thread).
  // maxBacklog: weight (bytes a task holds) of the posted, unfinished tasks beyond which
  //           Post waits, so that memory stays bounded when the tasks are slower than
  //           the caller. A task heavier than that alone still goes through.
  BackgroundQueue(bool threaded, size_t maxBacklog);
  // Waits for the running task; tasks not started are dropped (the caller gave up).
  ~BackgroundQueue();
  BackgroundQueue(const BackgroundQueue&) = delete;
  BackgroundQueue& operator=(const BackgroundQueue&) = delete;

  // Queues `task`. A task must not call back into its caller's thread-bound state (the
  // caller's callbacks, its file lookups): it runs while the caller goes on.
  // Rethrows, on the caller's thread, what an earlier task threw (std::bad_alloc);
  // the tasks after a failed one are dropped. Returns the task's number for Await.
  uint64_t Post(std::function<void()> task, size_t weight = 0);
  // Returns once task number `task` and every task before it have run; rethrows as Post
  // does. Afterwards the caller may use what those tasks touched and no later task does.
  void Await(uint64_t task);
  // Await for every task posted so far: the caller may use all that the tasks touched,
  // until it posts again.
  void Drain() { Await(posted_); }
  // Returns once the tasks not yet finished weigh at most `atMost`; rethrows as Post does.
  void AwaitBacklog(size_t atMost);

  // Time the caller spent waiting in Post (backlog full) and Drain, and time the thread
  // had nothing to do, in milliseconds.
  uint64_t CallerWaitMs() const;
  uint64_t IdleMs() const;

 private:
  struct Task {
    std::function<void()> run;
    size_t weight;
  };
  void Loop();
  void RethrowFailure();  // with mutex_ held

  const size_t maxBacklog_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;      // to the thread: a task, or stop
  std::condition_variable done_;      // to the caller: a task done
  std::deque<Task> tasks_;            // not started
  size_t backlog_ = 0;                // weight of the tasks not finished
  uint64_t posted_ = 0, finished_ = 0;  // tasks posted, tasks run or dropped
  bool stopping_ = false;
  std::exception_ptr failure_;
  uint64_t callerWaitNs_ = 0, idleNs_ = 0;
  std::thread thread_;  // last: starts once the rest is set up
};

}  // namespace hha
