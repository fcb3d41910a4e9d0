// Putting result files on the clipboard (UnitFunction's CopyFilesToClipboard) so that pasting them
// into a file manager copies the files: text/uri-list, x-special/gnome-copied-files ("copy", then one
// URI a line) and text/plain (the paths, one a line).
//
// Paths are bytes, as the file system has them (EngineTextToBytes of folder + name). The URIs are
// built from those exact bytes with percent-encoding, so names that are not UTF-8 survive the trip.
#pragma once

#include <QByteArray>
#include <QMimeData>

#include <memory>
#include <string>
#include <vector>

namespace kestrel::platform {

// "file://" and the path's bytes, percent-encoded except for letters, digits, "-", ".", "_", "~" and
// "/". path must be absolute.
QByteArray FileUriOf(const std::string& path);

// The clipboard data for a list of full paths, in their order.
std::unique_ptr<QMimeData> FileListMimeData(const std::vector<std::string>& paths);

// Replaces the clipboard's contents with the files. UI thread, with a QGuiApplication. False, with the
// clipboard unchanged, for an empty list or without a QGuiApplication. The data stays available for
// as long as this process owns the clipboard (or a clipboard manager takes it over).
bool CopyFilesToClipboard(const std::vector<std::string>& paths);

} // namespace kestrel::platform
