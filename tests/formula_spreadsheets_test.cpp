// The fifteen real spreadsheets: every number cell computes, and known
// outputs come out right.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "document/sheet_source.h"
#include "support.h"

namespace tw::formula {
namespace {

std::string ReadSpreadsheet(const std::string& name) {
    std::ifstream in(std::string(TARNWICK_SOURCE_DIR) + "/tests/data/real-documents/spreadsheets/" + name,
                     std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST(RealSpreadsheets, EveryNumberCellComputes) {
    const char* files[] = {
        "pd4-example-complex.pd",         "pd4-example-database.pd",  "pd4-example-date.pd",
        "pd4-example-features.pd",        "pd4-example-financial.pd", "pd4-example-lookup.pd",
        "pd4-example-maths-maths.pd",     "pd4-example-maths-mod.pd", "pd4-example-maths-seriessum.pd",
        "pd4-example-matrix.pd",          "pd4-example-misc.pd",      "pd4-example-stats-listcount.pd",
        "pd4-example-stats-statistic.pd", "pd4-example-string.pd",    "pd4-example-trig.pd",
    };
    int formulas = 0;
    for (const char* name : files) {
        SCOPED_TRACE(name);
        std::string bytes = ReadSpreadsheet(name);
        ASSERT_FALSE(bytes.empty());
        test::Fixture f;
        f.Load(bytes, name);
        DocumentSource src(f.doc);
        Evaluator ev(src);
        for (int c = 1; c <= src.Cols(); ++c)
            for (int r = 1; r <= src.Rows(); ++r) {
                if (src.Cell(c, r).kind != CellInput::Kind::Formula) continue;
                ++formulas;
                Value v = ev.CellValue(c, r);
                EXPECT_FALSE(v.IsError())
                    << ColumnName(c) << r << " " << src.Cell(c, r).text << " gives " << Describe(v);
            }
    }
    EXPECT_GT(formulas, 600);
}

TEST(RealSpreadsheets, KnownOutputs) {
    struct Row {
        const char* file;
        const char* cell;
        const char* expected;  // a number, a "string" or an {array}
    };
    const Row rows[] = {
        {"pd4-example-lookup.pd", "E13", "11"},
        {"pd4-example-lookup.pd", "E14", "9"},
        {"pd4-example-lookup.pd", "E15", "11"},
        {"pd4-example-lookup.pd", "E16", "12"},
        {"pd4-example-lookup.pd", "E17", "12"},
        {"pd4-example-lookup.pd", "E18", "13"},
        {"pd4-example-stats-statistic.pd", "E13", "8.85"},
        {"pd4-example-stats-statistic.pd", "E19", "7.5"},
        {"pd4-example-stats-statistic.pd", "E25", "25.4275"},
        {"pd4-example-stats-listcount.pd", "F16", "118"},
        {"pd4-example-stats-listcount.pd", "E13",
         "{\"Brombles\",118;\"Gungers\",156;\"Sprongles\",114;\"Widgets\",180;\"Wobblers\",186}"},
        {"pd4-example-stats-listcount.pd", "F13", "\"listcount(B13C27)\""},
        {"pd4-example-stats-listcount.pd", "F22", "754"},
        {"pd4-example-matrix.pd", "F13", "-6"},
        {"pd4-example-matrix.pd", "F29", "-5"},
        {"pd4-example-misc.pd", "A5", "\"Eric The Half A Bee\""},
        {"pd4-example-misc.pd", "E18", "-1"},
        {"pd4-example-misc.pd", "E20", "\"array\""},
        {"pd4-example-complex.pd", "B7", "3"},
        {"pd4-example-complex.pd", "C11", "4.12574447016181"},
        {"pd4-example-complex.pd", "D11", "4.386560101476031"},
        {"pd4-example-maths-maths.pd", "E11", "-1"},
        {"pd4-example-maths-maths.pd", "E16", "1065.9589794411716"},
        {"pd4-example-string.pd", "F14", "\"This Is A TITLE\""},
        {"pd4-example-string.pd", "F20", "\"Lots of space\""},
        {"pd4-example-maths-seriessum.pd", "B34", "312"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.file) + " " + row.cell);
        test::Fixture f;
        f.Load(ReadSpreadsheet(row.file), row.file);
        DocumentSource src(f.doc);
        Evaluator ev(src);
        Formula ref = ParseFormula(row.cell);
        const Node& n = ref.node(ref.root);
        Value v = ev.CellValue(n.a.col, n.a.row);
        std::string want = row.expected;
        if (want[0] == '"' || want[0] == '{') {
            EXPECT_EQ(Describe(v), want);
        } else {
            ASSERT_TRUE(v.IsNumber()) << Describe(v);
            double n2 = std::stod(want);
            EXPECT_NEAR(v.number(), n2, 1e-12 * std::max(1.0, std::fabs(n2)));
        }
    }
}

}  // namespace
}  // namespace tw::formula
