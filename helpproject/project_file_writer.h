// Writes the HTML Help project (.hhp) from the template of resource 104.
#pragma once

#include "support/path_join.h"
#include "support/template_replacer.h"

namespace qb {

// The Language value of the template's own (classic) projects.
extern const char kDefaultProjectLanguage[];

// True when the project file was written completely; `compiledFile` (when given) is
// where the help file goes instead of `outputPath`, which still names the sibling files.
// failures are reported first.
// `language` is the Language value; `listRootPages` adds the .html pages beside
// index.html to the files (non-classic trees keep their overview, class lists and help
// there; classic trees only frames, which the help file reaches through links).
// `viewerSafePages` asks our compiler to put the pages in treated for the HTML Help viewer,
// in a line that every other compiler takes for a comment.
bool WriteProjectFile(const char* sourceIndexPath, const char* outputPath, const char* title,
                      const char* startPage, const char* language = kDefaultProjectLanguage,
                      bool listRootPages = false, bool viewerSafePages = false,
                      const char* compiledFile = nullptr);

// Serves the ten keys of the project template from the four job strings (each copied
// cut to 259 characters). Every value writer returns true: a failed write is caught when
// the output is closed, where it can be told as such rather than as a template fault.
class ProjectKeyProvider : public TemplateKeyProvider {
 public:
  ProjectKeyProvider(const char* sourceIndexPath, const char* outputPath, const char* title,
                     const char* startPage, const char* language = kDefaultProjectLanguage,
                     bool listRootPages = false, bool viewerSafePages = false,
                     const char* compiledFile = nullptr);
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
  bool WriteLanguage(BufferedFileWriter& output);
  bool WriteSiblingName(BufferedFileWriter& output, const char* extension);

  struct Key {
    const char* name;
    bool (ProjectKeyProvider::*write)(BufferedFileWriter&);
  };
  static const Key kKeys[10];

  char sourceIndexPath_[kPathCapacity];
  char outputPath_[kPathCapacity];
  char compiledFile_[kPathCapacity];  // where the compiler writes: outputPath_ unless moved
  char title_[kPathCapacity];
  char startPage_[kPathCapacity];
  char language_[kPathCapacity];
  bool listRootPages_;
  bool viewerSafePages_;
};

}  // namespace qb
