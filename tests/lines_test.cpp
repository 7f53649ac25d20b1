#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/byte_scan.h"

#include "platform/lines.h"

namespace tw {
namespace {

std::vector<std::string> Lines(const std::string& data) {
    LineCursor c(data);
    std::vector<std::string> out;
    while (!c.AtEnd()) out.emplace_back(c.Next());
    return out;
}

TEST(LineCursor, EveryLineEndingEndsOneLine) {
    using V = std::vector<std::string>;
    const struct {
        const char* name;
        std::string data;
        V lines;
    } cases[] = {
        {"empty", "", {}},
        {"no ending", "a", {"a"}},
        {"LF", "a\nb\n", {"a", "b"}},
        {"CR", "a\rb\r", {"a", "b"}},
        {"CRLF", "a\r\nb\r\n", {"a", "b"}},
        {"LFCR", "a\n\rb\n\r", {"a", "b"}},
        {"LF LF is an empty line", "a\n\nb", {"a", "", "b"}},
        {"CRLF CRLF is an empty line", "a\r\n\r\nb", {"a", "", "b"}},
        {"CR CR", "a\r\rb", {"a", "", "b"}},
        {"LF CR LF", "a\n\r\nb", {"a", "", "b"}},
        {"mixed", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"only endings", "\n\n", {"", ""}},
        {"NUL kept", std::string("a\0b\nc", 5), {std::string("a\0b", 3), "c"}},
    };
    for (const auto& c : cases) EXPECT_EQ(Lines(c.data), c.lines) << c.name;
}

TEST(LineCursor, LineEndLengthTakesTwoOnlyForAMixedPair) {
    const struct {
        std::string data;
        std::size_t pos, length;
    } cases[] = {
        {"a\rb", 1, 1},   {"a\nb", 1, 1}, {"a\r\nb", 1, 2}, {"a\n\rb", 1, 2}, {"a\r\rb", 1, 1},
        {"a\n\nb", 1, 1}, {"a\r", 1, 1},  {"ab", 1, 0},     {"a\r\n", 5, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(LineEndLength(c.data, c.pos), c.length) << c.data << " at " << c.pos;
}

// The scanner against a byte-by-byte reading of its own table, for small
// exact sets, large sets with control and 8-bit members, and sets too
// large for the block test, at every position of texts that cross the
// sixteen- and sixty-four-byte blocks.
TEST(ByteScanner, AgreesWithItsTableEverywhere) {
    ByteTable escapes = TableOf("&<>\"@%");
    for (int c = 0; c < 32; ++c) escapes[static_cast<std::size_t>(c)] = c != 9 && c != 10 && c != 13;
    for (int c = 127; c < 256; ++c) escapes[static_cast<std::size_t>(c)] = true;
    ByteTable high = TableOf("\\{}@%");
    for (int c = 128; c < 256; ++c) high[static_cast<std::size_t>(c)] = true;
    ByteTable lows = TableOf("\x01\x1f#");
    lows[0xFF] = false;
    const struct {
        const char* name;
        ByteTable table;
    } sets[] = {
        {"empty", TableOf("")},
        {"line ends", TableOf("\r\n")},
        {"one byte twice", TableOf("aa%")},
        {"eight exact", TableOf("abcdefgh")},
        {"escapes with controls and 8-bit", escapes},
        {"escapes with 8-bit only", high},
        {"controls without 8-bit", lows},
        {"nine printable and 8-bit",
         [] {
             ByteTable t = TableOf("abcdefghi");
             t[0xE9] = true;
             return t;
         }()},
        {"a tenth of a member", TableOf("ABCDEFGHIJ\x80")},
    };
    // Bytes each set takes or leaves: members, their neighbours, controls,
    // 127, 8-bit bytes and bytes near the signed boundary.
    static const char kProbes[] = "\0\x01\t\n\r\x1f #%&<>@\"\\{}aAhiJK\x7f\x80\x9f\xa0\xe9\xff";
    const std::string probes(kProbes, sizeof kProbes - 1);
    std::string filler(150, 'x');
    for (const auto& set : sets) {
        ByteScanner scan(set.table);
        for (char probe : probes) {
            for (std::size_t len : {0u, 1u, 15u, 16u, 17u, 31u, 33u, 64u, 65u, 130u}) {
                for (std::size_t at = 0; at < len; at += (len > 40 ? 7 : 1)) {
                    std::string text = filler.substr(0, len);
                    text[at] = probe;
                    const char* b = text.data();
                    const char* e = b + len;
                    const char* want_next = e;
                    const char* want_prev = nullptr;
                    for (const char* p = b; p < e; ++p) {
                        if (set.table[static_cast<unsigned char>(*p)]) {
                            if (want_next == e) want_next = p;
                            want_prev = p;
                        }
                    }
                    std::string where = std::string(set.name) + " probe " +
                                        std::to_string(static_cast<unsigned char>(probe)) + " at " +
                                        std::to_string(at) + " of " + std::to_string(len);
                    EXPECT_EQ(scan.Next(b, e), want_next) << where;
                    EXPECT_EQ(scan.Previous(b, e), want_prev) << where;
                    EXPECT_EQ(scan.AnyIn(text), want_next != e) << where;
                    if (len >= 64) {
                        std::uint64_t want = 0;
                        for (int i = 0; i < 64; ++i) {
                            if (set.table[static_cast<unsigned char>(b[i])]) want |= std::uint64_t{1} << i;
                        }
                        EXPECT_EQ(scan.Mask64(b), want) << where;
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace tw
