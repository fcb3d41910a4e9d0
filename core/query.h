// Query patterns: what the search box hands to the engine (UnitFunction). Qt-free, so that the
// command-line tool and the windows share one implementation.
#pragma once

#include <string>
#include <string_view>

namespace kestrel::core {

// Turns typed text into an engine pattern: plain words get stars around them, blanks and bars keep
// their meaning ("annual report" -> "**annual* *report**", collapsed later by CollapseStars).
std::u16string NormaliseQuery(std::u16string_view text);

// Replaces every run of "*" by a single "*" (the first step of every search).
std::u16string CollapseStars(std::u16string_view query);

// True when the query names a path: it holds "/", "\" or ":".
bool IsPathQuery(std::u16string_view query);

// The engine scope of a search: 1 with Match Path on, 2 for a path query or a Shortcuts search, else 0.
int SearchScope(bool matchPath, bool shortcuts, std::u16string_view query);

} // namespace kestrel::core
