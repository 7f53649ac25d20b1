#include "export/sheet_rows.h"

#include <algorithm>
#include <system_error>

namespace tw {

SheetRows::SheetRows(SheetWalk& walk, int last, int batch_rows, Render render)
    : walk_(walk),
      last_(std::max(last, 0)),
      batch_rows_(std::max(batch_rows, 1)),
      batches_(batch_rows > 0 ? (last_ + batch_rows_ - 1) / batch_rows_ : 0),
      render_(std::move(render)),
      styles_(walk.Styles()) {
    if (batches_ < 2) {
        batches_ = 0;
        return;
    }
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        batches_ = 0;  // no second thread to be had: each row is computed here
    }
}

SheetRows::~SheetRows() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void SheetRows::Run() {
    for (int k = 0; k < batches_; ++k) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || k - released_ < kSlots; });
            if (stop_) return;
        }
        // The slot is this thread's alone until `done_` passes it.
        std::exception_ptr failed;
        try {
            Batch& batch = slots_[k % kSlots];
            Fill(batch, k * batch_rows_ + 1);
            // With a batch besides the writer's waiting for it, the writer
            // is the slower: this thread writes the batch too.
            bool ahead = false;
            if (render_) {
                std::lock_guard lock(mutex_);
                ahead = k - released_ >= 2;
            }
            if (ahead) RenderBatch(batch);
        } catch (...) {
            failed = std::current_exception();
        }
        {
            std::lock_guard lock(mutex_);
            if (failed) failed_ = failed;
            else done_ = k + 1;
        }
        changed_.notify_all();
        if (failed) return;
    }
}

void SheetRows::Fill(Batch& batch, int first) {
    batch.cells.clear();
    batch.ends.clear();
    batch.new_styles.clear();
    batch.rendered.clear();
    batch.is_rendered = false;
    const std::size_t known = walk_.Styles().size();
    const int end = std::min(first + batch_rows_ - 1, last_);
    for (int row = first; row <= end; ++row) {
        walk_.AppendRow(row, batch.cells);
        batch.ends.push_back(batch.cells.size());
    }
    const std::vector<SheetStyle>& styles = walk_.Styles();
    batch.new_styles.assign(styles.begin() + static_cast<std::ptrdiff_t>(known), styles.end());
}

void SheetRows::RenderBatch(Batch& batch) {
    std::vector<std::span<const SheetCell>> rows;
    std::size_t start = 0;
    for (std::size_t end : batch.ends) {
        rows.emplace_back(batch.cells.data() + start, end - start);
        start = end;
    }
    while (!rows.empty() && rows.back().empty()) rows.pop_back();
    std::size_t lead = 0;
    while (lead < rows.size() && rows[lead].empty()) ++lead;
    render_(std::span(rows).subspan(lead), batch.rendered);
    batch.is_rendered = true;
}

bool SheetRows::RenderedFrom(int row, Rendered& out) {
    if (batches_ == 0 || row < 1 || row > last_ || (row - 1) % batch_rows_ != 0) return false;
    const int k = (row - 1) / batch_rows_;
    if (k != at_) Take(k);
    const Batch& batch = slots_[k % kSlots];
    if (!batch.is_rendered) return false;
    out.text = batch.rendered;
    out.last = row + static_cast<int>(batch.ends.size()) - 1;
    out.first_filled = out.last_filled = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < batch.ends.size(); ++i) {
        if (batch.ends[i] == start) continue;
        if (out.first_filled == 0) out.first_filled = row + static_cast<int>(i);
        out.last_filled = row + static_cast<int>(i);
        start = batch.ends[i];
    }
    return true;
}

void SheetRows::Take(int k) {
    {
        std::unique_lock lock(mutex_);
        released_ = k;  // the batches before this one are free again
        changed_.notify_all();
        changed_.wait(lock, [&] { return done_ > k || failed_; });
        if (done_ <= k) std::rethrow_exception(failed_);
    }
    const Batch& batch = slots_[k % kSlots];
    styles_.insert(styles_.end(), batch.new_styles.begin(), batch.new_styles.end());
    at_ = k;
    at_first_ = k * batch_rows_ + 1;
}

std::span<const SheetCell> SheetRows::Row(int row) {
    if (row < 1 || row > last_) return {};
    if (batches_ == 0) {
        here_.clear();
        walk_.AppendRow(row, here_);
        const std::vector<SheetStyle>& styles = walk_.Styles();
        styles_.insert(styles_.end(), styles.begin() + static_cast<std::ptrdiff_t>(styles_.size()), styles.end());
        return here_;
    }
    const int k = (row - 1) / batch_rows_;
    if (k != at_) Take(k);
    const Batch& batch = slots_[k % kSlots];
    const auto i = static_cast<std::size_t>(row - at_first_);
    const std::size_t start = i == 0 ? 0 : batch.ends[i - 1];
    return {batch.cells.data() + start, batch.ends[i] - start};
}

}  // namespace tw
