// Where the chosen language is stored and how the locale chooses one when none is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrel::languages {

inline constexpr uint32_t kHkeyCurrentUser = 0x80000001u;

// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config (the password database's home
// folder when HOME is unset).
std::string ConfigHome();

// The settings file of a key path under root: "\Software\Brindleco\Kestrelfind" (or "/" separated,
// "Software" optional) is <config home>/Brindleco/Kestrelfind.conf. Nullopt for a root other than
// the current user's or a path without organisation and application.
std::optional<std::string> StoreFileFor(uint32_t root, std::string_view keyPath);

// The top-level value "Language" of an INI settings file as written by QSettings (section
// [General]), surrounding quotes removed. Empty when the file, the section or the value is missing.
std::string ReadStoredLanguage(const std::string& file);

// The locale of the user's messages: LC_ALL, else LC_MESSAGES, else LANG (the first one set and not
// empty), else "".
std::string MessagesLocale();

// True for a locale that asks for Chinese: one beginning with "zh" ("zh_CN.UTF-8", "zh_TW", "zh").
bool IsChineseLocale(std::string_view locale);

} // namespace kestrel::languages
