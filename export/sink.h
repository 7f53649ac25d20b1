// Where the writers send their bytes: a string in tests, a file otherwise.
#pragma once

#include <limits>
#include <string>
#include <string_view>

#include "document/report.h"
#include "platform/textfile.h"

namespace tw {

// Rows `first` to `last` of a document; `last` is cut to its rows.
struct RowRange {
    int first = 1;
    int last = std::numeric_limits<int>::max();
};

class Sink {
public:
    virtual ~Sink() = default;
    virtual void Write(std::string_view bytes) = 0;
};

class StringSink : public Sink {
public:
    std::string bytes;
    void Write(std::string_view b) override { bytes.append(b); }
};

class FileSink : public Sink {
public:
    explicit FileSink(OutputFile& file) : file_(file) {}
    void Write(std::string_view b) override { file_.Write(b); }

private:
    OutputFile& file_;
};

// Runs one statement of a writer under the file writer's trap, or
// directly when writing to a sink without one.
template <class F>
void RunStep(Trap* trap, int label, F&& statement) {
    if (trap) trap->Step(label, statement);
    else statement();
}

// Line labels of the file writers' reports.
enum WriterLabel { kWriterOpen = 1, kWriterHeader = 2, kWriterRow = 3, kWriterEnd = 4, kWriterClose = 5 };

// Opens `path` for output, runs `body` with a sink over it under a trap of
// family A with line named `procedure`, and closes the file in the
// closing steps. The file replaces `path` only when it was written to the
// end: after an Abort, or a close that did not succeed, the earlier file
// of that name stays whole. Returns Failed when the file was not put in
// place.
template <class F>
Status WriteFileUnderTrap(Platform& sys, const char* procedure, const std::string& path, F&& body) {
    OutputFile file;
    FileSink sink(file);
    Trap trap(sys, procedure, ReportFamily::AWithLine);
    bool opened = false;
    bool finished = trap.Run([&] {
        trap.Step(kWriterOpen, [&] {
            file.Open(path, OutputFile::Mode::Output);
            opened = true;
        });
        body(sink, trap);
    });
    if (finished) finished = trap.Run([&] { trap.Step(kWriterClose, [&] { file.Close(); }); });
    file.Discard();
    // Past a failed open that was ignored, nothing was written anywhere.
    return trap.Outcome(finished && opened);
}

}  // namespace tw
