/* liblanguages: the program's texts, looked up by seven-digit text id, in the user's language.
 *
 * The texts come from language files "<code>.lang" (UTF-8, one "id=text" a line, see
 * languages/files/en.lang) in the first of these folders that holds any: "languages" next to this
 * library (the build tree), then "../share/kestrelfind/languages" from it (installed in prefix/lib).
 * A text may hold the places %1, %2 and %3 for the three arguments of GetLanguageById; "%%" is a
 * single "%". The language in use is the code stored as "Language" in the per-user settings file;
 * when none is stored (or no such language is installed) the user's locale chooses: a locale
 * beginning with "zh" gives Simplified Chinese, any other English.
 *
 * Texts are UTF-8 and zero-terminated. Every export may be called from any thread; none throws.
 * A text missing in the current language is answered in English.
 */
#ifndef KESTREL_LANGUAGES_H
#define KESTREL_LANGUAGES_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define KESTREL_LANGUAGES_API __attribute__((visibility("default")))

/* The per-user settings root; the only root the library reads. */
#define KL_HKEY_CURRENT_USER 0x80000001u

/* Return values. */
#define KL_OK 0
#define KL_TRUNCATED 1 /* LoadLanguages: a buffer was too small, call again with the sizes given back */
#define KL_ERROR (-1)

/* Chooses the language: the value "Language" of the settings key keyPath ("\Software\<organisation>\
 * <application>", stored in $XDG_CONFIG_HOME/<organisation>/<application>.conf) under root. Reads
 * the language files on first use. Returns KL_OK, or KL_ERROR when the root or key path is not
 * understood or no language file is installed (the language then comes from the locale). */
KESTREL_LANGUAGES_API int32_t InitLanguages(uint32_t root, const char* keyPath);

/* Forgets the texts read so far; the next call of another export reads the files again. */
KESTREL_LANGUAGES_API int32_t FreeLanguages(void);

/* Writes the installed languages, one "code=display name" line each, separated by "\n", into list,
 * and the current language's code into code. On entry *listSize and *codeSize are the capacities in
 * bytes; on return they are the sizes needed, terminators included. A text that does not fit is cut
 * at a character boundary and still terminated. Returns KL_OK, KL_TRUNCATED, or KL_ERROR for a null
 * size pointer. */
KESTREL_LANGUAGES_API int32_t LoadLanguages(char* list, size_t* listSize, char* code, size_t* codeSize);

/* Writes the text of id in the current language, with %1..%3 replaced by arg1..arg3 (null counts as
 * empty), into text (size bytes, terminator included; cut at a character boundary when too small).
 * Returns the full length in bytes without the terminator, so a result >= size means "call again
 * with a larger buffer"; KL_ERROR when no installed language knows id (text then holds ""). */
KESTREL_LANGUAGES_API int32_t GetLanguageById(char* text, size_t size, const char* id, const char* arg1,
                                              const char* arg2, const char* arg3);

#ifdef __cplusplus
}
#endif

#endif
