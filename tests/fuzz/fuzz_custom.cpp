// Custom function sheets of arbitrary statements: each line of the input
// is a cell of column A, top down. Every function the sheet defines is
// called with a few arguments; each call must end, within small bounds,
// with a value, whatever the statements are.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formula/custom_functions.h"

namespace {

class StatementSheet final : public tw::formula::CellSource {
public:
    explicit StatementSheet(std::string_view text) {
        std::size_t i = 0;
        while (i <= text.size() && lines_.size() < 400) {
            std::size_t end = text.find('\n', i);
            if (end == std::string_view::npos) end = text.size();
            lines_.emplace_back(text.substr(i, end - i));
            i = end + 1;
        }
    }
    int Cols() const override { return 2; }
    int Rows() const override { return static_cast<int>(lines_.size()); }
    tw::formula::CellInput Cell(int col, int row) const override {
        tw::formula::CellInput in;
        if (col != 1 || row < 1 || row > Rows() || lines_[static_cast<std::size_t>(row - 1)].empty()) return in;
        const std::string& line = lines_[static_cast<std::size_t>(row - 1)];
        // A line in quotes is a text cell.
        in.kind = line.front() == '"' ? tw::formula::CellInput::Kind::Text : tw::formula::CellInput::Kind::Formula;
        in.text = line;
        return in;
    }
    std::optional<std::string> NameDefinition(std::string_view name) const override {
        if (name == "n_1") return "A1";
        return std::nullopt;
    }
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tw::formula;
    StatementSheet sheet(std::string_view(reinterpret_cast<const char*>(data), size));
    CustomSheet functions(sheet);
    functions.SetStepLimits(20000, 200000);
    functions.SetFrameLimit(300);
    std::vector<std::string> names;
    for (const std::string& line : sheet.Lines()) {
        if (!IsFunctionFormula(line)) continue;
        if (std::optional<CustomDefinition> d = ReadDefinition(ParseFormula(line), 1, 1); d && !d->name.empty())
            names.push_back(d->name);
    }
    const std::vector<std::vector<Value>> calls = {
        {}, {Value::Number(3)}, {Value::String("a b"), Value::Number(-1)}, {Value::Error(ErrorCode::DivideByZero)}};
    for (const std::string& name : names)
        for (const std::vector<Value>& args : calls) {
            Value v = functions.Call(name, args);
            if (v.IsReference()) __builtin_trap();  // a result is always a value
        }
    if (functions.StepsTaken() > 200000) __builtin_trap();
    return 0;
}
