// The about page that every compiled help file carries: resource 105, written byte for
// byte beside the output file (as kAboutPageName) and removed again at the end of the job.
#pragma once

#include "job/temp_names.h"

namespace qb {

// False (after reporting "Cannot create '%s'." or "Cannot write '%s'.") when the page
// could not be written completely.
bool WriteAboutPage(const char* outputPath);
// Deletes the page; failures are ignored. Returns true.
bool DeleteAboutPage(const char* outputPath);

}  // namespace qb
