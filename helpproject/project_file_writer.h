// Writes the HTML Help project (.hhp) from the template of resource 104.
#pragma once

#include "support/path_join.h"
#include "support/template_replacer.h"

namespace qb {

// True when the project file was written completely; failures are reported first.
// `viewerSafePages` asks our compiler to put the pages in treated for the HTML Help viewer,
// in a line that every other compiler takes for a comment.
bool WriteProjectFile(const char* sourceIndexPath, const char* outputPath, const char* title,
                      const char* startPage, bool viewerSafePages = false);

// Serves the nine keys of the project template from the four job strings (each copied
// cut to 259 characters). Every value writer returns true: a failed write is caught when
// the output is closed, where it can be told as such rather than as a template fault.
class ProjectKeyProvider : public TemplateKeyProvider {
 public:
  ProjectKeyProvider(const char* sourceIndexPath, const char* outputPath, const char* title,
                     const char* startPage, bool viewerSafePages = false);
  bool WriteValue(const char* key, BufferedFileWriter& output) override;

 private:
  bool WriteCompiledFile(BufferedFileWriter& output);
  bool WriteContentsFile(BufferedFileWriter& output);
  bool WriteIndexFile(BufferedFileWriter& output);
  bool WriteDefaultTopic(BufferedFileWriter& output);
  bool WriteTitle(BufferedFileWriter& output);
  bool WriteAbout(BufferedFileWriter& output);
  bool WriteAboutTitle(BufferedFileWriter& output);
  bool WriteFiles(BufferedFileWriter& output);
  bool WriteOwnOptions(BufferedFileWriter& output);
  bool WriteSiblingName(BufferedFileWriter& output, const char* extension);

  struct Key {
    const char* name;
    bool (ProjectKeyProvider::*write)(BufferedFileWriter&);
  };
  static const Key kKeys[9];

  char sourceIndexPath_[kPathCapacity];
  char outputPath_[kPathCapacity];
  char title_[kPathCapacity];
  char startPage_[kPathCapacity];
  bool viewerSafePages_;
};

}  // namespace qb
