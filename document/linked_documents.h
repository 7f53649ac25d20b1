// The documents a document refers to in its formulas ("[name]A1",
// "[name]function(...)"), loaded with it and computed on demand.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formula/evaluator.h"
#include "formula/value.h"

namespace tw {

struct DocumentModel;

// The folders and file a document name in brackets stands for, as
// PipeDream on RISC OS wrote it: "." between folders, "/" for a dot
// within a name ("c_W/R" is the file c_W.R). Nothing for a name that
// would reach outside the referring document's folder: a filing system
// or root prefix ("$", "&", "^", "%", "@", ":", "\"), an empty part, or
// a part that reads as "." or "..".
std::optional<std::vector<std::string>> LinkedNameParts(std::string_view name);

// The files those parts may name below `folder`: each folder matched in
// either case, the file as named or with ".pd" added, in either case, in
// byte order. RISC OS names are blind to case and carry no ".pd", so more
// than one of them means the name stands for more than one document.
std::vector<std::string> FindLinkedFiles(const std::string& folder, const std::vector<std::string>& parts);

// Whether the document holds FUNCTION(...) cells and so is a custom
// function sheet. `bytes` is the file as read: a file without "unction("
// in it is passed over without looking at its cells.
bool HoldsCustomFunctions(const DocumentModel& doc, std::string_view bytes);

class LinkedDocuments {
public:
    // Loads what the document read from `path` refers to, and what those
    // documents refer to in turn, each file once; null when it refers to
    // nothing. `bytes` is its file as read.
    static std::shared_ptr<LinkedDocuments> LoadFor(const DocumentModel& doc, const std::string& path,
                                                    std::string_view bytes);
    ~LinkedDocuments();
    LinkedDocuments(const LinkedDocuments&) = delete;
    LinkedDocuments& operator=(const LinkedDocuments&) = delete;

    // The folder of the document they were loaded for.
    const std::string& RootFolder() const { return root_folder_; }
    // Documents read, whether or not they could be.
    std::size_t Loaded() const { return entries_.size(); }
    // The documents that were read, by path.
    std::vector<std::string> Paths() const;

    // What a document in `folder` gets for a reference to the document
    // `name`: its cells, a name it defines, a call of one of its custom
    // functions. A document that is not there gives "File not loaded",
    // a name that stands for more than one "More than 1 file loaded". The
    // document these were loaded for answers with the engine that asked
    // first, so that its cells have one value wherever they are read.
    // A cell of a custom function sheet reads as its statement left it.
    formula::Value Cells(const std::string& folder, std::string_view name, formula::CellRange range);
    formula::Value Name(const std::string& folder, std::string_view name, std::string_view defined);
    formula::Value Call(const std::string& folder, std::string_view name, std::string_view function,
                        std::vector<formula::Value>& args);
    // SET_VALUE aimed at cells of the document `name`: those that hold no
    // formula take the value.
    formula::Value SetCells(const std::string& folder, std::string_view name, formula::CellRange range,
                            const formula::Value& v);

    // What the engines of these documents share while they compute.
    formula::Linkage& Links() { return links_; }

    // Bounds on what one document loads.
    static constexpr std::size_t kMaxDocuments = 64;

private:
    LinkedDocuments();
    struct Entry;
    Entry* Find(const std::string& folder, std::string_view name);
    Entry* Open(const std::string& path);
    // The engine that answers for `e`, or the error a reference to it gives.
    formula::Evaluator* Engine(Entry* e, formula::Value& refused);
    void LoadReferences(const DocumentModel& doc, const std::string& folder, std::string_view bytes);

    std::string root_folder_;
    std::string root_id_;
    std::unique_ptr<Entry> root_;       // the document these were loaded for
    std::unique_ptr<Entry> ambiguous_;  // what a name of several documents finds
    formula::Linkage links_;
    std::map<std::string, std::unique_ptr<Entry>> entries_;  // by canonical path; null: not readable
    std::map<std::string, Entry*> resolved_;                 // folder + "\n" + name
};

}  // namespace tw
