// Rows laid out ahead on a second thread: the hand-over of blocks, and
// writers that give the same bytes, reports and answers with it as without.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>

#include "export/row_layout.h"
#include "export/rows_ahead.h"
#include "export/text_export.h"
#include "support.h"

namespace tw {
namespace {

std::string LineOf(int row) { return "row " + std::to_string(row) + "\n"; }

// Walks rows as a writer does: each row's line from the block laid out
// ahead when it holds the row, otherwise laid out by the walker itself.
TEST(RowsAhead, EveryRowOnceInOrder) {
    const struct {
        int first, last, block;
        int stop_there, stop_here;  // a row the thread stops before, every so many rows (0: never)
        int abandon_at;             // the writer stops walking here (0: walks to the end)
    } cases[] = {
        {1, 100, 7, 0, 0, 0},     // blocks that do not divide the rows
        {1, 100, 1, 0, 0, 0},     // one row a block
        {5, 64, 8, 0, 0, 0},      // a range that does not start at row 1, blocks that divide it
        {1, 9, 10, 0, 0, 0},      // one block: nothing ahead
        {3, 2, 4, 0, 0, 0},       // no rows
        {1, 200, 6, 5, 0, 0},     // the second thread stops at every fifth row
        {1, 200, 6, 0, 4, 0},     // the writer's own look-ahead stops too
        {1, 200, 6, 1, 1, 0},     // nothing is ever laid out ahead
        {1, 5000, 16, 0, 0, 60},  // abandoned partway: the second thread is stopped
    };
    for (const auto& c : cases) {
        // How often each row is laid out, by either thread or by the walker:
        // once, whoever does it.
        int rows = std::max(c.last, 0) + 2;
        auto laid = std::make_unique<std::atomic<int>[]>(static_cast<std::size_t>(rows));
        auto lay = [&laid](int stop) {
            return [stop, &laid](LaidBlock& b, int last) {
                for (int row = b.first; row <= last; ++row) {
                    if (stop != 0 && row % stop == 0) return;
                    b.Add(LineOf(row), static_cast<unsigned char>(row & 0xff));
                    ++laid[static_cast<std::size_t>(row)];
                }
            };
        };
        std::string got, want;
        int end = c.abandon_at != 0 ? c.abandon_at - 1 : c.last;
        {
            RowsAhead ahead(c.first, c.last, c.block, lay(c.stop_there), lay(c.stop_here));
            for (int row = c.first; row <= end; ++row) {
                const LaidBlock* b = ahead.Find(row);
                if (b != nullptr && b->Has(row)) {
                    got += b->Line(row);
                    EXPECT_EQ(b->after[static_cast<std::size_t>(row - b->first)], row & 0xff) << row;
                } else {
                    got += LineOf(row);
                    ++laid[static_cast<std::size_t>(row)];
                }
                want += LineOf(row);
            }
            EXPECT_EQ(ahead.Find(c.last + 1), nullptr);
        }
        EXPECT_EQ(got, want) << c.first << ".." << c.last << " by " << c.block;
        for (int row = c.first; row <= end; ++row) EXPECT_EQ(laid[static_cast<std::size_t>(row)].load(), 1) << row;
    }
}

// The second thread goes exactly as far ahead of the writer as it may,
// RowsAhead::kSlots blocks past the writer's block and not one further (a
// block further would take the slot of the block the writer reads). The
// writer moves on only once the thread has stopped to wait for it, so
// the bound is checked every time, not by chance.
TEST(RowsAhead, SecondThreadStopsExactlyAtItsBound) {
    const struct {
        int block_rows;
        std::vector<int> writer_blocks;  // the blocks the writer goes to, in turn
    } cases[] = {
        {1, {0, 1, 2, 3}},       // one block at a time
        {3, {0, 2, 7, 8}},       // a few blocks at a time, up to all it holds
        {2, {0, 1, 12, 13}},     // past all it holds: the writer lays a block itself
    };
    constexpr int kBlocks = 40;  // more than the writer and the thread ever reach
    for (const auto& c : cases) {
        struct Stop {
            int untaken, writing, furthest;  // furthest: the last block the thread laid
        };
        std::mutex m;
        std::condition_variable cv;
        std::vector<Stop> stops;
        bool watched = false;
        int furthest = -1;
        auto lay_there = [&](LaidBlock& b, int last) {
            {
                // Nothing is laid until the thread's stops are watched.
                std::unique_lock lock(m);
                cv.wait(lock, [&] { return watched; });
                furthest = std::max(furthest, (b.first - 1) / c.block_rows);
            }
            for (int row = b.first; row <= last; ++row) b.Add(LineOf(row), 0);
        };
        auto lay_here = [](LaidBlock& b, int last) {
            for (int row = b.first; row <= last; ++row) b.Add(LineOf(row), 0);
        };
        RowsAhead ahead(1, kBlocks * c.block_rows, c.block_rows, lay_there, lay_here);
        ahead.WhenWaiting([&](int untaken, int writing) {
            std::lock_guard lock(m);
            stops.push_back({untaken, writing, furthest});
            cv.notify_all();
        });
        {
            std::lock_guard lock(m);
            watched = true;
        }
        cv.notify_all();
        // Waits until the thread stops to wait for the writer at `block`.
        auto stopped_for = [&](int block) {
            std::unique_lock lock(m);
            return cv.wait_for(lock, std::chrono::seconds(60),
                               [&] { return !stops.empty() && stops.back().writing == block; });
        };
        ASSERT_TRUE(stopped_for(-1)) << "before the writer's first row, by " << c.block_rows;
        for (int block : c.writer_blocks) {
            const LaidBlock* laid = ahead.Find(1 + block * c.block_rows);
            ASSERT_TRUE(stopped_for(block)) << "writer at block " << block << ", by " << c.block_rows;
            if (laid != nullptr) {
                EXPECT_EQ(laid->first, 1 + block * c.block_rows);
            }
        }
        std::lock_guard lock(m);
        for (const Stop& stop : stops) {
            EXPECT_EQ(stop.untaken, stop.writing + RowsAhead::kSlots) << "writer at " << stop.writing;
            EXPECT_EQ(stop.furthest, stop.writing + RowsAhead::kSlots - 1) << "writer at " << stop.writing;
        }
    }
}

// A document of runs of every kind of row the layout tells apart: empty
// rows (runs longer than a block among them), text rows, table rows, rows
// that start with a space, cells of codes alone, escapes and fields.
std::string MixedDocument(int rows) {
    const char* first[] = {"Some text", "", "  indented", "%H2%%H2%", "x<y & z", "", "caf\xe9 @P@", "", "", "tail"};
    const char* other[] = {"", "", "", "cell", "", "%H1%u%H1%", "", "", "\\{}", ""};
    std::string doc = "%OP%DEMixed\n%CO:A,12,0%";
    auto pick = [](int r, int col) {
        // Long runs of empty rows now and then, short mixed runs otherwise.
        if (r % 97 >= 80) return 1;
        return (r * (col + 3) / 5 + r / 11 + col) % 10;
    };
    for (int r = 0; r < rows; ++r) doc += std::string(first[pick(r, 0)]) + "\n";
    doc += "%CO:B,8,0%";
    for (int r = 0; r < rows; ++r) doc += std::string(other[pick(r, 1)]) + "\n";
    doc += "%CO:C,6,0%";
    for (int r = 0; r < rows; ++r) doc += std::string(r % 13 == 0 ? "50%PC%" : other[pick(r, 2)]) + "\n";
    return doc;
}

TEST(RowsAhead, WritersGiveTheSameBytes) {
    test::Fixture f;
    f.Load(MixedDocument(400));
    ASSERT_EQ(f.doc.NumRows, 400);
    const RowStyle html{"<br>", true, false}, rtf{"\\par", false, true};
    const RowRange ranges[] = {{}, {5, 396}, {390, 400}};
    // A layout of its own, which the rows laid out ahead (stored cells
    // only) must leave to the writer.
    test::Bracketed bracketed(f.doc);
    for (int block : {1, 2, 3, 7, 64}) {
        for (RowRange range : ranges) {
            for (const ShownCells* shown :
                 {static_cast<const ShownCells*>(nullptr), static_cast<const ShownCells*>(&bracketed)}) {
                std::string where = "block " + std::to_string(block) + " from " + std::to_string(range.first) +
                                    (shown ? " bracketed" : "");
                for (const RowStyle* style : {&html, &rtf}) {
                    MarkupCellWriter cells(f.fp.sys, style == &html ? HtmlForms() : RtfForms(), f.doc.OptDE);
                    StringSink alone, ahead;
                    std::string LineBuf;
                    bool open_alone = WriteRows(f.doc, cells, LineBuf, alone, nullptr, *style, range, shown, 0);
                    bool open_ahead = WriteRows(f.doc, cells, LineBuf, ahead, nullptr, *style, range, shown, block);
                    EXPECT_EQ(ahead.bytes, alone.bytes) << where;
                    EXPECT_EQ(open_ahead, open_alone) << where;
                }
                StringSink alone, ahead;
                WriteText(f.doc, alone, nullptr, range, shown, 0);
                WriteText(f.doc, ahead, nullptr, range, shown, block);
                EXPECT_EQ(ahead.bytes, alone.bytes) << where;
            }
        }
    }
    EXPECT_TRUE(f.fp.msg.shown.empty());
}

// Fails the writes it is told to, each the number of times it is told.
class FailingSink final : public Sink {
public:
    std::string bytes;
    std::vector<std::pair<int, int>> failures;  // write number, times it fails
    void Write(std::string_view b) override {
        ++writes_;
        for (auto& [at, times] : failures) {
            if (at == writes_ && times > 0) {
                --times;
                --writes_;  // a write tried again counts as the same write
                throw VbError(kErrDiskFull);
            }
        }
        bytes.append(b);
    }

private:
    int writes_ = 0;
};

TEST(RowsAhead, FailuresMeetTheSameAnswers) {
    const struct {
        const char* name;
        std::vector<std::pair<int, int>> failures;
        std::vector<MsgResult> answers;
        int rows;
        bool far_column;  // every row fails to lay out
    } cases[] = {
        {"retried write", {{30, 2}}, {MsgResult::Retry, MsgResult::Retry}, 120, false},
        {"ignored write", {{30, 1}}, {MsgResult::Ignore}, 120, false},
        {"writes ignored here and there", {{3, 1}, {57, 1}, {90, 1}}, {3, MsgResult::Ignore}, 120, false},
        {"aborted", {{40, 1}}, {MsgResult::Abort, MsgResult::No}, 120, false},
        {"rows that cannot be laid out", {}, {12, MsgResult::Ignore}, 12, true},
    };
    for (const auto& c : cases) {
        std::string bytes[2];
        std::vector<std::string> reports[2];
        for (int ahead : {0, 4}) {
            test::Fixture f;
            std::string doc = MixedDocument(c.rows);
            if (c.far_column) doc.replace(doc.find("%CO:B,8,0%"), 10, "%CO:B,1E30,0%");
            f.Load(doc);
            f.fp.msg.answers.assign(c.answers.begin(), c.answers.end());
            for (const RowStyle& style : {RowStyle{"<br>", true, false}, RowStyle{"\\par", false, true}}) {
                MarkupCellWriter cells(f.fp.sys, style.preformatted ? HtmlForms() : RtfForms(), f.doc.OptDE);
                FailingSink sink;
                sink.failures = c.failures;
                Trap trap(f.fp.sys, "WriteFileHTML", ReportFamily::AWithLine);
                std::string LineBuf;
                trap.Run([&] { WriteRows(f.doc, cells, LineBuf, sink, &trap, style, {}, nullptr, ahead); });
                bytes[ahead != 0] += sink.bytes;
                f.fp.msg.answers.assign(c.answers.begin(), c.answers.end());
            }
            FailingSink sink;
            sink.failures = c.failures;
            Trap trap(f.fp.sys, "WriteFileTxt", ReportFamily::AWithLine);
            trap.Run([&] { WriteText(f.doc, sink, &trap, {}, nullptr, ahead); });
            bytes[ahead != 0] += sink.bytes;
            reports[ahead != 0] = f.fp.msg.Texts();
        }
        EXPECT_EQ(bytes[1], bytes[0]) << c.name;
        EXPECT_EQ(reports[1], reports[0]) << c.name;
        EXPECT_FALSE(reports[0].empty()) << c.name;
    }
}

}  // namespace
}  // namespace tw
