// Projects in the form the system writes them (options, the "main" window, [FILES] with
// only the about page and the pages of subfolders), with the rest reached through links:
// the worked example by hand, and real javadoc trees from the shared test data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "tests/hha/chm_internal_reader.h"
#include "tests/hha/chm_test_support.h"

namespace fs = std::filesystem;

namespace hha::test {
namespace {

using qb::test::TempDir;

struct Generated {
  std::string hhp;
  FileMap written;  // about page, project, contents, index
  std::vector<std::string> listed;  // [FILES] entries, "/" separated
};

// Writes the four files the system writes beside the javadoc pages of `root`.
Generated WriteSystemFiles(const std::string& root, const std::string& stem,
                           const std::string& startPage) {
  Generated g;
  std::vector<std::string> pages;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const fs::path rel = fs::relative(it->path(), root);
    if (it->is_directory() && it->path().filename() == "index-files") {
      it.disable_recursion_pending();
      continue;
    }
    if (it->is_regular_file() && it->path().extension() == ".html" && rel.has_parent_path() &&
        !rel.parent_path().empty())
      pages.push_back(rel.generic_string());
  }
  std::sort(pages.begin(), pages.end());
  std::vector<std::string> backslashed;
  std::map<std::string, TocEntry> packages;
  std::vector<std::pair<std::string, std::string>> keywords;
  for (const auto& p : pages) {
    std::string b = p;
    std::replace(b.begin(), b.end(), '/', '\\');
    backslashed.push_back(b);
    g.listed.push_back(p);
    const std::string folder = p.substr(0, p.rfind('/'));
    const std::string file = p.substr(p.rfind('/') + 1);
    if (folder.find("class-use") != std::string::npos || file.compare(0, 8, "package-") == 0 ||
        file.find("doc-files") != std::string::npos)
      continue;
    std::string package = folder;
    std::replace(package.begin(), package.end(), '/', '.');
    TocEntry& e = packages[package];
    e.name = package;
    const bool hasFrame = fs::exists(root + "/" + folder + "/package-frame.html");
    e.local = hasFrame ? folder + "/package-frame.html" : p;
    const std::string cls = file.substr(0, file.size() - 5);
    e.children.push_back({cls, p, {}});
    keywords.push_back({cls + "   [" + package + "]", p});
  }
  std::vector<TocEntry> toc;
  for (auto& [name, e] : packages) toc.push_back(e);
  g.written[stem + ".hhc"] = ContentsFile(toc);
  g.written[stem + ".hhk"] = IndexFile(keywords);
  g.written["about_quillbinder.html"] =
      "<html><head><title>About quillbinder</title></head><body>Made with quillbinder."
      "</body></html>\r\n";
  const std::string chm = root + qb::test::kSep + stem + ".chm";
  g.written[stem + ".hhp"] = SystemProject(chm, stem, "Guide", startPage, backslashed);
  g.hhp = root + qb::test::kSep + stem + ".hhp";
  WriteTree(root, g.written);
  return g;
}

// The bytes of a compiled file with its time stamps zeroed: the ITSF header's, and the
// two that #SYSTEM holds (records 10 and 4).
std::string WithoutTimeStamps(const std::string& chm) {
  std::string bytes = qb::test::ReadFile(chm);
  bool ok = false;
  const std::string system = ReadWithChmlib(chm, &ok)["#SYSTEM"];
  const size_t at = bytes.find(system);
  if (!ok || system.empty() || at == std::string::npos || bytes.size() < 0x14) return "";
  bytes.replace(0x10, 4, 4, '\0');
  size_t r = at + 4;
  for (const auto& [code, data] : SystemRecords({{"#SYSTEM", system}})) {
    if (code == 10) bytes.replace(r + 4, 4, 4, '\0');
    if (code == 4) bytes.replace(r + 4 + 20, 8, 8, '\0');
    r += 4 + data.size();
  }
  return bytes;
}

// Reads the compiled file back with all four readers and checks that every file the
// project names and every file given in `alsoExpected` is there, byte for byte.
void CheckCompiled(const std::string& root, const std::string& stem, const Generated& g,
                   const std::vector<std::string>& alsoExpected, const std::string& startPage) {
  const std::string chm = root + qb::test::kSep + stem + ".chm";
  std::vector<std::string> names = g.listed;
  names.insert(names.end(), alsoExpected.begin(), alsoExpected.end());
  for (const char* f : {".hhc", ".hhk"}) names.push_back(stem + f);
  names.push_back("about_quillbinder.html");
  FileMap expected;
  for (const std::string& name : names) expected[name] = qb::test::ReadFile(root + qb::test::kSep + name);
  int bad = 0;
  for (const FileMap& reader : ExpectAllReadersReturn(chm, expected))
    // Whatever else went in must be a real file of the tree, unchanged.
    for (const auto& [name, bytes] : reader) {
      if (name[0] == '#' || name[0] == '$') continue;  // system files
      bool readable = false;
      std::string disk = qb::test::ReadFile(root + qb::test::kSep + name, &readable);
      if ((!readable || disk != bytes) && ++bad < 5) ADD_FAILURE() << "unexpected " << name;
    }
  EXPECT_EQ(bad, 0);
  PyChmView py = ReadWithPyChm(chm);
  ASSERT_TRUE(py.ok) << py.log;
  EXPECT_EQ(py.title, "Guide  - Generated by quillbinder");
  EXPECT_EQ(py.home, "/" + startPage);
  EXPECT_EQ(py.topics, g.written.at(stem + ".hhc"));
  EXPECT_EQ(py.index, g.written.at(stem + ".hhk"));
}

TEST(SystemProject, WorkedExampleWithTopLevelPagesReachedThroughLinks) {
  TempDir dir;
  const std::string nav =
      "<a href=\"../overview-summary.html\">Overview</a> <a href=\"../index-all.html\">Index</a>"
      " <a href=\"../index.html?pkg/a.html\" target=\"_top\">FRAMES</a>"
      " <a href=\"http://java.sun.com/\">Java</a> <a href=\"mailto:x@example.invalid\">mail</a>";
  FileMap tree = {
      {"index.html", "<frameset><frame src=\"overview-frame.html\"><frame src=\"allclasses-frame.html\">"
                     "<frame src=\"overview-summary.html\" name=\"classFrame\"></frameset>"},
      {"overview-frame.html", "<a href=\"pkg/package-frame.html\" target=\"packageFrame\">pkg</a>"},
      {"allclasses-frame.html", "<link rel=\"stylesheet\" href=\"stylesheet.css\"><a href=\"pkg/a.html\">A</a>"},
      {"overview-summary.html", "<link rel=\"stylesheet\" type=\"text/css\" href=\"stylesheet.css\">"
                                "<a href=\"pkg/package-summary.html\">pkg</a><a href=\"package-list\">list</a>"},
      {"index-all.html", "<a href=\"pkg/a.html#m()\">m()</a><a href=\"#_A_\">A</a>"},
      {"stylesheet.css", "body { background-image: url('resources/bg.png') }\r\n"},
      {"resources/bg.png", std::string("\x89PNG\r\n\x1A\n", 8)},
      {"package-list", "pkg\npkg.sub\n"},
      {"pkg/a.html", "<link href=\"../stylesheet.css\" rel=\"stylesheet\">" + nav + "<img src=\"../resources/inherit.gif\">"},
      {"pkg/package-frame.html", "<a href=\"a.html\" target=\"classFrame\">a</a>"},
      {"pkg/package-summary.html", nav},
      {"pkg/sub/c.html", "<a href=\"../a.html\">a</a>"},
      {"resources/inherit.gif", "GIF89a"},
      {"index-files/index-1.html", "not linked from anywhere"},
  };
  WriteTree(dir.path(), tree);
  Generated g = WriteSystemFiles(dir.path(), "guide", "overview-summary.html");
  ASSERT_EQ(g.listed, (std::vector<std::string>{"pkg/a.html", "pkg/package-frame.html",
                                                 "pkg/package-summary.html", "pkg/sub/c.html"}));
  CompileRun run = Compile(g.hhp);
  ASSERT_TRUE(run.ok) << run.AllMessages();
  EXPECT_EQ(run.stats.warnings, 0) << run.AllMessages();
  CheckCompiled(dir.path(), "guide", g,
                {"index.html", "overview-frame.html", "allclasses-frame.html",
                 "overview-summary.html", "index-all.html", "stylesheet.css", "resources/bg.png",
                 "package-list", "resources/inherit.gif"},
                "overview-summary.html");
  bool ok = false;
  FileMap chm = ReadWithChmlib(dir / "guide.chm", &ok);
  EXPECT_EQ(chm.count("index-files/index-1.html"), 0u) << "nothing links to it";
}

// A javadoc tree from the shared test data, copied or unpacked to a scratch folder.
class RealJavadoc : public ::testing::TestWithParam<std::string> {};

TEST_P(RealJavadoc, CompilesAndReadsBackWhole) {
  const std::string data = qb::test::TestDataDir();
  if (data.empty()) QB_SKIP_OR_FAIL("no shared test data");
  const std::string name = GetParam();
  TempDir dir;
  std::string root = dir / name;
  if (!qb::test::CopyTree(data + "/" + name, root)) {
    if (!fs::exists(data + "/" + name + ".tar.xz")) QB_SKIP_OR_FAIL(name << " is not in the test data");
    const std::string cmd = "tar -xJf '" + data + "/" + name + ".tar.xz' -C '" + dir.path() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  Generated g = WriteSystemFiles(root, "guide", "overview-summary.html");
  CompileRun run = Compile(g.hhp, 0, 3);
  ASSERT_TRUE(run.ok) << run.AllMessages();
  std::printf("%s: %s", name.c_str(), run.messages.back().c_str());
  std::printf("%s: %s", name.c_str(), run.messages[run.messages.size() - 2].c_str());
  CheckCompiled(root, "guide", g, {"overview-summary.html", "stylesheet.css", "allclasses-frame.html"},
                "overview-summary.html");
  // Pages are indexed, and the search files built, beside the compression: on one
  // thread the file is the same.
  fs::rename(root + "/guide.chm", root + "/threads3.chm");
  CompileRun single = Compile(g.hhp, 0, 1);
  ASSERT_TRUE(single.ok) << single.AllMessages();
  EXPECT_EQ(single.statuses, run.statuses);
  const std::string threaded = WithoutTimeStamps(root + "/threads3.chm");
  EXPECT_FALSE(threaded.empty());
  EXPECT_TRUE(threaded == WithoutTimeStamps(root + "/guide.chm")) << "threads 3 and 1 differ";
  // For looking at the result in a viewer (tests/hha/reader_check.sh).
  if (const char* keep = std::getenv("QB_HHA_KEEP_CHM"))
    fs::copy_file(root + "/guide.chm", std::string(keep) + "/" + name + ".chm",
                  fs::copy_options::overwrite_existing);
}

INSTANTIATE_TEST_SUITE_P(SharedTestData, RealJavadoc,
                         ::testing::Values("A-jdom-1.1.3", "D-spring-1.1.1"),
                         [](const auto& info) {
                           std::string n = info.param;
                           std::replace_if(n.begin(), n.end(), [](char c) { return !isalnum(c); }, '_');
                           return n;
                         });

}  // namespace
}  // namespace hha::test
