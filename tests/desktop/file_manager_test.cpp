// The file manager over the session bus (make check runs the tests inside dbus-run-session): a fake
// org.freedesktop.FileManager1 on a second bus connection of this process stands in for the desktop's
// file manager. It answers from this thread's event loop, so a blocking call would time out here:
// the tests also prove that the calls do not block.
#include <gtest/gtest.h>

#include "file_manager.h"
#include "wait_for.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <fstream>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel::platform {
namespace {

using test::WaitFor;

class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    struct Call {
        QString method;
        QStringList uris;
        QString startupId;
    };
    std::vector<Call> calls;

public slots:
    void ShowItems(const QStringList& uris, const QString& startupId) {
        calls.push_back({"ShowItems", uris, startupId});
    }
    void ShowItemProperties(const QStringList& uris, const QString& startupId) {
        calls.push_back({"ShowItemProperties", uris, startupId});
    }
};

// Receives what QDesktopServices would hand to the desktop.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    std::vector<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.push_back(url); }
};

const char kService[] = "org.freedesktop.FileManager1";

class FileManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected())
            << "needs a session bus: run under dbus-run-session (make check does)";
        QDesktopServices::setUrlHandler("file", &catcher, "open");
        QObject::connect(&manager, &FileManager::done,
                         [this](FileManager::Outcome o) { outcomes.push_back(o); });
        ASSERT_TRUE(tree.isValid());
        // A real file whose name, and its folder's, has a blank and a byte that is not UTF-8.
        folder = QFile::encodeName(tree.path()).toStdString() + "/two words \xfe";
        path = folder + "/caf\xe9 \xff.txt";
        ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
        std::ofstream(path) << "x";
    }
    void TearDown() override {
        // QTemporaryDir cannot remove a name that is not UTF-8: it goes by its bytes.
        ::unlink(path.c_str());
        ::rmdir(folder.c_str());
        QDesktopServices::unsetUrlHandler("file");
        if (fake) {
            bus->unregisterObject("/org/freedesktop/FileManager1");
            bus->unregisterService(kService);
            QDBusConnection::disconnectFromBus("fake-file-manager");
        }
    }
    void registerFake() {
        bus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-file-manager"));
        fake = std::make_unique<FakeFileManager>();
        ASSERT_TRUE(bus->registerObject("/org/freedesktop/FileManager1", fake.get(),
                                        QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(bus->registerService(kService));
    }

    static QByteArray bytesOfUri(const QString& uri) {
        const QByteArray encoded = uri.toLatin1();
        EXPECT_TRUE(encoded.startsWith("file://")) << encoded.toStdString();
        return QByteArray::fromPercentEncoding(encoded.mid(7));
    }

    FileManager manager;
    UrlCatcher catcher;
    std::vector<FileManager::Outcome> outcomes;
    QTemporaryDir tree;
    std::string folder, path;
    std::unique_ptr<QDBusConnection> bus;
    std::unique_ptr<FakeFileManager> fake;
};

TEST_F(FileManagerTest, ShowItemsCarriesTheExactBytes) {
    registerFake();
    manager.showItem(path);
    ASSERT_TRUE(WaitFor([&] { return !outcomes.empty(); }, 10000));
    EXPECT_EQ(outcomes, std::vector{FileManager::Outcome::Shown});
    ASSERT_EQ(fake->calls.size(), 1u);
    const auto& call = fake->calls[0];
    EXPECT_EQ(call.method, "ShowItems");
    ASSERT_EQ(call.uris.size(), 1);
    EXPECT_EQ(bytesOfUri(call.uris[0]).toStdString(), path);
    EXPECT_TRUE(call.uris[0].contains("two%20words%20%FE/caf%E9%20%FF.txt")) << call.uris[0].toStdString();
    EXPECT_TRUE(catcher.opened.empty());
}

TEST_F(FileManagerTest, ShowItemPropertiesCarriesTheExactBytes) {
    registerFake();
    manager.showItemProperties(path);
    ASSERT_TRUE(WaitFor([&] { return !outcomes.empty(); }, 10000));
    EXPECT_EQ(outcomes, std::vector{FileManager::Outcome::Shown});
    ASSERT_EQ(fake->calls.size(), 1u);
    EXPECT_EQ(fake->calls[0].method, "ShowItemProperties");
    ASSERT_EQ(fake->calls[0].uris.size(), 1);
    EXPECT_EQ(bytesOfUri(fake->calls[0].uris[0]).toStdString(), path);
}

TEST_F(FileManagerTest, WithoutTheServiceTheFolderOpens) {
    ASSERT_FALSE(QDBusConnection::sessionBus().interface()->isServiceRegistered(kService).value());
    manager.showItem(path);
    ASSERT_TRUE(WaitFor([&] { return !outcomes.empty(); }, 10000));
    EXPECT_EQ(outcomes, std::vector{FileManager::Outcome::FolderOpened});
    ASSERT_EQ(catcher.opened.size(), 1u);
    EXPECT_TRUE(catcher.opened[0].isLocalFile());
    EXPECT_EQ(
        QByteArray::fromPercentEncoding(catcher.opened[0].toEncoded(QUrl::RemoveScheme).mid(2)).toStdString(),
        folder);
}

TEST_F(FileManagerTest, WithoutTheServicePropertiesFail) {
    manager.showItemProperties(path);
    ASSERT_TRUE(WaitFor([&] { return !outcomes.empty(); }, 10000));
    EXPECT_EQ(outcomes, std::vector{FileManager::Outcome::Failed});
    EXPECT_TRUE(catcher.opened.empty());
}

TEST(FileManagerUri, MatchesQUrlForUtf8AndKeepsOtherBytes) {
    const std::string utf8 = "/home/ann/Pläne & Notizen/100% (neu).txt";
    EXPECT_EQ(FileManagerUri(utf8), QUrl::fromLocalFile(QString::fromStdString(utf8)).toEncoded());
    EXPECT_EQ(QByteArray::fromPercentEncoding(FileManagerUri(utf8).mid(7)).toStdString(), utf8);

    const std::string raw = "/data/a b\xff\xc3/\x80#?%.txt";
    const QByteArray uri = FileManagerUri(raw);
    EXPECT_TRUE(uri.startsWith("file:///data/a%20b%FF%C3/%80%23%3F%25.txt")) << uri.toStdString();
    EXPECT_EQ(QByteArray::fromPercentEncoding(uri.mid(7)).toStdString(), raw);
    EXPECT_TRUE(QUrl::fromEncoded(uri, QUrl::StrictMode).isValid());
}

} // namespace
} // namespace kestrel::platform

#include "file_manager_test.moc"
