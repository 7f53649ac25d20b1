#include "document/layouts.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <ctime>
#include <limits>
#include <unordered_map>
#include <vector>

#include "document/constructs.h"
#include "document/markup.h"
#include "document/number_format.h"
#include "document/numbers.h"
#include "document/sheet_source.h"
#include "document/text.h"
#include "formula/dates.h"
#include "formula/evaluator.h"
#include "formula/format.h"

namespace tw {

namespace {

// A column attribute as a whole number of characters, never negative. A
// width past any screen or page is taken as that much, so that a file
// asking for a column millions wide costs no more than this to lay out.
constexpr int kWidestColumn = 1000;
int Characters(std::string_view text) {
    double v = Val(text);
    if (!(v > 0)) return 0;
    if (v > kWidestColumn) return kWidestColumn;
    return static_cast<int>(v);
}

// Inserted text reaches the consumers' control pass: a "%" in it must
// stay a character.
void AppendLiteral(std::string_view text, std::string& out) {
    for (char c : text) {
        if (c == '%') out.append("%PC%");
        else out.push_back(c);
    }
}

// Characters `text` shows once the control pass has run: a code counts
// nothing, "%PC%" one, a lone "%" and what follows it as written.
long VisibleWidth(std::string_view text) {
    long width = 0;
    std::size_t i = 0;
    for (;;) {
        std::size_t a = text.find('%', i);
        if (a == std::string_view::npos) return width + static_cast<long>(text.size() - i);
        std::size_t b = text.find('%', a + 1);
        if (b == std::string_view::npos) return width + static_cast<long>(text.size() - i);
        width += static_cast<long>(a - i);
        if (text.substr(a, b - a + 1) == "%PC%") width += 1;
        i = b + 1;
    }
}

// A cell named by a field: column letters and row digits, "$" allowed
// before either. False for anything else.
bool ParseCellName(std::string_view id, int& col, int& row) {
    std::size_t i = 0;
    if (i < id.size() && id[i] == '$') ++i;
    long c = 0;
    std::size_t letters = i;
    while (i < id.size() && std::isalpha(static_cast<unsigned char>(id[i]))) {
        c = c * 26 + (std::toupper(static_cast<unsigned char>(id[i])) - 'A' + 1);
        if (c > 100000) return false;
        ++i;
    }
    if (i == letters) return false;
    if (i < id.size() && id[i] == '$') ++i;
    long r = 0;
    std::size_t digits = i;
    while (i < id.size() && std::isdigit(static_cast<unsigned char>(id[i]))) {
        r = r * 10 + (id[i] - '0');
        if (r > 100000000) return false;
        ++i;
    }
    if (i == digits || i != id.size() || r < 1) return false;
    col = static_cast<int>(c);
    row = static_cast<int>(r);
    return true;
}

// "@G:file,scale@" places a picture or chart, "@F:font,size@" changes the
// font; either letter may be lower case.
bool IsPictureOrFont(std::string_view id) {
    return id.size() >= 2 && id[1] == ':' && std::string_view("FGfg").find(id[0]) != std::string_view::npos;
}

struct Piece {
    std::string marked;
    long width = 0;  // the width the line is laid out with
};

// No room limit: text with nothing after it in its row runs on.
constexpr long kNoLimit = std::numeric_limits<long>::max() / 4;

// Appends `text` to `p`, counting as VisibleWidth does, but no visible
// character past `limit`; the codes past it are kept, so that a highlight
// switched on is still switched off.
void AppendCut(std::string_view text, long limit, Piece& p) {
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t b = text[i] == '%' ? text.find('%', i + 1) : std::string_view::npos;
        if (b != std::string_view::npos) {
            std::string_view code = text.substr(i, b - i + 1);
            bool shows = code == "%PC%";
            if (!shows || p.width < limit) p.marked.append(code);
            if (shows && p.width < limit) ++p.width;
            i = b + 1;
            continue;
        }
        if (text[i] == '%') {
            // A lone "%" shows the rest as written.
            std::string_view rest = text.substr(i, static_cast<std::size_t>(std::max(0L, limit - p.width)));
            p.marked.append(rest);
            p.width += static_cast<long>(rest.size());
            return;
        }
        if (p.width < limit) {
            p.marked.push_back(text[i]);
            ++p.width;
        }
        ++i;
    }
}

class PipeDreamCells final : public ShownCells {
public:
    PipeDreamCells(const DocumentModel& doc, ShownContext context)
        : doc_(doc),
          context_(std::move(context)),
          source_(doc),
          eval_(source_),
          defaults_(formula::DocumentNumberFormat(doc)) {
        for (int c = 1; c <= doc.NumCols; ++c) {
            int width = Characters(doc.Cells(c, -2));
            int wrap = Characters(doc.Cells(c, -1));
            width_.push_back(width);
            range_.push_back(wrap > 0 ? wrap : width);
            start_.push_back(doc.StartPosition(c));
        }
    }

    std::string Marked(int col, int row) const override {
        if (const ShownText* s = Find(col, row)) return s->marked;
        return std::string(doc_.Cells(col, row));
    }
    std::string Unpadded(int col, int row) const override {
        if (const ShownText* s = Find(col, row)) return s->unpadded;
        return std::string(doc_.Cells(col, row));
    }
    bool Aligned(int col, int row) const override {
        const ShownText* s = Find(col, row);
        return s != nullptr && s->aligned;
    }
    int PageBreak(int row) const override { return RowPageBreak(doc_, row); }

    std::string Filled(std::string_view content) const override {
        std::string date;
        if (context_.today != 0) date = formula::FormatDateTime({true, false, context_.today, 0}, defaults_.dates);
        std::string out;
        FieldPass(Expand(content).marked, FieldForms{{}, date, doc_.OptDE}, out);
        return out;
    }

    void SetDeferred(bool deferred) const override {
        deferred_ = deferred;
        if (deferred) {
            waiting_.clear();
            next_waiting_ = 0;
        }
    }
    bool Waiting() const override { return next_waiting_ < waiting_.size(); }
    bool ComputeWaiting(std::chrono::steady_clock::time_point deadline) const override {
        for (; next_waiting_ < waiting_.size(); ++next_waiting_) {
            auto [col, row] = waiting_[next_waiting_];
            if (!eval_.ComputeUntil(col, row, deadline)) return false;
        }
        return true;
    }

private:
    struct ShownText {
        std::string marked;
        std::string unpadded;  // without the alignment spaces
        bool aligned = false;  // text placed by its alignment
    };

    // The cell's shown text, built the first time it is asked for; nullptr
    // where the cell shows as stored.
    const ShownText* Find(int col, int row) const {
        if (col < 1 || col > doc_.NumCols || row < 1 || row > doc_.Cells.UpperRow()) return nullptr;
        std::string_view raw = doc_.Cells(col, row);
        // A cell without codes or fields is left-aligned text as it stands,
        // unless it runs into a cell after it.
        if (!HasMarkup(raw) && !Overruns(col, row, static_cast<long>(raw.size()))) return nullptr;
        auto key = (static_cast<std::int64_t>(col) << 32) | static_cast<std::uint32_t>(row);
        if (auto it = cache_.find(key); it != cache_.end()) return &it->second;
        incomplete_ = false;
        ShownText built = Build(col, row, raw);
        // A cell showing a placeholder is built again once computed.
        if (incomplete_) {
            unkept_ = std::move(built);
            return &unkept_;
        }
        // Only the cells near what is being shown are kept; the evaluator
        // keeps the values, so a cell built again costs only its format.
        if (cache_.size() >= kKept) cache_.clear();
        return &cache_.emplace(key, std::move(built)).first->second;
    }

    ShownText Build(int col, int row, std::string_view raw) const {
        CellConstructs c = ParseCellConstructs(raw);
        auto index = static_cast<std::size_t>(col - 1);
        ShownText s;
        if (c.is_number) {
            std::string value = DisplayForm(col, row, c);
            long room = width_[index] > 1 ? width_[index] - 1 : width_[index];
            long spare = std::max(0L, room - static_cast<long>(value.size()));
            long pad = c.align == CellAlign::Left ? 0 : c.align == CellAlign::Centre ? spare / 2 : spare;
            AppendLiteral(value, s.unpadded);
            s.marked.assign(static_cast<std::size_t>(pad), ' ');
            s.marked += s.unpadded;
            return s;
        }
        long range = TextRange(col, row);
        s.aligned = c.align == CellAlign::Centre || c.align == CellAlign::Right ||
                    (c.align == CellAlign::LeftCentreRight && !c.content.empty());
        // Text runs on over the empty cells after it, as far as the next
        // cell that shows something, which it would otherwise write over.
        long room = RunRoom(col, row);
        if (c.align == CellAlign::LeftCentreRight && !c.content.empty()) {
            std::string_view rest = std::string_view(c.content).substr(1);
            char delimiter = c.content[0];
            std::string_view texts[3];
            Piece parts[3];
            for (int k = 0; k < 3; ++k) {
                std::size_t d = rest.find(delimiter);
                texts[k] = rest.substr(0, d);
                parts[k] = Expand(texts[k]);
                if (d == std::string_view::npos) break;
                rest = rest.substr(d + 1);
            }
            // Left from the start, centre in the middle, right against the
            // margin; a part that does not fit follows the one before it.
            long centre = std::max(parts[0].width, (range - parts[1].width) / 2);
            long right = std::max(centre + parts[1].width, range - parts[2].width);
            const long at[3] = {0, centre, right};
            int shown = !parts[2].marked.empty() ? 3 : !parts[1].marked.empty() ? 2 : 1;
            long used = 0;
            for (int k = 0; k < shown; ++k) {
                long from = std::min(at[k], room);
                if (from > used) s.marked.append(static_cast<std::size_t>(from - used), ' ');
                used = std::max(used, from);
                if (at[k] + parts[k].width > room) parts[k] = Expand(texts[k], room - used);
                s.marked += parts[k].marked;
                used += parts[k].width;
            }
            for (const Piece& part : parts) {
                if (part.marked.empty()) continue;
                if (!s.unpadded.empty()) s.unpadded.push_back(' ');
                s.unpadded += part.marked;
            }
            return s;
        }
        Piece text = Expand(c.content);
        long spare = std::max(0L, range - text.width);
        long pad = c.align == CellAlign::Centre ? spare / 2 : c.align == CellAlign::Right ? spare : 0;
        if (pad + text.width > room) text = Expand(c.content, room - pad);
        s.marked.assign(static_cast<std::size_t>(pad), ' ');
        s.marked += text.marked;
        s.unpadded = std::move(text.marked);
        return s;
    }

    // True when text `width` characters wide at `col` would reach the next
    // column and a cell there, or further on, that shows something.
    bool Overruns(int col, int row, long width) const {
        if (col >= doc_.NumCols) return false;
        double gap = start_[static_cast<std::size_t>(col)] - start_[static_cast<std::size_t>(col - 1)];
        return !(static_cast<double>(width) <= gap) && RunRoom(col, row) < width;
    }

    // The room a text cell's text has up to the next cell of its row that
    // shows something; kNoLimit when none does.
    long RunRoom(int col, int row) const {
        for (int next = col + 1; next <= doc_.NumCols; ++next) {
            std::string_view raw = doc_.Cells(next, row);
            if (!ShowsSomething(raw)) continue;
            double gap = start_[static_cast<std::size_t>(next - 1)] - start_[static_cast<std::size_t>(col - 1)];
            if (!(gap > 0)) return 0;
            return gap < static_cast<double>(kNoLimit) ? static_cast<long>(gap) : kNoLimit;
        }
        return kNoLimit;
    }

    // A cell of codes alone, a page break say, leaves its room to the text
    // before it.
    static bool ShowsSomething(std::string_view raw) {
        if (raw.find('%') == std::string_view::npos) return !raw.empty();
        CellConstructs c = ParseCellConstructs(raw);
        return c.is_number || VisibleWidth(c.content) > 0;
    }

    // The room a text cell is aligned in: up to its right margin, but no
    // further than the next cell of the row that shows something, which
    // would otherwise be written over.
    long TextRange(int col, int row) const {
        long range = range_[static_cast<std::size_t>(col - 1)];
        for (int next = col + 1; next <= doc_.NumCols; ++next) {
            double gap = start_[static_cast<std::size_t>(next - 1)] - start_[static_cast<std::size_t>(col - 1)];
            if (!(gap < static_cast<double>(range))) break;
            if (!doc_.Cells(next, row).empty()) return std::max(0L, static_cast<long>(gap));
        }
        return range;
    }

    // A number cell's value as its own format and column show it.
    std::string DisplayForm(int col, int row, const CellConstructs& c) const {
        formula::NumberFormat fmt = formula::CellNumberFormat(defaults_, doc_, c);
        int sheet_col = source_.SheetColumn(col);
        std::optional<formula::Value> v;
        if (deferred_) v = eval_.ValueIfComputed(sheet_col, row);
        else v = eval_.CellValue(sheet_col, row);
        if (!v) {
            incomplete_ = true;
            waiting_.emplace_back(sheet_col, row);
            return std::string(kComputingPlaceholder);
        }
        return formula::FormatValue(*v, fmt, width_[static_cast<std::size_t>(col - 1)]);
    }

    // What a field naming a cell (by the column's name) shows: a number
    // cell's display form without its alignment, a text cell's text.
    std::string Referenced(int sheet_col, int row) const {
        int col = source_.ModelColumn(sheet_col);
        if (col < 1 || row > doc_.NumRows) return {};
        std::string_view raw = doc_.Cells(col, row);
        if (IsNumberCell(raw)) {
            std::string form = DisplayForm(col, row, ParseCellConstructs(raw));
            return std::string(TrimView(form));
        }
        formula::Value v = eval_.CellValue(sheet_col, row);
        return v.type() == formula::Value::Type::String ? v.text() : std::string();
    }

    // Fills in the fields this layout knows ("@L@", "@N@", a cell name);
    // "@P@", "@D@", "@T@", "@@" and unknown fields stay for the consumers.
    // A field counts as the width its "@"s reserve. Nothing visible goes
    // past `limit`: a filled-in field is cut there, one left for the
    // consumers is left out whole.
    Piece Expand(std::string_view text, long limit = kNoLimit) const {
        Piece p;
        auto inserted = [&](const std::string& value, long width) {
            std::string literal;
            AppendLiteral(value, literal);
            if (p.width + width <= limit) {
                p.marked += literal;
                p.width += width;
            } else {
                AppendCut(literal, limit, p);
                p.width = std::max(p.width, limit);
            }
        };
        auto kept = [&](std::string_view field, long width) {
            if (p.width + width <= limit) p.marked.append(field);
            p.width = p.width + width <= limit ? p.width + width : std::max(p.width, limit);
        };
        std::size_t i = 0;
        for (;;) {
            std::size_t a = text.find('@', i);
            std::size_t b = a == std::string_view::npos ? a : text.find('@', a + 1);
            if (b == std::string_view::npos) {
                AppendCut(text.substr(i), limit, p);
                return p;
            }
            AppendCut(text.substr(i, a - i), limit, p);
            std::string_view id = text.substr(a + 1, b - a - 1);
            std::size_t end = b + 1;
            while (end < text.size() && text[end] == '@') ++end;
            auto reserved = static_cast<long>(end - b);
            std::string_view field = text.substr(a, end - a);
            int col = 0, row = 0;
            if (id == "L" || id == "l") {
                inserted(context_.leaf_name, reserved);
            } else if (id == "N" || id == "n") {
                inserted(context_.time, reserved);
            } else if (id.size() == 1 && std::string_view("PDTpdt").find(id[0]) != std::string_view::npos) {
                kept(field, reserved);
            } else if (ParseCellName(id, col, row)) {
                inserted(Referenced(col, row), reserved);
            } else if (IsPictureOrFont(id)) {
                // PipeDream drew a picture or changed the font here; neither
                // has a form in these outputs, so the field shows nothing.
            } else if (id.empty()) {
                kept(field, 1);
            } else {
                kept(field, static_cast<long>(b - a + 1));
            }
            i = end;
        }
    }

    static constexpr std::size_t kKept = 1 << 14;

    const DocumentModel& doc_;
    ShownContext context_;
    formula::DocumentSource source_;
    // Asking for a cell computes what it needs once; to their readers the
    // cells stay const.
    mutable formula::Evaluator eval_;
    formula::NumberFormat defaults_;
    std::vector<int> width_, range_;
    std::vector<double> start_;
    mutable std::unordered_map<std::int64_t, ShownText> cache_;
    mutable ShownText unkept_;
    // The window's drawing: cells waiting for their values.
    mutable bool deferred_ = false;
    mutable bool incomplete_ = false;
    mutable std::vector<std::pair<int, int>> waiting_;  // sheet column, row
    mutable std::size_t next_waiting_ = 0;
};

}  // namespace

std::string_view LayoutName(Layout layout) { return layout == Layout::PipeDream ? "pipedream" : "plain"; }

std::optional<Layout> LayoutFromName(std::string_view name) {
    std::string upper = ToUpperAscii(name);
    if (upper == "PIPEDREAM") return Layout::PipeDream;
    if (upper == "PLAIN") return Layout::Plain;
    return std::nullopt;
}

ShownContext ContextFor(std::string_view path) {
    ShownContext context;
    std::size_t slash = path.find_last_of('/');
    context.leaf_name = std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
    std::time_t now = std::time(nullptr);
    std::tm local{};
    char buf[8] = "";
    if (localtime_r(&now, &local) != nullptr) {
        std::strftime(buf, sizeof buf, "%H:%M", &local);
        context.today = formula::DaysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    }
    context.time = buf;
    return context;
}

int RowPageBreak(const DocumentModel& doc, int row) {
    if (row < 1 || row > doc.Cells.UpperRow()) return -1;
    int found = -1;
    for (int c = 1; c <= doc.NumCols; ++c) {
        std::string_view raw = doc.Cells(c, row);
        if (raw.find('%') == std::string_view::npos) continue;
        int b = ParseCellConstructs(raw).page_break;
        if (b >= 0) found = b;
    }
    return found;
}

std::unique_ptr<ShownCells> MakeShownCells(const DocumentModel& doc, Layout layout, const ShownContext& context) {
    if (layout == Layout::PipeDream) return std::make_unique<PipeDreamCells>(doc, context);
    return std::make_unique<PlainCells>(doc);
}

}  // namespace tw
