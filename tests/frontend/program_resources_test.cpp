// The resources of the two shipped programs, read from the built files as the system's
// loader reads them: the application manifest through an activation context made from
// it, the version block through the version API.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "resources/version.h"
#include "tests/common/test_util.h"

namespace qb {
namespace {

const char* const kPrograms[] = {"QB_GUI", "QB_CLI"};  // environment names of their paths

std::string ProgramPath(const char* variable) {
  const char* path = std::getenv(variable);
  return path ? test::HostPath(path) : std::string();
}

std::wstring Setting(HANDLE context, const wchar_t* space, const wchar_t* name) {
  wchar_t value[64] = L"";
  SIZE_T written = 0;
  if (!QueryActCtxSettingsW(0, context, space, name, value, 64, &written)) return L"(absent)";
  return value;
}

class ProgramManifest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    path = ProgramPath(GetParam());
    ASSERT_FALSE(path.empty()) << GetParam() << " is not set";
    ACTCTXA request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    context = CreateActCtxA(&request);
    // Fails when the resource is missing or is not a manifest the loader accepts.
    ASSERT_NE(context, INVALID_HANDLE_VALUE) << path << " error " << GetLastError();
  }
  void TearDown() override {
    if (context != INVALID_HANDLE_VALUE) ReleaseActCtx(context);
  }
  std::string path;
  HANDLE context = INVALID_HANDLE_VALUE;
};

TEST_P(ProgramManifest, AsksForCommonControls6RunsAsInvokerDpiAwareInTheAnsiCodePage) {
  std::vector<unsigned char> answer(4096);  // the structures are followed by their strings
  ASSERT_TRUE(QueryActCtxW(0, context, nullptr, ActivationContextDetailedInformation,
                           answer.data(), answer.size(), nullptr));
  const DWORD count =
      reinterpret_cast<const ACTIVATION_CONTEXT_DETAILED_INFORMATION*>(answer.data())
          ->ulAssemblyCount;
  // Assembly 1 is the program itself; the rest are what it depends on.
  std::vector<std::wstring> dependencies;
  for (DWORD index = 2; index <= count; ++index) {
    ASSERT_TRUE(QueryActCtxW(0, context, &index, AssemblyDetailedInformationInActivationContext,
                             answer.data(), answer.size(), nullptr));
    const auto* assembly =
        reinterpret_cast<const ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(answer.data());
    std::wstring identity(assembly->lpAssemblyEncodedAssemblyIdentity,
                          assembly->ulEncodedAssemblyIdentityLength / sizeof(wchar_t));
    // "name,attribute=\"value\",...": the name and the major version are what matter.
    const size_t version = identity.find(L"version=\"");
    dependencies.push_back(identity.substr(0, identity.find(L',')) + L" " +
                           (version == std::wstring::npos ? L"?" : identity.substr(version + 9, 2)));
  }
  EXPECT_EQ(dependencies, std::vector<std::wstring>{L"Microsoft.Windows.Common-Controls 6."});

  EXPECT_EQ(Setting(context, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings",
                    L"dpiAware"), L"true");
  EXPECT_EQ(Setting(context, L"http://schemas.microsoft.com/SMI/2016/WindowsSettings",
                    L"dpiAwareness"), L"system");
  // A UTF-8 active code page would change what every *A call means.
  EXPECT_EQ(Setting(context, L"http://schemas.microsoft.com/SMI/2019/WindowsSettings",
                    L"activeCodePage"), L"(absent)");

  ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level = {};
  ASSERT_TRUE(QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext,
                           &level, sizeof level, nullptr));
  EXPECT_EQ(level.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
  EXPECT_EQ(level.UiAccess, 0u);
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, ProgramManifest, ::testing::ValuesIn(kPrograms));

// The fixed numbers and the text of both programs name the one version the console
// program prints, the text padding the build number to four digits.
TEST(ProgramVersion, BlockAgreesWithTheTextInBothPrograms) {
  unsigned numbers[4] = {};
  ASSERT_EQ(std::sscanf(QB_VERSION_TEXT, "%u.%u.%u.%u", &numbers[0], &numbers[1], &numbers[2],
                        &numbers[3]), 4);
  char padded[32];
  std::snprintf(padded, sizeof padded, "%u.%u.%u.%04u", numbers[0], numbers[1], numbers[2],
                numbers[3]);
  EXPECT_STREQ(QB_VERSION_TEXT, padded);
  for (const char* variable : kPrograms) {
    const std::string path = ProgramPath(variable);
    SCOPED_TRACE(path);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    const DWORD ms = numbers[0] << 16 | numbers[1], ls = numbers[2] << 16 | numbers[3];
    EXPECT_EQ(fixed->dwFileVersionMS, ms);
    EXPECT_EQ(fixed->dwFileVersionLS, ls);
    EXPECT_EQ(fixed->dwProductVersionMS, ms);
    EXPECT_EQ(fixed->dwProductVersionLS, ls);
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);
    for (const char* key : {"FileVersion", "ProductVersion", "FileDescription", "ProductName"}) {
      char* value = nullptr;
      const std::string query = std::string("\\StringFileInfo\\040904B0\\") + key;
      ASSERT_TRUE(VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&value),
                                 &length)) << key;
      EXPECT_STREQ(value, std::string(key).find("Version") != std::string::npos
                              ? QB_VERSION_TEXT : "quillbinder") << key;
    }
  }
}

}  // namespace
}  // namespace qb
