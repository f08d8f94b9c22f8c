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

std::string Describe(const Event& e) {
  static const char* names[] = {"None", "File", "Directory", "DirectoryLeft"};
  return std::string(names[static_cast<int>(e.kind)]) + " " + e.name + " [" + e.dir + "]";
}

// Walks the tree, setting SkipDescend after the directories named in `skip`.
std::vector<Event> Walk(DirectoryWalker& w, const std::set<std::string>& skip = {}) {
  std::vector<Event> events;
  while (w.Next()) {
    events.push_back({w.kind, w.findData.cFileName, w.relativeDir});
    if (w.kind == WalkEntryKind::Directory && skip.count(w.findData.cFileName))
      w.SkipDescend = 1;
    if (events.size() > 1000) break;  // a walk that never ends
  }
  return events;
}

std::vector<Event> Walk(const std::string& root, const std::set<std::string>& skip = {}) {
  DirectoryWalker w(root.c_str());
  std::vector<Event> events = Walk(w, skip);
  EXPECT_EQ(w.kind, WalkEntryKind::None);
  EXPECT_EQ(w.state, 2);
  w.Close();
  return events;
}

// Reads the events of one directory level and renders it with siblings sorted (the
// system's order is its own): "a.html,pkg{b.html}". Checks on the way that the walk is
// pre-order: a directory's entries follow it at once, carry its relative path, and end
// with its DirectoryLeft under the parent's path. Skipped directories render as "name-".
class TreeReader {
 public:
  TreeReader(const std::vector<Event>& events, const std::set<std::string>& skip)
      : events_(events), skip_(skip) {}

  std::string Read() {
    std::string tree = Level("");
    if (error_.empty() && pos_ != events_.size())
      error_ = "stray event: " + Describe(events_[pos_]);
    return error_.empty() ? tree : "error: " + error_;
  }

 private:
  std::string Level(const std::string& dir) {
    std::vector<std::string> items;
    while (pos_ < events_.size() && error_.empty()) {
      const Event& e = events_[pos_];
      if (e.kind == WalkEntryKind::DirectoryLeft) break;
      ++pos_;
      if (e.dir != dir) {
        error_ = "wrong folder: " + Describe(e) + ", expected [" + dir + "]";
        break;
      }
      if (e.kind == WalkEntryKind::File) {
        items.push_back(e.name);
      } else if (skip_.count(e.name)) {
        items.push_back(e.name + "-");
      } else {
        std::string inner = Level(dir.empty() ? e.name : dir + "\\" + e.name);
        if (!error_.empty()) break;
        if (pos_ >= events_.size()) {
          error_ = "no DirectoryLeft for " + e.name;
          break;
        }
        const Event& left = events_[pos_++];
        if (left.name != e.name || left.dir != dir) {
          error_ = "mismatched " + Describe(left) + " for " + e.name;
          break;
        }
        items.push_back(e.name + "{" + inner + "}");
      }
    }
    std::sort(items.begin(), items.end());
    std::string out;
    for (const std::string& s : items) out += (out.empty() ? "" : ",") + s;
    return out;
  }

  const std::vector<Event>& events_;
  const std::set<std::string>& skip_;
  size_t pos_ = 0;
  std::string error_;
};

std::string Tree(const std::vector<Event>& events, const std::set<std::string>& skip = {}) {
  return TreeReader(events, skip).Read();
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

TEST(WalkerOrder, DirectoryLeftHasAnEmptyShortName) {
  TempDir root;
  WriteFile(root / "Long Folder Name/x.html", "x");
  DirectoryWalker w(root.path().c_str());
  while (w.Next() && w.kind != WalkEntryKind::DirectoryLeft) {
  }
  ASSERT_EQ(w.kind, WalkEntryKind::DirectoryLeft);
  EXPECT_STREQ(w.findData.cFileName, "Long Folder Name");
  EXPECT_STREQ(w.findData.cAlternateFileName, "");
  EXPECT_STREQ(w.relativeDir, "");
}

// --- Names that start with a dot ---

TEST(WalkerDotNames, DotFoldersAreEnteredAndDotFilesReachable) {
  TempDir root;
  WriteFile(root / ".DS_Store", "mac");
  WriteFile(root / ".svn/entries", "svn");
  WriteFile(root / "pkg/X.html", "x");
  WriteFile(root / "pkg/._X.html", "resource fork");
  WriteFile(root / "pkg/.hidden/y.html", "y");
  DirectoryWalker w(root.path().c_str());
  std::vector<Event> events;
  while (w.Next()) {
    events.push_back({w.kind, w.findData.cFileName, w.relativeDir});
    if (w.kind != WalkEntryKind::File) continue;
    // The way a client names the file it was given must reach that very file.
    char folder[kPathCapacity], path[kPathCapacity];
    ASSERT_TRUE(JoinFolderEntry(folder, sizeof folder, w.rootPath, w.relativeDir));
    ASSERT_TRUE(JoinFolderEntry(path, sizeof path, folder, w.findData.cFileName));
    MappedFileView file;  // opens plain files only
    EXPECT_TRUE(file.Open(path)) << path;
    file.Close();
  }
  EXPECT_EQ(Tree(events), ".DS_Store,.svn{entries},pkg{._X.html,.hidden{y.html},X.html}");
}

// --- SkipDescend ---

TEST(WalkerSkip, FlagIsClearedAtEachStep) {
  TempDir root;
  WriteFile(root / "a.html", "a");
  WriteFile(root / "pkg/b.html", "b");
  DirectoryWalker w(root.path().c_str());
  std::vector<Event> events;
  while (w.Next()) {
    events.push_back({w.kind, w.findData.cFileName, w.relativeDir});
    EXPECT_EQ(w.SkipDescend, 0);
    // Set after a file: it must not keep the directory that follows closed.
    if (w.kind == WalkEntryKind::File) w.SkipDescend = 1;
  }
  EXPECT_EQ(Tree(events), "a.html,pkg{b.html}");
}

// --- End of the walk and failures ---

TEST(WalkerEnd, NextStaysFalseAfterTheEndAndWithoutARoot) {
  TempDir root;
  WriteFile(root / "pkg/b.html", "b");
  for (const std::string& start : {root.path(), root / "missing"}) {
    DirectoryWalker w(start.c_str());
    while (w.Next()) {
    }
    EXPECT_FALSE(w.Next()) << start;
    EXPECT_EQ(w.kind, WalkEntryKind::None) << start;
  }
}

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

TEST_F(StackTest, PopsLastInFirstOutAndReleasesItsStorage) {
  for (intptr_t h = 1; h <= 3; ++h) ASSERT_TRUE(stack.Push(Entry(h)));
  ParentEntry e;
  ASSERT_TRUE(stack.Pop(&e));
  EXPECT_EQ(reinterpret_cast<intptr_t>(e.searchHandle), 3);
  ASSERT_TRUE(stack.Push(Entry(9)));
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

// --- FileFinder ---

std::set<std::string> Files(const std::string& folder) {
  FileFinder f;
  JoinPath(f.pattern, sizeof f.pattern, folder.c_str(), "*");
  std::set<std::string> names;
  while (f.Next()) names.insert(f.findData.cFileName);
  f.Close();
  f.Close();
  return names;
}

TEST(FinderFiles, ListsOnlyPlainFiles) {
  TempDir root;
  WriteFile(root / "index-1.html", "1");
  WriteFile(root / "index-2.html", "2");
  WriteFile(root / ".hidden", "h");
  MakeDirs(root / "sub");
  EXPECT_EQ(Files(root.path()), (std::set<std::string>{".hidden", "index-1.html", "index-2.html"}));
}

TEST(FinderFiles, FolderOfSubdirectoriesOnlyGivesFalseAtOnce) {
  TempDir root;
  MakeDirs(root / "a");
  MakeDirs(root / "b");
  FileFinder f;
  JoinPath(f.pattern, sizeof f.pattern, root.path().c_str(), "*");
  EXPECT_FALSE(f.Next());
  EXPECT_NE(f.searchHandle, NoSearch());
  f.Close();
  EXPECT_EQ(f.searchHandle, NoSearch());
}

TEST(FinderFiles, MissingFolderGivesFalse) {
  TempDir root;
  EXPECT_TRUE(Files(root / "missing").empty());
}

}  // namespace
}  // namespace qb
