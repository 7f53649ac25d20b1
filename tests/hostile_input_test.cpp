// Bad input never crashes or hangs the reader: each case loads, or ends in
// the report the reader names for it.
#include <gtest/gtest.h>

#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support.h"

namespace tw {
namespace {

using test::Fixture;

TEST(HostileInput, BinaryAndNulBytesLoadAsCells) {
    std::mt19937 rng(7);
    std::string noise(1 << 20, '\0');
    for (char& c : noise) c = static_cast<char>(rng());
    Fixture f;
    f.fp.msg.answers.assign(1000, MsgResult::Ignore);
    f.Load(noise);
    EXPECT_GE(f.doc.NumRows, 1);
    // Every stored cell is a slice of the file without line endings.
    for (int c = 1; c <= f.doc.NumCols; ++c) {
        for (int r = 1; r <= f.doc.NumRows; ++r) {
            auto cell = f.doc.Cells(c, r);
            ASSERT_EQ(cell.find_first_of("\r\n"), std::string_view::npos);
        }
    }

    Fixture g;
    g.Load(std::string("%CO:A,4,0%a\0b\n\0\n", 16));
    EXPECT_EQ(g.doc.Cells(1, 1), std::string_view("a\0b", 3));
    EXPECT_EQ(g.doc.Cells(1, 2), std::string_view("\0", 1));
}

TEST(HostileInput, FiftyMegabyteLineWithoutLineEnd) {
    Fixture f;
    std::string big(50u << 20, 'x');
    f.Load("%CO:A,8,0%" + big);
    ASSERT_EQ(f.doc.NumRows, 1);
    EXPECT_EQ(f.doc.Cells(1, 1).size(), big.size());
}

TEST(HostileInput, ThousandsOfColumnDefinitionsStopAtTheLimit) {
    std::string defs;
    for (int i = 0; i < 5000; ++i) defs += "%CO:X,1,0%";
    Fixture f;
    f.Load(defs + "cell\n");
    EXPECT_EQ(f.doc.NumCols, 64);
    ASSERT_EQ(f.fp.msg.shown.size(), 1u);
    EXPECT_NE(f.fp.msg.shown[0].text.find("Increase maximum number of columns."), std::string::npos);
}

TEST(HostileInput, DefinitionsRepeatedOnOneLineAndDeepRests) {
    // "%CO:" rests that are themselves definitions, 100000 deep, on one line.
    std::string line;
    for (int i = 0; i < 100000; ++i) line += "%CO:";
    Fixture f;
    f.fp.msg.answers.assign(10, MsgResult::Abort);
    f.fp.msg.answers.push_back(MsgResult::No);
    f.Load(line + "\n");
    EXPECT_EQ(f.fp.msg.shown[0].text, "Error 5 'Invalid procedure call or argument' in ReadPipeDreamFile");
}

TEST(HostileInput, OnlyLineEndsAndOptionLikeNoise) {
    Fixture f;
    f.Load(std::string(200000, '\n'));
    EXPECT_EQ(f.doc.NumRows, 200000);

    Fixture g;
    g.Load(std::string(100000, '%') + "OP%" + std::string(1000, '@'));
    EXPECT_FALSE(g.doc.IsPipeDreamFile);
}

#if !defined(__SANITIZE_ADDRESS__)
// Runs `body` in a child process with its address space limited, and
// returns what the child wrote to its pipe.
std::string InLimitedChild(rlim_t bytes, const std::function<std::string()>& body) {
    int fds[2];
    if (pipe(fds) != 0) return "pipe failed";
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        rlimit lim{bytes, bytes};
        setrlimit(RLIMIT_AS, &lim);
        std::string out = body();
        ssize_t n = write(fds[1], out.data(), out.size());
        _exit(n < 0 ? 2 : 0);
    }
    close(fds[1]);
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return out;
}

TEST(HostileInput, OutOfMemoryWhileStoringCellsIsReported) {
    // 48 million empty cells need 192 MB of offsets; the file itself 48 MB.
    Fixture f;
    std::string path = f.dir.Write("many.pd", "%CO:Q,4,0%\n" + std::string(48u << 20, '\n'));
    std::string out = InLimitedChild(160u << 20, [&] {
        ReadPipeDreamFile(f.fp.sys, f.fp.window, f.doc, path);
        std::string texts;
        for (auto& t : f.fp.msg.Texts()) texts += t + "\n";
        return texts + "rows " + std::to_string(f.doc.NumRows) + " stored " + std::to_string(f.doc.Cells.RowsIn(1)) +
               "\n";
    });
    ASSERT_NE(out.find("Can't load cell Q"), std::string::npos) << out;
    EXPECT_NE(out.find(" in PipeDream file. Decrease maximum number of columns.\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("Error "), std::string::npos) << out;
}
#endif  // an address-space limit cannot be combined with the address sanitizer

}  // namespace
}  // namespace tw
