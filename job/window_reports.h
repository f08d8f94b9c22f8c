// The receiving side of WM_JOB_PROGRESS on Windows: what a window that takes the
// worker's reports reads from their lParam. Windows only.
#pragma once

#include <windows.h>

#include <string>

namespace qb {

// The status text of a kind 0 report.
const char* ProgressStatusText(LPARAM lParam);
// The formatted line of a kind 1 report (whole, however long it is).
std::string FormatProgressOutput(LPARAM lParam);

}  // namespace qb
