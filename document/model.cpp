#include "document/model.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "document/numbers.h"
#include "document/report.h"
#include "platform/errors.h"
#include "platform/lines.h"

namespace tw {

CellGrid::CellGrid(int columns)
    : columns_(static_cast<std::size_t>(columns < 0 ? 0 : columns)), text_(std::make_shared<const ByteBuffer>()) {}

void CellGrid::Check(int column, int row) const {
    if (column < 1 || column > Columns() || row < -3 || row > upper_row_) throw VbError(kErrSubscript);
}

std::string_view CellGrid::operator()(int column, int row) const {
    Check(column, row);
    const Column& c = columns_[static_cast<std::size_t>(column - 1)];
    if (row <= 0) return c.attr[row + 3];
    auto index = static_cast<std::size_t>(row - 1);
    if (index >= c.count) return {};
    const char* begin = text_->Data();
    const char* p = begin + Offset(c, index);
    return {p, LineLength(p, begin + text_->Size())};
}

void CellGrid::SetAttribute(int column, int row, std::string value) {
    if (column < 1 || column > Columns() || row < -3 || row > 0) throw VbError(kErrSubscript);
    columns_[static_cast<std::size_t>(column - 1)].attr[row + 3] = std::move(value);
}

void CellGrid::AppendCellSlowly(int column, int row, std::size_t offset) {
    if (column < 1 || column > Columns()) throw VbError(kErrSubscript);
    Column& c = columns_[static_cast<std::size_t>(column - 1)];
    if (row != static_cast<int>(c.count) + 1) throw VbError(kErrSubscript);
    // The grid grows to the row first; storing the cell may then fail.
    if (row > upper_row_) upper_row_ = row;
    std::size_t size = (c.count == 0 ? kFirstBlock : kBlockSize) * width_;
    try {
        if (c.count == 0) {
            c.first = MakeLargeArray<unsigned char>(size);
            c.blocks.push_back(c.first.get());
        } else {
            c.blocks.push_back(SharedBlock());
        }
    } catch (const std::bad_alloc&) {
        throw VbError(kErrOutOfStringSpace);
    } catch (const std::length_error&) {
        throw VbError(kErrOutOfStringSpace);
    }
    c.next = c.blocks.back();
    c.limit = c.next + size;
    Store(c.next, offset);
    c.next += width_;
    ++c.count;
}

unsigned char* CellGrid::SharedBlock() {
    std::size_t size = kBlockSize * width_;
    if (chunk_room_ < size) {
        chunks_.reserve(chunks_.size() + 1);
        chunks_.push_back(MakeLargeArray<unsigned char>(kChunkBytes));
        chunk_room_ = kChunkBytes;
    }
    unsigned char* block = chunks_.back().get() + (kChunkBytes - chunk_room_);
    chunk_room_ -= size;
    return block;
}

void CellGrid::AttachText(std::shared_ptr<const ByteBuffer> text) {
    text_ = std::move(text);
    width_ = text_->Size() > UINT32_MAX ? 8 : 4;
}

void CellGrid::ReadColumn(int column, int first, int count, std::string_view* out) const {
    Check(column, first);
    if (count > 0) Check(column, first + count - 1);
    const Column& c = columns_[static_cast<std::size_t>(column - 1)];
    const char* begin = text_->Data();
    const char* end = begin + text_->Size();
    auto offset = [&](std::size_t index) { return static_cast<std::size_t>(Offset(c, index)); };
    std::size_t next = 0;
    bool have_next = false;
    for (int i = count - 1; i >= 0; --i) {
        auto index = static_cast<std::size_t>(first - 1 + i);
        if (index >= c.count) {
            out[i] = {};
            have_next = false;
            continue;
        }
        std::size_t start = offset(index);
        if (!have_next && index + 1 < c.count) {
            next = offset(index + 1);
            have_next = true;
        }
        std::size_t stop;
        if (have_next) {
            // The cells of a column are consecutive lines: this one ends
            // where the next begins, less its line ending of one or two
            // characters (a cell itself holds no CR or LF).
            stop = next - 1;
            if (stop > start && IsLineEnd(begin[stop - 1])) --stop;
        } else {
            stop = start + LineLength(begin + start, end);
        }
        out[i] = {begin + start, stop - start};
        next = start;
        have_next = true;
    }
}

RowReader::RowReader(const CellGrid& grid, int columns, int batch)
    : grid_(grid),
      columns_(columns),
      batch_(batch),
      cells_(static_cast<std::size_t>(columns) * static_cast<std::size_t>(batch)) {}

void RowReader::Fetch(int row) {
    first_ = row;
    count_ = std::min(batch_, grid_.UpperRow() - row + 1);
    if (count_ < 1) throw VbError(kErrSubscript);
    for (int c = 1; c <= columns_; ++c) {
        grid_.ReadColumn(c, first_, count_, &cells_[static_cast<std::size_t>((c - 1) * batch_)]);
    }
}

int CellGrid::RowsIn(int column) const {
    if (column < 1 || column > Columns()) return 0;
    return static_cast<int>(columns_[static_cast<std::size_t>(column - 1)].count);
}

const std::vector<OptionKey>& OptionKeys() {
    using M = DocumentModel;
    static const char kPound[] = {kPoundSign, 0};
    static const std::vector<OptionKey> keys = {
        {"AM", &M::OptAM, nullptr, "A", 0},      {"BM", nullptr, &M::OptBM, nullptr, 8},
        {"BO", &M::OptBO, nullptr, "Y", 0},      {"DE", &M::OptDE, nullptr, "", 0},
        {"DP", nullptr, &M::OptDP, nullptr, 2},  {"FM", nullptr, &M::OptFM, nullptr, 2},
        {"FO", &M::OptFO, nullptr, "", 0},       {"HE", &M::OptHE, nullptr, "", 0},
        {"HM", nullptr, &M::OptHM, nullptr, 2},  {"IW", &M::OptIW, nullptr, "R", 0},
        {"JU", &M::OptJU, nullptr, "N", 0},      {"LM", nullptr, &M::OptLM, nullptr, 2},
        {"LP", &M::OptLP, nullptr, kPound, 0},   {"LS", nullptr, &M::OptLS, nullptr, 1},
        {"MB", &M::OptMB, nullptr, "M", 0},      {"PA", nullptr, &M::OptPA, nullptr, 0},
        {"PL", nullptr, &M::OptPL, nullptr, 66}, {"PS", nullptr, &M::OptPS, nullptr, 0},
        {"RC", &M::OptRC, nullptr, "C", 0},      {"TM", nullptr, &M::OptTM, nullptr, 0},
        {"TN", &M::OptTN, nullptr, "T", 0},      {"TP", &M::OptTP, nullptr, "%", 0},
        {"WR", &M::OptWR, nullptr, "Y", 0},
    };
    return keys;
}

const OptionKey* FindOption(std::string_view key) {
    if (key.size() != 2) return nullptr;
    for (const OptionKey& k : OptionKeys()) {
        if (key == k.key) return &k;
    }
    return nullptr;
}

namespace {

void ResetOptions(DocumentModel& m) {
    for (const OptionKey& k : OptionKeys()) {
        if (k.text) m.*(k.text) = k.default_text;
        else m.*(k.number) = k.default_number;
    }
}

}  // namespace

void DocumentModel::Reset() {
    NumRows = 0;
    NumCols = 0;
    SourceFile.reset();
    Linked.reset();
    IsCustomFunctionSheet = false;
    Cells = CellGrid(MaxNumCols);
    ResetOptions(*this);
    RawOptions.clear();
}

std::optional<std::string_view> DocumentModel::RawOption(std::string_view key) const {
    for (auto it = RawOptions.rbegin(); it != RawOptions.rend(); ++it)
        if (it->first == key) return std::string_view(it->second);
    return std::nullopt;
}

void InitVariables(Platform& sys, DocumentModel& doc) {
    Trap trap(sys, "InitVariables", ReportFamily::A);
    trap.Run([&] { trap.Step([&] { doc.Reset(); }); });
}

double DocumentModel::StartPosition(int column) const { return Val(Cells(column, 0)); }

}  // namespace tw
