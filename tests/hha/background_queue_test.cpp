// The compiler's page indexer: tasks run one at a time in the order posted, the caller
// is held back once the backlog is full, waits for one task (or for the backlog to
// shrink) without the later ones, and a task's exception reaches the caller.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <new>
#include <thread>
#include <vector>

#include "hha/core/background_queue.h"

namespace hha {
namespace {

TEST(BackgroundQueue, TasksRunInOrderWithTheBacklogBounded) {
  for (bool threaded : {true, false}) {
    SCOPED_TRACE(threaded ? "threaded" : "on the caller's thread");
    constexpr size_t kMax = 1000;
    std::vector<int> ran;  // only the queue's thread writes it before Drain
    std::atomic<size_t> waiting{0};  // weight posted and not yet run
    size_t most = 0;                 // largest backlog seen after a Post of ordinary weight
    bool overBound = false;
    BackgroundQueue queue(threaded, kMax);
    for (int i = 0; i < 200; ++i) {
      const size_t weight = i == 100 ? 3 * kMax : 100 + i % 7;  // one heavier than the bound
      waiting += weight;
      queue.Post(
          [&, i, weight] {
            std::this_thread::sleep_for(std::chrono::microseconds(50));
            ran.push_back(i);
            waiting -= weight;
          },
          weight);
      // From here on only finishing tasks change `waiting`: it is at most what Post left.
      const size_t now = waiting.load();
      overBound |= now > std::max(kMax, weight);
      if (weight < kMax) most = std::max(most, now);
    }
    queue.Drain();
    ASSERT_EQ(ran.size(), 200u);
    for (int i = 0; i < 200; ++i) ASSERT_EQ(ran[i], i);
    EXPECT_FALSE(overBound) << "Post must wait while the backlog is full";
    if (threaded)
      EXPECT_GT(most, kMax / 2) << "tasks should queue behind the slow thread, not run in Post";
    else
      EXPECT_EQ(most, 0u) << "unthreaded, a task runs inside Post";
    EXPECT_EQ(waiting.load(), 0u);
  }
}

TEST(BackgroundQueue, AwaitWaitsForItsTaskAndNotForLaterOnes) {
  BackgroundQueue queue(true, 1 << 20);
  std::atomic<bool> firstRan{false}, released{false}, timedOut{false};
  const uint64_t first = queue.Post([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    firstRan = true;
  });
  queue.Post([&] {  // holds the thread until the caller is back from Await
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!released && !(timedOut = std::chrono::steady_clock::now() > until)) std::this_thread::yield();
  });
  queue.Await(first);
  EXPECT_TRUE(firstRan.load());
  released = true;
  queue.Drain();
  EXPECT_FALSE(timedOut.load()) << "Await waited for a later task";
}

TEST(BackgroundQueue, AwaitBacklogReturnsOnceWhatIsLeftWeighsLittleEnough) {
  BackgroundQueue queue(true, 1 << 20);
  std::atomic<bool> heavyRan{false}, released{false}, timedOut{false};
  queue.Post([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    heavyRan = true;
  }, 1000);
  queue.Post([&] {  // light, and holds the thread until the caller is back
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!released && !(timedOut = std::chrono::steady_clock::now() > until)) std::this_thread::yield();
  }, 10);
  queue.AwaitBacklog(10);
  EXPECT_TRUE(heavyRan.load());
  released = true;
  queue.Drain();
  EXPECT_FALSE(timedOut.load()) << "AwaitBacklog waited for the light task too";
}

TEST(BackgroundQueue, AThrowingTaskReachesTheCallerAndTheRestIsDropped) {
  BackgroundQueue queue(true, 1 << 20);
  std::atomic<int> after{0};
  queue.Post([] { throw std::bad_alloc(); });
  for (int i = 0; i < 50; ++i) {
    try {
      queue.Post([&] { ++after; });
    } catch (const std::bad_alloc&) {
      break;  // the failure may already be known here
    }
  }
  EXPECT_THROW(queue.Drain(), std::bad_alloc);
  EXPECT_EQ(after.load(), 0);
}

}  // namespace
}  // namespace hha
