#include "file_icons.h"

#include <QCoreApplication>
#include <QHash>
#include <QMimeDatabase>

#include <vector>

namespace kestrel::platform {

namespace {

class TFileIconTable {
public:
    TFileIconTable() {
        // Without a desktop session the theme is hicolor, which has no MIME icons.
        const QString fallback = QIcon::fallbackThemeName();
        if (fallback.isEmpty() || fallback == u"hicolor")
            QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
        m_icons.push_back(QIcon::fromTheme(QStringLiteral("application-x-generic"),
                                           QIcon::fromTheme(QStringLiteral("text-x-generic"))));
        m_icons.push_back(QIcon::fromTheme(QStringLiteral("folder-open"),
                                           QIcon::fromTheme(QStringLiteral("folder"), m_icons.front())));
    }

    int32_t IndexOf(const QString& name) {
        const QMimeType mime = m_mimes.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
        const QString key = mime.name();
        auto found = m_byMime.constFind(key);
        if (found != m_byMime.constEnd())
            return *found;
        QIcon icon = QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName()));
        int32_t index = kGenericIconIndex;
        if (!icon.isNull()) {
            index = static_cast<int32_t>(m_icons.size());
            m_icons.push_back(icon);
        }
        m_byMime.insert(key, index);
        return index;
    }

    QIcon At(int32_t index) const {
        if (index < 0 || static_cast<size_t>(index) >= m_icons.size())
            return m_icons[kGenericIconIndex];
        return m_icons[static_cast<size_t>(index)];
    }

    int32_t Count() const { return static_cast<int32_t>(m_icons.size()); }

private:
    QMimeDatabase m_mimes;
    std::vector<QIcon> m_icons;
    QHash<QString, int32_t> m_byMime;
};

TFileIconTable* g_table = nullptr;

void destroyTable() {
    delete g_table;
    g_table = nullptr;
}

TFileIconTable& table() {
    if (!g_table) {
        g_table = new TFileIconTable;
        // Post routines run at the start of the application object's destruction, while the GUI side
        // that the icons' pixmaps need still exists.
        qAddPostRoutine(destroyTable);
    }
    return *g_table;
}

} // namespace

int32_t FileIconIndex(const QString& fullPath, bool isFolder) {
    if (isFolder)
        return kFolderIconIndex;
    const qsizetype slash = fullPath.lastIndexOf(u'/');
    return table().IndexOf(slash < 0 ? fullPath : fullPath.mid(slash + 1));
}

int32_t FileIconIndex(const TItemFileData* record) {
    if (!record || !record->Name)
        return kGenericIconIndex;
    return FileIconIndex(QString::fromUtf16(record->Name), record->IsFolder != 0);
}

QIcon FileIconAt(int32_t index) {
    return table().At(index);
}

int32_t FileIconCount() {
    return table().Count();
}

} // namespace kestrel::platform
