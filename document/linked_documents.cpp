#include "document/linked_documents.h"

#include <algorithm>
#include <deque>
#include <filesystem>
#include <system_error>

#include "document/constructs.h"
#include "document/model.h"
#include "document/reader.h"
#include "document/sheet_source.h"
#include "formula/custom_functions.h"
#include "formula/evaluator.h"

namespace tw {

namespace fs = std::filesystem;
using formula::CellRange;
using formula::ErrorCode;
using formula::Value;

namespace {

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

// The entries of `folder` named `want` in either case, in byte order.
std::vector<std::string> MatchEntries(const fs::path& folder, std::string_view want, bool directory) {
    std::vector<std::string> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string leaf = it->path().filename().string();
        if (!SameFolded(leaf, want)) continue;
        std::error_code kind;
        if (directory ? it->is_directory(kind) : it->is_regular_file(kind)) found.push_back(std::move(leaf));
    }
    std::sort(found.begin(), found.end());
    return found;
}

// Whether `file`, its links followed, lies within `base`.
bool Within(const fs::path& base, const fs::path& file) {
    std::error_code ec;
    fs::path real = fs::weakly_canonical(file, ec);
    fs::path root = fs::weakly_canonical(base, ec);
    if (ec) return false;
    auto [b, r] = std::mismatch(root.begin(), root.end(), real.begin(), real.end());
    return b == root.end();
}

// The bracketed document names of a formula, outside its strings.
void NamesIn(std::string_view formula, std::vector<std::string>& out) {
    bool quoted = false;
    for (std::size_t i = 0; i < formula.size(); ++i) {
        char c = formula[i];
        if (c == '"') quoted = !quoted;
        if (quoted || c != '[') continue;
        std::size_t close = formula.find(']', i + 1);
        if (close == std::string_view::npos) return;
        out.emplace_back(formula.substr(i + 1, close - i - 1));
        i = close;
    }
}

}  // namespace

std::optional<std::vector<std::string>> LinkedNameParts(std::string_view name) {
    // Leading and trailing blanks are not part of a file name.
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    if (name.empty()) return std::nullopt;
    std::vector<std::string> parts(1);
    for (char c : name) {
        switch (c) {
        case '$':
        case '&':
        case '^':
        case '%':
        case '@':
        case ':':
        case '\\':
        case '\0':
            // The root, the user's or the library's folder, the parent, a
            // filing system: all lie outside the referring document's folder.
            return std::nullopt;
        case '.': parts.emplace_back(); break;
        case '/': parts.back() += '.'; break;
        default: parts.back() += c;
        }
    }
    for (const std::string& p : parts)
        if (p.empty() || p == "." || p == "..") return std::nullopt;
    return parts;
}

std::vector<std::string> FindLinkedFiles(const std::string& folder, const std::vector<std::string>& parts) {
    std::vector<std::string> found;
    if (parts.empty()) return found;
    fs::path base = folder.empty() ? fs::path(".") : fs::path(folder);
    std::vector<fs::path> at{base};
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        std::vector<fs::path> next;
        for (const fs::path& dir : at)
            for (const std::string& sub : MatchEntries(dir, parts[i], true)) next.push_back(dir / sub);
        at.swap(next);
    }
    std::vector<fs::path> seen;  // one file under two names is one document
    const std::string& leaf = parts.back();
    for (const fs::path& dir : at)
        for (const std::string& want : {leaf, leaf + ".pd"})
            for (const std::string& file : MatchEntries(dir, want, false)) {
                // A link out of the folder (a symbolic one) is refused like a name that leaves it.
                if (!Within(base, dir / file)) continue;
                std::error_code ec;
                fs::path id = fs::weakly_canonical(dir / file, ec);
                if (std::find(seen.begin(), seen.end(), id) != seen.end()) continue;
                seen.push_back(id);
                found.push_back((dir / file).string());
            }
    return found;
}

bool HoldsCustomFunctions(const DocumentModel& doc, std::string_view bytes) {
    bool maybe = false;
    for (std::size_t at = bytes.find('('); at != std::string_view::npos; at = bytes.find('(', at + 1))
        if (at >= 8 && SameFolded(bytes.substr(at - 8, 8), "function")) {
            maybe = true;
            break;
        }
    if (!maybe) return false;
    for (int c = 1; c <= doc.NumCols; ++c)
        for (int r = 1; r <= doc.NumRows; ++r) {
            std::string_view raw = doc.Cells(c, r);
            if (raw.find('(') == std::string_view::npos) continue;
            CellConstructs cc = ParseCellConstructs(raw);
            if (cc.is_number && formula::IsFunctionFormula(cc.content)) return true;
        }
    return false;
}

struct LinkedDocuments::Entry {
    std::string path, folder;
    DocumentModel doc;
    std::unique_ptr<formula::DocumentSource> cells;
    std::unique_ptr<formula::Evaluator> eval;
    std::unique_ptr<formula::DocumentSource> statements;
    std::unique_ptr<formula::CustomSheet> functions;
    bool calling = false;  // one of its functions is running
};

namespace {

// A custom function sheet runs one call at a time.
struct Calling {
    bool& flag;
    explicit Calling(bool& f) : flag(f) { flag = true; }
    ~Calling() { flag = false; }
    Calling(const Calling&) = delete;
    Calling& operator=(const Calling&) = delete;
};

// Every document name the document's number cells and names mention.
std::vector<std::string> ReferencedNames(const DocumentModel& doc, std::string_view bytes) {
    std::vector<std::string> names;
    if (bytes.find('[') == std::string_view::npos) return names;
    for (std::string_view value : doc.OptionLines("ND")) NamesIn(value, names);
    for (int c = 1; c <= doc.NumCols; ++c)
        for (int r = 1; r <= doc.NumRows; ++r) {
            std::string_view raw = doc.Cells(c, r);
            if (raw.find('[') == std::string_view::npos) continue;
            CellConstructs cc = ParseCellConstructs(raw);
            if (cc.is_number) NamesIn(cc.content, names);
        }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

std::string FolderOf(const std::string& path) {
    fs::path p(path);
    return p.has_parent_path() ? p.parent_path().string() : std::string(".");
}

}  // namespace

LinkedDocuments::LinkedDocuments() : root_(std::make_unique<Entry>()), ambiguous_(std::make_unique<Entry>()) {}
LinkedDocuments::~LinkedDocuments() = default;

std::shared_ptr<LinkedDocuments> LinkedDocuments::LoadFor(const DocumentModel& doc, const std::string& path,
                                                          std::string_view bytes) {
    if (bytes.find('[') == std::string_view::npos) return nullptr;
    std::shared_ptr<LinkedDocuments> set(new LinkedDocuments());
    set->root_folder_ = FolderOf(path);
    std::error_code ec;
    set->root_id_ = fs::weakly_canonical(path, ec).string();
    if (ec) set->root_id_ = path;
    set->LoadReferences(doc, set->root_folder_, bytes);
    return set;
}

// Loads what one document names, then what those name, breadth first,
// so that however the documents refer to each other each is read once.
void LinkedDocuments::LoadReferences(const DocumentModel& doc, const std::string& folder, std::string_view bytes) {
    std::deque<std::pair<std::string, std::vector<std::string>>> todo;
    todo.emplace_back(folder, ReferencedNames(doc, bytes));
    while (!todo.empty()) {
        auto [from, names] = std::move(todo.front());
        todo.pop_front();
        for (const std::string& name : names) {
            std::size_t before = entries_.size();
            Entry* e = Find(from, name);
            if (e && entries_.size() > before) {
                // The supporting document's own references, from its folder.
                std::vector<std::string> more = ReferencedNames(e->doc, "[");
                if (!more.empty()) todo.emplace_back(e->folder, std::move(more));
            }
        }
    }
}

LinkedDocuments::Entry* LinkedDocuments::Find(const std::string& folder, std::string_view name) {
    std::string key = folder + "\n" + std::string(name);
    auto hit = resolved_.find(key);
    if (hit != resolved_.end()) return hit->second;
    Entry* e = nullptr;
    if (std::optional<std::vector<std::string>> parts = LinkedNameParts(name)) {
        std::vector<std::string> files = FindLinkedFiles(folder, *parts);
        if (files.size() > 1) e = ambiguous_.get();
        else if (files.size() == 1) e = Open(files.front());
    }
    resolved_[key] = e;
    return e;
}

LinkedDocuments::Entry* LinkedDocuments::Open(const std::string& path) {
    std::error_code ec;
    std::string id = fs::weakly_canonical(path, ec).string();
    if (ec) id = path;
    // The document these were loaded for is not read again.
    if (id == root_id_) return root_.get();
    auto it = entries_.find(id);
    if (it != entries_.end()) return it->second.get();
    if (entries_.size() >= kMaxDocuments) return nullptr;
    auto e = std::make_unique<Entry>();
    e->path = path;
    e->folder = FolderOf(path);
    if (!ReadSupportingFile(e->doc, path)) {
        entries_[id] = nullptr;  // tried once, not again
        return nullptr;
    }
    e->cells = std::make_unique<formula::DocumentSource>(e->doc);
    e->cells->LinkTo(this, e->folder);
    e->eval = std::make_unique<formula::Evaluator>(*e->cells);
    if (e->doc.IsCustomFunctionSheet) {
        e->statements = std::make_unique<formula::DocumentSource>(e->doc, true);
        e->statements->LinkTo(this, e->folder);
        e->functions = std::make_unique<formula::CustomSheet>(*e->statements);
    }
    Entry* out = e.get();
    entries_[id] = std::move(e);
    return out;
}

std::vector<std::string> LinkedDocuments::Paths() const {
    std::vector<std::string> out;
    for (const auto& [id, e] : entries_)
        if (e) out.push_back(e->path);
    return out;
}

formula::Evaluator* LinkedDocuments::Engine(Entry* e, Value& refused) {
    refused = Value::Error(e == ambiguous_.get() ? ErrorCode::MoreThanOneFileLoaded : ErrorCode::FileNotLoaded);
    if (!e || e == ambiguous_.get()) return nullptr;
    if (e != root_.get()) return e->eval.get();
    // Only a computation that began in the document itself reaches it.
    return links_.asks.empty() ? nullptr : links_.asks.front().asker;
}

Value LinkedDocuments::Cells(const std::string& folder, std::string_view name, CellRange range) {
    Entry* e = Find(folder, name);
    Value refused;
    formula::Evaluator* eval = Engine(e, refused);
    if (!eval) return refused;
    auto one = [&](int c, int r) {
        Value v = e->functions ? e->functions->CellValue(c, r) : eval->CellValue(c, r);
        // A cycle through the documents is reported in each of its cells,
        // as a cycle within one document is.
        if (v.IsError() && v.error() != ErrorCode::CircularReference) return Value::Error(ErrorCode::Propagated);
        return v;
    };
    if (range.IsCell()) return one(range.c1, range.r1);
    int c2 = std::min(range.c2, std::max(eval->SheetCols(), range.c1));
    int r2 = std::min(range.r2, std::max(eval->SheetRows(), range.r1));
    if (static_cast<double>(c2 - range.c1 + 1) * (r2 - range.r1 + 1) > 1e6) return Value::Error(ErrorCode::OutOfRange);
    formula::Array a(c2 - range.c1 + 1, r2 - range.r1 + 1);
    for (int c = range.c1; c <= c2; ++c)
        for (int r = range.r1; r <= r2; ++r) a.at(c - range.c1, r - range.r1) = one(c, r);
    return Value::MakeArray(std::move(a));
}

Value LinkedDocuments::Name(const std::string& folder, std::string_view name, std::string_view defined) {
    Value refused;
    formula::Evaluator* eval = Engine(Find(folder, name), refused);
    if (!eval) return refused;
    return eval->EvaluateFormula(defined, 1, 1);
}

Value LinkedDocuments::Call(const std::string& folder, std::string_view name, std::string_view function,
                            std::vector<Value>& args) {
    Entry* e = Find(folder, name);
    Value refused;
    if (!Engine(e, refused)) return refused;
    if (!e->functions || !e->functions->Defines(function)) return Value::Error(formula::UndefinedCallError(function));
    // A sheet's functions calling back into it through another sheet.
    if (e->calling) return Value::Error(ErrorCode::CircularReference);
    Calling mark(e->calling);
    return e->functions->Call(function, std::move(args));
}

Value LinkedDocuments::SetCells(const std::string& folder, std::string_view name, CellRange range, const Value& v) {
    Entry* e = Find(folder, name);
    Value refused;
    formula::Evaluator* eval = Engine(e, refused);
    if (!eval) return refused;
    formula::SpreadOver(range, eval->SheetCols(), eval->SheetRows(), v, [&](int c, int r, const Value& one) {
        if (e->functions) e->functions->SetCell(c, r, one);
        else eval->SetValue(c, r, one);
    });
    return v;
}

}  // namespace tw
