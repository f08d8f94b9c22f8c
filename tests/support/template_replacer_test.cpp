#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/template_replacer.h"
#include "tests/common/test_util.h"

namespace qb {
namespace {

using test::ReadFile;
using test::TempDir;

// Serves the keys of its table and records every key it is asked for.
class TableProvider : public TemplateKeyProvider {
 public:
  explicit TableProvider(std::map<std::string, std::string> values)
      : values_(std::move(values)) {}
  bool WriteValue(const char* key, BufferedFileWriter& output) override {
    asked.push_back(key);
    auto it = values_.find(key);
    if (it == values_.end()) return false;
    return output.Append(it->second.data(), static_cast<uint32_t>(it->second.size()));
  }
  std::vector<std::string> asked;

 private:
  std::map<std::string, std::string> values_;
};

struct Expansion {
  bool ran;
  std::string output;
};

class ReplacerTest : public ::testing::Test {
 protected:
  Expansion Expand(const std::string& text) {
    TemplateReplacer r;
    EXPECT_TRUE(r.Attach(text.c_str()));
    std::string path = dir / "out.hhp";
    EXPECT_TRUE(r.OpenOutput(path.c_str()));
    bool ran = r.Run(provider);
    EXPECT_TRUE(r.Finish());
    EXPECT_EQ(r.templateText, nullptr);
    return {ran, ReadFile(path)};
  }
  TempDir dir;
  TableProvider provider{{{"a", "1"}, {"b", "2"}, {"", "<empty>"},
                          {"k${x", "odd"}, {std::string(35, 'k'), "long"}}};
};

// --- Text that holds no placeholder ---

TEST_F(ReplacerTest, PlainTextIsCopiedUnchanged) {
  std::string text = "[OPTIONS]\r\nCompiled file=x.chm\r\n$ {a} }{ $x";
  Expansion e = Expand(text);
  EXPECT_TRUE(e.ran);
  EXPECT_EQ(e.output, text);
  EXPECT_TRUE(provider.asked.empty());
}

TEST_F(ReplacerTest, TextsShorterThanFourCharactersAreCopied) {
  for (const char* t : {"", "$", "${", "${}", "x${"}) {
    Expansion e = Expand(t);
    EXPECT_TRUE(e.ran) << t;
    EXPECT_EQ(e.output, t);
  }
  EXPECT_TRUE(provider.asked.empty());
}

TEST_F(ReplacerTest, PlaceholderInTheLastThreeCharactersIsText) {
  EXPECT_EQ(Expand("ab${").output, "ab${");
  EXPECT_EQ(Expand("ab${}").output, "ab${}");
  EXPECT_EQ(Expand("ab${x").output, "ab${x");
  EXPECT_TRUE(provider.asked.empty());
  // Four characters from the "$" make it a placeholder.
  Expansion e = Expand("ab${a}");
  EXPECT_TRUE(e.ran);
  EXPECT_EQ(e.output, "ab1");
}

// --- Placeholders ---

TEST_F(ReplacerTest, AdjacentPlaceholders) {
  Expansion e = Expand("${a}${b}");
  EXPECT_TRUE(e.ran);
  EXPECT_EQ(e.output, "12");
  EXPECT_EQ(provider.asked, (std::vector<std::string>{"a", "b"}));
}

TEST_F(ReplacerTest, TextAroundPlaceholders) {
  EXPECT_EQ(Expand("x${a}").output, "x1");
  EXPECT_EQ(Expand("${a}y").output, "1y");
  EXPECT_EQ(Expand("<${a}|${b}>\r\n").output, "<1|2>\r\n");
}

TEST_F(ReplacerTest, EmptyKeyIsAskedFor) {
  Expansion e = Expand("x${}y and more");
  EXPECT_TRUE(e.ran);
  EXPECT_EQ(e.output, "x<empty>y and more");
  EXPECT_EQ(provider.asked, (std::vector<std::string>{""}));
}

TEST_F(ReplacerTest, KeyRunsToTheFirstClosingBrace) {
  Expansion e = Expand("${k${x}} tail");
  EXPECT_TRUE(e.ran);
  EXPECT_EQ(e.output, "odd} tail");
  EXPECT_EQ(provider.asked, (std::vector<std::string>{"k${x"}));
}

TEST_F(ReplacerTest, KeyOf35CharactersIsPassedWhole) {
  Expansion e = Expand("<${" + std::string(35, 'k') + "}>");
  EXPECT_TRUE(e.ran);
  EXPECT_EQ(e.output, "<long>");
}

// --- Failures ---

TEST_F(ReplacerTest, MissingBraceAfterAServedPlaceholderStopsBeforeTheText) {
  Expansion e = Expand("x${a}y${bcd");
  EXPECT_FALSE(e.ran);
  EXPECT_EQ(e.output, "x1");
  EXPECT_EQ(provider.asked, (std::vector<std::string>{"a"}));
}

TEST_F(ReplacerTest, UnservedKeyStopsAfterTheTextBeforeIt) {
  Expansion e = Expand("x${a}y${nope}z${b}");
  EXPECT_FALSE(e.ran);
  EXPECT_EQ(e.output, "x1y");
  EXPECT_EQ(provider.asked, (std::vector<std::string>{"a", "nope"}));
}

TEST_F(ReplacerTest, KeyLongerThan35CharactersFailsWithoutAskingOrOverrunning) {
  std::string longKey(36, 'k');
  Expansion e = Expand("x${a}y${" + longKey + "}z");
  EXPECT_FALSE(e.ran);
  EXPECT_EQ(e.output, "x1y");
  EXPECT_EQ(provider.asked, (std::vector<std::string>{"a"}));
  // A cut key must not pass for the 35-character one that is served.
  EXPECT_FALSE(Expand("${" + std::string(35, 'k') + "extra}").ran);
}

// --- Lifecycle ---

TEST_F(ReplacerTest, WithoutTextOrOutput) {
  TemplateReplacer r;
  EXPECT_FALSE(r.Run(provider));
  r.Attach("text");
  EXPECT_TRUE(r.Finish());
  EXPECT_TRUE(r.Finish());
  EXPECT_TRUE(r.output.Close());
}

TEST_F(ReplacerTest, OpenOutputFailsForAMissingFolder) {
  TemplateReplacer r;
  r.Attach("text");
  EXPECT_FALSE(r.OpenOutput((dir / "missing/out.hhp").c_str()));
  EXPECT_TRUE(r.Finish());
}

bool FailingWrite(NativeFile, const void*, uint32_t, uint32_t* written) {
  *written = 0;
  return false;
}

TEST_F(ReplacerTest, FinishReportsAFailedWrite) {
  TemplateReplacer r;
  r.Attach("abc${a}def");
  ASSERT_TRUE(r.OpenOutput((dir / "out.hhp").c_str()));
  EXPECT_TRUE(r.Run(provider));
  SetNativeWriteHookForTesting(&FailingWrite);
  bool finished = r.Finish();
  SetNativeWriteHookForTesting(nullptr);
  EXPECT_FALSE(finished);
  EXPECT_TRUE(r.output.Close());
}

}  // namespace
}  // namespace qb
