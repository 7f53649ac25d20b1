#include "document/reader.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <string_view>

#include "document/linked_documents.h"
#include "document/numbers.h"
#include "document/report.h"
#include "document/text.h"
#include "platform/lines.h"
#include "platform/textfile.h"

namespace tw {

namespace {

// Line labels of the reader: failures are told apart by where they happen.
enum Label {
    kOpening = 0,      // opening, reading and the option lines
    kColumnStore = 1,  // storing a column definition up to counting a cell's row
    kGridGrowth = 2,   // growing the grid and storing the cell
};

class Reader {
public:
    Reader(Platform& sys, WindowHooks& window, DocumentModel& doc, const std::string& name)
        : sys_(sys), window_(window), doc_(doc), name_(name), trap_(sys, "ReadPipeDreamFile", ReportFamily::A) {
        trap_.ShowsHourglass().OnFailure([this](const VbError& e, int label) { return Handle(e, label); });
    }

    Status Run() {
        InitVariables(sys_, doc_);
        column_ = 0;
        doc_.NumCols = 0;
        doc_.IsPipeDreamFile = false;
        sys_.pointer.SetHourglass(true);
        Status status = trap_.Outcome(trap_.Run([&] { Read(); }));
        // A failure the reader words itself is told in its own words.
        if (!status.Succeeded() && !own_words_.empty()) status.description = own_words_;
        Status closing = Close();
        return status.Succeeded() ? closing : status;
    }

    // What the document's formulas need beside it: the documents they
    // name, and whether its own cells are statements of custom functions.
    void LoadLinked() {
        MarkCustomFunctions();
        doc_.Linked = LinkedDocuments::LoadFor(doc_, std::string(Trim(name_)), text_ ? text_->View() : "");
    }
    void MarkCustomFunctions() {
        doc_.IsCustomFunctionSheet = HoldsCustomFunctions(doc_, text_ ? text_->View() : std::string_view());
    }

private:
    void Read() {
        trap_.Step(kOpening, [&] {
            file_.Open(Trim(name_));
            doc_.SourceFile = file_.Identity();
        });
        trap_.Step(kOpening, [&] {
            auto text = std::make_shared<ByteBuffer>();
            file_.ReadAll(*text);
            text_ = std::move(text);
            doc_.Cells.AttachText(text_);
        });
        if (!text_) return;
        LineCursor lines(text_->View());

        // First phase: option lines, only at the very beginning.
        std::string_view line;
        bool cells_follow = false;
        while (!lines.AtEnd()) {
            line = lines.Next();
            std::size_t op = line.find("%OP%");
            if (op == std::string_view::npos) {
                // PipeDream itself wrote files with a blank line between
                // option lines, and read on past it.
                if (line.empty() && OptionFollows(lines)) continue;
                cells_follow = true;
                break;
            }
            std::string_view rest = line.substr(op + 4);
            doc_.RawOptions.emplace_back(rest.substr(0, 2), rest.substr(rest.size() < 2 ? rest.size() : 2));
            trap_.Step(kOpening, [&] { StoreOption(rest); });
        }
        if (!cells_follow) return;

        // Second phase: column definitions and cells, until the file ends.
        for (;;) {
            SecondPhaseLine(line);
            if (lines.AtEnd()) return;
            line = lines.Next();
        }
    }

    // True when the lines ahead are blank up to an option line.
    static bool OptionFollows(LineCursor ahead) {
        while (!ahead.AtEnd()) {
            std::string_view next = ahead.Next();
            if (!next.empty()) return next.find("%OP%") != std::string_view::npos;
        }
        return false;
    }

    void StoreOption(std::string_view rest) {
        doc_.IsPipeDreamFile = true;
        const OptionKey* key = FindOption(rest.substr(0, 2));
        // A key without a global of the design (TH, DF, ND) is one the
        // design's reader did not know.
        if (!key || !key->HasGlobal()) {
            doc_.IsPipeDreamFile = false;
            return;
        }
        SetOption(doc_, *key, rest.substr(2));
    }

    void SecondPhaseLine(std::string_view line) {
        // A definition's rest is processed again as a line of its own.
        // Compared as four bytes at once: every line of the file passes here.
        while (line.size() >= 4 && std::memcmp(line.data(), "%CO:", 4) == 0) {
            if (!ColumnDefinition(line)) return;
        }
        StoreCell(line);
    }

    // Returns false when the definition was malformed and its failure
    // ignored: the rest of that line is then dropped.
    bool ColumnDefinition(std::string_view& line) {
        bool ok = true;
        std::string_view rest = line.substr(4);
        auto field = [&](char sep, int attr_row) {
            trap_.Step(kColumnStore, [&] {
                std::size_t k = rest.find(sep);
                if (k == std::string_view::npos) {
                    ok = false;
                    throw VbError(kErrInvalidCall);
                }
                doc_.Cells.SetAttribute(column_, attr_row, std::string(rest.substr(0, k)));
                rest = rest.substr(k + 1);
            });
        };
        trap_.Step(kColumnStore, [&] {
            column_ += 1;
            doc_.NumCols = column_;
            doc_.IsPipeDreamFile = true;
        });
        field(',', -3);
        if (ok) field(',', -2);
        trap_.Step(kColumnStore, [&] {
            std::string start = std::to_string(doc_.OptLM);
            if (column_ > 1) {
                double at = Val(doc_.Cells(column_ - 1, -2)) + Val(doc_.Cells(column_ - 1, 0));
                // A width beyond any number ("1e999") would make the start
                // "INF", read back as 0.
                if (!std::isfinite(at)) throw VbError(kErrOverflow);
                start = FormatGeneral(at);
            }
            doc_.Cells.SetAttribute(column_, 0, std::move(start));
        });
        if (ok) field('%', -1);
        row_ = 0;
        line = rest;
        return ok;
    }

    void StoreCell(std::string_view line) {
        trap_.Step(kColumnStore, [&] {
            if (column_ == 0) {
                column_ = 1;
                doc_.NumCols = 1;
            }
            row_ += 1;
            if (row_ > doc_.NumRows) doc_.NumRows = row_;
        });
        trap_.Step(kGridGrowth, [&] {
            doc_.Cells.AppendCell(column_, row_, static_cast<std::size_t>(line.data() - text_->Data()));
        });
    }

    Handling Handle(const VbError& e, int label) {
        if (e.number() == kErrSubscript && label == kColumnStore) {
            sys_.pointer.SetHourglass(false);
            std::string msg = "Can't load cell ";
            msg += static_cast<char>(64 + column_);
            msg += "1 in PipeDream file. Increase maximum number of columns.";
            sys_.msg.Show(msg, MsgButtons::OK, MsgIcon::Information);
            own_words_ = msg;
            doc_.NumCols -= 1;
            return Handling::Leave;
        }
        if ((e.number() == kErrOutOfStringSpace || e.number() == kErrOutOfMemory) && label >= kGridGrowth) {
            sys_.pointer.SetHourglass(false);
            std::string name;
            if (column_ >= 1 && column_ <= doc_.Cells.Columns()) name = std::string(doc_.Cells(column_, -3));
            own_words_ = "Can't load cell " + name + std::to_string(row_) +
                         " in PipeDream file. Decrease maximum number of columns.";
            sys_.msg.Show(own_words_, MsgButtons::OK, MsgIcon::Information);
            return Handling::Leave;
        }
        if (e.number() == kErrFileNotFound) {
            sys_.pointer.SetHourglass(false);
            sys_.msg.Show("File not found: " + name_, MsgButtons::OK, MsgIcon::Information);
            window_.ClearSurface();
            return Handling::Leave;
        }
        return Handling::Report;
    }

    Status Close() {
        Trap closing(sys_, "ReadPipeDreamFile", ReportFamily::A);
        bool finished = closing.Run([&] {
            closing.Step(kOpening, [&] { window_.SetCaption(CaptionFor(doc_, name_)); });
            closing.Step(kOpening, [&] { file_.Close(); });
        });
        sys_.pointer.SetHourglass(false);
        return closing.Outcome(finished);
    }

    Platform& sys_;
    WindowHooks& window_;
    DocumentModel& doc_;
    const std::string& name_;
    Trap trap_;
    InputFile file_;
    std::shared_ptr<const ByteBuffer> text_;
    int column_ = 0;
    int row_ = 0;
    std::string own_words_;
};

}  // namespace

std::string CaptionFor(const DocumentModel& doc, const std::string& FileName) {
    return std::string(kAppName) + " - " + (doc.OptDE.empty() ? FileName : doc.OptDE);
}

Status ReadPipeDreamFile(Platform& sys, WindowHooks& window, DocumentModel& doc, const std::string& FileName) {
    Reader reader(sys, window, doc, FileName);
    Status status = reader.Run();
    if (status.Succeeded() && doc.IsPipeDreamFile) reader.LoadLinked();
    return status;
}

namespace {

// Services for reading a supporting document: nothing is shown or asked.
struct Unseen final : MessageBox, InputBox, Process, Pointer, WindowHooks {
    MsgResult Show(const std::string&, MsgButtons buttons, MsgIcon) override {
        return buttons == MsgButtons::AbortRetryIgnore ? MsgResult::Abort
                                                       : (buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::OK);
    }
    std::string Ask(const std::string&, const std::string&, const std::string&) override { return ""; }
    std::string ProgramFolder() override { return "."; }
    std::string SettingsFolder() override { return "."; }
    std::string CurrentFolder() override { return "."; }
    void ChangeFolder(const std::string&) override {}
    std::string LongDate() override { return ""; }
    std::string DateTimeText() override { return ""; }
    void SetHourglass(bool) override {}
    void SetCaption(const std::string&) override {}
    void ClearSurface() override {}
};

}  // namespace

bool ReadSupportingFile(DocumentModel& doc, const std::string& FileName) {
    Unseen unseen;
    Platform quiet{unseen, unseen, unseen, unseen};
    Reader reader(quiet, unseen, doc, FileName);
    if (!reader.Run().Succeeded() || !doc.IsPipeDreamFile) return false;
    reader.MarkCustomFunctions();
    return true;
}

}  // namespace tw
