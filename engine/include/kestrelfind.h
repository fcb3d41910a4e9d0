/* libkestrelfind: the file-name index and search engine.
 *
 * The engine indexes every local filesystem (or the colon-separated folders in KESTRELFIND_ROOTS),
 * answers wildcard patterns over file names or full paths, and keeps a persistent index in
 * $XDG_CACHE_HOME/kestrelfind/. It owns every result record it hands out.
 *
 * Threads: every export may be called from any thread. FindItemFile runs on the caller's thread and
 * delivers its results there; the change listener calls back on an engine thread. No export throws.
 */
#ifndef KESTRELFIND_H
#define KESTRELFIND_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define KESTRELFIND_API __attribute__((visibility("default")))

/* 100-nanosecond ticks since 1601-01-01 UTC, low half first. */
typedef struct FILETIME {
    uint32_t dwLowDateTime;
    uint32_t dwHighDateTime;
} FILETIME;

/* One indexed item. The engine owns it; it stays valid, at the same address, until StopKestrelfind,
 * and the same item is handed out as the same record on every search. The caller writes only
 * IconIndex. Texts are zero-terminated UTF-16; a byte of a name that is not UTF-8 appears as the
 * lone surrogate U+DC80 + byte (KfTextToBytes turns the text back into the exact bytes). */
typedef struct TItemFileData {
    const char16_t* Folder; /* the folder, ending with "/"; Folder + Name is the full path */
    const char16_t* Name;
    uint8_t Reserved[16]; /* the engine's own */
    int64_t Size;         /* bytes; for a folder the total of the files below it */
    FILETIME LastWriteTime;
    uint8_t IsFolder;
    uint8_t Padding[3];
    int32_t IconIndex; /* the caller's: -1 until the caller stores an icon there */
} TItemFileData;

/* Progress of Kestrelfind: context as given, then 0 to 100. */
typedef void (*KfIndexProgressCallback)(void* context, int32_t percent);
/* One search result: context as given, then the record (never null from this engine). */
typedef void (*KfResultCallback)(void* context, TItemFileData* item);
/* One change on disk: context as given, the address of a pointer to the changed full path (UTF-16,
 * valid only during the call), and the change kind below. */
typedef void (*KfFileChangeCallback)(void* context, const char16_t* const* path, int32_t kind);

/* Change kinds. A rename or move arrives as DELETED for the old path and CREATED for the new one. */
#define KF_CHANGE_CREATED 0
#define KF_CHANGE_MODIFIED 1 /* size or last-write time changed */
#define KF_CHANGE_DELETED 2

/* Scopes of FindItemFile. */
#define KF_SCOPE_NAME 0       /* terms match the item's name */
#define KF_SCOPE_PATH 1       /* terms match the full path (the user asked for path matching) */
#define KF_SCOPE_PATH_QUERY 2 /* terms match the full path (the query itself names a path) */

/* Return values: 0 or a count on success, negative on failure. */
#define KF_OK 0
#define KF_ERROR (-1)

/* Builds the index and returns once searches can see all of it. With useSavedIndex non-zero a valid
 * saved index is loaded (fast) and a fresh scan then runs in the background, its differences reported
 * as changes once the listener runs; otherwise the disks are scanned before returning. With saveIndex
 * non-zero the index is saved after every full scan. reserved must be 0. progress may be null. */
KESTRELFIND_API int32_t Kestrelfind(void* context, int32_t useSavedIndex, int32_t saveIndex, int32_t reserved,
                                    KfIndexProgressCallback progress);

/* Starts the change listener and returns at once. callback runs on an engine thread. */
KESTRELFIND_API int32_t StartFileListensThread(void* context, KfFileChangeCallback callback);

/* Searches the index for pattern and calls callback on the calling thread for every match, then
 * returns the number delivered. With ranked non-zero the best matches come first (the name equal to
 * the typed word, then names beginning with it, then names where a word begins with it, then the
 * rest), each tier in the index's order; otherwise the index's order. maxResults 0 means no limit.
 * reserved must be 0. May be called before the index is ready (it then finds what is indexed). */
KESTRELFIND_API int32_t FindItemFile(void* context, const char16_t* pattern, int32_t scope, int32_t ranked,
                                     int32_t maxResults, int32_t reserved, KfResultCallback callback);

/* Makes a running FindItemFile return within a few milliseconds. Searches started afterwards run. */
KESTRELFIND_API int32_t StopFindThread(void* context);

/* Stops the change listener; returns once its thread has ended. */
KESTRELFIND_API int32_t StopFileListensThread(void* context);

/* Stops everything, saves the index when it changed, and frees every record. */
KESTRELFIND_API int32_t StopKestrelfind(void* context);

/* Writes the exact bytes behind a text handed out by the engine (U+DC80 + byte back to the byte) into
 * buffer, zero-terminated when size allows. Returns the byte count without the terminator. */
KESTRELFIND_API size_t KfTextToBytes(const char16_t* text, char* buffer, size_t size);

#ifdef __cplusplus
}

static_assert(sizeof(TItemFileData) == 56, "TItemFileData is 56 bytes");
static_assert(offsetof(TItemFileData, Folder) == 0);
static_assert(offsetof(TItemFileData, Name) == 8);
static_assert(offsetof(TItemFileData, Reserved) == 16);
static_assert(offsetof(TItemFileData, Size) == 32);
static_assert(offsetof(TItemFileData, LastWriteTime) == 40);
static_assert(offsetof(TItemFileData, IsFolder) == 48);
static_assert(offsetof(TItemFileData, IconIndex) == 52);
#endif

#endif
