// Streaming compressor of CHM section 1: cuts the byte stream into 64 KiB reset
// intervals, compresses them on worker threads and hands the compressed bytes to a sink
// in order, with the compressed offset of every 32 KiB frame for the reset table.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "hha/core/lzx/lzx_encoder.h"

namespace hha::lzx {

class SectionCompressor {
 public:
  // sink: receives the compressed stream in order, in pieces of any size; returning
  //       false stops the compressor (sticky: every later call returns false).
  //       Called only from the threads that call Write and Finish.
  // threads: worker threads; 0 = one per core, 1 = compress on the calling thread.
  //       The output bytes do not depend on it.
  // fast: speed over size (see IntervalEncoder).
  SectionCompressor(std::function<bool(const uint8_t*, size_t)> sink, unsigned threads,
                    bool fast = false);
  ~SectionCompressor();
  SectionCompressor(const SectionCompressor&) = delete;
  SectionCompressor& operator=(const SectionCompressor&) = delete;

  // Appends n bytes of section 1, cut at any point. Memory stays bounded: when too many
  // intervals are in flight, the call waits for the oldest one and writes it.
  bool Write(const uint8_t* data, size_t n);
  // Pads the last frame with zero bytes, compresses the rest and writes everything.
  // Call once; Write must not be called after it.
  bool Finish();

  // Bytes given to Write (without the padding of the last frame).
  uint64_t UncompressedLength() const { return uncompressed_; }
  // Bytes handed to the sink so far (all of them once Finish returned true).
  uint64_t CompressedLength() const { return compressed_; }
  // Compressed offset of each 32 KiB frame, in order; complete after Finish. The reset
  // table adds the compressed length itself as its final entry.
  const std::vector<uint64_t>& FrameStarts() const { return frameStarts_; }
  // Time the calling thread spent waiting for workers to finish an interval, and the
  // time workers spent waiting for an interval to compress (summed over workers), in
  // milliseconds: how well the caller's own work and the compression overlap.
  uint64_t CallerWaitMs() const { return callerWaitNs_ / 1000000; }
  uint64_t WorkerIdleMs() const;

 private:
  struct Carried;
  struct Job {
    std::vector<uint8_t> input;
    std::vector<std::shared_ptr<Carried>> from;  // earlier intervals' counts, to start from
    std::shared_ptr<Carried> left;               // this interval's, for later ones
    std::vector<uint8_t> output;
    uint32_t frameStarts[2] = {0, 0};
    bool done = false;
  };

  void Submit(std::vector<uint8_t> interval);
  void Compress(IntervalEncoder& encoder, Job& job);
  bool WriteOldest();
  bool Emit(Job& job);
  void WorkerLoop();

  std::function<bool(const uint8_t*, size_t)> sink_;
  unsigned threads_;
  bool fast_;
  uint64_t callerWaitNs_ = 0;
  uint64_t workerIdleNs_ = 0;  // guarded by mutex_
  size_t maxInFlight_;
  bool failed_ = false;
  uint64_t uncompressed_ = 0;
  uint64_t compressed_ = 0;
  std::vector<uint64_t> frameStarts_;
  std::vector<uint8_t> pending_;  // bytes of the interval being filled
  std::unique_ptr<IntervalEncoder> ownEncoder_;  // with one thread: the caller's
  std::deque<std::shared_ptr<Carried>> recent_;  // the latest intervals' counts, oldest first

  mutable std::mutex mutex_;
  std::condition_variable workAvailable_;
  std::condition_variable jobDone_;
  std::condition_variable countsDone_;
  std::deque<std::shared_ptr<Job>> inFlight_;  // in stream order, guarded by mutex_
  std::deque<std::shared_ptr<Job>> queue_;     // not yet started, guarded by mutex_
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace hha::lzx
