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

Value Evaluator::EvalExternal(const Formula& f, const Node& n) {
    const Node& inner = f.node(f.kid(n, 0));
    switch (inner.kind) {
    case Node::Kind::Ref:
    case Node::Kind::Range: return source_.ExternalCells(n.text, {inner.a.col, inner.a.row, inner.b.col, inner.b.row});
    case Node::Kind::Name: return source_.ExternalName(n.text, inner.text);
    case Node::Kind::Call: return EvalOtherCall(f, inner, n.text);
    default: return Value::Error(ErrorCode::MistakeInFormula);
    }
}

Value Evaluator::EvalOtherCall(const Formula& f, const Node& n, std::string_view doc) {
    // Every argument is computed before the call, so that a call is made
    // only once the cells it is given are all there.
    std::vector<Value> args;
    args.reserve(static_cast<std::size_t>(n.kid_count));
    for (int k = 0; k < n.kid_count; ++k) args.push_back(EvalDeref(f, f.kid(n, k)));
    return source_.CallFunction(doc, n.text, args);
}

}  // namespace tw::formula
