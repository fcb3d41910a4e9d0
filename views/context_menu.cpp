#include "context_menu.h"

#include "UnitLanguageRegConfig.h"
#include "clipboard.h"
#include "file_manager.h"
#include "open_with.h"

#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPointer>
#include <QUrl>

#include <sys/stat.h>

namespace kestrel::views {

namespace {

bool PathExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::lstat(path.c_str(), &info) == 0;
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

QString MimeTypeOf(const std::string& path) {
    if (IsFolder(path))
        return QStringLiteral("inode/directory");
    static const QMimeDatabase database;
    return database
        .mimeTypeForFile(QFile::decodeName(QByteArray::fromStdString(path)), QMimeDatabase::MatchExtension)
        .name();
}

void MoveToTrash(QWidget* owner, const std::string& path, const config::TLanguage& language) {
    const QString shown = QFile::decodeName(QByteArray::fromStdString(path));
    const auto answer = QMessageBox::question(owner, language.GetText(QStringLiteral("3703028")),
                                              QObject::tr("Move \"%1\" to the trash?").arg(shown),
                                              QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer != QMessageBox::Yes)
        return;
    // A name whose bytes do not survive the trip through QString is refused rather than guessed at.
    QString name = shown;
    if (QFile::encodeName(name).toStdString() != path || !QFile::moveToTrash(name))
        QMessageBox::warning(owner, language.GetText(QStringLiteral("3703028")),
                             QObject::tr("\"%1\" could not be moved to the trash.").arg(shown));
}

} // namespace

QMenu* BuildShellContextMenu(QWidget* owner, const std::string& path, platform::FileManager& fileManager,
                             const config::TLanguage& language) {
    if (!PathExists(path))
        return nullptr;
    auto* menu = new QMenu(owner);
    const QByteArray uri = platform::FileUriOf(path);
    QPointer<platform::FileManager> manager(&fileManager);

    QAction* open = menu->addAction(language.GetText(QStringLiteral("3703008")));
    open->setObjectName(QStringLiteral("actOpen"));
    QObject::connect(open, &QAction::triggered, [uri] { QDesktopServices::openUrl(QUrl::fromEncoded(uri)); });

    QMenu* openWith = menu->addMenu(QObject::tr("Open With"));
    openWith->setObjectName(QStringLiteral("mnuOpenWith"));
    for (const OpenWithApp& app : ApplicationsForType(MimeTypeOf(path))) {
        QAction* action = openWith->addAction(QIcon::fromTheme(app.iconName), app.name);
        action->setData(app.id);
        QObject::connect(action, &QAction::triggered, [id = app.id, uri] { LaunchApplication(id, uri); });
    }
    openWith->setEnabled(!openWith->isEmpty());

    QAction* showInFolder = menu->addAction(language.GetText(QStringLiteral("3703009")));
    showInFolder->setObjectName(QStringLiteral("actShowInFolder"));
    QObject::connect(showInFolder, &QAction::triggered, [manager, path] {
        if (manager)
            manager->showItem(path);
    });
    menu->addSeparator();

    QAction* copy = menu->addAction(language.GetText(QStringLiteral("3703013")));
    copy->setObjectName(QStringLiteral("actCopy"));
    QObject::connect(copy, &QAction::triggered, [path] { platform::CopyFilesToClipboard({path}); });

    QAction* copyPath = menu->addAction(QObject::tr("Copy Path"));
    copyPath->setObjectName(QStringLiteral("actCopyPath"));
    QObject::connect(copyPath, &QAction::triggered, [path] {
        QGuiApplication::clipboard()->setText(QFile::decodeName(QByteArray::fromStdString(path)));
    });
    menu->addSeparator();

    QAction* trash =
        menu->addAction(QIcon::fromTheme(QStringLiteral("user-trash")), QObject::tr("Move to Trash"));
    trash->setObjectName(QStringLiteral("actMoveToTrash"));
    QPointer<QWidget> ownerGuard(owner);
    QObject::connect(trash, &QAction::triggered,
                     [ownerGuard, path, &language] { MoveToTrash(ownerGuard, path, language); });
    menu->addSeparator();

    QAction* properties = menu->addAction(QObject::tr("Properties"));
    properties->setObjectName(QStringLiteral("actProperties"));
    QObject::connect(properties, &QAction::triggered, [manager, path] {
        if (manager)
            manager->showItemProperties(path);
    });
    return menu;
}

bool ShowShellContextMenu(QWidget* owner, const std::string& path, const QPoint& globalPos,
                          platform::FileManager& fileManager, const config::TLanguage& language) {
    QMenu* menu = BuildShellContextMenu(owner, path, fileManager, language);
    if (!menu)
        return false;
    QAction* chosen = menu->exec(globalPos);
    menu->deleteLater();
    return chosen != nullptr;
}

} // namespace kestrel::views
