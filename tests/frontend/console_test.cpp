// The console program run as a user would: a child process with its output captured,
// on the bundled sample and on broken input.
#include <windows.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "resources/version.h"
#include "tests/common/test_util.h"

namespace qb {
namespace {

namespace fs = std::filesystem;
using test::FileExists;
using test::TempDir;

struct CliRun {
  DWORD exitCode = 0xFFFFFFFF;
  std::string out, err;
};

std::string ReadAll(HANDLE pipe) {
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  return text;
}

struct ErrDrain {
  HANDLE pipe;
  std::string* text;
  static DWORD WINAPI Body(void* p) {
    auto* self = static_cast<ErrDrain*>(p);
    *self->text = ReadAll(self->pipe);
    return 0;
  }
};

// Runs quillbinder-cli with the given argument string (already quoted), in `folder`
// when one is given.
CliRun RunCli(const std::string& arguments, const std::string& folder = "") {
  std::string program = test::HostPath(std::getenv("QB_CLI") ? std::getenv("QB_CLI") : "");
  std::string commandLine = "\"" + program + "\" " + arguments;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE outRead, outWrite, errRead, errWrite;
  CreatePipe(&outRead, &outWrite, &inherit, 0);
  CreatePipe(&errRead, &errWrite, &inherit, 0);
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = outWrite;
  startup.hStdError = errWrite;
  PROCESS_INFORMATION process = {};
  CliRun run;
  std::string mutableLine = commandLine;
  if (!CreateProcessA(program.c_str(), &mutableLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
    ADD_FAILURE() << "cannot start " << program;
    return run;
  }
  CloseHandle(outWrite);
  CloseHandle(errWrite);
  // Drain stderr on the side so that neither pipe can fill up and block the child.
  ErrDrain drain{errRead, &run.err};
  HANDLE errThread = CreateThread(nullptr, 0, &ErrDrain::Body, &drain, 0, nullptr);
  run.out = ReadAll(outRead);
  WaitForSingleObject(errThread, 60000);
  CloseHandle(errThread);
  WaitForSingleObject(process.hProcess, 120000);
  GetExitCodeProcess(process.hProcess, &run.exitCode);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  CloseHandle(outRead);
  CloseHandle(errRead);
  // Standard output is in text mode: every line ends in CR LF on Windows.
  for (std::string* text : {&run.out, &run.err}) {
    std::string plain;
    for (size_t i = 0; i < text->size(); ++i)
      if (!((*text)[i] == '\r' && i + 1 < text->size() && (*text)[i + 1] == '\n')) plain += (*text)[i];
    *text = plain;
  }
  return run;
}

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

int LineCount(const std::string& text) {
  int n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::error_code ec;
    fs::copy(test::SourceDir() + "\\samples\\javadoc", dir.path() + "\\api",
             fs::copy_options::recursive, ec);
    ASSERT_FALSE(ec) << ec.message();
    folder = dir.path() + "\\api";
  }
  void ExpectNoTemporaryFiles(const std::string& stem) {
    for (const char* ext : {".hhp", ".hhc", ".hhk"})
      EXPECT_FALSE(FileExists(folder + "\\" + stem + ext)) << ext;
    EXPECT_FALSE(FileExists(folder + "\\about_quillbinder.html"));
  }
  TempDir dir;
  std::string folder;
};

TEST_F(ConsoleTest, ConvertsTheSampleIntoARealHelpFile) {
  CliRun run = RunCli(Quote(folder + "\\index.html") + " quill.chm \"Quill Demo\"");
  EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
  EXPECT_EQ(run.err, "");
  // Output redirected: every status is a plain line, in the worker's order.
  size_t a = run.out.find("Creating temporary files\n");
  size_t b = run.out.find("Creating contents file\n");
  size_t c = run.out.find("Creating index file\n");
  size_t d = run.out.find("Compiling with help compiler\n");
  size_t e = run.out.find("\nReport: start page overview-summary.html");
  EXPECT_TRUE(a < b && b < c && c < d && d < e) << run.out;
  // A line per tenth of the work, none per page.
  EXPECT_NE(run.out.find("\n50% done\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("letter: B"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find('\r'), std::string::npos) << "no status rewritten in place in a log";
  EXPECT_NE(run.out.find("Wrote " + folder + "\\quill.chm\n"), std::string::npos);
  bool read = false;
  std::string chm = test::ReadFile(folder + "\\quill.chm", &read);
  ASSERT_TRUE(read);
  EXPECT_EQ(chm.substr(0, 4), "ITSF");
  ExpectNoTemporaryFiles("quill");
}

TEST_F(ConsoleTest, BrokenTreeFailsWithOneReasonAndNoLeftovers) {
  ASSERT_TRUE(DeleteFileA((folder + "\\overview-frame.html").c_str()));
  CliRun run = RunCli(Quote(folder + "\\index.html") + " quill.chm");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_NE(run.out.find("Cannot open '" + folder + "\\overview-frame.html'."), std::string::npos)
      << run.out;
  EXPECT_EQ(LineCount(run.err), 1) << run.err;
  EXPECT_NE(run.err.find("was not written"), std::string::npos) << run.err;
  EXPECT_FALSE(FileExists(folder + "\\quill.chm"));
  ExpectNoTemporaryFiles("quill");
}

TEST_F(ConsoleTest, MissingIndexFileFails) {
  CliRun run = RunCli(Quote(folder + "\\no-such-index.html") + " quill.chm");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(run.err, "quillbinder-cli: Cannot open '" + folder + "\\no-such-index.html'.\n");
}

TEST_F(ConsoleTest, BadArgumentsExitWithTwo) {
  EXPECT_EQ(RunCli("").exitCode, 2u);
  EXPECT_EQ(RunCli(Quote(folder + "\\index.html")).exitCode, 2u);
  EXPECT_EQ(RunCli("a b c d").exitCode, 2u);
  EXPECT_EQ(RunCli("--frobnicate").exitCode, 2u);
  CliRun path = RunCli(Quote(folder + "\\index.html") + " sub\\quill.chm");
  EXPECT_EQ(path.exitCode, 2u);
  EXPECT_EQ(path.err, "quillbinder-cli: Output file name cannot contain path\n");
  EXPECT_EQ(RunCli(Quote(folder + "\\index.html") + " quill.hhk").exitCode, 2u);
  EXPECT_FALSE(FileExists(folder + "\\quill.hhk"));
}

// Relative paths were once joined to the project's folder a second time.
TEST_F(ConsoleTest, RelativePathsAndOutputElsewhere) {
  ASSERT_TRUE(CreateDirectoryA((folder + "\\sub").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA((dir.path() + "\\out").c_str(), nullptr));
  struct Case {
    const char* in;  // below the tree's folder
    const char* arguments;
    const char* written;  // below the temporary folder
  } cases[] = {
      {"", "index.html quill.chm", "api\\quill.chm"},
      {"", ".\\index.html quill.chm", "api\\quill.chm"},
      {"\\sub", "..\\index.html quill.chm", "api\\quill.chm"},
      {"\\sub", "-o ..\\..\\out\\api.chm ..\\index.html", "out\\api.chm"},
  };
  for (const Case& c : cases) {
    DeleteFileA((dir.path() + "\\" + c.written).c_str());
    CliRun run = RunCli(c.arguments, folder + c.in);
    EXPECT_EQ(run.exitCode, 0u) << c.arguments << run.out << run.err;
    EXPECT_TRUE(FileExists(dir.path() + "\\" + c.written)) << c.arguments;
    ExpectNoTemporaryFiles("quill");
    ExpectNoTemporaryFiles("api");
  }
  // Into a folder that is not there: a reason, exit 1, nothing made.
  CliRun missing = RunCli("-o " + Quote(dir.path() + "\\none\\api.chm") + " index.html", folder);
  EXPECT_EQ(missing.exitCode, 1u);
  EXPECT_NE(missing.err.find("none\\' does not exist"), std::string::npos) << missing.err;
  EXPECT_FALSE(FileExists(dir.path() + "\\none"));
  ExpectNoTemporaryFiles("api");
}

TEST_F(ConsoleTest, HelpAndVersion) {
  CliRun help = RunCli("--help");
  EXPECT_EQ(help.exitCode, 0u);
  EXPECT_EQ(help.out.rfind("Usage: quillbinder-cli [options] <path to index.html> <output file name> [title]", 0), 0u);
  CliRun version = RunCli("--version");
  EXPECT_EQ(version.exitCode, 0u);
  EXPECT_EQ(version.out, "quillbinder-cli " QB_VERSION_TEXT "\n");
}

}  // namespace
}  // namespace qb
