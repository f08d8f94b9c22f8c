#include <windows.h>

#include <process.h>

#include <string>

#include <gtest/gtest.h>

#include "engine/help_compiler.h"
#include "job/conversion_job.h"
#include "tests/common/test_util.h"

namespace qb {
namespace {

std::string ProgramFolder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string p = path;
  return p.substr(0, p.find_last_of('\\'));
}

class HelpCompilerLoad : public ::testing::Test {
 protected:
  void TearDown() override {
    UnloadHelpCompiler();
    SetHelpCompilerLibraryNameForTesting("hha.dll");
  }
};

TEST_F(HelpCompilerLoad, LibraryBesideTheProgramLoadsAndAMissingLibraryOrEntryIsTold) {
  EXPECT_EQ(LoadHelpCompiler(), 0);
  UnloadHelpCompiler();
  UnloadHelpCompiler();  // a second unload does nothing
  EXPECT_EQ(CompileProject("C:\\nothing.hhp"), -1);
  SetHelpCompilerLibraryNameForTesting("qb-no-such-library.dll");
  EXPECT_EQ(LoadHelpCompiler(), -2);
  SetHelpCompilerLibraryNameForTesting("qb-noentry.dll");
  EXPECT_EQ(LoadHelpCompiler(), -3);
  EXPECT_EQ(GetModuleHandleA("qb-noentry.dll"), nullptr) << "freed again";
  EXPECT_EQ(CompileProject("C:\\nothing.hhp"), -1);
}

TEST_F(HelpCompilerLoad, LibraryPlantedInTheCurrentFolderIsNotLoaded) {
  test::TempDir planted;
  std::string copy = planted.path() + "\\qb-planted.dll";
  ASSERT_TRUE(CopyFileA((ProgramFolder() + "\\hha.dll").c_str(), copy.c_str(), FALSE));
  // Restored on every path: a failed assert must not leave later tests in the plant's folder.
  struct CurrentFolderKept {
    char previous[MAX_PATH];
    CurrentFolderKept() { GetCurrentDirectoryA(MAX_PATH, previous); }
    ~CurrentFolderKept() { SetCurrentDirectoryA(previous); }
  } kept;
  ASSERT_TRUE(SetCurrentDirectoryA(planted.path().c_str()));

  // With the default search order the plant would be found...
  SetDllDirectoryA(nullptr);
  HMODULE found = LoadLibraryA("qb-planted.dll");
  EXPECT_NE(found, nullptr) << "control: the default order searches the current folder";
  if (found) FreeLibrary(found);

  // ...but the loader takes the current folder out first.
  SetHelpCompilerLibraryNameForTesting("qb-planted.dll");
  EXPECT_EQ(LoadHelpCompiler(), -2);
}

unsigned __stdcall CompileNothing(void*) { return CompileProject("C:\\nothing.hhp") + 100; }

// The program unloads the library as it ends, when a worker may still be compiling.
TEST_F(HelpCompilerLoad, LibraryUnloadedDuringACompileIsFreedWhenTheCompileReturns) {
  ASSERT_EQ(LoadHelpCompiler(), 0);
  // The compiler's first message waits inside the library until this thread takes it.
  HWND window = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  RunningJob.NotifyWindow = window;
  HANDLE compile = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &CompileNothing, nullptr, 0, nullptr));
  for (DWORD start = GetTickCount();
       !(HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) && GetTickCount() - start < 10000;)
    Sleep(5);
  UnloadHelpCompiler();
  EXPECT_NE(GetModuleHandleA("hha.dll"), nullptr) << "freed under the running compile";
  for (DWORD start = GetTickCount(); GetTickCount() - start < 10000;) {
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // takes the sent messages
    if (WaitForSingleObject(compile, 10) == WAIT_OBJECT_0) break;
  }
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(compile, &code));
  EXPECT_EQ(code, 100u) << "the compile ran and returned";
  EXPECT_EQ(GetModuleHandleA("hha.dll"), nullptr) << "freed once it returned";
  CloseHandle(compile);
  RunningJob.NotifyWindow = nullptr;
  DestroyWindow(window);
}

}  // namespace
}  // namespace qb
