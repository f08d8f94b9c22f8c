#include "tests/hha/chm_readers.h"

#ifndef _WIN32
#include <chm_lib.h>
#include <cstdio>
#include <filesystem>
#include <mspack.h>

#include "tests/common/test_util.h"


namespace hha::test {
namespace {

struct ChmlibWalk {
  chmFile* file;
  FileMap* out;
  bool ok = true;
};

int CollectChmlib(chmFile* h, chmUnitInfo* ui, void* context) {
  auto* walk = static_cast<ChmlibWalk*>(context);
  std::string name = ui->path;
  if (name.empty() || name.back() == '/' || name.compare(0, 2, "::") == 0)
    return CHM_ENUMERATOR_CONTINUE;
  std::string bytes(ui->length, '\0');
  if (ui->length) {
    LONGINT64 got = chm_retrieve_object(h, ui, reinterpret_cast<unsigned char*>(&bytes[0]), 0,
                                        ui->length);
    if (got != static_cast<LONGINT64>(ui->length)) walk->ok = false;
  }
  (*walk->out)[name.substr(1)] = bytes;
  return CHM_ENUMERATOR_CONTINUE;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

}  // namespace

FileMap ReadWithChmlib(const std::string& chm, bool* ok) {
  FileMap files;
  chmFile* h = chm_open(chm.c_str());
  if (!h) {
    *ok = false;
    return files;
  }
  ChmlibWalk walk{h, &files};
  int r = chm_enumerate(h, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_SPECIAL | CHM_ENUMERATE_FILES,
                        CollectChmlib, &walk);
  chm_close(h);
  *ok = r != 0 && walk.ok;
  return files;
}

FileMap ReadWithMspack(const std::string& chm, bool* ok) {
  FileMap files;
  *ok = false;
  mschm_decompressor* d = mspack_create_chm_decompressor(nullptr);
  if (!d) return files;
  mschmd_header* h = d->open(d, chm.c_str());
  if (h) {
    qb::test::TempDir scratch;
    bool all = true;
    int n = 0;
    for (mschmd_file* f = h->files; f; f = f->next) {
      std::string target = scratch / ("f" + std::to_string(n++));
      if (d->extract(d, f, target.c_str()) != MSPACK_ERR_OK) {
        all = false;
        continue;
      }
      std::string name = f->filename;
      files[name.substr(name[0] == '/' ? 1 : 0)] = qb::test::ReadFile(target);
    }
    d->close(d, h);
    *ok = all;
  }
  mspack_destroy_chm_decompressor(d);
  return files;
}

int MspackFastFindMisses(const std::string& chm, const std::vector<std::string>& names,
                         const FileMap* files) {
  mschm_decompressor* d = mspack_create_chm_decompressor(nullptr);
  mschmd_header* h = d ? d->fast_open(d, chm.c_str()) : nullptr;
  int misses = static_cast<int>(names.size());
  if (h) {
    misses = 0;
    for (const auto& name : names) {
      mschmd_file f;
      const auto known = files ? files->find(name) : FileMap::const_iterator();
      if (d->fast_find(d, h, ("/" + name).c_str(), &f, sizeof f) != MSPACK_ERR_OK || !f.section ||
          (files && known != files->end() && static_cast<size_t>(f.length) != known->second.size()))
        ++misses;
    }
    d->close(d, h);
  }
  if (d) mspack_destroy_chm_decompressor(d);
  return misses;
}

FileMap ReadWith7z(const std::string& chm, bool* ok, std::string* log) {
  int rc = 0;
  *log = RunCommand("7z t " + Quote(chm), &rc);
  *ok = rc == 0 && log->find("Everything is Ok") != std::string::npos;
  if (!*ok) return {};
  qb::test::TempDir out;
  *log += RunCommand("7z x -y -o" + Quote(out.path()) + " " + Quote(chm), &rc);
  *ok = rc == 0;
  FileMap files = qb::test::FolderFiles(out.path());
  // 7-Zip lists ::DataSpace files as an extra folder; the tests compare pages only.
  for (auto it = files.begin(); it != files.end();)
    it = it->first.compare(0, 2, "[") == 0 || it->first.find("::") != std::string::npos
             ? files.erase(it)
             : std::next(it);
  return files;
}

PyChmView ReadWithPyChm(const std::string& chm) {
  PyChmView v;
  qb::test::TempDir out;
  const std::string script =
      "import sys\n"
      "from chm.chm import CHMFile\n"
      "f = CHMFile()\n"
      "if not f.LoadCHM(sys.argv[1]): sys.exit(2)\n"
      "def put(name, data):\n"
      "    open(sys.argv[2] + '/' + name, 'wb').write(data or b'')\n"
      "put('title', f.title); put('home', f.home)\n"
      "put('topics', f.GetTopicsTree()); put('index', f.GetIndex())\n";
  qb::test::WriteFile(out / "read.py", script);
  int rc = 0;
  v.log = RunCommand("/usr/bin/python3 " + Quote(out / "read.py") + " " + Quote(chm) + " " +
                         Quote(out.path()),
                     &rc);
  v.ok = rc == 0;
  v.title = qb::test::ReadFile(out / "title");
  v.home = qb::test::ReadFile(out / "home");
  v.topics = qb::test::ReadFile(out / "topics");
  v.index = qb::test::ReadFile(out / "index");
  return v;
}

}  // namespace hha::test
#endif
