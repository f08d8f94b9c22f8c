// Makes a modern HTML page safe for the HTML Help viewer, on a copy of the page that goes
// into the help file (the page on disk is never written).
//
// The viewer shows pages through Internet Explorer's engine, in IE7 document mode unless
// a page asks for more, and modern Javadoc pages run scripts that no IE can run: they
// raise error dialogs, leave a fixed header over the top of each page, and feed a search
// box that cannot work. A treated page:
//   - asks for the newest document mode: <meta http-equiv="X-UA-Compatible"
//     content="IE=edge"> as the first element of <head>;
//   - holds no script: no <script> elements (nor IE conditional comments that load one),
//     no on... event attributes, no javascript: links;
//   - has no <noscript> block that only says that JavaScript is disabled; a <noscript>
//     that holds only a Refresh meta (Javadoc's redirect pages) is unwrapped, so that
//     the redirect the removed script did still happens;
//   - has no search box (class nav-list-search / navListSearch) and no link to the root
//     search.html (a list item holding only that link goes with it; elsewhere the link
//     text stays);
//   - links the override stylesheet (kViewerStylesheet) last in <head>, so it wins.
// Everything else stays byte for byte, and so does the number of lines: removed text
// leaves its line breaks behind, so a warning about a treated page names the line of the
// user's file.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace hha {

// The override stylesheet: the header scrolls with the page and the content flows.
extern const std::string_view kViewerStylesheet;
// Its name in the help file's root, unless a project file already has that name.
constexpr const char* kViewerStylesheetName = "quillbinder-viewer.css";

// The treated copy of `page`, whose internal folder is `pageFolder` ("" or "a/b/", "/"
// separated, relative to the help file's root); `stylesheet` is the override
// stylesheet's name relative to the root. Never fails: a page in UTF-16 (which a byte
// scan cannot edit) comes back unchanged, and markup it cannot read is copied as it is.
std::string TreatPageForViewer(std::string_view page, const std::string& pageFolder,
                               const std::string& stylesheet);

// The same into `out`, which gets its whole room first, so that the bytes written never
// move: `settled(n)` is told, every `every` bytes or so and once at the end, that out's
// first n bytes are final, and may hand them on while the rest is treated (a large page
// goes to the compressor as it is treated, not after). When `settled` returns false the
// treatment stops there, out holding a part of the page, and this returns false.
bool TreatPageForViewer(std::string_view page, const std::string& pageFolder,
                        const std::string& stylesheet, std::string* out, size_t every,
                        const std::function<bool(size_t)>& settled);

}  // namespace hha
