// The texts the program writes byte for byte: the project template and the about page.
#pragma once

#include <cstdint>

namespace qb {

constexpr int kProjectTemplateResource = 104;
constexpr int kAboutPageResource = 105;

// The bytes of text `id` (not NUL-terminated; `size` of them), which live as long as the
// program. On Windows they are resource `id` of type "text" in the program's own module,
// so a program that writes them links the text resources; natively they are compiled
// in. False when there is no such text.
bool LoadTextResource(int id, const char** data, uint32_t* size);

}  // namespace qb
