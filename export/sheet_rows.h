// A sheet's rows computed on a second thread ahead of the workbook writer
// that writes them: the engine's work and the writer's (XML, deflate)
// then run side by side.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "export/sheet_cells.h"

namespace tw {

class SheetRows {
public:
    // Part of the writer's work the second thread takes on when it is
    // ahead: writing a batch's rows, from the first holding cells to the
    // last, to `out` as the writer would.
    using Render = std::function<void(std::span<const std::span<const SheetCell>> rows, std::string& out)>;

    // Rows 1 to `last` of `walk` in batches of `batch_rows`, computed on a
    // second thread at most a few batches ahead of the writer; with
    // `batch_rows` 0, or too few rows for two batches, each row is
    // computed when asked for. Until this is destroyed only it may use
    // `walk`.
    SheetRows(SheetWalk& walk, int last, int batch_rows, Render render = {});
    ~SheetRows();
    SheetRows(const SheetRows&) = delete;
    SheetRows& operator=(const SheetRows&) = delete;

    // The cells of `row`, valid until the next call. Rows are asked for in
    // order. What the walk threw on the second thread is thrown here.
    std::span<const SheetCell> Row(int row);

    // A batch the second thread rendered.
    struct Rendered {
        std::string_view text;
        int last = 0;                           // the batch's last row
        int first_filled = 0, last_filled = 0;  // its first and last rows holding cells; 0 when none
    };
    // When `row` starts a batch the second thread rendered, that batch;
    // its rows are then done with, as though each had been asked for.
    bool RenderedFrom(int row, Rendered& batch);

    // The looks of the rows given so far, as the walk's Styles().
    const std::vector<SheetStyle>& Styles() const { return styles_; }

    // Batches computed that the writer has not reached, at most.
    static constexpr int kSlots = 4;

private:
    struct Batch {
        std::vector<SheetCell> cells;
        std::vector<std::size_t> ends;       // where each row's cells end in `cells`
        std::vector<SheetStyle> new_styles;  // looks the batch's rows added to the walk's
        std::string rendered;
        bool is_rendered = false;
    };

    void Run();
    void Fill(Batch& batch, int first);
    void RenderBatch(Batch& batch);
    void Take(int k);

    SheetWalk& walk_;
    int last_, batch_rows_, batches_;
    Render render_;
    Batch slots_[kSlots];
    std::vector<SheetStyle> styles_;
    std::vector<SheetCell> here_;  // a row computed on this thread
    // The writer's: the batch it reads and its first row.
    int at_ = -1, at_first_ = 0;
    // Shared, under the lock: batches computed, batches the writer is done
    // with, and what stopped the second thread at batch `done_`.
    int done_ = 0, released_ = 0;
    std::exception_ptr failed_;
    bool stop_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
};

}  // namespace tw
