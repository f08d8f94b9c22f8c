#include "hha/core/background_queue.h"

#include <chrono>

namespace hha {
namespace {

uint64_t ElapsedNs(std::chrono::steady_clock::time_point since) {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now() - since)
                                   .count());
}

}  // namespace

BackgroundQueue::BackgroundQueue(bool threaded, size_t maxBacklog) : maxBacklog_(maxBacklog) {
  if (threaded) thread_ = std::thread([this] { Loop(); });
}

BackgroundQueue::~BackgroundQueue() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    tasks_.clear();
  }
  wake_.notify_one();
  thread_.join();
}

void BackgroundQueue::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (tasks_.empty() && !stopping_) {
      const auto t0 = std::chrono::steady_clock::now();
      wake_.wait(lock, [&] { return stopping_ || !tasks_.empty(); });
      idleNs_ += ElapsedNs(t0);
    }
    if (tasks_.empty()) return;
    Task task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    std::exception_ptr thrown;
    try {
      task.run();
    } catch (...) {
      thrown = std::current_exception();
    }
    task.run = nullptr;  // what it holds goes before its weight is given back
    lock.lock();
    if (thrown && !failure_) failure_ = thrown;
    if (failure_) {
      for (const Task& dropped : tasks_) backlog_ -= dropped.weight;
      finished_ += tasks_.size();
      tasks_.clear();
    }
    backlog_ -= task.weight;
    ++finished_;
    done_.notify_one();
  }
}

void BackgroundQueue::RethrowFailure() {
  if (failure_) std::rethrow_exception(failure_);
}

uint64_t BackgroundQueue::Post(std::function<void()> task, size_t weight) {
  if (!thread_.joinable()) {
    task();
    return ++posted_;
  }
  uint64_t number;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    RethrowFailure();
    if (backlog_ > 0 && backlog_ + weight > maxBacklog_) {
      const auto t0 = std::chrono::steady_clock::now();
      done_.wait(lock, [&] { return failure_ || backlog_ == 0 || backlog_ + weight <= maxBacklog_; });
      callerWaitNs_ += ElapsedNs(t0);
      RethrowFailure();
    }
    tasks_.push_back({std::move(task), weight});
    backlog_ += weight;
    number = ++posted_;
  }
  wake_.notify_one();
  return number;
}

void BackgroundQueue::Await(uint64_t task) {
  if (!thread_.joinable()) return;
  std::unique_lock<std::mutex> lock(mutex_);
  if (finished_ < task) {
    const auto t0 = std::chrono::steady_clock::now();
    done_.wait(lock, [&] { return finished_ >= task; });
    callerWaitNs_ += ElapsedNs(t0);
  }
  RethrowFailure();
}

void BackgroundQueue::AwaitBacklog(size_t atMost) {
  if (!thread_.joinable()) return;
  std::unique_lock<std::mutex> lock(mutex_);
  if (!failure_ && backlog_ > atMost) {
    const auto t0 = std::chrono::steady_clock::now();
    done_.wait(lock, [&] { return failure_ || backlog_ <= atMost; });
    callerWaitNs_ += ElapsedNs(t0);
  }
  RethrowFailure();
}

uint64_t BackgroundQueue::CallerWaitMs() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return callerWaitNs_ / 1000000;
}

uint64_t BackgroundQueue::IdleMs() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return idleNs_ / 1000000;
}

}  // namespace hha
