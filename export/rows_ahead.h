// Rows laid out in blocks by two threads, ahead of the writer that
// writes them in order. The second thread takes the next block no one has
// taken, up to a few blocks ahead of the writer. The writer lays out a
// block it reaches before anyone took it as it writes it, and while it
// waits for a block still being laid out it takes one further ahead
// itself; so a long document keeps both processors busy whichever is the
// faster. What is laid out ahead is what the writer would have laid out;
// it lays out a row itself wherever no block holds it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tw {

// Rows per block that make a second thread worthwhile on this machine;
// 0 when it has one processor.
int DefaultAheadRows();

// A run of rows laid out: each row's line, and a byte of what the writer
// keeps from the row for the next.
struct LaidBlock {
    int first = 0;  // the block's first row
    std::string bytes;
    std::vector<std::size_t> ends;  // where each row's line ends in `bytes`
    std::vector<unsigned char> after;

    int Laid() const { return static_cast<int>(ends.size()); }
    bool Has(int row) const { return row >= first && row - first < Laid(); }
    std::string_view Line(int row) const;
    void Add(std::string_view line, unsigned char kept) {
        bytes.append(line);
        EndRow(kept);
    }
    // Ends the row whose line was appended to `bytes`.
    void EndRow(unsigned char kept);
    void Reset(int first_row);
};

// Aligned, like what each thread writes to, so that neither thread's
// writes evict what the other reads from its cache.
class alignas(64) RowsAhead {
public:
    // Lays out rows `first` up to `last` into a block whose `first` is
    // set, on the second thread; it stops early at a row it cannot lay out
    // (the writer lays that one out itself, and meets its failure there).
    using Lay = std::function<void(LaidBlock& block, int last)>;

    // Rows `first` to `last` in blocks of `block_rows`; the second thread
    // starts at once and lays out with `lay_there`, the writer with
    // `lay_here`, each with state of its own.
    RowsAhead(int first, int last, int block_rows, Lay lay_there, Lay lay_here);
    ~RowsAhead();
    RowsAhead(const RowsAhead&) = delete;
    RowsAhead& operator=(const RowsAhead&) = delete;

    // The block laid out ahead that holds `row`, waiting until it is
    // ready; nullptr when the writer lays the row out itself. Rows are
    // asked for in order: asking for a row of a later block gives the
    // room of the earlier ones back to the second thread.
    const LaidBlock* Find(int row);

    // Blocks laid out that the writer has not reached: the second thread
    // takes a block only while it is fewer than this many ahead of the
    // block the writer is at (before the writer's first row, of block -1).
    static constexpr int kSlots = 8;

    // For tests: `hook` is called on the second thread, under the lock,
    // each time it stops, as far ahead as it may go, to wait for the
    // writer; with the first block no one has taken and the writer's block.
    void WhenWaiting(std::function<void(int untaken, int writing)> hook);

private:
    struct alignas(64) Slot {
        LaidBlock block;
        int index = -1;  // the block it holds, once laid out
    };

    void Run();
    // Lays out block `k` into its slot with `lay`; called without the lock
    // by whoever took the block.
    void LayBlock(int k, const Lay& lay);

    int first_, last_, block_rows_, blocks_;
    Lay lay_there_, lay_here_;
    Slot slots_[kSlots];
    // Shared, under the lock: the first block no one has taken, and the
    // block the writer is at.
    int untaken_ = 0, writing_ = -1;
    bool stop_ = false;
    std::function<void(int untaken, int writing)> waiting_;
    // The writer's own: the block it is at, and whether it lays it out.
    int at_ = -1;
    const LaidBlock* laid_ = nullptr;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
};

// Rows `first` to `last` laid out ahead in blocks of `block_rows`, each
// thread with a `Layer` of its own made from `args` (its Lay fills a
// block); nullptr when there are too few rows for a second block, or
// `block_rows` is 0.
template <class Layer, class... Args>
std::unique_ptr<RowsAhead> LayRowsAhead(int first, int last, int block_rows, const Args&... args) {
    if (block_rows <= 0 || last - first < block_rows) return nullptr;
    auto lay = [&] {
        return [layer = std::make_shared<Layer>(args...)](LaidBlock& block, int to) { layer->Lay(block, to); };
    };
    return std::make_unique<RowsAhead>(first, last, block_rows, lay(), lay());
}

}  // namespace tw
