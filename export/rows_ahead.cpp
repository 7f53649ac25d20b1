#include "export/rows_ahead.h"

#include <algorithm>
#include <system_error>

namespace tw {

int DefaultAheadRows() {
    // Blocks this long cost the hand-over between the threads next to
    // nothing, and keep what is laid out ahead to a few hundred kilobytes.
    constexpr int kBlockRows = 2048;
    static const int rows = std::thread::hardware_concurrency() > 1 ? kBlockRows : 0;
    return rows;
}

std::string_view LaidBlock::Line(int row) const {
    auto i = static_cast<std::size_t>(row - first);
    std::size_t start = i == 0 ? 0 : ends[i - 1];
    return std::string_view(bytes).substr(start, ends[i] - start);
}

void LaidBlock::EndRow(unsigned char kept) {
    after.push_back(kept);
    ends.push_back(bytes.size());  // last: a row counts once all of it is in
}

void LaidBlock::Reset(int first_row) {
    first = first_row;
    bytes.clear();
    ends.clear();
    after.clear();
}

RowsAhead::RowsAhead(int first, int last, int block_rows, Lay lay_there, Lay lay_here)
    : first_(first),
      last_(last),
      block_rows_(std::max(block_rows, 1)),
      blocks_(last < first ? 0 : (last - first) / block_rows_ + 1),
      lay_there_(std::move(lay_there)),
      lay_here_(std::move(lay_here)) {
    if (blocks_ < 2) return;
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // No second thread to be had: the writer lays out every row.
    }
}

RowsAhead::~RowsAhead() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void RowsAhead::LayBlock(int k, const Lay& lay) {
    // The slot is the taker's alone until its index is set.
    Slot& slot = slots_[k % kSlots];
    int from = first_ + k * block_rows_;
    try {
        slot.block.Reset(from);
        lay(slot.block, std::min(last_, from + block_rows_ - 1));
    } catch (...) {
        // The rows not laid out are the writer's to lay out as it writes.
    }
    {
        std::lock_guard lock(mutex_);
        slot.index = k;
    }
    changed_.notify_all();
}

void RowsAhead::Run() {
    for (;;) {
        int k;
        {
            std::unique_lock lock(mutex_);
            // A slot is free again once the writer is past the block it
            // held before.
            while (!stop_ && untaken_ < blocks_ && !(untaken_ < writing_ + kSlots)) {
                if (waiting_) waiting_(untaken_, writing_);
                changed_.wait(lock);
            }
            if (stop_ || untaken_ >= blocks_) return;
            k = untaken_++;
        }
        LayBlock(k, lay_there_);
    }
}

void RowsAhead::WhenWaiting(std::function<void(int untaken, int writing)> hook) {
    std::lock_guard lock(mutex_);
    waiting_ = std::move(hook);
}

const LaidBlock* RowsAhead::Find(int row) {
    if (!thread_.joinable() || row < first_ || row > last_) return nullptr;
    int k = (row - first_) / block_rows_;
    if (k == at_) return laid_;
    at_ = k;
    Slot& slot = slots_[k % kSlots];
    std::unique_lock lock(mutex_);
    writing_ = k;
    changed_.notify_all();  // the slots of the blocks before are free
    for (;;) {
        if (untaken_ <= k) {
            // Laid out as it is written, which saves copying it.
            untaken_ = k + 1;
            laid_ = nullptr;
            return laid_;
        }
        if (slot.index == k) {
            laid_ = &slot.block;
            return laid_;
        }
        if (untaken_ < blocks_ && untaken_ < k + kSlots) {
            // Rather than wait for this block, lay out one further on.
            int j = untaken_++;
            lock.unlock();
            LayBlock(j, lay_here_);
            lock.lock();
            continue;
        }
        changed_.wait(lock);
    }
}

}  // namespace tw
