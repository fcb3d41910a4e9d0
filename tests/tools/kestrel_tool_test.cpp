// The command-line tool as a user runs it: a real process over a real tree.
#include "temp_tree.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

using kestrel::test::TempTree;

struct Outcome {
    int status = -1;
    std::string out;
};

Outcome kestrel(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::string program = KESTREL_BINARY;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (auto& a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (::pipe(out) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    pid_t pid;
    Outcome r;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        return r;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        r.out.append(buffer, static_cast<size_t>(n));
    ::close(out[0]);
    ::waitpid(pid, &r.status, 0);
    r.status = WIFEXITED(r.status) ? WEXITSTATUS(r.status) : -1;
    return r;
}

class KestrelTool : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("KESTRELFIND_ROOTS", tree.root().c_str(), 1);
        ::setenv("XDG_CACHE_HOME", cache.root().c_str(), 1);
        tree.file("Projects/annual report.odt");
        tree.file("Projects/report-2024.txt");
        tree.file("Projects/src/report.c");
        tree.file("misc/new\nline report");
        tree.file("misc/bad\xff"
                  "report");
    }
    TempTree tree;
    TempTree cache;
};

TEST_F(KestrelTool, PrintsWhatTheSearchBoxWouldList) {
    Outcome r = kestrel({"report"});
    EXPECT_EQ(r.status, 0);
    // Best matches first: the name beginning with the word, then a word inside the name.
    EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), tree.path("Projects/report-2024.txt") + "\n");
    EXPECT_EQ(kestrel({"-c", "report"}).out, "5\n");
    EXPECT_EQ(kestrel({"-c", "annual", "report"}).out, "1\n");
    EXPECT_EQ(kestrel({"-c", "*.txt|*.c"}).out, "2\n");
    // A text with "/" matches full paths; -p does so for any text.
    EXPECT_EQ(kestrel({"projects/src"}).out,
              tree.path("Projects/src") + "\n" + tree.path("Projects/src/report.c") + "\n");
    EXPECT_EQ(kestrel({"-c", "-p", "misc"}).out, "3\n");
    EXPECT_EQ(kestrel({"nothing-like-this"}).status, 1);
}

TEST_F(KestrelTool, NulEndsKeepOddNamesWhole) {
    Outcome r = kestrel({"-0", "*line*|bad*"});
    EXPECT_EQ(r.out, tree.path("misc/bad\xff"
                               "report") +
                         std::string(1, '\0') + tree.path("misc/new\nline report") + std::string(1, '\0'));
}

TEST_F(KestrelTool, UsesTheSavedIndexUntilAskedToRescan) {
    EXPECT_EQ(kestrel({"-c", "*"}).out, "8\n");
    tree.file("late.txt");
    EXPECT_EQ(kestrel({"-c", "*"}).out, "8\n");
    EXPECT_EQ(kestrel({"--rescan", "-c", "*"}).out, "9\n");
    EXPECT_EQ(kestrel({"-c", "*"}).out, "9\n");
    EXPECT_EQ(kestrel({"--bogus"}).status, 2);
}

} // namespace
