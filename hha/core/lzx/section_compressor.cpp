// Section 1 streaming and parallelism. Each reset interval is a job of its own; jobs finish
// in any order but are written strictly in stream order. The only thing an interval takes
// from others is its starting cost model: the symbol counts of a fixed window of earlier
// intervals, which it waits for after finding its matches. So the output depends neither
// on the thread count nor on the scheduling.
#include "hha/core/lzx/section_compressor.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "hha/core/lzx/lzx_encoder.h"
#include "hha/core/lzx/parser.h"

namespace hha::lzx {

namespace {
// Interval k starts from the summed counts of intervals k-8 to k-23. Up to 8 workers
// never wait for one another (a desktop has 4-16 cores; beyond 8, a worker still finds
// its matches, half the work, before it waits). A sum of many intervals makes a steadier
// model than one: on java.base, against the statistics pass, the interval 4 back alone
// gave 0.06% more bytes, the 16 from 4 back 0.03% fewer (from 1 back 0.03%, from 8 back
// 0.026%, from 16 back 0.02%; 32 summed as 16).
constexpr size_t kCarryDistance = 8;
constexpr size_t kCarryWindow = 16;

// Intervals in flight per worker, which bounds memory to a few hundred KiB per thread
// whatever the input size. The writer waits for the oldest one, so one slow interval
// (a hard one, or its worker preempted on a busy machine) idles the other workers once
// the rest are done: with 3, java.base's workers were idle 0.5-0.8 s, with 6 0.13-0.15 s
// (8: 0.05-0.27 s) for 0.75 MiB more peak (22.9 -> 23.6 MiB).
constexpr size_t kInFlightPerThread = 6;

uint64_t ElapsedNs(std::chrono::steady_clock::time_point since) {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now() - since)
                                   .count());
}
}  // namespace

struct SectionCompressor::Carried {
  SymbolCounts counts;
  bool valid = false;  // false for intervals that leave none (near-incompressible ones)
  bool ready = false;  // guarded by mutex_
};

uint64_t SectionCompressor::WorkerIdleMs() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return workerIdleNs_ / 1000000;
}

SectionCompressor::SectionCompressor(std::function<bool(const uint8_t*, size_t)> sink,
                                     unsigned threads, bool fast)
    : sink_(std::move(sink)), fast_(fast) {
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  threads_ = threads;
  maxInFlight_ = threads_ == 1 ? 1 : threads_ * kInFlightPerThread;
  pending_.reserve(kResetInterval);
  if (threads_ > 1) {
    for (unsigned i = 0; i < threads_; ++i) workers_.emplace_back([this] { WorkerLoop(); });
  }
}

SectionCompressor::~SectionCompressor() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    queue_.clear();
  }
  workAvailable_.notify_all();
  for (auto& t : workers_) t.join();
}

void SectionCompressor::WorkerLoop() {
  std::unique_ptr<IntervalEncoder> encoder;  // made once there is work
  for (;;) {
    std::shared_ptr<Job> job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!stopping_ && queue_.empty()) {
        const auto t0 = std::chrono::steady_clock::now();
        workAvailable_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (!queue_.empty()) workerIdleNs_ += ElapsedNs(t0);
      }
      if (queue_.empty()) return;
      job = queue_.front();
      queue_.pop_front();
    }
    if (!encoder) encoder = std::make_unique<IntervalEncoder>();
    Compress(*encoder, *job);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job->done = true;
    }
    jobDone_.notify_all();
  }
}

// The earlier intervals were queued first, so they are being compressed or done: the
// wait ends. It counts as idle time.
void SectionCompressor::Compress(IntervalEncoder& encoder, Job& job) {
  auto carried = [&](SymbolCounts& sum) {
    bool any = false;
    sum.Clear();
    std::unique_lock<std::mutex> lock(mutex_);
    for (const auto& from : job.from) {
      if (!from->ready) {
        const auto t0 = std::chrono::steady_clock::now();
        countsDone_.wait(lock, [&] { return from->ready; });
        workerIdleNs_ += ElapsedNs(t0);
      }
      if (from->valid) {
        sum.Add(from->counts);
        any = true;
      }
    }
    return any;
  };
  const bool leaves = encoder.Compress(
      job.input.data(), static_cast<uint32_t>(job.input.size()), job.output, job.frameStarts,
      fast_, job.from.empty() ? nullptr : std::function<bool(SymbolCounts&)>(carried),
      &job.left->counts);
  job.from.clear();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job.left->valid = leaves;
    job.left->ready = true;
  }
  countsDone_.notify_all();
  job.left.reset();
}

void SectionCompressor::Submit(std::vector<uint8_t> interval) {
  auto job = std::make_shared<Job>();
  job->input = std::move(interval);
  // recent_ holds the last kCarryDistance + kCarryWindow - 1 intervals, newest last.
  for (size_t back = kCarryDistance; back < kCarryDistance + kCarryWindow; ++back) {
    if (back > recent_.size()) break;
    job->from.push_back(recent_[recent_.size() - back]);
  }
  job->left = std::make_shared<Carried>();
  recent_.push_back(job->left);
  if (recent_.size() >= kCarryDistance + kCarryWindow) recent_.pop_front();
  if (threads_ == 1) {
    if (!ownEncoder_) ownEncoder_ = std::make_unique<IntervalEncoder>();
    Compress(*ownEncoder_, *job);
    job->done = true;
    inFlight_.push_back(job);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    inFlight_.push_back(job);
    queue_.push_back(job);
  }
  workAvailable_.notify_one();
}

bool SectionCompressor::WriteOldest() {
  std::shared_ptr<Job> job;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!inFlight_.front()->done) {
      const auto t0 = std::chrono::steady_clock::now();
      jobDone_.wait(lock, [&] { return inFlight_.front()->done; });
      callerWaitNs_ += ElapsedNs(t0);
    }
    job = inFlight_.front();
    inFlight_.pop_front();
  }
  return Emit(*job);
}

bool SectionCompressor::Emit(Job& job) {
  const size_t frames = job.input.size() / kFrameSize;
  for (size_t f = 0; f < frames; ++f) frameStarts_.push_back(compressed_ + job.frameStarts[f]);
  if (!job.output.empty() && !sink_(job.output.data(), job.output.size())) {
    failed_ = true;
    return false;
  }
  compressed_ += job.output.size();
  return true;
}

bool SectionCompressor::Write(const uint8_t* data, size_t n) {
  if (failed_) return false;
  uncompressed_ += n;
  while (n > 0) {
    const size_t take = std::min(n, static_cast<size_t>(kResetInterval) - pending_.size());
    pending_.insert(pending_.end(), data, data + take);
    data += take;
    n -= take;
    if (pending_.size() == kResetInterval) {
      while (inFlight_.size() >= maxInFlight_) {
        if (!WriteOldest()) return false;
      }
      std::vector<uint8_t> next;
      next.reserve(kResetInterval);
      pending_.swap(next);
      Submit(std::move(next));
    }
  }
  return true;
}

bool SectionCompressor::Finish() {
  if (failed_) return false;
  if (!pending_.empty()) {
    const size_t padded = (pending_.size() + kFrameSize - 1) / kFrameSize * kFrameSize;
    pending_.resize(padded, 0);
    while (inFlight_.size() >= maxInFlight_) {
      if (!WriteOldest()) return false;
    }
    Submit(std::move(pending_));
    pending_.clear();
  }
  while (!inFlight_.empty()) {
    if (!WriteOldest()) return false;
  }
  return true;
}

}  // namespace hha::lzx
