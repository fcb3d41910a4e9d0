// The update check end to end against a real HTTP server on 127.0.0.1 (Python's http.server over a
// temporary folder, one subfolder per case holding its redirect.php), with the answer file in a real
// temporary folder and the offer observed through the check's offer hook or, for the default offer,
// through the real message box.
#include "checkupdate.h"
#include "dialogs_test_support.h"
#include "wait_for.h"

#include "UnitLanguageRegConfig.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

namespace kestrel::dialogs {
namespace {

using test::WaitFor;

constexpr char kOwnVersion[] = KESTREL_TEST_FILE_VERSION;

void WriteBytes(const std::string& path, const QByteArray& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary).write(bytes.constData(), bytes.size());
}

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// python3 -m http.server on a free port of 127.0.0.1, serving root; its request log is kept.
class LocalHttpServer {
public:
    explicit LocalHttpServer(const std::string& root) {
        m_process.setProgram(QStandardPaths::findExecutable(QStringLiteral("python3")));
        m_process.setArguments({QStringLiteral("-u"), QStringLiteral("-m"), QStringLiteral("http.server"),
                                QStringLiteral("0"), QStringLiteral("--bind"), QStringLiteral("127.0.0.1"),
                                QStringLiteral("--directory"), QString::fromStdString(root)});
        m_process.start();
        const QRegularExpression portLine(QStringLiteral("port (\\d+)"));
        WaitFor(
            [&] {
                m_out += m_process.readAllStandardOutput();
                const QRegularExpressionMatch match = portLine.match(QString::fromUtf8(m_out));
                if (match.hasMatch())
                    m_port = match.captured(1).toInt();
                return m_port != 0 || m_process.state() == QProcess::NotRunning;
            },
            10000);
    }
    ~LocalHttpServer() {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(3000);
    }
    int port() const { return m_port; }
    QString address(const QString& folder) const {
        return QStringLiteral("http://127.0.0.1:%1/%2/").arg(m_port).arg(folder);
    }
    // The request lines logged so far.
    QString log() {
        m_log += m_process.readAllStandardError();
        return QString::fromUtf8(m_log);
    }

private:
    QProcess m_process;
    QByteArray m_out;
    QByteArray m_log;
    int m_port = 0;
};

class CheckUpdateTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_root = new std::string(test::TestBase() + "/site");
        std::filesystem::create_directories(*s_root);
        s_server = new LocalHttpServer(*s_root);
    }
    static void TearDownTestSuite() {
        delete s_server;
        delete s_root;
        s_server = nullptr;
        s_root = nullptr;
    }

    void SetUp() override {
        ASSERT_NE(s_server->port(), 0) << "the local HTTP server did not start";
        m_temp =
            test::TestBase() + "/temp-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::create_directories(m_temp);
        ::setenv("TEMP", m_temp.c_str(), 1);
    }

    // Serves answer as folder/redirect.php.
    void Serve(const QString& folder, const QByteArray& answer) {
        WriteBytes(*s_root + "/" + folder.toStdString() + "/redirect.php", answer);
    }

    // Runs one check against the site folder's address and waits for its end.
    struct Result {
        std::optional<TUpdateOutcome> outcome;
        std::vector<TUpdateAnswer> offers;
    };
    Result Check(const QString& site, int timeoutMs = 10000) {
        ::setenv(kSiteAddressVariable, site.toUtf8().constData(), 1);
        auto result = std::make_shared<Result>();
        TCheckUpdate::TOptions options;
        options.TimeoutMs = timeoutMs;
        options.Offer = [result](const TUpdateAnswer& answer) { result->offers.push_back(answer); };
        TCheckUpdate* check = TCheckUpdate::Start(std::move(options));
        QObject::connect(
            check, &TCheckUpdate::Checked, check,
            [result](TUpdateOutcome outcome, const TUpdateAnswer&) { result->outcome = outcome; });
        EXPECT_TRUE(WaitFor([&] { return result->outcome.has_value(); }, 20000));
        // The offer follows Checked in the same turn of the event loop.
        QCoreApplication::processEvents();
        return *result;
    }

    QString AnswerFile() const { return TCheckUpdate::AnswerFile(QString::fromStdString(m_temp) + "/"); }
    QByteArray NewerAnswer() const {
        return "[Version]\r\nVersion=9.9.9.9\r\nUpdateUrl=https://brindleco.example/download/\r\n";
    }

    static std::string* s_root;
    static LocalHttpServer* s_server;
    std::string m_temp;
};

std::string* CheckUpdateTest::s_root = nullptr;
LocalHttpServer* CheckUpdateTest::s_server = nullptr;

TEST_F(CheckUpdateTest, ANewerVersionIsOfferedAndTheAnswerKept) {
    Serve("newer", NewerAnswer());
    const Result result = Check(s_server->address("newer"));
    ASSERT_EQ(result.outcome, TUpdateOutcome::Offered);
    ASSERT_EQ(result.offers.size(), 1u);
    EXPECT_EQ(result.offers[0].Version, "9.9.9.9");
    EXPECT_EQ(result.offers[0].UpdateUrl, "https://brindleco.example/download/");
    EXPECT_EQ(ReadBytes(AnswerFile()), NewerAnswer());
    // The request carried this program's own file version.
    const QString request =
        QStringLiteral("GET /newer/redirect.php?pid=7&a=update&v=%1 ").arg(QString::fromLatin1(kOwnVersion));
    EXPECT_TRUE(WaitFor([&] { return s_server->log().contains(request); }, 5000))
        << s_server->log().toStdString();
}

TEST_F(CheckUpdateTest, TheSameVersionInAnyCaseOrAnOlderOneIsSilent) {
    Serve("same", "[Version]\nVersion=" + QByteArray(kOwnVersion) + "\nUpdateUrl=https://x.example/\n");
    Serve("older", "[Version]\nVersion=0.0.0.1\nUpdateUrl=https://x.example/\n");
    Serve("noversion", "[Version]\nUpdateUrl=https://x.example/\n");
    for (const char* folder : {"same", "older", "noversion"}) {
        const Result result = Check(s_server->address(QString::fromLatin1(folder)));
        EXPECT_EQ(result.outcome, TUpdateOutcome::NoNewerVersion) << folder;
        EXPECT_TRUE(result.offers.empty()) << folder;
        EXPECT_TRUE(QFile::exists(AnswerFile())) << folder;
    }
}

TEST_F(CheckUpdateTest, ABrokenAnswerIsSilent) {
    QByteArray junk;
    for (int i = 0; i < 3000; ++i)
        junk += char((i * 7919) % 256);
    Serve("junk", junk);
    Serve("html", "<html><body>[Version] Version=9.9.9.9</body></html>");
    for (const char* folder : {"junk", "html"}) {
        const Result result = Check(s_server->address(QString::fromLatin1(folder)));
        EXPECT_EQ(result.outcome, TUpdateOutcome::NoNewerVersion) << folder;
        EXPECT_TRUE(result.offers.empty()) << folder;
    }
}

TEST_F(CheckUpdateTest, AMissingPageIsSilentAndWritesNothing) {
    const Result result = Check(s_server->address(QStringLiteral("nothing-here")));
    EXPECT_EQ(result.outcome, TUpdateOutcome::DownloadFailed);
    EXPECT_TRUE(result.offers.empty());
    EXPECT_FALSE(QFile::exists(AnswerFile()));
}

TEST_F(CheckUpdateTest, AServerThatIsDownIsSilent) {
    // A port that was free a moment ago: the connection is refused.
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    const Result result = Check(QStringLiteral("http://127.0.0.1:%1/").arg(port));
    EXPECT_EQ(result.outcome, TUpdateOutcome::DownloadFailed);
    EXPECT_TRUE(result.offers.empty());
    EXPECT_FALSE(QFile::exists(AnswerFile()));
}

TEST_F(CheckUpdateTest, AServerThatNeverAnswersTimesOutQuietly) {
    QTcpServer silent; // accepts and says nothing
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    QElapsedTimer clock;
    clock.start();
    const Result result = Check(QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort()), 500);
    EXPECT_EQ(result.outcome, TUpdateOutcome::DownloadFailed);
    EXPECT_TRUE(result.offers.empty());
    EXPECT_GE(clock.elapsed(), 400);
    EXPECT_LT(clock.elapsed(), 10000);
}

TEST_F(CheckUpdateTest, ALongAnswerIsCutAfterElevenKilobytes) {
    QByteArray answer = "[Version]\nVersion=9.9.9.9\nUpdateUrl=https://x.example/long\n";
    answer += QByteArray(64 * 1024, ';');
    Serve("long", answer);
    const Result result = Check(s_server->address(QStringLiteral("long")));
    EXPECT_EQ(result.outcome, TUpdateOutcome::Offered);
    EXPECT_EQ(ReadBytes(AnswerFile()), answer.left(11 * 1024));
}

TEST_F(CheckUpdateTest, AnAnswerFileThatCannotBeWrittenEndsTheCheckQuietly) {
    // TEMP names a plain file: nothing can be created inside it, even by root.
    const std::string notAFolder = m_temp + "/plain-file";
    WriteBytes(notAFolder, "x");
    ::setenv("TEMP", notAFolder.c_str(), 1);
    Serve("newer", NewerAnswer());
    const Result result = Check(s_server->address(QStringLiteral("newer")));
    EXPECT_EQ(result.outcome, TUpdateOutcome::WriteFailed);
    EXPECT_TRUE(result.offers.empty());
    EXPECT_EQ(ReadBytes(QString::fromStdString(notAFolder)), "x");
}

TEST_F(CheckUpdateTest, ALinkInPlaceOfTheAnswerFileIsReplacedNotFollowed) {
    const std::string victim = m_temp + "/victim.txt";
    WriteBytes(victim, "keep me");
    std::filesystem::create_symlink(victim, AnswerFile().toStdString());
    Serve("newer", NewerAnswer());
    const Result result = Check(s_server->address(QStringLiteral("newer")));
    EXPECT_EQ(result.outcome, TUpdateOutcome::Offered);
    EXPECT_EQ(ReadBytes(QString::fromStdString(victim)), "keep me");
    EXPECT_FALSE(std::filesystem::is_symlink(AnswerFile().toStdString()));
    EXPECT_EQ(ReadBytes(AnswerFile()), NewerAnswer());
    // Only the answer and the victim: no temporary file is left behind.
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(m_temp), std::filesystem::directory_iterator()), 2);
}

TEST_F(CheckUpdateTest, SeveralChecksAtOnceEachOfferOnce) {
    Serve("newer", NewerAnswer());
    ::setenv(kSiteAddressVariable, s_server->address(QStringLiteral("newer")).toUtf8().constData(), 1);
    int offers = 0;
    int ended = 0;
    for (int i = 0; i < 3; ++i) {
        TCheckUpdate::TOptions options;
        options.Offer = [&offers](const TUpdateAnswer&) { ++offers; };
        TCheckUpdate* check = TCheckUpdate::Start(std::move(options));
        QObject::connect(check, &TCheckUpdate::Checked, check, [&ended](TUpdateOutcome outcome) {
            EXPECT_EQ(outcome, TUpdateOutcome::Offered);
            ++ended;
        });
    }
    EXPECT_TRUE(WaitFor([&] { return ended == 3 && offers == 3; }, 20000));
    EXPECT_EQ(ReadBytes(AnswerFile()), NewerAnswer());
}

TEST_F(CheckUpdateTest, AnInterruptedCheckEndsAtOnce) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    ::setenv(kSiteAddressVariable, QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort()).toUtf8(),
             1);
    std::optional<TUpdateOutcome> outcome;
    TCheckUpdate::TOptions options;
    options.TimeoutMs = 60000;
    options.Offer = [](const TUpdateAnswer&) { ADD_FAILURE() << "no offer expected"; };
    TCheckUpdate* check = TCheckUpdate::Start(std::move(options));
    QObject::connect(check, &TCheckUpdate::Checked, check, [&outcome](TUpdateOutcome o) { outcome = o; });
    // The check has connected and waits for an answer that never comes.
    ASSERT_TRUE(WaitFor([&] { return silent.hasPendingConnections(); }));
    QElapsedTimer clock;
    clock.start();
    check->requestInterruption();
    EXPECT_TRUE(check->wait(5000));
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_TRUE(WaitFor([&] { return outcome.has_value(); }));
    EXPECT_EQ(outcome, TUpdateOutcome::DownloadFailed);
}

// The default offer: the real message box with the catalogue's texts; OK opens the download page,
// Cancel opens nothing.
TEST_F(CheckUpdateTest, TheDefaultOfferAsksAndOpensTheDownloadPageOnOk) {
    Serve("newer", NewerAnswer());
    ::setenv(kSiteAddressVariable, s_server->address(QStringLiteral("newer")).toUtf8().constData(), 1);
    test::UrlRecorder recorder;
    const config::TLanguage& language = test::Language();

    for (const QMessageBox::StandardButton press : {QMessageBox::Cancel, QMessageBox::Ok}) {
        QString caption;
        QString text;
        bool pressed = false;
        QTimer answerer;
        QObject::connect(&answerer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || pressed)
                return;
            caption = box->windowTitle();
            text = box->text();
            EXPECT_EQ(box->icon(), QMessageBox::Information);
            EXPECT_EQ(box->standardButtons(), QMessageBox::Ok | QMessageBox::Cancel);
            pressed = true;
            box->button(press)->click();
        });
        answerer.start(20);
        TCheckUpdate::Start(language);
        ASSERT_TRUE(WaitFor([&] { return pressed; }, 20000));
        EXPECT_EQ(caption, language.GetText(QStringLiteral("3706003")));
        EXPECT_EQ(text, language.GetText(QStringLiteral("3706002"), QStringLiteral("Kestrel Find"),
                                         QStringLiteral("9.9.9.9")));
        EXPECT_TRUE(text.contains(QStringLiteral("9.9.9.9")));
        WaitFor([] { return QApplication::activeModalWidget() == nullptr; }, 5000);
    }
    ASSERT_EQ(recorder.opened.size(), 1u); // only the OK
    EXPECT_EQ(recorder.opened[0], QUrl(QStringLiteral("https://brindleco.example/download/")));
}

} // namespace
} // namespace kestrel::dialogs
