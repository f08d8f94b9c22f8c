// Stand-in help compiler for the tests: the HHA_CompileHHP contract with no real work.
// It runs on the calling thread, sends messages (one holding "%") and progress texts,
// stops when the progress callback returns 0, and writes a small file where the
// project's "Compiled file" line says. QB_STANDIN_SLOW=1 gives many slow steps.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using Callback = int(__stdcall*)(const char*);

std::string CompiledFile(const std::string& project) {
  const std::string key = "Compiled file=";
  size_t at = project.find(key);
  if (at == std::string::npos) return "";
  size_t end = project.find_first_of("\r\n", at);
  return project.substr(at + key.size(), end - at - key.size());
}

}  // namespace

extern "C" int __stdcall HHA_CompileHHP(const char* projectPath, Callback onMessage,
                                        Callback onProgress, const unsigned* options) {
  char line[1024];
  std::snprintf(line, sizeof line, "stand-in: compiling %s\r\n", projectPath);
  onMessage(line);
  std::snprintf(line, sizeof line, "stand-in: options %u, thread %lu\r\n", options ? *options : 0,
                GetCurrentThreadId());
  onMessage(line);

  std::ifstream file(projectPath, std::ios::binary);
  const std::string target = CompiledFile(std::string(std::istreambuf_iterator<char>(file), {}));

  char slow[8] = "";
  GetEnvironmentVariableA("QB_STANDIN_SLOW", slow, sizeof slow);
  bool isSlow = slow[0] == '1';
  int steps = isSlow ? 200 : 3;
  for (int i = 1; i <= steps; ++i) {
    std::snprintf(line, sizeof line, "step %d", i);
    if (onProgress(line) == 0) {
      std::snprintf(line, sizeof line, "stand-in: stopped at step %d\r\n", i);
      onMessage(line);
      return 0;
    }
    if (isSlow) Sleep(5);
  }
  onMessage("stand-in: 100% done, %s %d %n\r\n");

  FILE* out = std::fopen(target.c_str(), "wb");
  if (!out) {
    onMessage("stand-in: cannot write the compiled file\r\n");
    return 0;
  }
  std::fputs("stand-in chm\r\n", out);
  std::fclose(out);
  std::snprintf(line, sizeof line, "stand-in: wrote %s\r\n", target.c_str());
  onMessage(line);
  return 1;
}
