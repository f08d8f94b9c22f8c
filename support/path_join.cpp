#include "support/path_join.h"

namespace qb {
namespace {

// Natively a path may be written with slashes ("/tmp/api/"): one that is, and holds no
// backslash, goes on with slashes, and its trailing slash is a separator already.
// Relative names (the project's "pkg\\a.html") have no slash and join as on Windows.
#ifdef _WIN32
constexpr bool kSlashPaths = false;
#else
constexpr bool kSlashPaths = true;
#endif

// Appends parts to out[0 .. *length); false once something was cut.
class PathBuilder {
 public:
  PathBuilder(char* out, size_t capacity) : out_(out), limit_(capacity ? capacity - 1 : 0) {}

  void Append(const char* part, bool dotIsExtension) {
    if (!part || !*part) return;
    const bool slashes = kSlashPaths && slash_ && !backslash_;
    if (length_ > 0 && out_[length_ - 1] != '\\' && !(slashes && out_[length_ - 1] == '/') &&
        !(dotIsExtension && part[0] == '.'))
      Put(slashes ? '/' : '\\');
    for (const char* p = part; *p; ++p) Put(*p);
  }

  bool Finish(size_t capacity) {
    if (capacity) out_[length_] = '\0';
    return fitted_ && capacity;
  }

 private:
  void Put(char c) {
    slash_ = slash_ || c == '/';
    backslash_ = backslash_ || c == '\\';
    if (length_ < limit_)
      out_[length_++] = c;
    else
      fitted_ = false;
  }

  char* out_;
  size_t limit_;
  size_t length_ = 0;
  bool fitted_ = true;
  bool slash_ = false;
  bool backslash_ = false;
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
