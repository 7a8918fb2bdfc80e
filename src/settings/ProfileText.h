#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace brisolant {

// A profile read hands back at most this many characters (a 256-character buffer with its NUL).
inline constexpr std::size_t kProfileValueLimit = 255;

// The text without the blanks and tabs at either end.
std::string_view TrimProfileBlanks(std::string_view text);

// The value of an entry in the text of a private-profile file: trimmed of blanks and tabs, with
// one enclosing pair of double or single quotes removed. Nothing when the section or the key is
// missing. Sections and keys match without regard to letter case or surrounding blanks; the
// first section of that name counts, and within it the first entry of that key. Lines end in
// CR LF, LF or CR alone.
std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key);

// Cuts the text to the kProfileValueLimit characters a profile read holds; true when it was
// longer.
bool CutToProfileLimit(std::string& text);

// What a profile read yields from a file's content (nothing when there is no file): the entry's
// value, or else the default, cut to kProfileValueLimit characters.
std::string ProfileValueOrDefault(const std::optional<std::string>& content,
                                  std::string_view section, std::string_view key,
                                  std::string_view defaultValue);

// Whether the entry can be stored without changing the shape of the file: names that are not
// empty and hold no line end, a section without "]", a key that holds no "=" and does not look
// like a header, a value without line ends.
bool CanStoreProfileValue(std::string_view section, std::string_view key, std::string_view value);

// The text with the entry stored: an existing entry takes the new value in place, otherwise the
// entry is added after the last line of its section, otherwise the section is added at the end.
// New lines end in CR LF; every other line stays as it was, byte for byte. A value with blanks at
// its ends or quotes around it is stored between quotes, so that it reads back as it was. Expects
// an entry that CanStoreProfileValue accepts.
std::string WithProfileValue(std::string_view text, std::string_view section, std::string_view key,
                             std::string_view value);

}  // namespace brisolant
