#include <cstdlib>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "support/parent_stack.h"

namespace qb {
namespace {

// Allocation that fails once a budget of calls is spent.
int g_allowed = -1;  // -1: unlimited
int g_calls = 0;
void* BudgetRealloc(void* block, size_t bytes) {
  ++g_calls;
  if (g_allowed >= 0 && g_calls > g_allowed) return nullptr;
  return std::realloc(block, bytes);
}

class StackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_allowed = -1;
    g_calls = 0;
    stack.reallocate = BudgetRealloc;
  }
  static ParentEntry Entry(intptr_t h) {
    return ParentEntry{reinterpret_cast<void*>(h), nullptr};
  }
  std::vector<intptr_t> Handles() const {
    std::vector<intptr_t> v;
    for (uint32_t i = 0; i < stack.count; ++i)
      v.push_back(reinterpret_cast<intptr_t>(stack.elements[i].searchHandle));
    return v;
  }
  ParentSearchStack stack;
};

TEST_F(StackTest, GrowsByOneElementAndPopsLastInFirstOut) {
  for (intptr_t h = 1; h <= 3; ++h) {
    ASSERT_TRUE(stack.Push(Entry(h)));
    EXPECT_EQ(stack.capacity, static_cast<uint32_t>(h));
  }
  ParentEntry e;
  ASSERT_TRUE(stack.Pop(&e));
  EXPECT_EQ(reinterpret_cast<intptr_t>(e.searchHandle), 3);
  ASSERT_TRUE(stack.Push(Entry(9)));
  EXPECT_EQ(g_calls, 3) << "a push into spare capacity must not reallocate";
  EXPECT_EQ(Handles(), (std::vector<intptr_t>{1, 2, 9}));
  while (stack.Pop(&e)) {
  }
  EXPECT_EQ(reinterpret_cast<intptr_t>(e.searchHandle), 1);
  stack.ReleaseStorage();
  EXPECT_EQ(stack.capacity, 0u);
  EXPECT_EQ(stack.elements, nullptr);
}

TEST_F(StackTest, InsertAndRemoveInTheMiddleMoveTheRest) {
  for (intptr_t h : {1, 2, 4}) ASSERT_TRUE(stack.Push(Entry(h)));
  ASSERT_TRUE(stack.Insert(2, Entry(3)));
  ASSERT_TRUE(stack.Insert(0, Entry(0)));
  EXPECT_EQ(Handles(), (std::vector<intptr_t>{0, 1, 2, 3, 4}));
  ParentEntry e;
  ASSERT_TRUE(stack.RemoveAt(1, &e));
  EXPECT_EQ(reinterpret_cast<intptr_t>(e.searchHandle), 1);
  EXPECT_EQ(Handles(), (std::vector<intptr_t>{0, 2, 3, 4}));
  EXPECT_FALSE(stack.Insert(6, Entry(7)));
  EXPECT_FALSE(stack.RemoveAt(4, &e));
  EXPECT_EQ(Handles(), (std::vector<intptr_t>{0, 2, 3, 4}));
}

TEST_F(StackTest, FailedGrowthLeavesTheStackIntact) {
  ASSERT_TRUE(stack.Push(Entry(1)));
  ASSERT_TRUE(stack.Push(Entry(2)));
  g_allowed = g_calls;
  EXPECT_FALSE(stack.Push(Entry(3)));
  EXPECT_EQ(stack.capacity, 2u);
  EXPECT_EQ(Handles(), (std::vector<intptr_t>{1, 2}));
  g_allowed = -1;
  EXPECT_TRUE(stack.Push(Entry(3)));
  EXPECT_EQ(Handles(), (std::vector<intptr_t>{1, 2, 3}));
}

TEST_F(StackTest, CopyStringUsesTheStackAllocator) {
  char* copy = stack.CopyString("pkg\\sub");
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy, "pkg\\sub");
  stack.release(copy);
  g_allowed = g_calls;
  EXPECT_EQ(stack.CopyString("x"), nullptr);
}

}  // namespace
}  // namespace qb
