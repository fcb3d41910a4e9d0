// The pictures of the windows: files in the Images folder next to the program (build tree), or in
// share/kestrelfind/Images beside the program's bin folder once installed.
#pragma once

#include <QIcon>
#include <QString>

namespace kestrel::views {

// The folder that holds the pictures; the build tree's copy first, then the installed one.
QString ImagesFolder();

// A picture by its file name ("topdown.png"), with its "@2x" twin for high-density screens. An empty
// icon when the file is missing: the control then draws without it.
QIcon ImagePicture(const QString& fileName);

} // namespace kestrel::views
