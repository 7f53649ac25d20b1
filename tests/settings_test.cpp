#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/fake/recording_canvas.h"
#include "platform/install_place.h"
#include "settings/ini.h"
#include "settings/settings.h"
#include "support.h"

namespace tw {
namespace {

using test::ReadFile;
using test::TempDir;

TEST(Ini, ReadsWithPrivateProfileSemantics) {
    TempDir d;
    std::string path = d.Write("a.ini",
                               "; comment\n[Other]\nKey=other\n[quillon]\n  key = spaced  \nQuoted=\"a b\"\n"
                               "Long=" +
                                   std::string(300, 'x') + "\nEmpty=\n");
    EXPECT_EQ(GetPrivateProfileString("Quillon", "KEY", "d", path), "spaced");
    EXPECT_EQ(GetPrivateProfileString("QUILLON", "quoted", "d", path), "a b");
    EXPECT_EQ(GetPrivateProfileString("Quillon", "Long", "d", path), std::string(254, 'x'));
    EXPECT_EQ(GetPrivateProfileString("Quillon", "Empty", "d", path), "");
    EXPECT_EQ(GetPrivateProfileString("Quillon", "Missing", "d", path), "d");
    EXPECT_EQ(GetPrivateProfileString("Nope", "Key", "d", path), "d");
    EXPECT_EQ(GetPrivateProfileString("Quillon", "Key", "d", d / "missing.ini"), "d");
}

TEST(Ini, WritesKeepEveryOtherLine) {
    TempDir d;
    const struct {
        const char* name;
        std::string before;
        std::string key, value;
        std::string after;
    } cases[] = {
        {"new file", "", "Left", "10", "[Quillon]\nLeft=10\n"},
        {"replaced in place", "[Quillon]\nTop=1\nleft=5\nWidth=3\n", "Left", "10",
         "[Quillon]\nTop=1\nLeft=10\nWidth=3\n"},
        {"added at the end of its section", "[Quillon]\nTop=1\n\n[Other]\nx=y\n", "Left", "10",
         "[Quillon]\nTop=1\nLeft=10\n\n[Other]\nx=y\n"},
        {"section added", "; mine\n[Other]\nx=y", "Left", "10", "; mine\n[Other]\nx=y\n[Quillon]\nLeft=10\n"},
        {"CR LF kept", "[Quillon]\r\nTop=1\r\n", "Left", "10", "[Quillon]\r\nTop=1\r\nLeft=10\r\n"},
        {"same key in another section untouched", "[Other]\nLeft=1\n[Quillon]\n", "Left", "2",
         "[Other]\nLeft=1\n[Quillon]\nLeft=2\n"},
    };
    for (const auto& c : cases) {
        std::string path = d / "t.ini";
        std::filesystem::remove(path);
        if (!c.before.empty()) d.Write("t.ini", c.before);
        EXPECT_TRUE(WritePrivateProfileString("Quillon", c.key, c.value, path)) << c.name;
        EXPECT_EQ(ReadFile(path), c.after) << c.name;
    }
    EXPECT_FALSE(WritePrivateProfileString("Quillon", "k", "v", d / "no-folder/t.ini"));
}

TEST(Ini, AValueWithALineEndIsNeverWritten) {
    TempDir d;
    const std::string before = "[Quillon]\nFile1=/a.pd\n";
    const struct {
        std::string section, key, value;
    } cases[] = {
        {"Quillon", "File1", "/x\n[Quillon]\nFile1=/evil.pd"},
        {"Quillon", "File1", "/x\r.pd"},
        {"Quillon", "File1", "\n"},
        {"Quillon", "File\n1", "/x.pd"},
        {"Quil\rlon", "File1", "/x.pd"},
    };
    for (const auto& c : cases) {
        std::string path = d.Write("t.ini", before);
        EXPECT_FALSE(WritePrivateProfileString(c.section, c.key, c.value, path)) << c.value;
        EXPECT_EQ(ReadFile(path), before) << c.value;
    }
}

TEST(Ini, AnInterruptedWriteLeavesTheOldFileWhole) {
    TempDir d;
    std::string old = "[Quillon]\nKeep=" + std::string(2000, 'k') + "\n";
    std::string path = d.Write("Quillon.ini", old);
    pid_t pid = fork();
    if (pid == 0) {
        // The new file cannot be written past 100 bytes.
        signal(SIGXFSZ, SIG_IGN);
        rlimit lim{100, 100};
        setrlimit(RLIMIT_FSIZE, &lim);
        _exit(WritePrivateProfileString("Quillon", "New", "value", path) ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(ReadFile(path), old);
    std::vector<std::string> left;
    for (auto& e : std::filesystem::directory_iterator(d.path())) left.push_back(e.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{"Quillon.ini"});  // no temporary file left behind
}

struct Settings {
    TempDir dir;
    fake::FakePlatform fp;
    fake::FakeRecentMenu recent;
    fake::RecordingCanvas surface;
    DocumentModel doc;
    std::string CrLf;
    WindowPlacement place;
    SettingsTarget target{fp.sys, doc, CrLf, place, recent, surface, ScreenMetrics{28800, 16200, 15, 15}};
    Settings() {
        fp.process.program_folder = dir.path();
        fp.process.current_folder = "/start";
    }
    void Ini(const std::string& text) { dir.Write("Quillon.ini", "[Quillon]\n" + text); }
};

TEST(ReadIniFile, WithoutAFileEverythingHasItsDefault) {
    Settings s;
    s.doc.MaxNumCols = 5;
    ReadIniFile(s.target);
    EXPECT_EQ(s.place.WinState, 0);
    EXPECT_EQ(s.place.WinWidth, 9600);
    EXPECT_EQ(s.place.WinHeight, 6120);
    EXPECT_EQ(s.place.WinLeft, (28800 - 9600) / 2);
    EXPECT_EQ(s.place.WinTop, (16200 - 7200) / 2);
    EXPECT_EQ(s.doc.MaxNumCols, 64);
    EXPECT_EQ(s.CrLf, "\r\n");
    for (bool v : s.recent.visible) EXPECT_FALSE(v);
    EXPECT_TRUE(s.fp.process.folder_changes.empty());
    EXPECT_EQ(s.surface.FontName(), "Courier New");
    EXPECT_FLOAT_EQ(s.surface.FontSize(), 9);
    EXPECT_TRUE(s.fp.msg.shown.empty());
}

TEST(ReadIniFile, ValuesFromTheFile) {
    Settings s;
    s.Ini(
        "WindowState=2\nLeft=100\nTop=200.5\nWidth=7000\nHeight=5000\nFile2=/docs/a.pd\n"
        "InitDir=" +
        s.dir.path() + "/\nFontName=Arial\nFontSize=10.5\nMaxNumCols=10\n");
    ReadIniFile(s.target);
    EXPECT_EQ(s.place.WinState, 2);
    EXPECT_EQ(s.place.WinLeft, 100);
    EXPECT_EQ(s.place.WinTop, 200);
    EXPECT_EQ(s.place.WinWidth, 7000);
    EXPECT_EQ(s.place.WinHeight, 5000);
    EXPECT_TRUE(s.recent.visible[0]);
    EXPECT_FALSE(s.recent.visible[1]);
    EXPECT_TRUE(s.recent.visible[2]);
    EXPECT_EQ(s.recent.captions[2], "&2 /docs/a.pd");
    EXPECT_EQ(s.recent.captions[1], "&1");
    EXPECT_EQ(s.fp.process.folder_changes, std::vector<std::string>{s.dir.path()});
    EXPECT_EQ(s.surface.FontName(), "Arial");
    EXPECT_FLOAT_EQ(s.surface.FontSize(), 10.5);
    EXPECT_EQ(s.doc.MaxNumCols, 64);
    EXPECT_TRUE(s.fp.msg.shown.empty());
}

TEST(ReadIniFile, EmptyAndUnusableValuesChangeNothingSilently) {
    for (const char* text : {"InitDir=\nFontName=\nFontSize=0\n", "FontSize=abc\n", "FontSize=-3\nInitDir=x\n"}) {
        Settings s;
        s.Ini(text);
        ReadIniFile(s.target);
        EXPECT_TRUE(s.fp.process.folder_changes.empty()) << text;
        EXPECT_EQ(s.surface.FontName(), "Courier New") << text;
        EXPECT_FLOAT_EQ(s.surface.FontSize(), 9) << text;
        EXPECT_TRUE(s.fp.msg.shown.empty()) << text;
    }
}

TEST(ReadIniFile, AFolderThatIsGoneIsReported) {
    Settings s;
    s.Ini("InitDir=/no/such/folder/\n");
    s.fp.msg.answers = {MsgResult::Ignore};
    ReadIniFile(s.target);
    EXPECT_EQ(s.fp.msg.Texts(), std::vector<std::string>{"Error 76 'Path not found' in ReadIniFile"});
}

TEST(ReadIniFile, AnOutOfRangeNumberIsAnOverflowAndIgnoreGoesOn) {
    Settings s;
    s.Ini("Left=40000\nTop=300\n");
    s.fp.msg.answers = {MsgResult::Ignore};
    ReadIniFile(s.target);
    EXPECT_EQ(s.fp.msg.Texts(), std::vector<std::string>{"Error 6 'Overflow' in ReadIniFile"});
    EXPECT_EQ(s.place.WinLeft, 0);  // unchanged
    EXPECT_EQ(s.place.WinTop, 300);
}

TEST(WriteIniFile, ReadOnlyFileShowsTheMessageOncePerKey) {
    Settings s;
    s.Ini("Left=1\n");
    ::chmod((s.dir / "Quillon.ini").c_str(), 0444);
    WriteIniFile(s.fp.sys, "Left", "2");
    WriteIniFile(s.fp.sys, "Top", "3");
    ASSERT_EQ(s.fp.msg.Texts(), (std::vector<std::string>{kIniWriteFailed, kIniWriteFailed}));
    EXPECT_EQ(s.fp.msg.shown[0].icon, MsgIcon::None);
    EXPECT_EQ(ReadFile(s.dir / "Quillon.ini"), "[Quillon]\nLeft=1\n");
}

TEST(WriteIniFile, StoresTheKeyForTheNextRead) {
    Settings s;
    WriteIniFile(s.fp.sys, "FontName", "Courier New");
    EXPECT_EQ(ReadIniValue(s.fp.process, "fontname"), "Courier New");
    EXPECT_TRUE(s.fp.msg.shown.empty());
}

// A copy in a folder of the user's own keeps its settings beside it; an
// installed one, even run as root (who owns and may write /usr/bin), and
// one in someone else's folder keep them in the user's configuration.
TEST(SettingsFolder, BesideTheProgramOnlyInAFolderOfTheUsersOwn) {
    const struct {
        const char* folder;
        bool owned, writable;
        const char* config_home;
        const char* home;
        const char* expected;
    } cases[] = {
        {"/home/ann/tarnwick/build", true, true, "", "/home/ann", "/home/ann/tarnwick/build"},
        {"/home/ann/tarnwick/build", true, false, "", "/home/ann", "/home/ann/.config/tarnwick"},
        {"/srv/shared/build", false, true, "", "/home/ann", "/home/ann/.config/tarnwick"},
        {"/usr/bin", true, true, "", "/root", "/root/.config/tarnwick"},
        {"/usr/local/bin", true, true, "/root/cfg", "/root", "/root/cfg/tarnwick"},
        {"/opt/tarnwick/bin", true, true, "", "/root", "/root/.config/tarnwick"},
        {"/usr/bin", false, false, "/home/ann/.cfg", "/home/ann", "/home/ann/.cfg/tarnwick"},
        {"/usr/bin", false, false, "relative/cfg", "/home/ann", "/home/ann/.config/tarnwick"},
        {"/usrlocal/bin", true, true, "", "/root", "/usrlocal/bin"},
    };
    for (const auto& c : cases) {
        ProgramPlace place{c.folder, c.owned, c.writable, c.config_home, c.home};
        EXPECT_EQ(SettingsFolderFor(place), c.expected) << c.folder << " " << c.owned << c.writable;
    }
}

}  // namespace
}  // namespace tw
