// The CSV writer, byte for byte.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "export/csv_export.h"
#include "support.h"

namespace tw {
namespace {

std::string Csv(const std::string& document) {
    test::Fixture f;
    f.Load(document);
    StringSink sink;
    WriteCsv(f.doc, sink);
    return sink.bytes;
}

TEST(CsvExport, Documents) {
    struct Row {
        const char* name;
        const char* document;
        const char* csv;
    };
    const Row rows[] = {
        {"values and text", "%CO:A,8,8%%V%1+2\nname\n%CO:B,8,8%%V%%D2%A1*1.5\n%V%A2\n", "3,4.5\r\nname,name\r\n"},
        {"short column and empty cells", "%CO:A,8,8%a\n\nc\n%CO:B,8,8%%V%0.1+0.2\n%CO:C,8,8%\n",
         "a,0.30000000000000004,\r\n,,\r\nc,,\r\n"},
        {"quoting", "%CO:A,8,8%a,b\nsay \"hi\"\n%V%join(\"x,\",\"y\")\n plain \n",
         "\"a,b\"\r\n\"say \"\"hi\"\"\"\r\n\"x,y\"\r\n plain \r\n"},
        {"text reduced as the text export does", "%CO:A,8,8%%R%%H2%Total%H2% @P@\n50%PC%\n100% sure\nx@@y\n",
         "Total \r\n50%\r\n100% sure\r\nx@y\r\n"},
        {"Windows-1252 to UTF-8",
         "%CO:A,8,8%\xA3"
         "5\n\x80\x93\x81\n%V%\"\xE9\"\n",
         "\xC2\xA3"
         "5\r\n\xE2\x82\xAC\xE2\x80\x9C\xC2\x81\r\n\xC3\xA9\r\n"},
        {"dates and times in ISO form", "%CO:A,8,8%%V%17.3.1961\n%V%18:33:04\n%V%date(2024,2,29)+1\n",
         "1961-03-17\r\n18:33:04\r\n2024-03-01\r\n"},
        {"errors by name, a cycle in each of its cells",
         "%CO:A,8,8%%V%1/0\n%V%A1+1\n%V%A4\n%V%A3\n%V%nosuchfunction(1)\n",
         "Divide by zero\r\nPropagated\r\nCircular reference\r\nCircular reference\r\n"
         "Custom function not defined\r\n"},
        {"numbers in their shortest form",
         "%CO:A,8,8%%V%-3\n%V%1e20\n%V%1/3\n%V%0-0\n%V%123456789012345\n%V%0.000001\n",
         "-3\r\n1e+20\r\n0.3333333333333333\r\n0\r\n123456789012345\r\n1e-06\r\n"},
        {"an array shows its first element", "%CO:A,8,8%%V%{7,8;9,10}\n", "7\r\n"},
        {"options only", "%OP%PL60\n", ""},
        // References name columns: a column stands at its letter's place.
        {"columns A and C only", "%CO:A,8,8%%V%1\n%CO:C,8,8%%V%A1+B1+1\n", "1,,2\r\n"},
        {"columns stored C then A", "%CO:C,8,8%%V%A1*10\n%CO:A,8,8%%V%5\n", "5,,50\r\n"},
        {"a blank line among the options", "%OP%DEx\n\n%OP%DP0\n%CO:A,8,8%%V%2\n%CO:B,8,8%%V%A1+1\n", "2,3\r\n"},
    };
    for (const Row& r : rows) EXPECT_EQ(Csv(r.document), r.csv) << r.name;
}

TEST(CsvExport, FieldsAndNumbers) {
    struct Field {
        const char* text;
        const char* field;
    };
    const Field fields[] = {
        {"", ""},
        {"a b", "a b"},
        {"a,b", "\"a,b\""},
        {"\"", "\"\"\"\""},
        {"line\r\nbreak", "\"line\r\nbreak\""},
        {"lf\n", "\"lf\n\""},
        {"semi;colon", "semi;colon"},
    };
    for (const Field& f : fields) EXPECT_EQ(CsvField(f.text), f.field) << f.text;

    // Every shortest form reads back as the same double.
    const double numbers[] = {
        0.1, 1.0 / 3, -2.5e-300, 1e308, 5e-324, 123456.789, 0.1 + 0.2, -1.0, 1e15, 1e16, std::nextafter(1.0, 2.0)};
    for (double n : numbers) {
        std::string s = ShortestNumber(n);
        EXPECT_EQ(std::strtod(s.c_str(), nullptr), n) << s;
        EXPECT_EQ(s.find(','), std::string::npos) << s;
    }
    EXPECT_EQ(ShortestNumber(-0.0), "0");
    EXPECT_EQ(ShortestNumber(2.5), "2.5");
    EXPECT_EQ(ShortestNumber(200000), "200000");  // fixed notation within ordinary sizes
    EXPECT_EQ(ShortestNumber(-0.0001), "-0.0001");
    EXPECT_EQ(ShortestNumber(1e16), "1e+16");
    EXPECT_EQ(Cp1252ToUtf8("\x9F\xFF\x7F"), "\xC5\xB8\xC3\xBF\x7F");
}

// Numbers of a few decimals take a quicker way to their text; it must be
// the text of the general conversion for every kind of number.
TEST(CsvExport, NumbersAsTheGeneralConversionWritesThem) {
    auto general = [](double v) {
        char buf[400];
        double a = std::fabs(v);
        auto form = a >= 1e-4 && a < 1e16 ? std::chars_format::fixed : std::chars_format::scientific;
        return std::string(buf, std::to_chars(buf, buf + sizeof buf, v, form).ptr);
    };
    std::vector<double> numbers = {0.0001,
                                   0.00011,
                                   0.000099,
                                   0.1 + 0.2,
                                   9.999999999999998,
                                   4503599627370495.5,
                                   4503599627370497.0,
                                   9007199254740993.0,
                                   1e15 + 0.25,
                                   123.456,
                                   0.30000000000000004};
    std::mt19937_64 dice(12345);
    for (int i = 0; i < 20000; ++i) {
        // Decimals of a few places, any double, and neighbours of round numbers.
        double p10 = std::pow(10.0, static_cast<double>(dice() % 12));
        numbers.push_back(static_cast<double>(dice() % 100000000000ull) / p10);
        std::uint64_t bits = dice();
        double any;
        std::memcpy(&any, &bits, sizeof any);
        if (std::isfinite(any)) numbers.push_back(any);
        numbers.push_back(std::nextafter(static_cast<double>(dice() % 100000) / 100, 1e300));
    }
    for (double n : numbers) {
        if (n == 0.0) continue;
        EXPECT_EQ(ShortestNumber(n), general(n)) << n;
        EXPECT_EQ(ShortestNumber(-n), general(-n)) << n;
    }
}

TEST(CsvExport, LongRunningTotalIsComputedWithoutRecursionLimits) {
    // A running total down column B, far deeper than any call stack.
    std::string doc = "%CO:A,8,8%";
    const int rows = 100000;
    for (int r = 1; r <= rows; ++r) doc += "%V%1\n";
    doc += "%CO:B,8,8%%V%A1\n";
    for (int r = 2; r <= rows; ++r) doc += "%V%B" + std::to_string(r - 1) + "+A" + std::to_string(r) + "\n";
    std::string csv = Csv(doc);
    std::string last = "1,100000\r\n";
    ASSERT_GE(csv.size(), last.size());
    EXPECT_EQ(csv.substr(csv.size() - last.size()), last);
    EXPECT_EQ(csv.substr(0, 11), "1,1\r\n1,2\r\n1");
}

TEST(CsvExport, WritesTheFileAndReportsFailures) {
    test::Fixture f;
    f.Load("%CO:A,8,8%%V%6*7\n");
    test::TempDir dir;
    WriteFileCsv(f.fp.sys, f.doc, dir / "out.csv");
    EXPECT_EQ(test::ReadFile(dir / "out.csv"), "42\r\n");
    EXPECT_TRUE(f.fp.msg.shown.empty());
    f.fp.msg.answers.push_back(MsgResult::Abort);
    WriteFileCsv(f.fp.sys, f.doc, dir / "no/such/folder/out.csv");
    ASSERT_EQ(f.fp.msg.shown.size(), 1u);
    EXPECT_NE(f.fp.msg.shown[0].text.find("in WriteFileCsv"), std::string::npos) << f.fp.msg.shown[0].text;
}

}  // namespace
}  // namespace tw
