// The version strings embedded into a program file (see version_strings.h), read back from the ELF
// file's section headers without loading or running it. Qt-free.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kestrel::core {

// The value of `item` (for example "FileVersion") among the version strings of the program file at
// `file`: the text after "item=" up to its zero. Empty when the file cannot be read, is not an ELF
// file, has no ".kestrel_version" section or no such item. Reads only the ELF header, the section
// headers, the section names and the one section, with bounds checked against the file's size, so a
// truncated or damaged file gives the empty text.
std::string FileVersionText(const std::string& file, std::string_view item);

// The raw contents of the ".kestrel_version" section of an ELF image held in memory (32 or 64 bit,
// either byte order), or nothing when the image has none or is damaged.
std::optional<std::string> VersionSectionOf(std::span<const std::byte> image);

// The value of `item` in a section's contents: zero-separated key=value texts; the first match wins.
std::string VersionValueOf(std::string_view section, std::string_view item);

} // namespace kestrel::core
