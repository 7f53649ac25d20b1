#include "document/shown_text.h"

#include "document/markup.h"

namespace tw {

std::string ShownCells::Filled(std::string_view content) const {
    std::string out;
    FieldPass(content, FieldForms{}, out);
    return out;
}

namespace {

// Collects exactly the pieces the page's cell drawing prints, so offsets
// in the shown text are offsets in what is drawn.
class ShownPieces : public ControlSink {
public:
    explicit ShownPieces(std::string& out) : out_(out) {}
    void Text(std::string_view t) override { out_.append(t); }
    void Toggle(Highlight, bool) override {}

private:
    std::string& out_;
};

}  // namespace

std::string WithoutMarkup(std::string_view marked) {
    if (marked.find('%') == std::string_view::npos) return std::string(marked);
    std::string out;
    ShownPieces sink(out);
    ControlPass(marked, LonePercent::Keep, sink);
    return out;
}

}  // namespace tw
