#include <gtest/gtest.h>

#include "settings/recent.h"
#include "settings/settings.h"
#include "support.h"

namespace tw {
namespace {

struct Recent {
    test::TempDir dir;
    fake::FakePlatform fp;
    fake::FakeRecentMenu menu;
    Recent() { fp.process.program_folder = dir.path(); }
    std::string Record(std::string name) {
        FilesOld(fp.sys, menu, name);
        return name;
    }
    std::vector<std::string> Entries() {
        std::vector<std::string> e;
        for (int i = 1; i <= 4; ++i) {
            if (menu.visible[i]) e.push_back(RecentPath(menu, i));
        }
        return e;
    }
    std::string Ini(const std::string& key) { return ReadIniValue(fp.process, key); }
};

TEST(FilesOld, NewestFirstAndTheOldestFallsOff) {
    Recent r;
    for (std::string n : {"A", "B", "C", "D", "E"}) r.Record(r.dir.path() + "/" + n);
    auto p = [&](const char* n) { return r.dir.path() + "/" + n; };
    EXPECT_EQ(r.Entries(), (std::vector<std::string>{p("E"), p("D"), p("C"), p("B")}));
    EXPECT_EQ(r.Ini("File4"), p("B"));
    EXPECT_EQ(r.menu.captions[3], "&3 " + p("C"));

    r.Record(p("C"));
    EXPECT_EQ(r.Entries(), (std::vector<std::string>{p("C"), p("E"), p("D"), p("B")}));
    EXPECT_EQ(r.Ini("File1"), p("C"));
    EXPECT_EQ(r.Ini("File4"), p("B"));
}

TEST(FilesOld, TheCurrentFirstEntryAgainWritesNothing) {
    Recent r;
    std::string a = r.dir.path() + "/A";
    r.Record(a);
    std::filesystem::remove(r.dir / "Quillon.ini");
    r.fp.process.folder_changes.clear();
    r.Record(a);
    EXPECT_FALSE(std::filesystem::exists(r.dir / "Quillon.ini"));
    EXPECT_TRUE(r.fp.process.folder_changes.empty());
}

TEST(FilesOld, TrimsTheNameForItselfAndTheCaller) {
    Recent r;
    std::string name = r.dir.path() + "/PLAN.PD";
    EXPECT_EQ(r.Record("  " + name + " "), name);
    EXPECT_EQ(r.menu.captions[1], "&1 " + name);
}

TEST(FilesOld, NamesDifferingInCaseAreTwoEntries) {
    Recent r;
    r.Record(r.dir.path() + "/PLAN.PD");
    r.Record(r.dir.path() + "/plan.pd");
    EXPECT_EQ(r.Entries().size(), 2u);
}

TEST(FilesOld, TheFirstFileEverShowsOneEntryAndWritesTheOthersEmpty) {
    Recent r;
    std::string a = r.dir.path() + "/A.PD";
    r.Record(a);
    EXPECT_TRUE(r.menu.visible[0]);
    EXPECT_TRUE(r.menu.visible[1]);
    EXPECT_FALSE(r.menu.visible[2] || r.menu.visible[3] || r.menu.visible[4]);
    std::string ini = test::ReadFile(r.dir / "Quillon.ini");
    EXPECT_NE(ini.find("File1=" + a + "\n"), std::string::npos);
    for (const char* k : {"File2=\n", "File3=\n", "File4=\n"}) EXPECT_NE(ini.find(k), std::string::npos) << k;
    EXPECT_EQ(r.Ini("InitDir"), r.dir.path() + "/");
    EXPECT_EQ(r.fp.process.current_folder, r.dir.path());
}

TEST(FilesOld, RelativeNamesAreRecordedAbsoluteAgainstTheCurrentFolder) {
    struct Case {
        std::string name, entry;
    };
    Recent r;
    std::filesystem::create_directories(r.dir / "sub");
    std::string d = r.dir.path();
    const Case cases[] = {
        {"PLAN.PD", d + "/PLAN.PD"},
        {"./sub/A.PD", d + "/sub/A.PD"},
        {"B.PD", d + "/sub/B.PD"},  // the folder of the last one is current now
        {d + "/C.PD", d + "/C.PD"},
    };
    r.fp.process.current_folder = d;
    for (const Case& c : cases) {
        EXPECT_EQ(r.Record(c.name), c.entry);
        EXPECT_EQ(r.Entries().front(), c.entry);
        EXPECT_EQ(r.Ini("File1"), c.entry);
        EXPECT_EQ(r.Ini("InitDir"), c.entry.substr(0, c.entry.rfind('/') + 1));
        EXPECT_EQ(r.fp.process.current_folder, c.entry.substr(0, c.entry.rfind('/')));
    }
}

TEST(FilesOld, ANameWithALineEndIsNotRecorded) {
    for (std::string bad : {std::string("a\nb.pd"), std::string("a\rb.pd"), std::string("sub\n/x.pd")}) {
        Recent r;
        r.fp.process.current_folder = r.dir.path();
        std::filesystem::create_directories(r.dir / "sub\n");
        std::string good = r.dir.path() + "/good.pd";
        r.Record(good);
        r.Record(bad);
        EXPECT_EQ(r.Entries(), std::vector<std::string>{good}) << bad;
        EXPECT_EQ(r.Ini("File1"), good) << bad;
        EXPECT_EQ(r.Ini("InitDir"), r.dir.path() + "/") << bad;
        std::string ini = test::ReadFile(r.dir / "Quillon.ini");
        EXPECT_EQ(ini.find(bad.substr(bad.find_first_of("\r\n"))), std::string::npos) << bad;
        EXPECT_TRUE(r.fp.msg.shown.empty()) << bad;
    }
}

TEST(FilesOld, AFolderThatCannotBeMadeCurrentIsReportedAndIgnored) {
    Recent r;
    r.fp.msg.answers = {MsgResult::Ignore};
    r.Record("/no/such/folder/A.PD");
    EXPECT_EQ(r.fp.msg.Texts(), std::vector<std::string>{"Error 76 'Path not found' in FilesOld"});
    EXPECT_EQ(r.Entries(), std::vector<std::string>{"/no/such/folder/A.PD"});
}

}  // namespace
}  // namespace tw
