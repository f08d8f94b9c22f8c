// Character sets of Javadoc pages and the code pages of help-file languages: what a
// page declares, which HTML Help language fits it, and the conversions between them.
// The tables are portable; the conversions use the system's converter (MultiByteToWide
// Char on Windows, iconv elsewhere).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qb {

constexpr uint32_t kUtf8CodePage = 65001;
constexpr uint32_t kWesternCodePage = 1252;

// The Windows code page of a charset name as pages declare it ("utf-8", "Shift_JIS",
// "gb2312", "ISO-8859-1", ...), case-insensitive; 0 when unknown. ISO-8859-1 and
// US-ASCII give 1252, the superset that Windows itself reads them as.
uint32_t CodePageOfCharset(std::string_view charset);

// The charset that a page declares in its first `limit` bytes (the content of a
// Content-Type meta or a <meta charset>), or empty.
std::string DeclaredCharset(std::string_view page, size_t limit = 4096);
// The value of the lang attribute of the page's <html> tag; false when the tag has none
// (a bare or empty lang gives true and an empty value).
bool DeclaredLanguage(std::string_view page, std::string* lang, size_t limit = 4096);

struct HelpLanguage {
  uint16_t lcid;
  uint32_t codePage;  // the ANSI code page of the language, in which names are written
  const char* name;   // as the project file names it after the number
};

// English (United States), code page 1252: the language of every Western tree.
const HelpLanguage& DefaultHelpLanguage();
// The language of a BCP 47 tag ("ja", "zh-CN", "zh_TW", "ru"); null when the tag is
// empty or not one whose code page differs from 1252.
const HelpLanguage* HelpLanguageOfTag(std::string_view tag);
// The language whose ANSI code page is `codePage`; null for 1252, UTF-8 and unknown.
const HelpLanguage* HelpLanguageOfCodePage(uint32_t codePage);
// Guesses a language from UTF-8 text: a few kana give Japanese, Hangul Korean, more
// ideographs Chinese (PRC), much Cyrillic Russian, much Greek Greek; null otherwise.
const HelpLanguage* HelpLanguageOfText(std::string_view utf8);

// Converts text in `codePage` to UTF-8. UTF-8 text passes unchanged (invalid bytes
// become U+FFFD); an unknown code page is read as 1252. Never fails.
std::string ToUtf8(std::string_view text, uint32_t codePage);

// Converts UTF-8 text that is already escaped for HTML into `codePage`. A character
// the code page cannot hold becomes a numeric character reference ("&#12354;"): the
// sitemap readers decode it, so the keyword index (kept in UTF-16 in the help file)
// still holds the real character, and where the viewer cannot show it the reference
// stays readable instead of turning into a wrong letter or a '?'.
// `references`, when given, is increased by the number of references made.
std::string FromUtf8ForSitemap(std::string_view utf8, uint32_t codePage,
                               size_t* references = nullptr);
// Converts plain UTF-8 text into `codePage`; a character the code page cannot hold
// becomes `replacement`.
std::string FromUtf8Replacing(std::string_view utf8, uint32_t codePage, char replacement = '?');

namespace detail {
// Per platform: one code point into `codePage`; false when the code page cannot hold
// it (or the code page is unknown).
bool EncodeCodePoint(char32_t c, uint32_t codePage, std::string* out);
// Per platform: the whole text into UTF-8; false when the code page is unknown.
bool DecodeToUtf8(std::string_view text, uint32_t codePage, std::string* out);
}  // namespace detail

}  // namespace qb
