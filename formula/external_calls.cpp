// The evaluator's side of references into other documents and of calls
// of functions that are not built in: it computes what this document
// gives them and leaves the rest to its CellSource.
#include "formula/custom_functions.h"
#include "formula/evaluator.h"

namespace tw::formula {

Value CellSource::ExternalCells(std::string_view, CellRange) const { return Value::Error(ErrorCode::FileNotLoaded); }

Value CellSource::ExternalName(std::string_view, std::string_view) const {
    return Value::Error(ErrorCode::FileNotLoaded);
}

Value CellSource::CallFunction(std::string_view doc, std::string_view name, std::vector<Value>&) const {
    if (!doc.empty()) return Value::Error(ErrorCode::FileNotLoaded);
    return Value::Error(UndefinedCallError(name));
}

Value CellSource::SetExternalCells(std::string_view, CellRange, const Value&) const {
    return Value::Error(ErrorCode::FileNotLoaded);
}

// One question to another document, told to the documents loaded with
// this one for as long as it is open: which cell of this one asked.
class Evaluator::Asking {
public:
    explicit Asking(Evaluator& e) : e_(e), links_(e.source_.Links()) {
        if (!links_) return;
        too_deep_ = links_->asks.size() >= Linkage::kMaxDepth;
        if (!too_deep_) links_->asks.push_back({&e, e.cur_cell_});
    }
    ~Asking() {
        if (links_ && !too_deep_) links_->asks.pop_back();
    }
    Asking(const Asking&) = delete;
    Asking& operator=(const Asking&) = delete;

    // Asks, unless the documents already reach too deep into one another.
    template <typename Ask>
    Value operator()(Ask ask) {
        if (too_deep_) return Value::Error(ErrorCode::StackOverflow);
        Value v = ask();
        e_.AbortIfMarked();
        return v;
    }

private:
    Evaluator& e_;
    Linkage* links_;
    bool too_deep_ = false;
};

Value Evaluator::EvalExternal(const Formula& f, const Node& n) {
    const Node& inner = f.node(f.kid(n, 0));
    if (inner.kind == Node::Kind::Call) return EvalOtherCall(f, inner, n.text);
    Asking asking(*this);
    switch (inner.kind) {
    case Node::Kind::Ref:
    case Node::Kind::Range:
        return asking([&] {
            return source_.ExternalCells(n.text, {inner.a.col, inner.a.row, inner.b.col, inner.b.row});
        });
    case Node::Kind::Name: return asking([&] { return source_.ExternalName(n.text, inner.text); });
    default: return Value::Error(ErrorCode::MistakeInFormula);
    }
}

Value Evaluator::EvalOtherCall(const Formula& f, const Node& n, std::string_view doc) {
    // Every argument is computed before the call, so that a call is made
    // only once the cells it is given are all there.
    std::vector<Value> args;
    args.reserve(static_cast<std::size_t>(n.kid_count));
    for (int k = 0; k < n.kid_count; ++k) args.push_back(EvalDeref(f, f.kid(n, k)));
    if (doc.empty()) return source_.CallFunction(doc, n.text, args);
    Asking asking(*this);
    return asking([&] { return source_.CallFunction(doc, n.text, args); });
}

Value Evaluator::SetOutside(const Formula& f, const Node& n) {
    const Node& target = f.node(f.kid(n, 0));
    const Node& inner = f.node(f.kid(target, 0));
    Value v = EvalDeref(f, f.kid(n, 1));
    if (inner.kind != Node::Kind::Ref && inner.kind != Node::Kind::Range) return v;
    Asking asking(*this);
    return asking([&] {
        return source_.SetExternalCells(target.text, {inner.a.col, inner.a.row, inner.b.col, inner.b.row}, v);
    });
}

}  // namespace tw::formula
