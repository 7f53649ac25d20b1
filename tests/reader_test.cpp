#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "platform/errors.h"
#include "support.h"

namespace tw {
namespace {

using test::Fixture;

// Cells of a loaded document as rows of text, for comparing whole grids.
std::vector<std::vector<std::string>> Grid(const DocumentModel& d) {
    std::vector<std::vector<std::string>> g;
    for (int r = 1; r <= d.NumRows; ++r) {
        std::vector<std::string> row;
        for (int c = 1; c <= d.NumCols; ++c) row.emplace_back(d.Cells(c, r));
        g.push_back(row);
    }
    return g;
}

TEST(ReadPipeDreamFile, OptionValues) {
    const struct {
        const char* line;
        std::function<long(const DocumentModel&)> get;
        long expected;
    } cases[] = {
        {"%OP%PL 70", [](auto& d) { return d.OptPL; }, 70},
        {"%OP%PLabc", [](auto& d) { return d.OptPL; }, 0},
        {"%OP%TM2.5", [](auto& d) { return d.OptTM; }, 2},
        {"%OP%TM3.5", [](auto& d) { return d.OptTM; }, 4},
        {"%OP%LM&H10", [](auto& d) { return d.OptLM; }, 16},
        {"junk%OP%LS3", [](auto& d) { return d.OptLS; }, 3},
        {"%OP%PL", [](auto& d) { return d.OptPL; }, 0},
        {"%OP%PS1e00000001", [](auto& d) { return d.OptPS; }, 10},
        {"%OP%LM5e-0000000001", [](auto& d) { return d.OptLM; }, 0},
        {"%OP%TM15e-0000000001", [](auto& d) { return d.OptTM; }, 2},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.Load(std::string(c.line) + "\n%CO:A,12,72%x\n");
        EXPECT_EQ(c.get(f.doc), c.expected) << c.line;
        EXPECT_TRUE(f.fp.msg.shown.empty()) << c.line;
    }
}

// Each key's default, and each key setting its own member and no other.
TEST(ReadPipeDreamFile, EveryOptionKeyHasItsDefaultAndSetsOnlyItsMember) {
    using D = const DocumentModel&;
    auto n = [](std::int16_t v) { return std::to_string(v); };
    const struct {
        const char* key;
        std::function<std::string(D)> get;
        std::string reset;
    } keys[] = {
        {"AM", [](D d) { return d.OptAM; }, "A"},      {"BM", [&](D d) { return n(d.OptBM); }, "8"},
        {"BO", [](D d) { return d.OptBO; }, "Y"},      {"DE", [](D d) { return d.OptDE; }, ""},
        {"DP", [&](D d) { return n(d.OptDP); }, "2"},  {"FM", [&](D d) { return n(d.OptFM); }, "2"},
        {"FO", [](D d) { return d.OptFO; }, ""},       {"HE", [](D d) { return d.OptHE; }, ""},
        {"HM", [&](D d) { return n(d.OptHM); }, "2"},  {"IW", [](D d) { return d.OptIW; }, "R"},
        {"JU", [](D d) { return d.OptJU; }, "N"},      {"LM", [&](D d) { return n(d.OptLM); }, "2"},
        {"LP", [](D d) { return d.OptLP; }, "\xA3"},   {"LS", [&](D d) { return n(d.OptLS); }, "1"},
        {"MB", [](D d) { return d.OptMB; }, "M"},      {"PA", [&](D d) { return n(d.OptPA); }, "0"},
        {"PL", [&](D d) { return n(d.OptPL); }, "66"}, {"PS", [&](D d) { return n(d.OptPS); }, "0"},
        {"RC", [](D d) { return d.OptRC; }, "C"},      {"TM", [&](D d) { return n(d.OptTM); }, "0"},
        {"TN", [](D d) { return d.OptTN; }, "T"},      {"TP", [](D d) { return d.OptTP; }, "%"},
        {"WR", [](D d) { return d.OptWR; }, "Y"},
    };
    const auto& table = OptionKeys();
    auto globals = std::count_if(table.begin(), table.end(), [](const OptionKey& k) { return k.HasGlobal(); });
    EXPECT_EQ(globals, std::ssize(keys));
    for (const auto& set : keys) {
        Fixture f;
        f.Load(std::string("%OP%") + set.key + "37\n%CO:A,12,72%x\n");
        for (const auto& k : keys) {
            std::string want = &k == &set ? "37" : k.reset;
            EXPECT_EQ(k.get(f.doc), want) << "after %OP%" << set.key << "37, " << k.key;
        }
        f.doc.Reset();
        for (const auto& k : keys) EXPECT_EQ(k.get(f.doc), k.reset) << "reset after " << set.key << ", " << k.key;
    }
}

TEST(ReadPipeDreamFile, TextOptionsKeepTheirValueUntrimmed) {
    Fixture f;
    f.Load("%OP%DEMy budget \n%OP%HE/a/b/c\n%OP%FO//Page @P@//\n%OP%DEMy budget\n");
    EXPECT_EQ(f.doc.OptDE, "My budget");  // a repeated key keeps the later value
    EXPECT_EQ(f.doc.OptHE, "/a/b/c");
    EXPECT_EQ(f.doc.OptFO, "//Page @P@//");
    EXPECT_EQ(f.doc.OptLP, "\xA3");
}

TEST(ReadPipeDreamFile, Caption) {
    Fixture f;
    f.Load("%OP%DEMy budget\n%CO:A,8,72%x\n");
    EXPECT_EQ(f.fp.window.caption, "Tarnwick - My budget");

    Fixture g;
    std::string path = g.dir.Write("plain.pd", "%CO:A,8,72%x\n");
    ReadPipeDreamFile(g.fp.sys, g.fp.window, g.doc, path);
    EXPECT_EQ(g.fp.window.caption, "Tarnwick - " + path);
}

TEST(ReadPipeDreamFile, NameWithSurroundingBlanksOpensTheTrimmedFile) {
    Fixture f;
    std::string path = f.dir.Write("list.l", "a.pd\n");
    std::string padded = "  " + path + " ";
    ReadPipeDreamFile(f.fp.sys, f.fp.window, f.doc, padded);
    EXPECT_EQ(f.doc.NumRows, 1);
    EXPECT_EQ(f.fp.window.caption, "Tarnwick - " + padded);
    EXPECT_TRUE(f.fp.msg.shown.empty());
}

TEST(ReadPipeDreamFile, DocumentStructure) {
    using G = std::vector<std::vector<std::string>>;
    const struct {
        const char* name;
        std::string bytes;
        bool pipedream;
        int cols, rows;
        G grid;
    } cases[] = {
        {"empty file", "", false, 0, 0, {}},
        {"options only", "%OP%PL60\n%OP%DEx\n", true, 0, 0, {}},
        {"unknown key last", "%OP%PL60\n%OP%ZZ1\n", false, 0, 0, {}},
        {"unknown key then columns", "%OP%ZZ1\n%CO:A,8,72%a\n", true, 1, 1, {{"a"}}},
        {"lower-case key is unknown", "%OP%pl1\n", false, 0, 0, {}},
        {"one-letter key is unknown", "%OP%P", false, 0, 0, {}},
        {"plain text", "one\ntwo\n", false, 1, 2, {{"one"}, {"two"}}},
        {"option after first phase is a cell", "x\n%OP%PL9\n", false, 1, 2, {{"x"}, {"%OP%PL9"}}},
        {"two definitions on one line", "%CO:A,12,72%%CO:B,8,72%x\n", true, 2, 1, {{"", "x"}}},
        {"empty rest makes an empty cell", "%CO:A,12,72%\n", true, 1, 1, {{""}}},
        {"leading blanks make a cell", "  %CO:A,1,2%\n", false, 1, 1, {{"  %CO:A,1,2%"}}},
        {"columns of 3, 7 and 2 cells",
         "%CO:A,4,0%a1\na2\na3\n%CO:B,4,0%b1\nb2\nb3\nb4\nb5\nb6\nb7\n%CO:C,4,0%c1\nc2\n",
         true,
         3,
         7,
         {{"a1", "b1", "c1"},
          {"a2", "b2", "c2"},
          {"a3", "b3", ""},
          {"", "b4", ""},
          {"", "b5", ""},
          {"", "b6", ""},
          {"", "b7", ""}}},
        {"cells keep blanks and codes", "%CO:A,8,0% %H2%x@P@ \n", true, 1, 1, {{" %H2%x@P@ "}}},
        {"LF only", "%CO:A,8,0%a\nb\n", true, 1, 2, {{"a"}, {"b"}}},
        {"CR only", "%CO:A,8,0%a\rb\r", true, 1, 2, {{"a"}, {"b"}}},
        {"CR LF", "%CO:A,8,0%a\r\nb\r\n", true, 1, 2, {{"a"}, {"b"}}},
        {"LF CR", "%CO:A,8,0%a\n\rb\n\r", true, 1, 2, {{"a"}, {"b"}}},
        {"no final line end", "%CO:A,8,0%a\nb", true, 1, 2, {{"a"}, {"b"}}},
        // PipeDream wrote blank lines among the options and read on past them.
        {"blank line among options", "%OP%DEx\n\n%OP%LM6\n%CO:A,8,0%a\n", true, 1, 1, {{"a"}}},
        {"blank lines among options", "%OP%DEx\r\n\r\n\r\n%OP%LM6\r\n%CO:A,8,0%a\r\n", true, 1, 1, {{"a"}}},
        {"blank line then a cell ends the options", "%OP%DEx\n\n%CO:A,8,0%a\n", true, 2, 1, {{"", "a"}}},
        {"blank line at the end", "%OP%DEx\n\n", true, 1, 1, {{""}}},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.Load(c.bytes);
        EXPECT_EQ(f.doc.IsPipeDreamFile, c.pipedream) << c.name;
        EXPECT_EQ(f.doc.NumCols, c.cols) << c.name;
        EXPECT_EQ(f.doc.NumRows, c.rows) << c.name;
        EXPECT_EQ(Grid(f.doc), c.grid) << c.name;
        EXPECT_TRUE(f.fp.msg.shown.empty()) << c.name;
        EXPECT_FALSE(f.fp.pointer.busy) << c.name;
    }
}

TEST(ReadPipeDreamFile, ColumnAttributesAndStartPositions) {
    Fixture f;
    f.Load("%CO:A,12,72%\n%CO:B,20,60%\n%CO:C,8,0%\n%CO:D,8,0%\n");
    EXPECT_EQ(f.doc.Cells(1, -3), "A");
    EXPECT_EQ(f.doc.Cells(1, -2), "12");
    EXPECT_EQ(f.doc.Cells(1, -1), "72");
    std::vector<std::string> starts;
    for (int c = 1; c <= 4; ++c) starts.emplace_back(f.doc.Cells(c, 0));
    EXPECT_EQ(starts, (std::vector<std::string>{"2", "14", "34", "42"}));

    Fixture g;
    g.Load("%OP%LM6\n%CO:A,12,72%%CO:B,8,72%x\n");
    EXPECT_EQ(g.doc.Cells(2, 0), "18");

    // A column made without a definition has empty attributes.
    Fixture h;
    h.Load("cell\n");
    EXPECT_EQ(h.doc.Cells(1, 0), "");
    EXPECT_EQ(h.doc.Cells(1, -3), "");
}

TEST(ReadPipeDreamFile, GridReadsEmptyBeyondAColumnAndFailsOutsideIt) {
    Fixture f;
    f.Load("%CO:A,4,0%a\n");
    EXPECT_EQ(f.doc.Cells(2, 1), "");
    EXPECT_EQ(f.doc.Cells.UpperRow(), 1);
    EXPECT_THROW(f.doc.Cells(1, 2), VbError);
    EXPECT_THROW(f.doc.Cells(65, 1), VbError);
    EXPECT_THROW(f.doc.Cells(1, -4), VbError);

    // After a reset row 1 is still there in every column.
    Fixture e;
    e.Load("");
    EXPECT_EQ(e.doc.Cells(64, 1), "");
}

TEST(ReadPipeDreamFile, SecondLoadLeavesNothingOfTheFirst) {
    Fixture f;
    f.Load("%OP%DEFirst\n%OP%PL10\n%CO:A,4,0%a\nb\n%CO:B,4,0%c\n");
    f.Load("%CO:Z,9,0%z\n", "second.pd");
    EXPECT_EQ(f.doc.OptDE, "");
    EXPECT_EQ(f.doc.OptPL, 66);
    EXPECT_EQ(f.doc.NumCols, 1);
    EXPECT_EQ(f.doc.NumRows, 1);
    EXPECT_EQ(f.doc.Cells(1, -3), "Z");
    EXPECT_EQ(f.doc.Cells(2, 0), "");
}

std::string Definitions(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "%CO:C" + std::to_string(i + 1) + ",4,0%r" + std::to_string(i + 1) + "\n";
    return s;
}

TEST(ReadPipeDreamFile, ColumnLimit) {
    Fixture f;
    f.Load(Definitions(65));
    ASSERT_EQ(f.fp.msg.shown.size(), 1u);
    EXPECT_EQ(f.fp.msg.shown[0].text,
              "Can't load cell \x81"
              "1 in PipeDream file. Increase maximum number of columns.");
    EXPECT_EQ(f.fp.msg.shown[0].icon, MsgIcon::Information);
    EXPECT_EQ(f.doc.NumCols, 64);
    EXPECT_EQ(f.doc.Cells(64, 1), "r64");
    EXPECT_FALSE(f.fp.pointer.busy);

    Fixture g;
    g.doc.MaxNumCols = 3;
    g.Load(Definitions(6));
    EXPECT_EQ(g.fp.msg.Texts(),
              std::vector<std::string>{"Can't load cell D1 in PipeDream file. Increase maximum number of columns."});
    EXPECT_EQ(g.doc.NumCols, 3);
    EXPECT_EQ(g.doc.Cells(3, 1), "r3");
    EXPECT_EQ(g.fp.window.caption.substr(0, 11), "Tarnwick - ");
}

TEST(ReadPipeDreamFile, MissingFile) {
    Fixture f;
    f.Load("%OP%DEold\n%CO:A,4,0%a\n");
    std::string missing = f.dir / "nope.pd";
    ReadPipeDreamFile(f.fp.sys, f.fp.window, f.doc, missing);
    EXPECT_EQ(f.fp.msg.Texts(), std::vector<std::string>{"File not found: " + missing});
    EXPECT_EQ(f.fp.msg.shown[0].icon, MsgIcon::Information);
    EXPECT_EQ(f.fp.window.clears, 1);
    EXPECT_EQ(f.fp.window.caption, "Tarnwick - " + missing);
    EXPECT_EQ(f.doc.NumRows, 0);
    EXPECT_EQ(f.doc.NumCols, 0);
    EXPECT_EQ(f.doc.OptDE, "");
    EXPECT_FALSE(f.fp.pointer.busy);
}

TEST(ReadPipeDreamFile, OverflowingOptionIsReportedRetriedAndIgnored) {
    Fixture f;
    f.fp.msg.answers = {MsgResult::Retry, MsgResult::Ignore};
    f.Load("%OP%PL99999\n%OP%LM4\n%CO:A,4,0%a\n");
    EXPECT_EQ(f.fp.msg.Texts(), (std::vector<std::string>{"Error 6 'Overflow' in ReadPipeDreamFile",
                                                          "Error 6 'Overflow' in ReadPipeDreamFile"}));
    EXPECT_EQ(f.doc.OptPL, 66);  // unchanged by the ignored statement
    EXPECT_EQ(f.doc.OptLM, 4);   // the next statements ran
    EXPECT_EQ(f.doc.NumRows, 1);

    Fixture g;
    g.fp.msg.answers = {MsgResult::Abort, MsgResult::No};
    g.Load("%OP%DEkept\n%OP%PL99999\n%OP%LM4\n%CO:A,4,0%a\n");
    EXPECT_EQ(g.doc.OptLM, 2);  // Abort left before the rest
    EXPECT_EQ(g.doc.NumRows, 0);
    EXPECT_EQ(g.fp.window.caption, "Tarnwick - kept");  // closing steps ran
    EXPECT_FALSE(g.fp.pointer.busy);
}

// A width or start beyond the range of a number is an overflow, as in an
// option line, rather than a start read back as 0.
TEST(ReadPipeDreamFile, OverflowingNumbersAreReported) {
    const struct {
        const char* doc;
        int reports;
        std::vector<std::string> starts;  // of each column, after Ignore
    } cases[] = {
        {"%OP%PL1e00000005\n%CO:A,4,0%a\n", 1, {"2"}},
        {"%CO:A,1e999,0%a\n%CO:B,4,0%b\n%CO:C,4,0%c\n", 1, {"2", "", "4"}},
        {"%CO:A,1e308,0%a\n%CO:B,1e308,0%b\n%CO:C,4,0%c\n", 1, {"2", "1E+308", ""}},
        {"%CO:A,1e00000001,0%a\n%CO:B,4,0%b\n", 0, {"2", "12"}},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.fp.msg.answers.assign(4, MsgResult::Ignore);
        f.Load(c.doc);
        EXPECT_EQ(f.fp.msg.Texts(), std::vector<std::string>(static_cast<std::size_t>(c.reports),
                                                             "Error 6 'Overflow' in ReadPipeDreamFile"))
            << c.doc;
        std::vector<std::string> starts;
        for (int col = 1; col <= f.doc.NumCols; ++col) starts.emplace_back(f.doc.Cells(col, 0));
        EXPECT_EQ(starts, c.starts) << c.doc;
    }
}

TEST(ReadPipeDreamFile, MalformedColumnDefinitionIsReported) {
    const struct {
        const char* name;
        const char* bytes;
        std::vector<std::string> name_width_third;
    } cases[] = {
        {"no commas", "%CO:A%x\n%CO:B,4,0%b\n", {"", "", ""}},
        {"one comma", "%CO:A,12%x\n%CO:B,4,0%b\n", {"A", "", ""}},
        {"no closing percent", "%CO:A,12,72\n%CO:B,4,0%b\n", {"A", "12", ""}},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.fp.msg.answers.assign(3, MsgResult::Ignore);
        f.Load(c.bytes);
        ASSERT_FALSE(f.fp.msg.shown.empty()) << c.name;
        EXPECT_EQ(f.fp.msg.shown[0].text, "Error 5 'Invalid procedure call or argument' in ReadPipeDreamFile")
            << c.name;
        EXPECT_EQ(f.doc.NumCols, 2) << c.name;
        EXPECT_EQ(f.doc.Cells(1, -3), c.name_width_third[0]) << c.name;
        EXPECT_EQ(f.doc.Cells(1, -2), c.name_width_third[1]) << c.name;
        EXPECT_EQ(f.doc.Cells(1, -1), c.name_width_third[2]) << c.name;
        EXPECT_EQ(f.doc.Cells.RowsIn(1), 0) << c.name;  // the malformed line's rest is dropped
        EXPECT_EQ(f.doc.Cells(2, 1), "b") << c.name;
    }
}

TEST(ReadPipeDreamFile, FolderIsAnAccessErrorWithRetry) {
    Fixture f;
    f.fp.msg.answers = {MsgResult::Retry, MsgResult::Abort, MsgResult::No};
    ReadPipeDreamFile(f.fp.sys, f.fp.window, f.doc, f.dir.path());
    EXPECT_EQ(f.fp.msg.Texts()[0], "Error 75 'Path/File access error' in ReadPipeDreamFile");
    EXPECT_EQ(f.fp.msg.Texts()[1], f.fp.msg.Texts()[0]);
    EXPECT_EQ(f.doc.NumRows, 0);
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

TEST(RowReader, AgreesWithTheGridWhateverTheLineEndings) {
    test::Fixture f;
    f.Load("%CO:A,4,0%a\r\n\r\nb\n\r\n\rc\r\rd\n\ne\r\n%CO:B,4,0%x\n\r\ny\r\n\n%CO:C,4,0%\n");
    ASSERT_EQ(f.doc.NumRows, 9);
    for (int batch : {1, 3, 1024}) {
        RowReader rows(f.doc.Cells, f.doc.NumCols, batch);
        for (int r = 1; r <= f.doc.NumRows; ++r) {
            for (int c = 1; c <= f.doc.NumCols; ++c) {
                EXPECT_EQ(rows.Cell(c, r), f.doc.Cells(c, r)) << "batch " << batch << " cell " << c << "," << r;
            }
        }
    }
    std::vector<std::string> a;
    for (int r = 1; r <= 9; ++r) a.emplace_back(f.doc.Cells(1, r));
    EXPECT_EQ(a, (std::vector<std::string>{"a", "", "b", "", "c", "", "d", "", "e"}));
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

// Long columns are stored in blocks, some cut from memory the columns
// share: each cell still reads as its own line, across the first block,
// the shared blocks and the chunks they come from, whatever the column.
TEST(CellGrid, LongColumnsReadBackAcrossTheirBlocks) {
    const struct {
        char name;
        int rows;
    } columns[] = {{'A', 4096 + 9 * 65536 + 3}, {'B', 4097}, {'C', 70000}, {'D', 1}};
    std::string doc;
    for (const auto& c : columns) {
        doc += std::string("%CO:") + c.name + ",8,0%";
        for (int r = 1; r <= c.rows; ++r) doc += c.name + std::to_string(r) + (r % 3 ? "\n" : "\r\n");
    }
    test::Fixture f;
    f.Load(doc);
    ASSERT_EQ(f.doc.NumRows, columns[0].rows);
    RowReader rows(f.doc.Cells, f.doc.NumCols);
    int wrong = 0;
    for (int r = 1; r <= f.doc.NumRows; ++r) {
        for (int i = 0; i < 4; ++i) {
            const auto& c = columns[i];
            std::string want = r <= c.rows ? c.name + std::to_string(r) : "";
            if (rows.Cell(i + 1, r) != want || f.doc.Cells(i + 1, r) != want) {
                if (++wrong <= 5) ADD_FAILURE() << "cell " << c.name << r << " reads " << f.doc.Cells(i + 1, r);
            }
        }
    }
    EXPECT_EQ(wrong, 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(f.doc.Cells.RowsIn(i + 1), columns[i].rows);
}

}  // namespace
}  // namespace tw
