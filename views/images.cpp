#include "images.h"

#include "UnitLanguageRegConfig.h"

#include <QDir>
#include <QFileInfo>

namespace kestrel::views {

QString ImagesFolder() {
    const QString program = config::ProgramFolder();
    const QString beside = program + QStringLiteral("/Images");
    if (QFileInfo(beside).isDir())
        return beside;
    return QDir::cleanPath(program + QStringLiteral("/../share/kestrelfind/Images"));
}

QIcon ImagePicture(const QString& fileName) {
    static const QString folder = ImagesFolder();
    const QString path = folder + QLatin1Char('/') + fileName;
    if (!QFileInfo::exists(path))
        return QIcon();
    // QIcon picks up "name@2x.png" beside the file by itself.
    return QIcon(path);
}

} // namespace kestrel::views
