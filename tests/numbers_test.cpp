#include <gtest/gtest.h>

#include <cmath>

#include "document/numbers.h"
#include "platform/errors.h"

namespace tw {
namespace {

struct ValCase {
    const char* text;
    double value;
};

TEST(Val, ReadsTheLeadingNumber) {
    const ValCase cases[] = {
        {"70", 70},
        {" 70", 70},
        {"abc", 0},
        {"", 0},
        {"2.5", 2.5},
        {"-3", -3},
        {"+4", 4},
        {"1 2 3", 123},
        {"\t1\n2", 12},
        {"12abc", 12},
        {"1e3", 1000},
        {"1E+2x", 100},
        {"2D2", 200},
        {"1e", 1},
        {"1e+", 1},
        {".5", 0.5},
        {"-.5", -0.5},
        {"5.", 5},
        {"&H10", 16},
        {"&hFF", 255},
        {"&HFFFF", -1},
        {"&O17", 15},
        {"&H", 0},
        {"&X1", 0},
        {"--1", 0},
        {"- 7", -7},
        {"3,5", 3},
        {"1.2.3", 1.2},
        {"\r5", 0},
        // The whole exponent counts; leading zeros add nothing.
        {"1e00000001", 10},
        {"5e-0000000001", 0.5},
        {"1e0000000000000000000002", 100},
        {"2E+00000000000", 2},
        {"1e000", 1},
        {"3d-00002", 0.03},
        {"1e 0 0 0 0 0 0 0 3", 1000},
        {"1e-99999999999999", 0},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(Val(c.text), c.value) << '"' << c.text << '"';
}

TEST(Val, AnExponentTooLongToHoldSaturates) {
    EXPECT_EQ(Val("1e99999999999999999999"), HUGE_VAL);
    EXPECT_EQ(Val("-1e00000000000000000000000000000999"), -HUGE_VAL);
    EXPECT_EQ(Val("0e99999999999"), 0);
    EXPECT_TRUE(IsNumeric("1e00000005"));
    // An option value that long still overflows the 16-bit range.
    EXPECT_THROW(CInt(Val("1e00000005")), VbError);
    EXPECT_EQ(CInt(Val("1e00000001")), 10);
}

TEST(CInt, RoundsHalvesToEvenAndChecksTheRange) {
    const struct {
        double in;
        int out;
    } cases[] = {{2.5, 2},    {3.5, 4},       {-2.5, -2},       {0.5, 0},        {1.5, 2},
                 {2.4999, 2}, {32767, 32767}, {-32768, -32768}, {32767.4, 32767}};
    for (const auto& c : cases) EXPECT_EQ(CInt(c.in), c.out) << c.in;
    for (double bad : {32767.5, 99999.0, -32768.6, 1e300}) {
        try {
            CInt(bad);
            ADD_FAILURE() << bad << " did not overflow";
        } catch (const VbError& e) {
            EXPECT_EQ(e.number(), 6);
        }
    }
}

TEST(IsNumeric, WholeTextMustBeANumber) {
    for (const char* yes : {"62", " 60 ", "64.4", "-1", "&H1F", "1e3"}) EXPECT_TRUE(IsNumeric(yes)) << yes;
    for (const char* no : {"", " ", "x", "6x", "&H", "1e3x"}) EXPECT_FALSE(IsNumeric(no)) << no;
}

TEST(FormatGeneral, WholeValuesHaveNoPoint) {
    EXPECT_EQ(FormatGeneral(14), "14");
    EXPECT_EQ(FormatGeneral(10.5), "10.5");
    EXPECT_EQ(FormatGeneral(-3), "-3");
    EXPECT_EQ(FormatGeneral(0), "0");
    EXPECT_EQ(FormatSingle(8.25f), "8.25");
    EXPECT_EQ(FormatSingle(1440.f), "1440");
}

}  // namespace
}  // namespace tw
