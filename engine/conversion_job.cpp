#include "engine/conversion_job.h"

#include <shlwapi.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace qb {

// The receiver reads the arguments straight from the worker's stack, so this relies on
// the 32-bit calling convention where a va_list is a pointer to them.
static_assert(sizeof(void*) == 4, "WM_JOB_PROGRESS passes the x86 argument list itself");

ConversionJob RunningJob;

namespace {

// Wakes a paused worker whenever the word changes. Auto-reset with a single waiter: a
// release that lands between the worker's read of JobPause and its wait leaves the
// event set, so the wait returns at once and the word is read again.
HANDLE ControlChanged() {
  static HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  return event;
}

LONG ReadControl() { return InterlockedCompareExchange(&RunningJob.Control, 0, 0); }

bool CopyBounded(char (&out)[kPathCapacity], const char* a, size_t aLen, const char* b) {
  size_t bLen = std::strlen(b);
  if (aLen + bLen > kPathCapacity - 1) {
    out[0] = 0;
    return false;
  }
  std::memmove(out, a, aLen);
  std::memcpy(out + aLen, b, bLen + 1);
  return true;
}

}  // namespace

LRESULT ReportProgress(int kind, ...) {
  va_list args;
  va_start(args, kind);
  HWND window = RunningJob.NotifyWindow;
  LRESULT result = 0;
  if (kind == ProgressFinished) {
    PostMessageA(window, WM_JOB_PROGRESS, static_cast<WPARAM>(kind), 0);
  } else {
    result = SendMessageA(window, WM_JOB_PROGRESS, static_cast<WPARAM>(kind),
                          reinterpret_cast<LPARAM>(args));
  }
  va_end(args);
  return result;
}

LONG SetJobControl(LONG value) {
  InterlockedExchange(&RunningJob.Control, value);
  SetEvent(ControlChanged());
  return value;
}

bool TestJobCancel() {
  // The worker never suspends itself: a ResumeThread that came before its
  // SuspendThread would be lost and the worker would hang for ever.
  while (ReadControl() == JobPause) WaitForSingleObject(ControlChanged(), INFINITE);
  return ReadControl() == JobCancel;
}

const char* ProgressStatusText(LPARAM lParam) {
  return *reinterpret_cast<const char* const*>(lParam);
}

std::string FormatProgressOutput(LPARAM lParam) {
  const char* format = *reinterpret_cast<const char* const*>(lParam);
  va_list rest = reinterpret_cast<va_list>(reinterpret_cast<char*>(lParam) + sizeof(char*));
  // A va_list here is a plain pointer, so it can be used twice: once to measure.
  int needed = std::vsnprintf(nullptr, 0, format, rest);
  if (needed <= 0) return std::string();
  std::vector<char> buffer(static_cast<size_t>(needed) + 1);
  std::vsnprintf(buffer.data(), buffer.size(), format, rest);
  return std::string(buffer.data(), static_cast<size_t>(needed));
}

bool DeriveTempName(const char* outputPath, const char* extension,
                    char (&out)[kPathCapacity]) {
  const char* ext = PathFindExtensionA(outputPath);
  return CopyBounded(out, outputPath, static_cast<size_t>(ext - outputPath), extension);
}

bool DeriveSiblingName(const char* outputPath, const char* fileName,
                       char (&out)[kPathCapacity]) {
  const char* name = PathFindFileNameA(outputPath);
  return CopyBounded(out, outputPath, static_cast<size_t>(name - outputPath), fileName);
}

}  // namespace qb
