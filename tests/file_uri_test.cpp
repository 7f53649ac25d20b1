// file:// URIs handed over by file managers and browsers.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/file_uri.h"

namespace tw {
namespace {

TEST(FileUri, LocalPathsDecodedByteForByte) {
    struct Case {
        const char* uri;
        std::optional<std::string> path;
    };
    const Case cases[] = {
        {"file:///home/ann/letter.pd", "/home/ann/letter.pd"},
        {"file:///home/ann/my%20letter.pd", "/home/ann/my letter.pd"},
        {"FILE:///tmp/A.PD", "/tmp/A.PD"},
        {"file://localhost/tmp/a.pd", "/tmp/a.pd"},
        {"file://LocalHost/tmp/a.pd", "/tmp/a.pd"},
        {"file:/tmp/a.pd", "/tmp/a.pd"},
        // Latin-1 and UTF-8 names both come back as the bytes escaped.
        {"file:///tmp/caf%E9.pd", std::string("/tmp/caf\xE9.pd")},
        {"file:///tmp/caf%C3%A9.pd", std::string("/tmp/caf\xC3\xA9.pd")},
        {"file:///tmp/100%25.pd", "/tmp/100%.pd"},
        {"file:///tmp/%23hash%3F.pd", "/tmp/#hash?.pd"},
        // Not an escape: the percent sign stands for itself.
        {"file:///tmp/50%.pd", "/tmp/50%.pd"},
        {"file:///tmp/x%zz.pd", "/tmp/x%zz.pd"},
        {"file:///tmp/end%4", "/tmp/end%4"},
        // A query or a fragment is no part of the name.
        {"file:///tmp/a.pd#page2", "/tmp/a.pd"},
        {"file:///tmp/a.pd?x=1", "/tmp/a.pd"},
        // Not local files, or not URIs at all.
        {"file://server/share/a.pd", std::nullopt},
        {"file://localhostx/a.pd", std::nullopt},
        {"file://", std::nullopt},
        {"file:relative.pd", std::nullopt},
        {"http://example.org/a.pd", std::nullopt},
        {"/tmp/file:///a.pd", std::nullopt},
        {"report.pd", std::nullopt},
        {"file:///tmp/a%00b.pd", std::nullopt},
        {"file:///tmp/a%2fb", std::nullopt},
        {"file:///tmp/a%2Fb.pd", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(PathFromFileUri(c.uri), c.path) << c.uri;
}

}  // namespace
}  // namespace tw
