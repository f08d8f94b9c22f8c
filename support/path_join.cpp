#include "support/path_join.h"

namespace qb {
namespace {

// Appends parts to out[0 .. *length); false once something was cut.
class PathBuilder {
 public:
  PathBuilder(char* out, size_t capacity) : out_(out), limit_(capacity ? capacity - 1 : 0) {}

  void Append(const char* part, bool dotIsExtension) {
    if (!part || !*part) return;
    if (length_ > 0 && out_[length_ - 1] != '\\' && !(dotIsExtension && part[0] == '.'))
      Put('\\');
    for (const char* p = part; *p; ++p) Put(*p);
  }

  bool Finish(size_t capacity) {
    if (capacity) out_[length_] = '\0';
    return fitted_ && capacity;
  }

 private:
  void Put(char c) {
    if (length_ < limit_)
      out_[length_++] = c;
    else
      fitted_ = false;
  }

  char* out_;
  size_t limit_;
  size_t length_ = 0;
  bool fitted_ = true;
};

}  // namespace

bool JoinPath(char* out, size_t capacity, const char* first, const char* second) {
  PathBuilder b(out, capacity);
  b.Append(first, true);
  b.Append(second, true);
  return b.Finish(capacity);
}

bool JoinPath(char* out, size_t capacity, const char* first, const char* second,
              const char* third) {
  PathBuilder b(out, capacity);
  b.Append(first, true);
  b.Append(second, true);
  b.Append(third, true);
  return b.Finish(capacity);
}

bool JoinFolderEntry(char* out, size_t capacity, const char* folder, const char* name) {
  PathBuilder b(out, capacity);
  b.Append(folder, false);
  b.Append(name, false);
  return b.Finish(capacity);
}

}  // namespace qb
