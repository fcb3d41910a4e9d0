// The bytes behind the engine's UTF-16 texts. File names are bytes; the engine hands them out as
// UTF-16 where a byte that is not part of valid UTF-8 appears as the lone surrogate U+DC80 + byte.
// These two functions convert both ways without loss for every name the engine can produce. Qt-free.
#pragma once

#include <string>
#include <string_view>

namespace kestrel::core {

// UTF-16 to UTF-8, turning a lone U+DC80..U+DCFF back into the byte 0x80..0xFF it stands for. Any
// other unpaired surrogate (the engine never produces one) becomes U+FFFD.
std::string EngineTextToBytes(std::u16string_view text);

// Same, for a zero-terminated engine text; null reads as the empty text.
std::string EngineTextToBytes(const char16_t* text);

// UTF-8 bytes to UTF-16; every byte that does not start a valid, shortest-form UTF-8 sequence of a
// scalar value becomes U+DC80 + byte. EngineTextToBytes(BytesToEngineText(b)) == b for every b.
std::u16string BytesToEngineText(std::string_view bytes);

} // namespace kestrel::core
