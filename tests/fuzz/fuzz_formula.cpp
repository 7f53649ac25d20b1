// The formula engine on arbitrary formulas: each line of the input is a
// number cell of a three-column sheet, filled row by row; a line
// "name=definition" defines a name instead. Every cell is computed twice,
// outright and in slices of no time at all (as the window computes), and
// the two must agree wherever no clock or dice decide the value.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "formula/evaluator.h"

namespace {

class LinesSheet final : public tw::formula::CellSource {
public:
    explicit LinesSheet(std::string_view text) {
        std::size_t i = 0;
        while (i <= text.size() && cells_.size() < 300) {
            std::size_t end = text.find('\n', i);
            if (end == std::string_view::npos) end = text.size();
            std::string_view line = text.substr(i, end - i);
            std::size_t eq = line.find('=');
            if (eq != std::string_view::npos && eq > 0 && line.substr(0, eq).find_first_of("()+-*/ ") == line.npos)
                names_[std::string(line.substr(0, eq))] = std::string(line.substr(eq + 1));
            else cells_.emplace_back(line);
            i = end + 1;
        }
    }
    int Cols() const override { return 3; }
    int Rows() const override { return static_cast<int>((cells_.size() + 2) / 3); }
    tw::formula::CellInput Cell(int col, int row) const override {
        tw::formula::CellInput in;
        std::size_t k = static_cast<std::size_t>((row - 1) * 3 + (col - 1));
        if (col < 1 || col > 3 || row < 1 || k >= cells_.size() || cells_[k].empty()) return in;
        // A line in quotes is a text cell.
        if (cells_[k].size() >= 2 && cells_[k].front() == '"' && cells_[k].back() == '"') {
            in.kind = tw::formula::CellInput::Kind::Text;
            in.text = cells_[k].substr(1, cells_[k].size() - 2);
        } else {
            in.kind = tw::formula::CellInput::Kind::Formula;
            in.text = cells_[k];
        }
        return in;
    }
    std::optional<std::string> NameDefinition(std::string_view name) const override {
        auto it = names_.find(std::string(name));
        if (it == names_.end()) return std::nullopt;
        return it->second;
    }

private:
    std::vector<std::string> cells_;
    std::map<std::string, std::string> names_;
};

bool Chancy(std::string_view text) {
    for (std::string_view word : {"rand", "now", "today", "grand"})
        if (text.find(word) != std::string_view::npos) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    LinesSheet sheet(text);
    tw::formula::Evaluator outright(sheet), sliced(sheet);
    outright.SetResultMemoryLimit(std::size_t{4} << 20);
    sliced.SetResultMemoryLimit(std::size_t{4} << 20);
    outright.SetNameBudget(20000);
    sliced.SetNameBudget(20000);
    bool compare = !Chancy(text);
    for (int row = sheet.Rows(); row >= 1; --row)
        for (int col = 1; col <= 3; ++col) {
            tw::formula::Value a = outright.CellValue(col, row);
            int slices = 0;
            while (!sliced.ComputeUntil(col, row, std::chrono::steady_clock::now()) && ++slices < 1000000) {
            }
            tw::formula::Value b = sliced.CellValue(col, row);
            // Budgets spent on attempts may differ between the two; the
            // values must not.
            auto spent = [](const tw::formula::Value& v) {
                return v.IsError() && (v.error() == tw::formula::ErrorCode::StackOverflow ||
                                       v.error() == tw::formula::ErrorCode::MemoryFull);
            };
            if (compare && !spent(a) && !spent(b) && !(a == b)) __builtin_trap();
        }
    return 0;
}
