#include <gtest/gtest.h>

#include <vector>

#include "platform/textfile.h"

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

}  // namespace
}  // namespace tw
