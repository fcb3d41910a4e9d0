// The update check's rules that need no network and no window: the request address, the answer
// file's place, reading the answer and deciding whether it offers a newer version. QtCore only, pure
// apart from the environment reads named below.
#pragma once

#include <QByteArray>
#include <QString>

namespace kestrel::dialogs {

// The maker's web site; KESTRELFIND_SITE_URL, when set and not empty, replaces it (tests point it at a
// local server).
inline constexpr char kSiteAddress[] = "https://brindleco.example/";
inline constexpr char kSiteAddressVariable[] = "KESTRELFIND_SITE_URL";
// The update page's path and query; the program's file version follows directly.
inline constexpr char kUpdateQuery[] = "redirect.php?pid=7&a=update&v=";
// The answer's file name in the temporary folder.
inline constexpr char kAnswerFileName[] = "~dsver.dat";
// At most this many bytes of an answer are kept (11 reads of 1024 bytes); the rest is dropped.
inline constexpr qsizetype kAnswerLimit = 11 * 1024;

// The answer's two entries of section [Version]; a missing entry is empty.
struct TUpdateAnswer {
    QString Version;   // trimmed
    QString UpdateUrl; // trimmed
};

// The site address in use: KESTRELFIND_SITE_URL or kSiteAddress, with a trailing "/" added when
// missing. Read anew on every call.
QString SiteAddress();

// site + kUpdateQuery + the version, the version percent-encoded as a query value (a plain
// "1.0.0.1" stays as it is).
QString UpdateRequestUrl(const QString& site, const QString& currentVersion);

// The folder for temporary files with a trailing "/": $TEMP, else $TMPDIR, else /tmp.
QString TempFolder();

// Reads an answer as an INI text: UTF-8 (a leading byte-order mark is skipped, bytes that are not
// UTF-8 are replaced), lines ended by LF, CRLF or CR, "[Version]" sections and "Version" and
// "UpdateUrl" keys compared without regard to case, the first occurrence of a key in the first such
// section wins, blanks around names and values are dropped, one pair of matching quotes around a value
// is removed, lines starting with ";" or "#" are comments. Anything else (an HTML page, binary junk, a
// NUL byte) is skipped line by line; it never fails.
TUpdateAnswer ReadUpdateAnswer(const QByteArray& answer);

// Whether newVersion is newer than currentVersion. Each text gives four parts, split at ".": the first
// three parts are the texts before the first three dots; the fourth is the rest after the third dot.
// When a text runs out of dots, every further part repeats the last remainder ("2.5" reads 2, 5, 5, 5;
// "7" reads 7, 7, 7, 7). The parts are compared as numbers from the first on; when any part of either
// text is not a decimal integer (an optional sign and digits that fit in 64 bits; empty is not one),
// the answer is true.
bool IsNewerVersion(const QString& currentVersion, const QString& newVersion);

// Whether the answer offers an update: its version is not empty, differs from the current one other
// than in letter case, and is newer by IsNewerVersion; and its download address is usable
// (IsUsableDownloadUrl).
bool ShouldOfferUpdate(const QString& currentVersion, const TUpdateAnswer& answer);

// An absolute http or https address with a host: the only kind the offer opens, so that an answer
// cannot make the desktop open a local file or run a handler for another scheme.
bool IsUsableDownloadUrl(const QString& url);

} // namespace kestrel::dialogs
