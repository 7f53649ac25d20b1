// Documents loaded with the document that refers to them: names resolved
// as RISC OS wrote them, each file read once, and the two real linked
// sets computed through their custom function sheets.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "document/layouts.h"
#include "document/linked_documents.h"
#include "document/sheet_source.h"
#include "export/csv_export.h"
#include "export/sink.h"
#include "formula/parser.h"
#include "real_documents.h"
#include "support.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

using Parts = std::vector<std::string>;

TEST(LinkedDocuments, NameParts) {
    struct Case {
        const char* name;
        std::optional<Parts> parts;
    } cases[] = {
        {"c_GCD", Parts{"c_GCD"}},
        {"CF_sheets.c_GCD", Parts{"CF_sheets", "c_GCD"}},
        {"a.b.c", Parts{"a", "b", "c"}},
        {"c_W/R", Parts{"c_W.R"}},
        {"dir.c_W/R", Parts{"dir", "c_W.R"}},
        {" turnover ", Parts{"turnover"}},
        // Names that would leave the referring document's folder.
        {"$.Accounts.turnover", std::nullopt},
        {"&.turnover", std::nullopt},
        {"^.turnover", std::nullopt},
        {"%.turnover", std::nullopt},
        {"@.turnover", std::nullopt},
        {"ADFS::HardDisc4.$.turnover", std::nullopt},
        {"Choices:PipeDream.Library", std::nullopt},
        {"\\turnover", std::nullopt},
        {"a..b", std::nullopt},
        {".a", std::nullopt},
        {"a.", std::nullopt},
        {"", std::nullopt},
        {"/", std::nullopt},
        {"//", std::nullopt},
        {"a./", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LinkedNameParts(c.name), c.parts);
    }
}

TEST(LinkedDocuments, FindsFilesInEitherCase) {
    TempDir dir;
    fs::create_directories(dir / "CF_sheets");
    fs::create_directories(dir / "folder.pd");
    fs::create_directories(dir / "Two/x");
    fs::create_directories(dir / "two");
    for (const char* f : {"GCD.pd", "CF_sheets/c_GCD.pd", "CF_sheets/c_W.R", "plain", "Both", "both.pd", "Two/doc",
                          "two/DOC.pd", "Two/x/once"})
        dir.Write(f, "x");
    fs::create_symlink("plain", dir / "Plain.pd");  // the same document again
    struct Case {
        Parts parts;
        std::vector<std::string> found;  // below the folder
    } cases[] = {
        {{"GCD"}, {"GCD.pd"}},
        {{"gcd"}, {"GCD.pd"}},
        {{"GCD.pd"}, {"GCD.pd"}},  // a dot within a part, as c_W/R gives
        {{"gcd.pd"}, {"GCD.pd"}},
        {{"cf_SHEETS", "C_gcd"}, {"CF_sheets/c_GCD.pd"}},
        {{"CF_sheets", "c_w.r"}, {"CF_sheets/c_W.R"}},
        {{"plain"}, {"plain"}},
        {{"PLAIN"}, {"plain"}},
        // Names RISC OS could not tell apart: every one, whatever its case.
        {{"Both"}, {"Both", "both.pd"}},
        {{"two", "doc"}, {"Two/doc", "two/DOC.pd"}},
        {{"TWO", "x", "once"}, {"Two/x/once"}},
        {{"missing"}, {}},
        {{"CF_sheets"}, {}},  // a folder is no document
        {{"folder"}, {}},
        {{"nowhere", "c_GCD"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.parts));
        std::vector<std::string> want;
        for (const std::string& f : c.found) want.push_back(dir / f);
        EXPECT_EQ(FindLinkedFiles(dir.path(), c.parts), want);
    }
}

TEST(LinkedDocuments, RefusesLinksOutOfTheFolder) {
    TempDir outside, dir;
    outside.Write("secret.pd", "%OP%DE\n%CO:A,12,72%%V%42\n");
    fs::create_symlink(outside / "secret.pd", dir / "secret.pd");
    EXPECT_TRUE(FindLinkedFiles(dir.path(), {"secret"}).empty());
}

// The document's CSV, read from `path` as the converter reads it.
struct Loaded {
    test::Fixture f;
    explicit Loaded(const std::string& path) { ReadPipeDreamFile(f.fp.sys, f.fp.window, f.doc, path); }
    std::string Csv() {
        StringSink sink;
        WriteCsv(f.doc, sink);
        return sink.bytes;
    }
};

std::string Doc(const std::vector<std::string>& cells) {
    std::string s = "%OP%DE\n%CO:A,12,72%";
    for (const std::string& c : cells) s += (c.empty() ? "" : "%V%" + c) + "\n";
    return s;
}

TEST(LinkedDocuments, ACircleOfThreeLoadsOnceAndReportsItsCycle) {
    TempDir dir;
    dir.Write("a.pd", Doc({"[b]A1", "7", "[c]A2", "[B]A2+[C]A2"}));
    dir.Write("b.pd", Doc({"[c]A1", "[a]A2+1"}));
    dir.Write("c.pd", Doc({"[a]A1", "[b]A2+1"}));
    Loaded a(dir / "a.pd");
    ASSERT_TRUE(a.f.doc.Linked);
    // b and c; a, which they refer to, is the document opened.
    EXPECT_EQ(a.f.doc.Linked->Loaded(), 2u);
    EXPECT_EQ(a.f.doc.Linked->Paths(), (std::vector<std::string>{dir / "b.pd", dir / "c.pd"}));
    EXPECT_EQ(a.Csv(), "Circular reference\r\n7\r\n9\r\n17\r\n");
}

// Documents written to a folder, the first opened: its cells as CSV.
struct Set {
    const char* what;
    std::vector<std::pair<const char*, std::string>> docs;
    const char* csv;
};

void RunSets(const std::vector<Set>& sets) {
    for (const Set& set : sets) {
        SCOPED_TRACE(set.what);
        TempDir dir;
        for (const auto& [name, bytes] : set.docs) dir.Write(name, bytes);
        Loaded opened(dir / set.docs.front().first);
        EXPECT_EQ(opened.Csv(), set.csv);
    }
}

// A document that a document it refers to refers back to is computed on
// demand; only a cycle of cells is circular, in each of its cells.
TEST(LinkedDocuments, ReferencesBackComputeAndCyclesAreCircular) {
    RunSets({
        {"back to a cell not yet computed", {{"a.pd", Doc({"[b]A1", "5"})}, {"b.pd", Doc({"[a]A2+1"})}}, "6\r\n5\r\n"},
        {"back and forth twice",
         {{"a.pd", Doc({"[b]A1*10", "[b]A2", "3"})}, {"b.pd", Doc({"[a]A2+1", "[a]A3+1"})}},
         "50\r\n4\r\n3\r\n"},
        {"a block read back", {{"a.pd", Doc({"[b]A1", "1", "2"})}, {"b.pd", Doc({"sum([a]A2A3)"})}}, "3\r\n1\r\n2\r\n"},
        {"a name read back",
         {{"a.pd", Doc({"[b]twice", "4"})}, {"b.pd", "%OP%NDtwice,[a]A2*2\n" + Doc({})}},
         "8\r\n4\r\n"},
        {"a cycle",
         {{"a.pd", Doc({"[b]A1", "A1+1"})}, {"b.pd", Doc({"[a]A1+1"})}},
         "Circular reference\r\nPropagated\r\n"},
        {"a cycle closed within the document",
         {{"a.pd", Doc({"[b]A1", "A1+1", "A2"})}, {"b.pd", Doc({"[a]A2"})}},
         "Circular reference\r\nCircular reference\r\nPropagated\r\n"},
        {"a cycle through a name",
         {{"a.pd", Doc({"[b]loop", "2"})}, {"b.pd", "%OP%NDloop,[a]A1\n" + Doc({})}},
         "Circular reference\r\n2\r\n"},
    });
}

// A chain of references back and forth deeper than the documents may
// reach into one another ends in an error value, not a crash; its cells
// nearer the end compute.
TEST(LinkedDocuments, ALongChainBetweenDocumentsEndsInAnError) {
    constexpr int kRows = 5000;  // 10,000 references, half in each document
    std::vector<std::string> a, b;
    for (int row = 1; row < kRows; ++row) {
        a.push_back("[b]A" + std::to_string(row) + "+1");
        b.push_back("[a]A" + std::to_string(row + 1));
    }
    a.push_back("1");
    TempDir dir;
    dir.Write("a.pd", Doc(a));
    dir.Write("b.pd", Doc(b));
    Loaded opened(dir / "a.pd");
    formula::DocumentSource source(opened.f.doc);
    formula::Evaluator eval(source);
    EXPECT_EQ(eval.CellValue(1, 1), formula::Value::Error(formula::ErrorCode::Propagated));
    EXPECT_EQ(eval.CellValue(1, kRows - 10), formula::Value::Number(11));
    EXPECT_TRUE(opened.f.doc.Linked->Links().asks.empty());
}

// SET_VALUE sets cells of other documents that hold no formula, in the
// engine that computes them: for the document opened, its own. A name of
// two files is refused, and a custom function sheet's cells hold what its
// statements left there.
TEST(LinkedDocuments, WhatOtherDocumentsGiveAndTake) {
    const std::string lib =
        Doc({R"(function("put","x"))", "set_value([data]A1,@x)", "@x*2", "result([data]A1+1)", "7"});
    const std::string refs = Doc({"[turnover]A1", "[TURNOVER]total", "set_value([turnover]A1,1)", "[other]A1"});
    const char* refused = "More than 1 file loaded\r\nMore than 1 file loaded\r\nMore than 1 file loaded\r\n3\r\n";
    RunSets({
        {"set: a constant",
         {{"a.pd", Doc({"set_value([b]A1,42)", "[b]A1", "[b]A2"})}, {"b.pd", Doc({"5", "A1*2"})}},
         "42\r\n42\r\n84\r\n"},
        {"set: a formula is kept",
         {{"a.pd", Doc({"set_value([b]A2,1)", "[b]A2"})}, {"b.pd", Doc({"5", "A1*2"})}},
         "1\r\n10\r\n"},
        {"set: a document not there", {{"a.pd", Doc({"set_value([nowhere]A1,1)"})}}, "File not loaded\r\n"},
        {"set: the document opened",
         {{"a.pd", Doc({"[b]A1", "1", "A2"})}, {"b.pd", Doc({"set_value([a]A2,9)"})}},
         "9\r\n9\r\n9\r\n"},
        {"set: from a custom function",
         {{"a.pd", Doc({"[lib]put(4)", "[data]A1"})}, {"lib.pd", lib}, {"data.pd", Doc({"0"})}},
         "5\r\n4\r\n"},
        {"two cases",
         {{"a.pd", refs}, {"turnover", Doc({"1"})}, {"Turnover.pd", Doc({"2"})}, {"Other", Doc({"3"})}},
         refused},
        {"with and without .pd",
         {{"a.pd", refs}, {"turnover", Doc({"1"})}, {"turnover.pd", Doc({"2"})}, {"other.PD", Doc({"3"})}},
         refused},
        {"a custom function sheet's cells before and after a call",
         {{"a.pd", Doc({"[lib]A5", "[lib]A3", "[lib]put(4)", "[lib]A3"})}, {"lib.pd", lib}, {"data.pd", Doc({"0"})}},
         "7\r\n\r\n5\r\n8\r\n"},
    });
}

TEST(LinkedDocuments, WhatIsMissingGivesFileNotLoaded) {
    TempDir dir;
    fs::create_directories(dir / "sub");
    dir.Write("sub/Other.pd", "%OP%NDtotal,A1*2\n%CO:A,12,72%%V%21\n%V%A1/0\n");
    dir.Write("broken.pd", "");
    dir.Write("main.pd", Doc({"[nowhere]A1", "[^.main]A1", "[$.tmp.x]A1", "[sub.other]A1+1", "[SUB.OTHER]total",
                              "[sub.other]A2", "[sub.other]my_fn(1)", "[sub.other]no_name", "[broken]A1", "5"}));
    Loaded m(dir / "main.pd");
    ASSERT_TRUE(m.f.doc.Linked);
    EXPECT_EQ(m.f.doc.Linked->Loaded(), 2u);  // sub.other once, however written; broken tried once
    EXPECT_EQ(m.Csv(),
              "File not loaded\r\nFile not loaded\r\nFile not loaded\r\n22\r\n42\r\n"
              "Propagated\r\nCustom function not defined\r\nName not defined\r\n"
              "File not loaded\r\n5\r\n");
}

std::string LinkedFolder() { return test::RealDocumentsFolder() + "/linked"; }

// The two real sets, values worked out by hand from their statements.
TEST(LinkedDocuments, RealSetsCompute) {
    Loaded gcd(LinkedFolder() + "/GCD.pd");
    ASSERT_TRUE(gcd.f.doc.IsPipeDreamFile);
    ASSERT_TRUE(gcd.f.doc.Linked);
    formula::DocumentSource gs(gcd.f.doc);
    formula::Evaluator ge(gs);
    EXPECT_EQ(ge.CellValue(2, 5), formula::Value::Number(5));  // gcd(25,55)

    Loaded words(LinkedFolder() + "/Num_Expnd.pd");
    ASSERT_TRUE(words.f.doc.Linked);
    EXPECT_EQ(words.f.doc.Linked->Loaded(), 1u);  // 20 references, one sheet
    const char* expected[] = {
        "Zero",
        "one",
        "ten",
        "nineteen",
        "sixty seven",
        "ninety nine",
        "minus fifty four",
        "two hundred and one",
        "five hundred and eleven",
        "nine hundred and ninety nine",
        "twelve fourty seven b.c.",  // the sheet spells forty so
        "eighteen oh nine a.d.",
        "nineteen oh one a.d.",
        "nineteen eighteen a.d.",
        "nineteen fifty nine a.d.",
        "nineteen ninety one a.d.",
        "two thousand a.d.",
        "two thousand and one a.d.",
        "twenty ten a.d.",
        "ninety ninety nine a.d.",
    };
    formula::DocumentSource ws(words.f.doc);
    formula::Evaluator we(ws);
    for (int row = 1; row <= 20; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(formula::Describe(we.CellValue(2, row)),
                  formula::Describe(formula::Value::String(expected[row - 1])));
    }
    // The PipeDream layout shows them as any other value.
    auto shown = MakeShownCells(words.f.doc, Layout::PipeDream, ContextFor("Num_Expnd.pd"));
    EXPECT_NE(shown->Shown(2, 9).find("five hundred and eleven"), std::string::npos);
}

// A custom function sheet opened itself shows its statements as PipeDream
// does, dots first, and computes nothing.
TEST(LinkedDocuments, CustomFunctionSheetShowsItsStatements) {
    Loaded sheet(LinkedFolder() + "/CF_sheets/c_GCD.pd");
    EXPECT_TRUE(sheet.f.doc.IsCustomFunctionSheet);
    std::string csv = sheet.Csv();
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")), R"x("...function(""GCD"",""num_1:number"",""num_2:number"")",,,,,)x");
    EXPECT_NE(csv.find("...until(b=0)"), std::string::npos);
    auto shown = MakeShownCells(sheet.f.doc, Layout::PipeDream, ContextFor("c_GCD"));
    EXPECT_NE(shown->Shown(1, 9).find("...result(a)"), std::string::npos);
}

// Every number cell of the real linked documents converts to CSV without
// an error, the custom function sheets' statements included.
TEST(LinkedDocuments, RealSetsConvertWithoutErrors) {
    std::set<std::string> errors;
    for (int e = 0; e <= static_cast<int>(formula::ErrorCode::WronglyNestedLoop); ++e)
        errors.insert(std::string(formula::ErrorName(static_cast<formula::ErrorCode>(e))));
    int checked = 0;
    for (const auto& entry : fs::recursive_directory_iterator(LinkedFolder())) {
        if (entry.path().extension() != ".pd") continue;
        Loaded doc(entry.path().string());
        SCOPED_TRACE(entry.path().string());
        ASSERT_TRUE(doc.f.doc.IsPipeDreamFile);
        std::string csv = doc.Csv();
        std::size_t start = 0;
        while (start < csv.size()) {
            std::size_t end = csv.find_first_of(",\r", start);
            std::string field = csv.substr(start, end - start);
            EXPECT_FALSE(errors.count(field)) << field;
            ++checked;
            start = end + (csv[end] == '\r' ? 2 : 1);
        }
    }
    EXPECT_GT(checked, 100);
}

}  // namespace
}  // namespace tw
