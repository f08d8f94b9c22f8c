#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/directory_walker.h"
#include "support/file_finder.h"
#include "support/mapped_file_view.h"
#include "support/parent_stack.h"
#include "support/path_join.h"
#include "tests/common/test_util.h"

namespace qb {
namespace {

using test::MakeDirs;
using test::TempDir;
using test::WriteFile;

struct Event {
  WalkEntryKind kind;
  std::string name;
  std::string dir;
};

// Walks the tree, setting SkipDescend after the directories named in `skip`, and after
// every file (where it must not close the directory that follows: each step clears it).
std::vector<Event> Walk(DirectoryWalker& w, const std::set<std::string>& skip = {}) {
  std::vector<Event> events;
  while (w.Next()) {
    events.push_back({w.kind, w.findData.cFileName, w.relativeDir});
    EXPECT_EQ(w.SkipDescend, 0);
    if (w.kind == WalkEntryKind::File || skip.count(w.findData.cFileName)) w.SkipDescend = 1;
    if (w.kind == WalkEntryKind::DirectoryLeft) { EXPECT_STREQ(w.findData.cAlternateFileName, ""); }
    if (events.size() > 1000) break;  // a walk that never ends
  }
  return events;
}

std::vector<Event> Walk(const std::string& root, const std::set<std::string>& skip = {}) {
  DirectoryWalker w(root.c_str());
  std::vector<Event> events = Walk(w, skip);
  EXPECT_EQ(w.kind, WalkEntryKind::None);
  EXPECT_EQ(w.state, 2);
  EXPECT_FALSE(w.Next()) << "after the end";
  w.Close();
  return events;
}

// Renders one directory level of the walk with siblings sorted (the system's order is its
// own): "a.html,pkg{b.html}", a skipped directory as "name-". Checks on the way that the
// walk is pre-order: a directory's entries follow it at once, carry its relative path,
// and end with its DirectoryLeft under the parent's path.
std::string Level(const std::vector<Event>& events, size_t& pos, const std::string& dir,
                  const std::set<std::string>& skip) {
  std::vector<std::string> items;
  while (pos < events.size() && events[pos].kind != WalkEntryKind::DirectoryLeft) {
    const Event& e = events[pos++];
    if (e.dir != dir) return "error: " + e.name + " in [" + e.dir + "], expected [" + dir + "]";
    std::string item = e.name;
    if (e.kind == WalkEntryKind::Directory && skip.count(e.name)) {
      item += "-";
    } else if (e.kind == WalkEntryKind::Directory) {
      item += "{" + Level(events, pos, dir.empty() ? e.name : dir + "\\" + e.name, skip) + "}";
      if (pos >= events.size() || events[pos].name != e.name || events[pos].dir != dir)
        return "error: no DirectoryLeft for " + e.name;
      ++pos;
    }
    items.push_back(item);
  }
  std::sort(items.begin(), items.end());
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : ",") + item;
  return out;
}

std::string Tree(const std::vector<Event>& events, const std::set<std::string>& skip = {}) {
  size_t pos = 0;
  std::string tree = Level(events, pos, "", skip);
  return pos == events.size() ? tree : tree + " error: stray events";
}

// --- Order of the walk ---

// Tree() checks the order on the way: pre-order, each folder left under its parent's path.
TEST(WalkerOrder, WalksPreOrderSkippingWhatTheClientSkips) {
  struct Case {
    std::vector<std::string> files, folders;
    const char* rootSuffix;
    std::set<std::string> skip;
    const char* tree;
    size_t events;
  } cases[] = {
      {{"pkg/b.html"}, {}, "", {}, "pkg{b.html}", 3},
      {{"a.html", "pkg/b.html", "pkg/sub/c.html", "pkg/sub/d.html", "other/e.html"}, {}, "", {},
       "a.html,other{e.html},pkg{b.html,sub{c.html,d.html}}", 11},
      {{}, {"empty"}, "", {}, "empty{}", 2},
      {{"pkg/b.html"}, {}, "\\", {}, "pkg{b.html}", 3},
      // A skipped folder has no entries and no DirectoryLeft.
      {{"a.html", "class-use/x.html", "class-use/deep/y.html", "keep/z.html"}, {}, "", {"class-use"},
       "a.html,class-use-,keep{z.html}", 5},
      // Names starting with a dot are names; a long one has a short name to clear.
      {{".DS_Store", ".svn/entries", "pkg/X.html", "pkg/._X.html", "pkg/.hidden/y.html", "Long Folder Name/x"},
       {}, "", {}, ".DS_Store,.svn{entries},Long Folder Name{x},pkg{._X.html,.hidden{y.html},X.html}", 14},
      {{}, {}, "\\missing", {}, "", 0},
  };
  for (const Case& c : cases) {
    TempDir root;
    for (const std::string& f : c.files) WriteFile(root / f, f);
    for (const std::string& f : c.folders) MakeDirs(root / f);
    std::vector<Event> events = Walk(root.path() + c.rootSuffix, c.skip);
    EXPECT_EQ(Tree(events, c.skip), c.tree);
    EXPECT_EQ(events.size(), c.events) << c.tree;
  }
}

// --- End of the walk and failures ---

TEST(WalkerEnd, EarlyCloseReleasesEveryLevel) {
  TempDir root;
  WriteFile(root / "a/b/c/d.html", "d");
  DirectoryWalker w(root.path().c_str());
  while (w.Next() && w.kind != WalkEntryKind::File) {
  }
  EXPECT_EQ(w.ParentStack.count, 3u);
  w.Close();
  EXPECT_EQ(w.ParentStack.count, 0u);
  EXPECT_EQ(w.ParentStack.elements, nullptr);
  EXPECT_EQ(w.searchHandle, NoSearch());
  EXPECT_FALSE(w.Next());
  // The searches are closed: the folders can go (Windows keeps a searched one).
  std::error_code error;
  EXPECT_TRUE(std::filesystem::remove(root / "a/b/c/d.html", error));
  EXPECT_TRUE(std::filesystem::remove(root / "a/b/c", error));
}

// Allocation that fails once a budget of calls is spent (-1: unlimited); for the walker
// and its parent stack.
int g_allowed = -1;
int g_calls = 0;
void* BudgetRealloc(void* block, size_t bytes) {
  ++g_calls;
  if (g_allowed >= 0 && g_calls > g_allowed) return nullptr;
  return std::realloc(block, bytes);
}

TEST(WalkerFailures, DirectoryThatCannotBeEnteredForWantOfMemoryIsLeftAtOnce) {
  TempDir root;
  WriteFile(root / "pkg/b.html", "b");
  WriteFile(root / "c.html", "c");
  // 0: the copy of the relative folder fails; 1: the stack cannot grow.
  for (int budget : {0, 1}) {
    g_calls = 0;
    g_allowed = budget;
    DirectoryWalker w(root.path().c_str());
    w.ParentStack.reallocate = BudgetRealloc;
    std::vector<Event> events = Walk(w);
    g_allowed = -1;
    EXPECT_EQ(Tree(events), "c.html,pkg{}") << "budget " << budget;
    EXPECT_EQ(w.ParentStack.count, 0u);
  }
}

TEST(WalkerFailures, FolderWhosePatternWouldBeCutIsNotSearched) {
  TempDir root;
  // Folders of 60 characters, then one whose full path is exactly 259 characters: its
  // pattern "...\*" no longer fits, and cut at 259 it would name the folder itself.
  const std::string name(60, 'd');
  std::string host, expected = "{}";
  size_t length = root.path().size();
  int levels = 3;
  while (levels > 0 && length + levels * 61 + 2 > 259) --levels;
  ASSERT_GT(levels, 0) << "temporary folder path too long";
  for (int i = 0; i < levels; ++i) host += name + "/";
  const std::string last(259 - (length + levels * 61 + 1), 'e');
  MakeDirs(root / (host + last));
  WriteFile(root / (host + last + "/f.html"), "f");
  ASSERT_TRUE(test::FileExists(root / (host + last))) << "could not create the deep tree";
  expected = last + expected;
  for (int i = 0; i < levels; ++i) expected = name + "{" + expected + "}";
  std::vector<Event> events = Walk(root.path());
  EXPECT_EQ(Tree(events), expected);
}

// --- The walker's parent stack ---

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

TEST_F(StackTest, PushPopInsertAndRemoveKeepTheOrder) {
  for (intptr_t h : {1, 2, 4}) ASSERT_TRUE(stack.Push(Entry(h)));
  ParentEntry e;
  ASSERT_TRUE(stack.Pop(&e));
  EXPECT_EQ(reinterpret_cast<intptr_t>(e.searchHandle), 4);
  ASSERT_TRUE(stack.Push(Entry(4)));
  ASSERT_TRUE(stack.Insert(2, Entry(3)));
  ASSERT_TRUE(stack.Insert(0, Entry(0)));
  EXPECT_EQ(Handles(), (std::vector<intptr_t>{0, 1, 2, 3, 4}));
  ASSERT_TRUE(stack.RemoveAt(1, &e));
  EXPECT_EQ(reinterpret_cast<intptr_t>(e.searchHandle), 1);
  EXPECT_EQ(Handles(), (std::vector<intptr_t>{0, 2, 3, 4}));
  EXPECT_FALSE(stack.Insert(6, Entry(7)));
  EXPECT_FALSE(stack.RemoveAt(4, &e));
  EXPECT_EQ(Handles(), (std::vector<intptr_t>{0, 2, 3, 4}));
  while (stack.Pop(&e)) {
  }
  EXPECT_EQ(reinterpret_cast<intptr_t>(e.searchHandle), 0);
  stack.ReleaseStorage();
  EXPECT_EQ(stack.capacity, 0u);
  EXPECT_EQ(stack.elements, nullptr);
}

TEST_F(StackTest, FailedAllocationLeavesTheStackIntact) {
  char* copy = stack.CopyString("pkg\\sub");
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy, "pkg\\sub");
  stack.release(copy);
  ASSERT_TRUE(stack.Push(Entry(1)));
  ASSERT_TRUE(stack.Push(Entry(2)));
  g_allowed = g_calls;
  EXPECT_EQ(stack.CopyString("x"), nullptr);
  EXPECT_FALSE(stack.Push(Entry(3)));
  EXPECT_EQ(Handles(), (std::vector<intptr_t>{1, 2}));
  g_allowed = -1;
  EXPECT_TRUE(stack.Push(Entry(3)));
  EXPECT_EQ(Handles(), (std::vector<intptr_t>{1, 2, 3}));
}

// --- FileFinder ---

std::set<std::string> Files(const std::string& folder) {
  FileFinder f;
  JoinPath(f.pattern, sizeof f.pattern, folder.c_str(), "*");
  std::set<std::string> names;
  while (f.Next()) names.insert(f.findData.cFileName);
  f.Close();
  EXPECT_EQ(f.searchHandle, NoSearch());
  f.Close();
  return names;
}

TEST(FinderFiles, ListsOnlyPlainFiles) {
  TempDir root;
  for (const char* name : {"index-1.html", "index-2.html", ".hidden", "sub/a/x", "sub/b/y"})
    WriteFile(root / name, "1");
  EXPECT_EQ(Files(root.path()), (std::set<std::string>{".hidden", "index-1.html", "index-2.html"}));
  EXPECT_TRUE(Files(root / "sub").empty()) << "a folder of subfolders only";
  EXPECT_TRUE(Files(root / "missing").empty());
}

}  // namespace
}  // namespace qb
