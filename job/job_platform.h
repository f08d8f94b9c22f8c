// The few platform types of the job record and its reports. On Windows they are the
// system's own, so the record keeps its layout (a LONG word, an HWND); natively they are
// portable types of the same role.
#pragma once

#include <cstdint>

#ifdef _WIN32
#include <windows.h>

#define QB_STDCALL __stdcall

namespace qb {
using JobWord = LONG;        // the JobControl word
using JobWindow = HWND;      // the window that receives the reports
using JobResult = LRESULT;   // a report's result
using JobKindParam = WPARAM; // a report's kind as the window message carries it
}  // namespace qb
#else
#define QB_STDCALL

namespace qb {
using JobWord = int32_t;
using JobWindow = void*;
using JobResult = intptr_t;
using JobKindParam = uintptr_t;
}  // namespace qb
#endif
