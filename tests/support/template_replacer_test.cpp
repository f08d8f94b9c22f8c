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

// Text is copied, "${" key "}" replaced by the provider's value (the key runs to the first
// "}", at most 35 characters; a "$" in the last three characters is text). Expansion stops
// at a key the provider cannot serve, a missing "}" or a key too long, after the text
// before it.
TEST_F(ReplacerTest, ExpandsPlaceholdersAndStopsAtTheFirstBadOne) {
  const std::string k35(35, 'k');
  struct Case {
    std::string text;
    bool ran;
    std::string output;
    std::vector<std::string> asked;
  } cases[] = {
      {"[OPTIONS]\r\nCompiled file=x.chm\r\n$ {a} }{ $x", true, "[OPTIONS]\r\nCompiled file=x.chm\r\n$ {a} }{ $x", {}},
      {"", true, "", {}}, {"$", true, "$", {}}, {"${", true, "${", {}}, {"${}", true, "${}", {}},
      {"x${", true, "x${", {}}, {"ab${", true, "ab${", {}}, {"ab${}", true, "ab${}", {}},
      {"ab${x", true, "ab${x", {}}, {"ab${a}", true, "ab1", {"a"}},
      {"${a}${b}", true, "12", {"a", "b"}}, {"x${a}", true, "x1", {"a"}}, {"${a}y", true, "1y", {"a"}},
      {"<${a}|${b}>\r\n", true, "<1|2>\r\n", {"a", "b"}},
      {"x${}y and more", true, "x<empty>y and more", {""}},
      {"${k${x}} tail", true, "odd} tail", {"k${x"}},
      {"<${" + k35 + "}>", true, "<long>", {k35}},
      {"x${a}y${bcd", false, "x1", {"a"}},
      {"x${a}y${nope}z${b}", false, "x1y", {"a", "nope"}},
      {"x${a}y${" + k35 + "k}z", false, "x1y", {"a"}},
      {"${" + k35 + "extra}", false, "", {}},  // a cut key must not pass for the served one
  };
  for (const Case& c : cases) {
    provider.asked.clear();
    Expansion e = Expand(c.text);
    EXPECT_EQ(e.ran, c.ran) << c.text;
    EXPECT_EQ(e.output, c.output) << c.text;
    EXPECT_EQ(provider.asked, c.asked) << c.text;
  }
}

// --- Lifecycle ---

TEST_F(ReplacerTest, WithoutTextOrOutput) {
  TemplateReplacer r;
  EXPECT_FALSE(r.Run(provider));
  r.Attach("text");
  EXPECT_FALSE(r.OpenOutput((dir / "missing/out.hhp").c_str()));
  EXPECT_TRUE(r.Finish());
  EXPECT_TRUE(r.Finish());
  EXPECT_TRUE(r.output.Close());
}

}  // namespace
}  // namespace qb
