// Failure reports. Every procedure that can fail on ordinary input runs
// its failing-prone statements through a Trap, which shows the report in
// the procedure's family and acts on the user's answer:
//
//   Trap trap(sys, "WriteFileTxt", ReportFamily::AWithLine);
//   trap.Run([&] {
//       trap.Step(1, [&] { out.Open(path, OutputFile::Mode::Output); });
//       trap.Step([&] { ReadPipeDreamFile(...); });  // no line label
//       ...
//   });
//   trap.Run([&] { trap.Step(3, [&] { out.Close(); }); });  // closing steps
//
// Retry runs the same step again, Ignore returns from Step so the next
// statement runs, Abort (and the OK of family B) leaves the Run block, so
// the closing steps that follow it run. Only statements that can fail
// are stepped: the rest run as they stand.
#pragma once

#include <functional>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "document/status.h"
#include "platform/errors.h"
#include "platform/services.h"

namespace tw {

enum class ReportFamily {
    A,          // Abort, Retry, Ignore; Abort offers the error log
    AWithLine,  // the same naming the line label; no log offer
    B,          // OK only; the procedure leaves
};

// "Error 53 'File not found' in LoadFile"
std::string ReportTextA(int number, const std::string& description, const std::string& procedure);
// "Error 6 'Overflow' at line 2 in WriteFileTxt"
std::string ReportTextAWithLine(int number, const std::string& description, int label, const std::string& procedure);
// "Error 13, 'Type mismatch' in Form_Load."
std::string ReportTextB(int number, const std::string& description, const std::string& procedure);

// Path of a file in a folder, adding "/" unless the folder ends with one.
std::string JoinFolder(const std::string& folder, const std::string& name);

// `name` as an absolute path: a relative name is taken inside `folder`.
// "." parts and doubled slashes go; ".." stays, since a link may stand
// before it. The bytes of every part are kept as they are.
std::string AbsoluteName(const std::string& folder, const std::string& name);

// Offers to append `text` as one line to Errors.txt in the settings folder.
void SaveErrMsgToFile(Platform& sys, const std::string& text);

// What a procedure decides about a failure before the common report.
enum class Handling {
    Report,      // show the family's report
    ResumeNext,  // ignore it silently and go on with the next statement
    Leave,       // the procedure handled it (its own message); leave to the closing steps
};

class Trap {
public:
    // `procedure` names the procedure in reports; it must outlive the trap
    // (procedure names are literals).
    Trap(Platform& sys, const char* procedure, ReportFamily family)
        : sys_(sys), procedure_(procedure), family_(family) {}

    // The log line starts with the date and time and one space.
    Trap& LogWithTimestamp() {
        timestamp_ = true;
        return *this;
    }
    // The procedure shows the hourglass: it is put back to normal before a
    // report and set again before Retry and Ignore.
    Trap& ShowsHourglass() {
        hourglass_ = true;
        return *this;
    }
    // The procedure's own handling of particular failures.
    Trap& OnFailure(std::function<Handling(const VbError&, int label)> handler) {
        handler_ = std::move(handler);
        return *this;
    }

    // Runs one statement under the trap, without a line label (a report
    // of the family with lines names line 0).
    template <class F>
    void Step(F&& statement) {
        Step(0, std::forward<F>(statement));
    }

    // Runs one statement under the trap; `label` tells its failures apart.
    template <class F>
    void Step(int label, F&& statement) {
        for (;;) {
            try {
                statement();
                return;
            } catch (const VbError& e) {
                if (!Resume(e, label)) return;
            } catch (const std::bad_alloc&) {
                if (!Resume(VbError(kErrOutOfMemory), label)) return;
            }
        }
    }

    // Runs a block of statements; returns false when the block was left
    // through Abort, the OK of family B or the procedure's own handling.
    template <class F>
    bool Run(F&& block) {
        try {
            block();
            return true;
        } catch (const Leave& l) {
            if (l.from != this) throw;
            return false;
        } catch (const std::bad_alloc&) {
            // Memory ran out between statements: reported here, in the
            // procedure where it happened; the block cannot go on.
            try {
                Resume(VbError(kErrOutOfMemory), 0);
            } catch (const Leave& l) {
                if (l.from != this) throw;
            }
            return false;
        }
    }

    // The first failure this trap met and did not pass over silently
    // (the cause of those after it), or nothing.
    const VbError* FirstFailure() const { return failure_ ? &*failure_ : nullptr; }
    // What a procedure run under this trap did, given whether it got to
    // the end of its work.
    Status Outcome(bool finished) const {
        if (finished || !failure_) return Status::Done();
        return Status::Failed(*failure_);
    }

private:
    struct Leave {
        const Trap* from;
    };
    // Shows the report; true to run the statement again (Retry), false to
    // go on (Ignore); throws Leave to end the block.
    bool Resume(const VbError& e, int label);

    Platform& sys_;
    const char* procedure_;
    ReportFamily family_;
    bool timestamp_ = false;
    bool hourglass_ = false;
    std::function<Handling(const VbError&, int)> handler_;
    std::optional<VbError> failure_;
};

}  // namespace tw
