// The program's own texts: every text id the windows use, with its English text. They are what the
// windows show when the text library cannot be loaded. Qt-free.
#pragma once

#include <span>
#include <string_view>

namespace kestrel::config {

struct DefaultText {
    std::string_view id;
    std::string_view text; // UTF-8; may hold the places %1 to %3
};

// Every text id in use, in ascending order, each once.
std::span<const DefaultText> DefaultTexts();

// The English text of id; empty for an unknown id.
std::string_view DefaultTextOf(std::string_view id);

} // namespace kestrel::config
