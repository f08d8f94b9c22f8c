// Whole jobs on the classic Javadoc trees of ../shared/testdata (copied by a fixture),
// checked for what must hold on real data rather than byte for byte. The modern trees:
// javadoc_reading_test natively, and cli_identity.sh shows both programs write the same.
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "job/conversion_job.h"
#include "engine/help_compiler.h"
#include "tests/common/test_util.h"
#include "tests/engine/progress_recorder.h"

namespace qb {
namespace {

namespace fs = std::filesystem;
using test::FileExists;
using test::ReadFile;
using Strings = std::vector<std::string>;

struct Link {
  std::string href, text;
};

// The upper-case links of a page, by a plain search of their start and end tags.
std::vector<Link> Links(const std::string& page) {
  std::vector<Link> links;
  for (size_t at = page.find("<A "); at != std::string::npos; at = page.find("<A ", at + 1)) {
    size_t tagEnd = page.find('>', at);
    size_t end = page.find("</A>", at);
    if (tagEnd == std::string::npos || end == std::string::npos || tagEnd > end) break;
    Link link;
    size_t href = page.find("HREF=\"", at);
    if (href != std::string::npos && href < tagEnd) {
      size_t quote = page.find('"', href + 6);
      link.href = page.substr(href + 6, quote - href - 6);
    }
    link.text = page.substr(tagEnd + 1, end - tagEnd - 1);
    links.push_back(link);
    at = end;
  }
  return links;
}

// The targets of the keyword links of an index page, one per "<DT>".
Strings TermTargets(const std::string& page, bool inSubfolder) {
  Strings targets;
  for (size_t at = page.find("<DT>"); at != std::string::npos; at = page.find("<DT>", at + 1)) {
    size_t next = page.find("<DT>", at + 1);
    auto links = Links(page.substr(at, next == std::string::npos ? next : next - at));
    if (links.empty()) continue;
    std::string target = links[0].href;
    if (inSubfolder && target.compare(0, 3, "../") == 0) target.erase(0, 3);
    targets.push_back(target);
  }
  return targets;
}

std::string StartPageOf(const std::string& indexHtml) {
  std::string page = ReadFile(indexHtml);
  for (size_t at = page.find("<FRAME "); at != std::string::npos;
       at = page.find("<FRAME ", at + 1)) {
    std::string tag = page.substr(at, page.find('>', at) - at);
    if (tag.find("name=\"classFrame\"") == std::string::npos) continue;
    size_t src = tag.find("src=\"");
    return tag.substr(src + 5, tag.find('"', src + 5) - src - 5);
  }
  return "overview-summary.html";
}

std::string WithoutFragment(const std::string& local) { return local.substr(0, local.find('#')); }

class AcceptanceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(LoadHelpCompiler(), 0) << "stand-in hha.dll"; }
  static void TearDownTestSuite() { UnloadHelpCompiler(); }

  void SetUp() override {
    const char* trees = std::getenv("QB_TREES_DIR");
    if (test::TestDataDir().empty() || !trees) QB_SKIP_OR_FAIL("no shared test data");
    treesDir = test::HostPath(trees);
  }

  // Runs the job on one tree and keeps the project, contents and index as they were
  // when the compiler was called.
  void RunOn(const std::string& tree) {
    folder = treesDir + test::kSep + tree;
    ASSERT_TRUE(FileExists(folder + "\\index.html")) << folder;
    startPage = StartPageOf(folder + "\\index.html");
    ConversionJob job = test::MakeJob(folder, "guide.chm", "Guide", startPage);
    recorder.reset();
    recorder = std::make_unique<test::ProgressRecorder>();
    recorder->onEvent = [this](const test::ProgressEvent& e) {
      if (e.kind != ProgressStatus || e.text != "Compiling with help compiler") return;
      project = ReadFile(folder + "\\guide.hhp");
      contents = ReadFile(folder + "\\guide.hhc");
      index = ReadFile(folder + "\\guide.hhk");
      aboutWritten = FileExists(folder + "\\about_quillbinder.html");
    };
    ASSERT_TRUE(recorder->Run(job, 600000));
    // Every output line is the compiler's, which end with CR LF; a stage's own (its
    // failure) has none.
    for (const auto& line : recorder->Texts(ProgressOutput))
      EXPECT_TRUE(line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0)
          << tree << ": " << line;
    for (const char* name : {"guide.hhp", "guide.hhc", "guide.hhk", "about_quillbinder.html"})
      EXPECT_FALSE(FileExists(folder + "\\" + name)) << name;
    EXPECT_TRUE(aboutWritten);
  }

  // Every package link of the frames is a top-level entry holding every class link of
  // its list page; every index term is an entry; every listed page exists.
  void CheckClassicTree() {
    std::vector<Link> packages;
    if (startPage == "overview-summary.html") {
      packages = Links(ReadFile(folder + "\\overview-frame.html"));
    } else if (startPage.find('/') == std::string::npos) {
      packages = {{"allclasses-frame.html", "(default package)"}};
    } else {
      std::string dir = startPage.substr(0, startPage.rfind('/'));
      std::string name = dir;
      for (char& c : name)
        if (c == '/') c = '.';
      packages = {{dir + "/package-frame.html", name}};
    }
    ASSERT_FALSE(packages.empty());

    auto entries = test::ParseSitemap(contents);
    size_t at = 0;
    for (const auto& package : packages) {
      ASSERT_LT(at, entries.size());
      EXPECT_EQ(entries[at].depth, 1);
      EXPECT_EQ(entries[at].name, package.text);
      EXPECT_EQ(entries[at].local, package.href);
      ++at;
      std::string prefix = package.href.substr(0, package.href.rfind('/') + 1);
      for (const auto& cls : Links(ReadFile(folder + "\\" + package.href))) {
        if (cls.href.find("package-summary.html") != std::string::npos) continue;
        ASSERT_LT(at, entries.size());
        EXPECT_EQ(entries[at].depth, 2);
        EXPECT_EQ(entries[at].local, prefix + cls.href);
        ++at;
      }
    }
    EXPECT_EQ(at, entries.size());
    for (const auto& entry : entries)
      EXPECT_TRUE(FileExists(folder + "\\" + WithoutFragment(entry.local))) << entry.local;

    std::multiset<std::string> terms;
    if (FileExists(folder + "\\index-all.html")) {
      for (const auto& t : TermTargets(ReadFile(folder + "\\index-all.html"), false))
        terms.insert(t);
    } else {
      for (const auto& page : fs::directory_iterator(folder + test::kSep + "index-files"))
        for (const auto& t : TermTargets(ReadFile(page.path().string()), true)) terms.insert(t);
    }
    EXPECT_FALSE(terms.empty());
    std::multiset<std::string> locals;
    for (const auto& entry : test::ParseSitemap(index)) locals.insert(entry.local);
    EXPECT_EQ(locals, terms);

    size_t files = project.find("[FILES]\r\n");
    ASSERT_NE(files, std::string::npos);
    size_t listed = 0;
    for (size_t start = files + 9; start < project.size();) {
      size_t end = project.find("\r\n", start);
      std::string name = project.substr(start, end - start);
      start = end + 2;
      ++listed;
      if (name != "about_quillbinder.html") { EXPECT_TRUE(FileExists(folder + "\\" + name)) << name; }
    }
    EXPECT_GT(listed, 1u);
  }

  std::string treesDir, folder, startPage, project, contents, index;
  bool aboutWritten = false;
  std::unique_ptr<test::ProgressRecorder> recorder;
};

bool IsClassicTreeName(const std::string& name) { return name[0] != 'E' && name[0] != 'J'; }

TEST_F(AcceptanceTest, ClassicTreesConvertCompletely) {
  Strings classic;
  for (const auto& entry : fs::directory_iterator(treesDir)) {
    std::string name = entry.path().filename().string();
    if (entry.is_directory() && IsClassicTreeName(name)) classic.push_back(name);
  }
  EXPECT_GE(classic.size(), 6u);
  for (const auto& tree : classic) {
    SCOPED_TRACE(tree);
    RunOn(tree);
    CheckClassicTree();
  }
}

std::string ProjectValue(const std::string& project, const std::string& key) {
  size_t at = project.find("\r\n" + key + "=");
  if (at == std::string::npos) return std::string();
  at += 2 + key.size() + 1;
  return project.substr(at, project.find("\r\n", at) - at);
}

// A classic tree whose pages declare a charset that code page 1252 cannot hold gets the
// matching language; its contents and index keep the pages' bytes, as without one.
TEST_F(AcceptanceTest, ClassicTreeInGb2312GetsChineseLanguageAndSameFiles) {
  const std::string name = "\xD6\xD0\xCE\xC4";  // "Chinese" in GB2312
  auto write = [&](const std::string& tree, const std::string& meta) {
    const std::string dir = treesDir + "\\" + tree;
    test::WriteFile(dir + "\\index.html",
                    "<HTML><HEAD>" + meta + "</HEAD><FRAMESET><FRAME src=\"overview-frame.html\" "
                    "name=\"packageListFrame\"><FRAME src=\"overview-summary.html\" "
                    "name=\"classFrame\"></FRAMESET></HTML>");
    test::WriteFile(dir + "\\overview-summary.html", "<HTML>" + meta + "</HTML>");
    test::WriteFile(dir + "\\overview-frame.html",
                    "<A HREF=\"p/package-frame.html\" target=\"packageFrame\">p</A>");
    test::WriteFile(dir + "\\p\\package-frame.html",
                    "<A HREF=\"A.html\" target=\"classFrame\">" + name + "</A>");
    test::WriteFile(dir + "\\p\\A.html", "<HTML>" + meta + "</HTML>");
    test::WriteFile(dir + "\\index-all.html",
                    "<DT><A HREF=\"p/A.html\"><B>" + name + "</B></A> - <A HREF=\"p/package-summary.html\">p</A>");
  };
  write("gb2312", "<META http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">");
  write("nocharset", "");

  RunOn("gb2312");
  EXPECT_EQ(ProjectValue(project, "Language"), "0x804 Chinese (PRC)");
  const std::string gbContents = contents, gbIndex = index;
  EXPECT_NE(gbContents.find("value=\"" + name + "\""), std::string::npos);

  RunOn("nocharset");
  EXPECT_EQ(ProjectValue(project, "Language"), "0x409 English (United States)");
  EXPECT_EQ(gbContents, contents);
  EXPECT_EQ(gbIndex, index);
}

}  // namespace
}  // namespace qb
