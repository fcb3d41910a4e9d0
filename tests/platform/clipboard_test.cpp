// The clipboard file list, read back by another process (xclip) while this one owns the clipboard.
#include "clipboard.h"
#include "temp_tree.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <QTest>

#include <string>
#include <vector>

namespace kestrel::platform {
namespace {

// What another program gets for a clipboard target; the event loop runs meanwhile so that this
// process can answer the request.
QByteArray readClipboard(const QString& target) {
    QProcess xclip;
    xclip.start("xclip", {"-o", "-selection", "clipboard", "-t", target});
    EXPECT_TRUE(QTest::qWaitFor([&] { return xclip.state() == QProcess::NotRunning; }, 10000))
        << "xclip hangs";
    EXPECT_EQ(xclip.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(xclip.exitCode(), 0) << xclip.readAllStandardError().toStdString();
    return xclip.readAllStandardOutput();
}

std::vector<std::string> decodedFileUris(const QByteArray& text, const QByteArray& separator) {
    std::vector<std::string> out;
    for (const QByteArray& line : text.split(separator.back())) {
        QByteArray uri = line;
        if (separator.size() == 2 && uri.endsWith(separator.front()))
            uri.chop(1);
        if (uri.isEmpty())
            continue;
        EXPECT_TRUE(uri.startsWith("file:///")) << uri.toStdString();
        const QByteArray bytes = QByteArray::fromPercentEncoding(uri.mid(7));
        out.emplace_back(bytes.constData(), static_cast<size_t>(bytes.size()));
    }
    return out;
}

TEST(Clipboard, FileManagersGetTheExactPathsBack) {
    kestrel::test::TempTree tree;
    const std::vector<std::string> paths = {tree.file("plain.txt"), tree.file("with blank & hash#.txt"),
                                            tree.file("caf\xc3\xa9.txt"), tree.file("bad\xff name.txt")};
    ASSERT_TRUE(CopyFilesToClipboard(paths));

    const QByteArray uriList = readClipboard("text/uri-list");
    EXPECT_EQ(decodedFileUris(uriList, "\r\n"), paths);
    EXPECT_TRUE(uriList.endsWith("\r\n"));
    // Only URI characters travel: blanks, the hash and every byte above 127 are escaped.
    EXPECT_TRUE(uriList.contains("with%20blank%20%26%20hash%23.txt")) << uriList.toStdString();
    EXPECT_TRUE(uriList.contains("bad%FF%20name.txt")) << uriList.toStdString();
    EXPECT_TRUE(uriList.contains("caf%C3%A9.txt")) << uriList.toStdString();

    const QByteArray gnome = readClipboard("x-special/gnome-copied-files");
    ASSERT_TRUE(gnome.startsWith("copy\n")) << gnome.toStdString();
    EXPECT_EQ(decodedFileUris(gnome.mid(5), "\n"), paths);

    const QString text = QString::fromUtf8(readClipboard("UTF8_STRING"));
    const QStringList lines = text.split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0].toStdString(), paths[0]);
    EXPECT_EQ(lines[2].toStdString(), paths[2]);
}

TEST(Clipboard, AnEmptyListLeavesTheClipboardAlone) {
    QGuiApplication::clipboard()->setText("kept");
    EXPECT_FALSE(CopyFilesToClipboard({}));
    EXPECT_EQ(readClipboard("UTF8_STRING"), "kept");
}

TEST(Clipboard, TheDataHoldsAllThreeFormatsInOrder) {
    auto data = FileListMimeData({"/b/2.txt", "/a/1.txt"});
    EXPECT_EQ(data->data("text/uri-list"), "file:///b/2.txt\r\nfile:///a/1.txt\r\n");
    EXPECT_EQ(data->data("x-special/gnome-copied-files"), "copy\nfile:///b/2.txt\nfile:///a/1.txt");
    EXPECT_EQ(data->text(), "/b/2.txt\n/a/1.txt");
    EXPECT_EQ(FileUriOf("/"), "file:///");
}

} // namespace
} // namespace kestrel::platform
