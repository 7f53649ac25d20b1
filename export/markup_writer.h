// The part the HTML and RTF writers share: a cell converted with the
// writer's escapes and forms into the line buffer, and the layout of rows
// into lines (columns aligned with spaces, text rows joined).
#pragma once

#include <array>
#include <new>
#include <string>
#include <string_view>

#include "document/markup.h"
#include "document/model.h"
#include "document/shown_text.h"
#include "export/sink.h"
#include "platform/errors.h"

namespace tw {

// What distinguishes one writer's cells from another's.
struct WriterForms {
    const char* procedure;  // named in the cell writer's reports
    void (*escape)(std::string_view in, std::string& out);
    const bool* needs_escape;                    // per byte: the escape pass changes it
    bool (*any_special)(std::string_view text);  // some byte needs escaping, or is "@" or "%"
    std::string page;                            // what "@P@" becomes
    // What "@D@" becomes, given today's date in the long format.
    std::string (*date)(const std::string& long_date);
    bool date_needs_today;  // the form shows today's date
    long long page_width, date_width;
    std::array<std::string_view, 5> on, off;  // highlight forms, by Highlight
};

const WriterForms& HtmlForms();
const WriterForms& RtfForms();

void EscapeHtml(std::string_view in, std::string& out);
void EscapeRtf(std::string_view in, std::string& out);

// Converts cells with one writer's forms; the title that "@T@" inserts is
// escaped like cell text.
class MarkupCellWriter {
public:
    MarkupCellWriter(Platform& sys, const WriterForms& forms, std::string_view title);
    // A writer with the same forms for another thread: it reports nothing,
    // and a cell it cannot convert throws its failure to the caller.
    MarkupCellWriter Unattended() const;
    MarkupCellWriter(const MarkupCellWriter& other);
    MarkupCellWriter& operator=(const MarkupCellWriter&) = delete;

    // Appends the converted `text` to LineBuf and returns its visible
    // width. A failure is reported in family A; after Abort or Ignore the
    // width is 0 and what was appended stays.
    long long Write(std::string_view text, std::string& LineBuf) {
        // Nearly every cell converts without a failure: the trap that
        // reports one is set up only when one happened.
        std::size_t start = LineBuf.size();
        try {
            return Convert(text, LineBuf);
        } catch (const VbError& e) {
            if (!reports_) throw;
            return WriteAfterFailure(text, LineBuf, start, e);
        } catch (const std::bad_alloc&) {
            if (!reports_) throw;
            return WriteAfterFailure(text, LineBuf, start, VbError(kErrOutOfMemory));
        }
    }

    // True when some byte of `text` needs more than copying.
    bool NeedsWork(std::string_view text) const { return forms_.any_special(text); }
    // True when the last cell written needed more than copying.
    bool Converted() const { return converted_; }

private:
    long long Convert(std::string_view text, std::string& LineBuf);
    // Reports `failure` under the writer's trap, which meets it as its
    // step's first run would have, and goes on as the user answers.
    long long WriteAfterFailure(std::string_view text, std::string& LineBuf, std::size_t start, const VbError& failure);

    Platform& sys_;
    const WriterForms& forms_;
    // What each byte asks of the passes, by these bits.
    enum : unsigned char { kEscapes = 1, kField = 2, kCode = 4 };
    std::array<unsigned char, 256> kinds_{};
    bool converted_ = false;
    bool reports_ = true;
    std::string title_, date_;
    FieldForms fields_;
    std::string escaped_, expanded_;
};

}  // namespace tw
