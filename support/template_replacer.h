// Expansion of "${key}" placeholders of a text template into an output file; each key's
// value is written by a provider straight into the output. Portable.
#pragma once

#include <cstddef>

#include "support/buffered_file_writer.h"

namespace qb {

// Serves the values of the keys that a template uses.
class TemplateKeyProvider {
 public:
  // Appends the value of `key` to `output` and returns true; false (as a rule writing
  // nothing) for a key it does not serve or a value it cannot produce.
  virtual bool WriteValue(const char* key, BufferedFileWriter& output) = 0;
  virtual ~TemplateKeyProvider() = default;
};

// Calling order: Attach, OpenOutput, Run, Finish; Finish also after a failed OpenOutput
// or Run, and it leaves the replacer empty again.
struct TemplateReplacer {
  // Keys are held in a buffer of this many bytes (at most 35 characters).
  static constexpr size_t kKeyCapacity = 36;

  const char* templateText = nullptr;  // not owned; kept alive by its owner until Finish
  BufferedFileWriter output;

  // The text must stay alive and unchanged until Finish. Always true.
  bool Attach(const char* text);
  // Creates (or truncates) the output file.
  bool OpenOutput(const char* path);
  // Copies the text to the output, asking the provider for the value of every
  // placeholder. A placeholder starts at "${" with at least two more characters after
  // it, so one among the last three characters is copied as text; its key runs to the
  // first "}". Fails at once on a placeholder without "}" (before the text preceding it
  // is written), on a key the provider refuses, and on a key longer than 35 characters
  // (after the preceding text, without asking the provider); what was written before
  // stays. True when the whole text was expanded, false also when nothing is attached.
  // Write errors do not stop it; Finish reports them.
  bool Run(TemplateKeyProvider& provider);
  // Forgets the text and closes the output. False when closing it found a failed write
  // (or flush) since OpenOutput; true when no output was open.
  bool Finish();
};

}  // namespace qb
