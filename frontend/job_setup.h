// Filling a conversion job from what the user typed, with every check that must pass
// before a worker may start. No user interface: failures come back as the text to show,
// so the dialog and the console program refuse the same inputs with the same words.
#pragma once

#include <string>

#include "job/conversion_job.h"

namespace qb {

enum class SetupFailure {
  None,
  OutputName,  // refused before anything changed
  IndexFile,   // index.html could not be opened
};

struct JobSetup {
  SetupFailure failure = SetupFailure::None;
  std::string error;  // the message to show; empty on success
};

// Fills `job` (Control 0, NotifyWindow = `notifyWindow`, StartPage from index.html) from
// the index path, the bare output name and the title, each cut to 259 characters.
JobSetup FillConversionJob(const char* indexPath, const char* outputName, const char* title,
                           JobWindow notifyWindow, ConversionJob& job);

// Reads job.SourceIndexPath and sets job.StartPage to the src of the frame named
// "classFrame", or "overview-summary.html" when there is no such frame. False (with the
// message in `error`) when the file cannot be opened.
bool ValidateIndexFile(ConversionJob& job, std::string* error);

}  // namespace qb
