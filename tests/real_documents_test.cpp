#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "real_documents.h"
#include "support.h"

namespace tw {
namespace {

struct Expected {
    const char* file;
    int cols, rows;
    const char* title;
    int pl, lm;
};

TEST(RealDocuments, AreAllInTheTestDataWithTheirReadme) {
    std::vector<std::string> missing;
    for (const std::string& path : test::RealDocuments()) {
        if (!std::filesystem::is_regular_file(path)) missing.push_back(path);
    }
    if (!std::filesystem::is_regular_file(test::RealDocumentsFolder() + "/README.md")) missing.push_back("README.md");
    EXPECT_TRUE(missing.empty()) << "missing: " << ::testing::PrintToString(missing);
}

TEST(RealDocuments, LoadWithTheirColumnsRowsAndOptions) {
    const Expected cases[] = {
        {"pd3-help.pd", 6, 191, "", 66, 2},
        {"pd4-choices-germany.pd", 6, 1, "", 66, 2},
        {"pd4-library-example.pd", 6, 2, "", 53, 6},
        {"pd4-template-numb-plain-1991.pd", 26, 30, "", 66, 6},
        {"pd4-template-numb-plain.pd", 26, 30, "", 66, 6},
        {"pd4-template-numbers.pd", 11, 30, "", 55, 6},
        {"pd4-template-records.pd", 26, 30, "", 0, 6},
        {"pd4-template-text-plain.pd", 6, 1, "", 66, 0},
        {"pd4-template-text.pd", 6, 1, "", 56, 6},
        {"z88-eazylink-manual.pd", 4, -1, "", 64, 6},
        {"z88-zprom-manual.pd", 1, 1263, "Zprom documentation", 66, 6},
    };
    ASSERT_EQ(test::RealDocuments().size(), std::size(cases));
    for (const auto& c : cases) {
        test::Fixture f;
        std::string path = test::RealDocumentsFolder() + "/" + c.file;
        ReadPipeDreamFile(f.fp.sys, f.fp.window, f.doc, path);
        EXPECT_TRUE(f.fp.msg.shown.empty()) << c.file;
        EXPECT_TRUE(f.doc.IsPipeDreamFile) << c.file;
        EXPECT_EQ(f.doc.NumCols, c.cols) << c.file;
        if (c.rows >= 0) {
            EXPECT_EQ(f.doc.NumRows, c.rows) << c.file;
        }
        EXPECT_EQ(f.doc.OptDE, c.title) << c.file;
        EXPECT_EQ(f.doc.OptPL, c.pl) << c.file;
        EXPECT_EQ(f.doc.OptLM, c.lm) << c.file;
    }
}

TEST(RealDocuments, DetailsTheirReadmeNames) {
    auto load = [](test::Fixture& f, const char* name) {
        ReadPipeDreamFile(f.fp.sys, f.fp.window, f.doc, test::RealDocumentsFolder() + "/" + name);
    };
    test::Fixture help;
    load(help, "pd3-help.pd");
    EXPECT_EQ(help.doc.Cells(1, 1), "");
    EXPECT_EQ(help.doc.Cells(1, 4), " ");
    EXPECT_EQ(help.doc.Cells.RowsIn(2), 191);
    for (int r = 1; r <= 108; ++r) ASSERT_EQ(help.doc.Cells(2, r), "") << r;
    EXPECT_NE(help.doc.Cells(2, 109), "");
    EXPECT_EQ(help.doc.Cells.RowsIn(3), 0);

    test::Fixture zprom;
    load(zprom, "z88-zprom-manual.pd");
    EXPECT_EQ(zprom.doc.OptFO, "//Zprom documentation - @P@//");
    EXPECT_EQ(zprom.doc.OptHM, 0);
    EXPECT_EQ(zprom.fp.window.caption, "Tarnwick - Zprom documentation");

    test::Fixture eazy;
    load(eazy, "z88-eazylink-manual.pd");
    std::vector<std::string> widths;
    for (int c = 1; c <= 4; ++c) widths.emplace_back(eazy.doc.Cells(c, -2));
    EXPECT_EQ(widths, (std::vector<std::string>{"22", "4", "22", "30"}));
    EXPECT_EQ(eazy.doc.Cells(4, 0), "54");  // 6 + 22 + 4 + 22
    bool spaces243 = false;
    for (int r = 1; r <= eazy.doc.NumRows; ++r) spaces243 |= eazy.doc.Cells(4, r) == std::string(243, ' ');
    EXPECT_TRUE(spaces243);

    test::Fixture germany;
    load(germany, "pd4-choices-germany.pd");
    EXPECT_EQ(germany.doc.OptLP, "\x80");
}

}  // namespace
}  // namespace tw
