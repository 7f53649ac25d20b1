// The line-end rule of documents and list files: CR, LF, CR LF and LF CR
// each end one line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/byte_scan.h"

namespace tw {

// The bytes that end a line.
inline constexpr ByteTable kLineEnds = TableOf("\r\n");
inline bool IsLineEnd(char c) { return kLineEnds[static_cast<unsigned char>(c)]; }
const ByteScanner& LineEndBytes();

// The length of the line ending at `data[pos]`: 2 for CR LF and LF CR,
// 1 for a lone CR or LF, 0 when no line ends there.
inline std::size_t LineEndLength(std::string_view data, std::size_t pos) {
    if (pos >= data.size() || !IsLineEnd(data[pos])) return 0;
    if (pos + 1 < data.size() && IsLineEnd(data[pos + 1]) && data[pos + 1] != data[pos]) return 2;
    return 1;
}

// Walks the lines of a text: a final line without an ending still counts,
// an ending at the very end adds no empty line.
class LineCursor {
public:
    explicit LineCursor(std::string_view data) : data_(data) {}
    bool AtEnd() const { return pos_ >= data_.size(); }
    // Offset of the line that Next() will return.
    std::size_t Offset() const { return pos_; }
    std::string_view Next() {
        std::size_t start = pos_;
        std::size_t end = FindEnd(start);
        pos_ = end + LineEndLength(data_, end);
        return {data_.data() + start, end - start};
    }

private:
    // Lines are mostly found in the block already loaded: that case is
    // inline, the rest goes through FindEndFrom.
    std::size_t FindEnd(std::size_t from) {
        // Below the block, the difference wraps round to a large number.
        std::size_t shift = from - base_;
        if (shift < 64) {
            std::uint64_t m = mask_ >> shift;
            if (m != 0) return from + static_cast<std::size_t>(__builtin_ctzll(m));
        }
        return FindEndFrom(from);
    }
    std::size_t FindEndFrom(std::size_t from);
    void LoadBlock(std::size_t base);

    std::string_view data_;
    std::size_t pos_ = 0;
    // Line endings are found 64 bytes at a time: a bit per line-end byte
    // of the block at base_.
    std::size_t base_ = 0;
    std::uint64_t mask_ = 0;
    bool loaded_ = false;
};

// Length of the line starting at `p`: up to the first line-end byte or the end.
std::size_t LineLength(const char* p, const char* end);

}  // namespace tw
