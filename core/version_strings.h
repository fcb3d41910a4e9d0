// Embeds version strings into a program file at build time, where FileVersionText reads them back.
// The strings go to the ELF section ".kestrel_version" as key=value texts, each ending with a zero:
//
//     KESTREL_EMBED_VERSION_STRINGS("FileVersion=1.0.0.1\0ProductName=Kestrel Find\0");
//
// Use it once, at namespace scope, in a source file linked directly into the program (an object in
// a static library is dropped when nothing refers to it). The CMake function
// kestrel_embed_version_strings() of core/version_strings.cmake generates such a file.
#pragma once

#define KESTREL_VERSION_SECTION ".kestrel_version"

#define KESTREL_EMBED_VERSION_STRINGS(text)                                                                  \
    extern const char kestrelEmbeddedVersionStrings[];                                                       \
    [[gnu::section(KESTREL_VERSION_SECTION), gnu::used]] const char kestrelEmbeddedVersionStrings[] = text
