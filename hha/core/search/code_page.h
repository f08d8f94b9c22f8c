// Text in Windows code pages: what a page declares, decoding it to Unicode and encoding
// index words and titles into the project's code page. The conversions are the only
// platform-specific part (iconv natively, the Win32 NLS functions on Windows).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace hha::search {

constexpr uint32_t kUtf8 = 65001;

// The Windows code page of a charset label as pages write it ("gb2312", "Shift_JIS",
// "iso-8859-1", "utf-8", "windows-1250", ...); 0 when the label is unknown. Labels are
// mapped the way browsers do: iso-8859-1 and us-ascii mean 1252, gb2312 means 936; the
// other ISO 8859 parts keep their own code pages (28592 ...), which differ from 125x.
uint32_t CodePageOfCharset(const std::string& label);

// True for the code pages whose text is double-byte (932, 936, 949, 950).
bool IsDoubleByte(uint32_t codePage);

// Decodes text of one code page to UTF-32 piece by piece, so a large page never has to
// exist as UTF-32 all at once. A byte sequence the code page does not define becomes
// U+FFFD. Pieces must end where PieceEnd says.
class Decoder {
 public:
  explicit Decoder(uint32_t codePage);
  ~Decoder();
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  // False when the platform cannot convert this code page.
  bool ok() const { return ok_; }
  // Appends the characters of bytes[0, n) to `out`.
  void Append(const char* bytes, size_t n, std::u32string* out);
  // Whether every byte below 0x80 is a character of its own wherever it stands, and a
  // run of other bytes decodes on its own as it does in the whole text: then a reader
  // may take the ASCII bytes as they are and decode only the runs between them. Not so
  // in double-byte code pages (trail bytes below 0x80) nor where the converter composes
  // a letter with the accent after it (1255, 1258).
  bool SplitsAtAscii() const {
    return ok_ && (codePage_ == kUtf8 ||
                   (asciiAsIs_ && !IsDoubleByte(codePage_) && codePage_ != 1255 && codePage_ != 1258));
  }

 private:
  uint32_t codePage_;
  bool ok_ = false;
  void* handle_ = nullptr;  // iconv_t natively
  // Natively: whether iconv reads every byte below 0x80 as itself (never set on Windows).
  bool asciiAsIs_ = false;
};

// Where a piece of text that starts at `at` may end: `limit` bytes on, moved further
// to just after a byte below 0x40 (or to the end). No supported code page has such a
// byte inside a character, and none carries a shift state from one character to the
// next, so pieces decode exactly as the whole text would.
size_t PieceEnd(std::string_view text, size_t at, size_t limit);

// Decodes the whole of `bytes`. False (and `out` empty) when the platform cannot
// convert that code page.
bool Decode(std::string_view bytes, uint32_t codePage, std::u32string* out);
// The same with a decoder the caller keeps: opening one costs more than decoding a short
// text.
bool Decode(std::string_view bytes, Decoder& decoder, std::u32string* out);

// Encodes single characters into one code page, remembering each answer: a page has a
// few thousand distinct characters but millions of occurrences.
class Encoder {
 public:
  explicit Encoder(uint32_t codePage);
  ~Encoder();
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;

  // Appends the bytes of `c` to `out`; false (and `out` unchanged) when the code page has
  // no such character. A best-fit substitute does not count as having it.
  bool Append(char32_t c, std::string* out);
  uint32_t codePage() const { return codePage_; }

 private:
  bool Convert(char32_t c, std::string* bytes);  // per platform
  uint32_t codePage_;
  void* handle_ = nullptr;  // iconv_t natively
  std::unordered_map<char32_t, std::string> cache_;  // "" = not representable
  std::unique_ptr<Decoder> readBack_;  // checks that an answer is no best-fit substitute
};

// `utf8` in the encoder's code page; false when it is not UTF-8 or holds a character
// the code page has not.
bool FromUtf8(std::string_view utf8, Encoder& encoder, std::string* out);

}  // namespace hha::search
