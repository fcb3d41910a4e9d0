// The program's icon table: MIME type by name only, one entry per type, the open folder, the fallback.
#include "file_icons.h"
#include "temp_tree.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kestrel::platform {
namespace {

TEST(FileIcons, FilesGetTheIconOfTheirTypeByNameAloneOncePerType) {
    // None of these paths exists: nothing is read from disk.
    const int32_t text = FileIconIndex("/nowhere/notes.txt", false);
    const int32_t count = FileIconCount();
    EXPECT_EQ(FileIconIndex("/b/TWO.TXT", false), text);
    EXPECT_EQ(FileIconIndex("three.txt", false), text);
    EXPECT_EQ(FileIconCount(), count);
    const int32_t picture = FileIconIndex("/nowhere/photo.png", false);
    EXPECT_NE(picture, text);
    EXPECT_EQ(FileIconCount(), count + 1);
    EXPECT_EQ(FileIconAt(text).name(), "text-x-generic");
    EXPECT_EQ(FileIconAt(picture).name(), "image-x-generic");
    EXPECT_FALSE(FileIconAt(picture).pixmap(16, 16).isNull());
}

TEST(FileIcons, ContentsAreNeverSniffed) {
    kestrel::test::TempTree tree;
    const std::string fake = tree.file("fake.png");
    std::ofstream(fake) << "plain text, not a picture";
    const std::string hidden = tree.file("picture");
    std::ofstream(hidden, std::ios::binary) << "\x89PNG\r\n\x1a\n";
    EXPECT_EQ(FileIconIndex(QString::fromStdString(fake), false), FileIconIndex("/x/other.png", false));
    EXPECT_EQ(FileIconAt(FileIconIndex(QString::fromStdString(hidden), false)).name(),
              "application-x-generic");
}

TEST(FileIcons, FoldersRecordsAndUnknownIndexes) {
    EXPECT_EQ(FileIconIndex("/home/ann/photos.png", true), kFolderIconIndex);
    EXPECT_EQ(FileIconAt(kFolderIconIndex).name(), "folder-open");

    TItemFileData record{};
    record.Folder = u"/data/";
    record.Name = u"caf\xdce9.txt"; // not UTF-8: the odd byte is a lone surrogate
    EXPECT_EQ(FileIconIndex(&record), FileIconIndex("/data/list.txt", false));
    record.IsFolder = 1;
    EXPECT_EQ(FileIconIndex(&record), kFolderIconIndex);
    record.Name = nullptr;
    EXPECT_EQ(FileIconIndex(&record), kGenericIconIndex);
    EXPECT_EQ(FileIconIndex(nullptr), kGenericIconIndex);

    EXPECT_FALSE(FileIconAt(kGenericIconIndex).isNull());
    EXPECT_EQ(FileIconAt(-1).name(), FileIconAt(kGenericIconIndex).name());
    EXPECT_EQ(FileIconAt(FileIconCount()).name(), FileIconAt(kGenericIconIndex).name());
}

} // namespace
} // namespace kestrel::platform
