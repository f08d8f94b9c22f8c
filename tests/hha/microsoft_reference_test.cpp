// Each project of ../shared/testdata-chm compiled from a scratch copy, and what the viewer
// reads compared with the help file Microsoft's compiler made from the same sources.
// Projects whose sources are lost are rebuilt from the sitemaps in their help file
// (keywords and word-breaker table only).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "tests/hha/chm_internal_reader.h"
#include "tests/hha/chm_test_support.h"

namespace hha::test {
namespace {

namespace fs = std::filesystem;

struct Reference {
  const char* name;
  const char* project;  // inside the data folder; "" = rebuilt from embedded/ sitemaps
  const char* chm;
  const char* language;  // for the rebuilt ones
  // Pages in UTF-8 in a project of another code page: Microsoft's compiler reads them
  // as the project's code page (garbled words and titles), ours in their own charset.
  bool charsetDiffers;
  // Words only one of the two files has: numeric references beyond the code page, which
  // Microsoft's compiler turns into a machine-dependent byte ("o" for &#9670; in bsl430,
  // the low byte 0xAC of &#8364; before a Korean character), and in ahk-ko a named
  // reference without ';' right before a Korean character (Win+&uarr로, 45&ordm보),
  // whose end no rule seen so far decides.
  std::set<std::string> eitherOnly;
};

const Reference kReferences[] = {
    {"applewin-en", "project/AppleWin.hhp", "AppleWin.chm", "", false, {}},
    {"bsl430-en", "project/index.hhp", "index.chm", "", false, {"o"}},
    {"modbus-zh", "project/index.hhp", "index.chm", "", true, {}},
    {"teraterm-ja", "project/jp/teraterm.hhp", "teratermj.chm", "", false, {}},
    {"ahk-ko", "project/Project.hhp", "AutoHotkey.chm", "", false,
     {"\xac\xb4", "\xa2\xe6", "\xa1\xc4", "\x91\xc0", "\xb8\xb4", "\xba\xba"}},
    {"demis-ru", "project/Demis.hhp", "Demis.chm", "", false, {}},
    {"bitirme-tr", "project/help.hhp", "help.chm", "", false, {}},
    {"poptools-pt", "project/Ajuda.hhp", "Ajuda.chm", "", true, {}},
    {"extra-sakura-macro-ja", "", "macro.chm", "0x411", false, {}},
    {"extra-easyengine-zh", "", "index.chm", "0x804", false, {}},
};

std::string DataFolder() {
  const std::string data = qb::test::TestDataDir();
  return data.empty() ? "" : (fs::path(data).parent_path() / "testdata-chm").string();
}

struct Pair {
  bool ok = false;
  std::string why;
  FileMap ours, microsofts;
};

// Compiles one reference project once for all tests.
const Pair& Compiled(const Reference& r) {
  static std::map<std::string, Pair> cache;
  static qb::test::TempDir scratch;
  auto found = cache.find(r.name);
  if (found != cache.end()) return found->second;
  Pair& p = cache[r.name];
  const fs::path source = fs::path(DataFolder()) / r.name;
  if (DataFolder().empty() || !fs::is_directory(source)) {
    p.why = std::string(r.name) + " is not in the shared test data";
    return p;
  }
  const fs::path copy = fs::path(scratch.path()) / r.name;
  std::string hhp;
  if (*r.project) {
    qb::test::CopyTree(source.string(), copy.string());
    fs::remove(copy / r.chm);
    hhp = (copy / r.project).string();
  } else {
    fs::create_directories(copy);
    std::string stem = fs::path(r.chm).stem().string();
    qb::test::CopyTree((source / "embedded").string(), copy.string());
    hhp = (copy / "rebuilt.hhp").string();
    qb::test::WriteFile(hhp, "[OPTIONS]\r\nCompiled file=" + stem + ".chm\r\nContents file=" + stem +
                                 ".hhc\r\nIndex file=" + stem + ".hhk\r\nLanguage=" + r.language +
                                 "\r\nFull-text search=Yes\r\n");
  }
  CompileRun run = Compile(hhp);
  if (!run.ok) {
    p.why = run.AllMessages();
    return p;
  }
  bool okOurs = false, okTheirs = false;
  p.ours = ReadWithChmlib(run.stats.outputPath, &okOurs);
  p.microsofts = ReadWithChmlib((source / r.chm).string(), &okTheirs);
  p.ok = okOurs && okTheirs;
  if (!p.ok) p.why = "chmlib cannot read a file";
  return p;
}

class MicrosoftReference : public ::testing::TestWithParam<Reference> {};

// The reference compiled; a reference missing from the data skips (fails on CI).
#define GET_OR_SKIP(p)                                              \
  const Pair& p = Compiled(GetParam());                             \
  if (!p.ok && p.why.find("not in the shared") != std::string::npos) \
    QB_SKIP_OR_FAIL(p.why);                                         \
  ASSERT_TRUE(p.ok) << p.why

TEST_P(MicrosoftReference, WordBreakerTableAndKeywordsAreMicrosofts) {
  GET_OR_SKIP(p);
  ASSERT_EQ(p.microsofts.count("$OBJINST"), 1u);
  EXPECT_TRUE(p.ours.count("$OBJINST") && p.ours.at("$OBJINST") == p.microsofts.at("$OBJINST"));
  const BinaryIndexView ours = BinaryIndex(p.ours), theirs = BinaryIndex(p.microsofts);
  ASSERT_EQ(ours.present, theirs.present);
  ASSERT_EQ(ours.keywords.size(), theirs.keywords.size());
  int wrong = 0;
  for (size_t i = 0; i < ours.keywords.size(); ++i) {
    const KeywordView &a = ours.keywords[i], &b = theirs.keywords[i];
    if ((a.text != b.text || a.depth != b.depth || a.lastPart != b.lastPart) && ++wrong <= 5)
      ADD_FAILURE() << "keyword " << i << ": " << std::string(a.text.begin(), a.text.end()) << " / "
                    << std::string(b.text.begin(), b.text.end());
  }
  EXPECT_EQ(wrong, 0);
  if (!*GetParam().project) return;  // no pages to lead to
  for (size_t i = 0; i < ours.keywords.size(); ++i)
    if (ours.keywords[i].topicUrls != theirs.keywords[i].topicUrls && ++wrong <= 3)
      ADD_FAILURE() << "topics of keyword " << i;
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(ours.freeBytes, theirs.freeBytes) << "blocks filled alike";
  EXPECT_EQ(ours.depth, theirs.depth);
  EXPECT_EQ(ours.blocks, theirs.blocks);
}

// The files, their names, topics, #SYSTEM and the context-help table.
TEST_P(MicrosoftReference, FilesTopicsSystemAndContextHelpAreMicrosofts) {
  GET_OR_SKIP(p);
  if (!*GetParam().project) GTEST_SKIP() << "the pages are not in the data";
  std::set<std::string> names[2];
  for (const auto& f : p.ours) names[0].insert(f.first);
  for (const auto& f : p.microsofts) names[1].insert(f.first);
  EXPECT_EQ(names[0], names[1]);
  // #IVB points into #STRINGS, whose other strings (titles) are read in each compiler's
  // charset: the ids and the URLs the offsets lead to must agree.
  auto ivb = [](const FileMap& chm) {
    std::vector<std::pair<uint32_t, std::string>> out;
    auto found = chm.find("#IVB");
    if (found == chm.end()) return out;
    const std::string &d = found->second, &strings = chm.at("#STRINGS");
    out.emplace_back(Le32(d, 0), "");
    for (size_t at = 4; at + 8 <= d.size(); at += 8) {
      const uint32_t offset = Le32(d, at + 4);
      out.emplace_back(Le32(d, at), offset < strings.size() ? std::string(strings.c_str() + offset) : "?");
    }
    return out;
  };
  EXPECT_EQ(ivb(p.ours), ivb(p.microsofts));
  if (!GetParam().charsetDiffers && p.ours.count("#IVB") && p.microsofts.count("#IVB")) {
    EXPECT_TRUE(p.ours.at("#IVB") == p.microsofts.at("#IVB")) << "#IVB bytes";
  }
  const std::vector<TopicView> ours = Topics(p.ours), theirs = Topics(p.microsofts);
  ASSERT_EQ(ours.size(), theirs.size());
  int wrong = 0;
  for (size_t i = 0; i < ours.size(); ++i) {
    const TopicView &a = ours[i], &b = theirs[i];
    const bool titleOk = GetParam().charsetDiffers || (a.hasTitle == b.hasTitle && a.title == b.title);
    if ((a.url != b.url || !titleOk || a.flags != b.flags || a.contentsOffset != b.contentsOffset) && ++wrong <= 5)
      ADD_FAILURE() << "topic " << i << ": " << a.url << " \"" << a.title << "\" " << a.flags << " "
                    << a.contentsOffset << " / " << b.url << " \"" << b.title << "\" " << b.flags << " "
                    << b.contentsOffset;
  }
  EXPECT_EQ(wrong, 0);
  // The version, then the records: time stamps (10, and 4's FILETIME), the compiler's name
  // (9) and the #IDXHDR copy (13, whose string offsets follow #STRINGS) aside.
  auto comparable = [](const FileMap& chm) {
    std::vector<std::pair<uint16_t, std::string>> out;
    if (chm.count("#SYSTEM")) out.emplace_back(0xFFFF, chm.at("#SYSTEM").substr(0, 4));
    for (auto [code, data] : SystemRecords(chm)) {
      if (code == 9 || code == 10 || code == 13) data.clear();
      if (code == 4 && data.size() >= 28) data.replace(20, 8, 8, '\0');
      out.emplace_back(code, data);
    }
    return out;
  };
  EXPECT_EQ(comparable(p.ours), comparable(p.microsofts));
}

TEST_P(MicrosoftReference, FullTextIndexHoldsTheSamePageWordTitleTriples) {
  GET_OR_SKIP(p);
  if (!*GetParam().project) GTEST_SKIP() << "the pages are not in the data";
  if (GetParam().charsetDiffers) GTEST_SKIP() << "Microsoft's compiler indexed these pages in the wrong charset";
  if (p.microsofts.at("$FIftiMain").empty()) {  // no full-text search: an empty file
    EXPECT_TRUE(p.ours.count("$FIftiMain") && p.ours.at("$FIftiMain").empty());
    return;
  }
  bool okOurs = false, okTheirs = false;
  const std::set<WordPair> ours = FullTextPairs(p.ours, &okOurs), theirs = FullTextPairs(p.microsofts, &okTheirs);
  ASSERT_TRUE(okOurs && okTheirs);
  int wrong = 0;
  for (const auto* side : {&theirs, &ours})
    for (const WordPair& w : *side)
      if (!(side == &ours ? theirs : ours).count(w) && !GetParam().eitherOnly.count(std::get<1>(w)) && ++wrong <= 10)
        ADD_FAILURE() << (side == &ours ? "extra: " : "missing: ") << std::get<0>(w) << " " << std::get<1>(w)
                      << (std::get<2>(w) ? " (title)" : "");
  EXPECT_EQ(wrong, 0) << ours.size() << " triples against " << theirs.size();
}

INSTANTIATE_TEST_SUITE_P(SharedTestData, MicrosoftReference, ::testing::ValuesIn(kReferences),
                         [](const auto& info) {
                           std::string n = info.param.name;
                           std::replace(n.begin(), n.end(), '-', '_');
                           return n;
                         });

}  // namespace
}  // namespace hha::test
