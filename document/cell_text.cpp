#include "document/cell_text.h"

#include "document/markup.h"

namespace tw {

namespace {

class PlainText final : public ControlSink {
public:
    explicit PlainText(std::string& out) : out_(out) {}
    void Text(std::string_view t) override { out_.append(t); }
    void Toggle(Highlight, bool) override {}
    void Value() override { out_.push_back('='); }

private:
    std::string& out_;
};

// Appends the cell with its markup converted; `markup` is where its first
// "@" or "%" stands, as the caller found it.
void ConvertCellText(std::string_view text, std::size_t markup, std::string& fields, std::string& out) {
    PlainText sink(out);
    // Without a field the field pass would copy the text unchanged.
    if (FindByte(text, '@', markup) == std::string_view::npos) {
        ControlPassTo(text, LonePercent::Keep, sink);
        return;
    }
    fields.clear();
    FieldPass(text, FieldForms{}, fields);
    ControlPassTo(std::string_view(fields), LonePercent::Keep, sink);
}

}  // namespace

bool AppendCellText(std::string_view text, std::string& fields, std::string& out) {
    static const ByteScanner& markup = MarkupStarts();
    const char* end = text.data() + text.size();
    const char* at = markup.Next(text.data(), end);
    if (at == end) {
        out.append(text);
        return false;
    }
    ConvertCellText(text, static_cast<std::size_t>(at - text.data()), fields, out);
    return true;
}

std::string CodesToText(std::string_view text) {
    std::string out;
    PlainText sink(out);
    ControlPassTo(text, LonePercent::Keep, sink);
    return out;
}

std::string CellToText(std::string_view text) {
    std::string fields, out;
    AppendCellText(text, fields, out);
    return out;
}

}  // namespace tw
