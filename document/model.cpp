#include "document/model.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

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
    using K = OptionKind;
    static const char kPound[] = {kPoundSign, 0};
    static const std::vector<OptionKey> keys = {
        {"AM", K::Flag, "A", &M::OptAM, nullptr},    {"BM", K::Number, "8", nullptr, &M::OptBM},
        {"BO", K::Flag, "Y", &M::OptBO, nullptr},    {"DE", K::Text, "", &M::OptDE, nullptr},
        {"DF", K::DateOrder, "", nullptr, nullptr},  {"DP", K::Places, "2", nullptr, &M::OptDP},
        {"FM", K::Number, "2", nullptr, &M::OptFM},  {"FO", K::Text, "", &M::OptFO, nullptr},
        {"HE", K::Text, "", &M::OptHE, nullptr},     {"HM", K::Number, "2", nullptr, &M::OptHM},
        {"IW", K::Flag, "R", &M::OptIW, nullptr},    {"JU", K::Flag, "N", &M::OptJU, nullptr},
        {"LM", K::Number, "2", nullptr, &M::OptLM},  {"LP", K::Text, kPound, &M::OptLP, nullptr},
        {"LS", K::Number, "1", nullptr, &M::OptLS},  {"MB", K::Flag, "M", &M::OptMB, nullptr},
        {"ND", K::Name, "", nullptr, nullptr},       {"PA", K::Number, "0", nullptr, &M::OptPA},
        {"PL", K::Number, "66", nullptr, &M::OptPL}, {"PS", K::Number, "0", nullptr, &M::OptPS},
        {"RC", K::Flag, "C", &M::OptRC, nullptr},    {"TH", K::Separator, "0", nullptr, nullptr},
        {"TM", K::Number, "0", nullptr, &M::OptTM},  {"TN", K::Flag, "T", &M::OptTN, nullptr},
        {"TP", K::Text, "%", &M::OptTP, nullptr},    {"WR", K::Flag, "Y", &M::OptWR, nullptr},
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

void SetOption(DocumentModel& doc, const OptionKey& key, std::string_view value) {
    if (key.text) doc.*(key.text) = std::string(value);
    else if (key.number) doc.*(key.number) = CInt(Val(value));
}

namespace {

void ResetOptions(DocumentModel& m) {
    for (const OptionKey& k : OptionKeys()) SetOption(m, k, k.default_value);
}

const OptionKey& TableKey(std::string_view key) {
    const OptionKey* k = FindOption(key);
    if (!k) throw std::logic_error("option key not in the table: " + std::string(key));
    return *k;
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

std::string_view DocumentModel::Option(std::string_view key) const {
    const OptionKey& k = TableKey(key);
    return RawOption(k.key).value_or(k.default_value);
}

std::vector<std::string_view> DocumentModel::OptionLines(std::string_view key) const {
    const OptionKey& k = TableKey(key);
    std::vector<std::string_view> values;
    for (const auto& [line_key, value] : RawOptions)
        if (line_key == k.key) values.emplace_back(value);
    return values;
}

void InitVariables(Platform& sys, DocumentModel& doc) {
    Trap trap(sys, "InitVariables", ReportFamily::A);
    trap.Run([&] { trap.Step([&] { doc.Reset(); }); });
}

double DocumentModel::StartPosition(int column) const { return Val(Cells(column, 0)); }

}  // namespace tw
