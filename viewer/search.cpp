#include "viewer/search.h"

#include <algorithm>
#include <array>
#include <vector>

#include "platform/byte_scan.h"

namespace tw {

namespace {

struct FoldTable {
    std::array<unsigned char, 256> lower{};
    FoldTable() {
        for (int c = 0; c < 256; ++c) lower[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c);
        for (int c = 'A'; c <= 'Z'; ++c) lower[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c + 32);
        // Latin-1 capitals, less the multiplication sign; and the four
        // capitals Windows-1252 places among 0x80 to 0x9F.
        for (int c = 0xC0; c <= 0xDE; ++c) {
            if (c != 0xD7) lower[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c + 32);
        }
        lower[0x8A] = 0x9A;  // S caron
        lower[0x8C] = 0x9C;  // OE
        lower[0x8E] = 0x9E;  // Z caron
        lower[0x9F] = 0xFF;  // Y diaeresis
    }
};

const FoldTable& Folds() {
    static const FoldTable t;
    return t;
}

// The bytes a scan stops at: the needle's first byte in both cases, and
// "%", the start of any markup that may hide a match.
ByteScanner StopBytes(std::array<char, 3> bytes) {
    return ByteScanner(TableOf(std::string_view(bytes.data(), bytes.size())));
}

class Finder {
public:
    Finder(const DocumentModel& doc, const ShownCells& cells, const FindRequest& r)
        : doc_(doc),
          cells_(cells),
          match_case_(r.match_case),
          forward_(r.forward),
          needle_(r.needle),
          bytes_(FirstBytes(r)) {
        if (!match_case_) needle_ = Folded(needle_);
    }

    std::optional<FoundText> From(TextPlace from) {
        // A cell holds no line end, and an empty needle matches nothing.
        if (needle_.empty() || needle_.find_first_of("\r\n") != std::string::npos) return std::nullopt;
        std::optional<FoundText> best;
        if (forward_) {
            for (int c = 1; c <= doc_.NumCols; ++c) {
                int first = c >= from.column ? from.row : from.row + 1;
                int last = std::min(doc_.Cells.RowsIn(c), doc_.NumRows);
                // Columns further right win only on an earlier row.
                if (best) last = std::min(last, best->row - 1);
                if (auto m = ScanColumn(c, std::max(first, 1), last, from)) best = m;
            }
        } else {
            for (int c = doc_.NumCols; c >= 1; --c) {
                int last = std::min({c <= from.column ? from.row : from.row - 1, doc_.Cells.RowsIn(c), doc_.NumRows});
                int first = best ? best->row + 1 : 1;
                if (auto m = ScanColumn(c, first, last, from)) best = m;
            }
        }
        return best;
    }

private:
    static constexpr int kBatch = 4096;

    static std::string Folded(std::string s) {
        for (char& ch : s) ch = static_cast<char>(FoldCase(static_cast<unsigned char>(ch)));
        return s;
    }

    static ByteScanner FirstBytes(const FindRequest& r) {
        char first = r.needle.empty() ? '%' : r.needle[0];
        char other = first;
        if (!r.match_case) {
            unsigned char f = FoldCase(static_cast<unsigned char>(first));
            for (int c = 0; c < 256; ++c) {
                if (FoldCase(static_cast<unsigned char>(c)) == f && c != static_cast<unsigned char>(first)) {
                    other = static_cast<char>(c);
                }
            }
        }
        return StopBytes({first, other, '%'});
    }

    bool Same(char a, char b) const {
        return match_case_ ? a == b : FoldCase(static_cast<unsigned char>(a)) == static_cast<unsigned char>(b);
    }

    // The needle stands in the stored bytes at p.
    bool StoredMatchAt(const char* p, const char* end) const {
        if (static_cast<std::size_t>(end - p) < needle_.size()) return false;
        for (std::size_t i = 0; i < needle_.size(); ++i) {
            if (!Same(p[i], needle_[i])) return false;
        }
        return true;
    }

    // Looks in the shown text of one cell: forward, the first match
    // starting at or after `from`'s offset in `from`'s cell; backward, the
    // last one starting before it. Other cells are searched whole.
    std::optional<FoundText> InCell(int column, int row, const TextPlace& from) const {
        std::string shown = cells_.Shown(column, row);
        std::size_t n = needle_.size();
        if (shown.size() < n) return std::nullopt;
        bool at_from = row == from.row && column == from.column;
        std::size_t last_start = shown.size() - n;
        auto matches = [&](std::size_t i) {
            for (std::size_t k = 0; k < n; ++k) {
                if (!Same(shown[i + k], needle_[k])) return false;
            }
            return true;
        };
        if (forward_) {
            for (std::size_t i = at_from ? from.offset : 0; i <= last_start; ++i) {
                if (matches(i)) return FoundText{row, column, i, n};
            }
        } else {
            std::size_t limit = at_from ? std::min(from.offset, last_start + 1) : last_start + 1;
            for (std::size_t i = limit; i-- > 0;) {
                if (matches(i)) return FoundText{row, column, i, n};
            }
        }
        return std::nullopt;
    }

    std::optional<FoundText> ScanColumn(int column, int first, int last, const TextPlace& from) {
        if (first > last) return std::nullopt;
        int batches = (last - first) / kBatch + 1;
        for (int b = 0; b < batches; ++b) {
            int lo = forward_ ? first + b * kBatch : std::max(first, last - (b + 1) * kBatch + 1);
            int hi = forward_ ? std::min(last, lo + kBatch - 1) : last - b * kBatch;
            if (auto m = ScanBatch(column, lo, hi, from)) return m;
        }
        return std::nullopt;
    }

    std::optional<FoundText> ScanBatch(int column, int lo, int hi, const TextPlace& from) {
        auto count = static_cast<std::size_t>(hi - lo + 1);
        views_.resize(count);
        doc_.Cells.ReadColumn(column, lo, hi - lo + 1, views_.data());
        if (!cells_.StoredBytesShow()) {
            // Each cell's shown text has to be made and searched.
            for (std::size_t k = 0; k < count; ++k) {
                std::size_t i = forward_ ? k : count - 1 - k;
                if (auto m = InCell(column, lo + static_cast<int>(i), from)) return m;
            }
            return std::nullopt;
        }
        // The cells of a column are consecutive lines of the document's
        // bytes: scan them in one run, and look at a cell's shown text only
        // where the needle stands in its bytes or markup may hide it.
        const char* begin = views_.front().data();
        const char* end = views_.back().data() + views_.back().size();
        auto cell_of = [&](const char* p) {
            auto it = std::upper_bound(views_.begin(), views_.end(), p,
                                       [](const char* q, std::string_view v) { return q < v.data(); });
            return static_cast<std::size_t>(it - views_.begin()) - 1;
        };
        if (forward_) {
            const char* p = begin;
            while ((p = bytes_.Next(p, end)) != end) {
                if (*p != '%' && !StoredMatchAt(p, end)) {
                    ++p;
                    continue;
                }
                std::size_t i = cell_of(p);
                if (auto m = InCell(column, lo + static_cast<int>(i), from)) return m;
                p = views_[i].data() + views_[i].size();
            }
        } else {
            const char* stop = end;
            const char* p;
            while (stop > begin && (p = bytes_.Previous(begin, stop)) != nullptr) {
                if (*p != '%' && !StoredMatchAt(p, end)) {
                    stop = p;
                    continue;
                }
                std::size_t i = cell_of(p);
                if (auto m = InCell(column, lo + static_cast<int>(i), from)) return m;
                stop = views_[i].data();
            }
        }
        return std::nullopt;
    }

    const DocumentModel& doc_;
    const ShownCells& cells_;
    bool match_case_, forward_;
    std::string needle_;
    ByteScanner bytes_;
    std::vector<std::string_view> views_;
};

}  // namespace

unsigned char FoldCase(unsigned char c) { return Folds().lower[c]; }

std::optional<FoundText> FindFrom(const DocumentModel& doc, const ShownCells& cells, const FindRequest& request,
                                  TextPlace from) {
    return Finder(doc, cells, request).From(from);
}

FindOutcome FindText(const DocumentModel& doc, const ShownCells& cells, const FindRequest& request, TextPlace from) {
    Finder finder(doc, cells, request);
    FindOutcome out;
    out.match = finder.From(from);
    if (!out.match) {
        TextPlace other = request.forward ? TextPlace{1, 1, 0} : TextPlace{doc.NumRows + 1, 1, 0};
        out.match = finder.From(other);
        out.wrapped = out.match.has_value();
    }
    return out;
}

}  // namespace tw
