#include "app/convert.h"

#include <QGuiApplication>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "app/console.h"
#include "app/standard_streams.h"
#include "document/layouts.h"
#include "document/numbers.h"
#include "document/reader.h"
#include "export/csv_export.h"
#include "export/html_export.h"
#include "export/ods_export.h"
#include "export/rtf_export.h"
#include "export/text_export.h"
#include "export/xlsx_export.h"
#include "platform/atomic_output.h"
#include "platform/errors.h"
#include "platform/file_uri.h"
#include "platform/qt/qt_metrics.h"
#include "platform/qt/qt_pdf.h"
#include "platform/qt/qt_services.h"
#include "printing/print.h"
#include "settings/settings.h"

namespace tw {

namespace fs = std::filesystem;

// The files this run reads, by identity: an output must never replace one.
struct Inputs {
    std::vector<std::pair<FileIdentity, std::string>> files;
    void Add(const std::string& path, const std::string& name) {
        for (bool follow : {true, false}) {
            if (auto id = IdentityOf(path, follow)) files.emplace_back(*id, name);
        }
    }
    const std::string* Find(const FileIdentity& id) const {
        for (const auto& [fid, name] : files) {
            if (fid == id) return &name;
        }
        return nullptr;
    }
};

struct Conversion {
    Platform& sys;
    DocumentModel doc;
    std::string font_name = kDefaultFontName;  // the screen font the viewer would use
    float font_size = kDefaultFontSize;
    std::optional<RtfMetrics> metrics;  // measured when first needed
    std::int16_t PrintPageLength = 0;   // kept from file to file, as in the viewer
    const std::string CrLf = "\r\n";
    ProgressLine& progress;
    std::string input_name;         // the file in hand: a PDF is titled by it when its document has no title
    std::int16_t page_length = 0;   // --page-length; 0: the document's, when the printer page holds it
    Layout layout = Layout::Plain;  // --layout
    std::string input_path;         // the file in hand as read: "@L@" shows its name
    bool landscape = false;         // --landscape
    bool fit_width = false;         // --fit-width
    std::string warning;            // what to say of the file in hand once it is written
};

namespace {

const char* kStandardInput = "standard input";
const char* kStandardOutput = "standard output";

// A finished PDF ends with its trailer, and the cross-reference table
// stands where the trailer says: a write lost anywhere on the way (a full
// disk, a size limit) shifts or cuts one of them. The PDF printer does not
// report its own write failures, so this is how they are seen.
bool PdfComplete(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size < 64) return false;
    std::string tail(64, '\0');
    if (::pread(fd, tail.data(), tail.size(), st.st_size - 64) != 64) return false;
    std::size_t startxref = tail.rfind("startxref");
    if (startxref == std::string::npos || tail.find("%%EOF", startxref) == std::string::npos) return false;
    long long offset = std::atoll(tail.c_str() + startxref + 9);
    char xref[4];
    return offset > 0 && offset + 4 <= st.st_size && ::pread(fd, xref, 4, offset) == 4 &&
           std::string_view(xref, 4) == "xref";
}

// The failure behind an incomplete PDF: no room on the disk or under the
// file size limit, or else the device.
int PdfWriteError(int fd) {
    struct stat st {};
    struct statvfs vfs {};
    struct rlimit limit {};
    if (::fstatvfs(fd, &vfs) == 0 && vfs.f_bavail == 0) return kErrDiskFull;
    if (::fstat(fd, &st) == 0 && ::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<rlim_t>(st.st_size) >= limit.rlim_cur) {
        return kErrDiskFull;
    }
    return kErrDeviceIO;
}

Status FailedWith(int number) { return Status::Failed(number, ErrorDescription(number)); }

// The document in hand's cells as the layout asked for shows them.
std::unique_ptr<ShownCells> Shown(const Conversion& c) {
    return MakeShownCells(c.doc, c.layout, ContextFor(c.input_path));
}

Status WriteTxt(Conversion& c, const std::string& out) { return WriteFileTxt(c.sys, c.doc, out, Shown(c).get()); }
Status WriteHtm(Conversion& c, const std::string& out) { return WriteFileHTML(c.sys, c.doc, out, Shown(c).get()); }
Status WriteCsv(Conversion& c, const std::string& out) { return WriteFileCsv(c.sys, c.doc, out); }
// A workbook names its sheet after the file when the document has no
// title, and says how many formulas could only be kept as values.
template <Status (*write)(const DocumentModel&, const std::string&, const std::string&, SheetReport*, int)>
Status WriteWorkbook(Conversion& c, const std::string& out) {
    SheetReport report;
    Status s = write(c.doc, out, c.input_path, &report, DefaultAheadRows());
    if (s.Succeeded()) c.warning = report.frozen_text;
    return s;
}
// The screen font and the printer's paper, which every RTF file states.
void MeasureForRtf(Conversion& c) {
    if (!c.metrics) {
        c.metrics =
            RtfMetricsFor(c.font_name, c.font_size, MeasureScreenFont(c.font_name, c.font_size), DefaultPrinterSize());
    }
}

Status WriteRtf(Conversion& c, const std::string& out) {
    MeasureForRtf(c);
    return WriteRTF(c.sys, c.doc, *c.metrics, out, Shown(c).get());
}

// What is said of a PDF whose widest rows are cut at the page's edge.
std::string CutRowsText(long rows, bool landscape, bool fit_width) {
    std::string text = std::to_string(rows) + (rows == 1 ? " row is" : " rows are") + " wider than the page";
    if (fit_width) text += " even at half size";
    text += " and cut at its right edge";
    if (!landscape && !fit_width) return text + "; --landscape or --fit-width prints them whole";
    if (!landscape) return text + "; --landscape gives them more room";
    if (!fit_width) return text + "; --fit-width prints them whole";
    return text;
}

// Prints through the same path as File > Print, onto a PDF printer, into
// a temporary file that replaces `out` only once the PDF is complete.
Status WritePdf(Conversion& c, const std::string& out) {
    AtomicOutput file;
    try {
        file.Open(out, AtomicOutput::Access::ByName);
    } catch (const VbError& e) {
        return Status::Failed(e);
    }
    Status printed;
    int pages = 0;
    {
        // The temporary file's name is plain ASCII, so no byte of the
        // target's name goes through a text conversion.
        PdfPrinter pdf(file.PathForOthers(), PrintTitle(c.doc, c.input_name), c.landscape);
        pdf.OnPageEnd([&](int n) { c.progress.Pages(n); });
        ScriptFlags flags;
        std::unique_ptr<ShownCells> shown = Shown(c);
        PrintJob job{c.sys, c.doc,         pdf.Canvas(), c.font_name, c.font_size, c.CrLf, c.PrintPageLength,
                     flags, c.page_length, shown.get()};
        job.fit_width = c.fit_width;
        printed = PrintDocument(job);
        pages = pdf.PagesPrinted();
        if (job.rows_cut > 0) c.warning = CutRowsText(job.rows_cut, c.landscape, c.fit_width);
    }
    if (printed.kind == Status::Kind::Failed) {
        // The printer says no more than that the device failed; a disk
        // with no room left is named as the other formats name it.
        return PdfWriteError(file.Fd()) == kErrDiskFull ? FailedWith(kErrDiskFull) : printed;
    }
    if (printed.kind == Status::Kind::Refused) return printed;
    // Nothing printed leaves any earlier PDF of that name as it was.
    if (pages == 0) {
        if (c.doc.NumRows == 0) return Status::Refused("the document has no rows, so there is nothing to print");
        return Status::Refused(
            "nothing was printed: the PDF page holds no more lines than the document's margins, "
            "header and footer take");
    }
    if (!PdfComplete(file.Fd())) return FailedWith(PdfWriteError(file.Fd()));
    try {
        file.Commit();
    } catch (const VbError& e) {
        return Status::Failed(e);
    }
    return Status::Done();
}

const Format kFormats[] = {
    {{{"rtf", ".rtf"}, {}}, "Rich Text with the page layout, header and footer", true, false, WriteRtf, MeasureForRtf},
    {{{"txt", ".txt"}, {}}, "tab-separated plain text, one line per row", false, false, WriteTxt},
    {{{"htm", ".htm"}, {"html", ".html"}}, "an HTML page", false, false, WriteHtm},
    {{{"pdf", ".pdf"}, {}}, "printed to a PDF file with the page layout, header and footer", true, true, WritePdf},
    {{{"csv", ".csv"}, {}}, "comma-separated values, number cells computed", false, false, WriteCsv},
    {{{"ods", ".ods"}, {}}, "an OpenDocument spreadsheet, formulas live", false, true, WriteWorkbook<WriteFileOds>},
    {{{"xlsx", ".xlsx"}, {}}, "an Excel workbook, formulas live", false, true, WriteWorkbook<WriteFileXlsx>},
};

struct Options {
    const Format* format = nullptr;
    const char* extension = "";
    std::string outdir;
    bool to_stdout = false;
    bool quiet = false;
    std::int16_t page_length = 0;  // 0: the document's, when the printer page holds it
    Layout layout = Layout::Plain;
    bool landscape = false;
    bool fit_width = false;
    std::vector<std::string> files;
    int exit = -1;  // set when the run ends once the options are read (help, version)
};

int Usage(const std::string& problem) {
    std::fprintf(stderr, "tarnwick: %s\nTry 'tarnwick --help' for more information.\n", problem.c_str());
    return 2;
}

// What one option does with its value (empty for a flag); returns the
// problem to report, empty when there is none.
using ApplyOption = std::string (*)(Options& o, const std::string& value);

struct OptionRule {
    std::vector<std::string_view> names;
    // For an option that takes a value, what to say when it is missing;
    // empty for a flag. The value follows as the next argument, or after
    // "=" when `joined`.
    std::string missing;
    bool joined;
    ApplyOption apply;
};

std::string ApplyFormat(Options& o, const std::string& name) {
    o.format = FindFormat(name, &o.extension);
    return o.format ? "" : "unknown format '" + name + "': use " + FormatNamesText();
}

std::string ApplyLayout(Options& o, const std::string& name) {
    std::optional<Layout> layout = LayoutFromName(name);
    if (!layout) return "unknown layout '" + name + "': use plain or pipedream";
    o.layout = *layout;
    return "";
}

std::string ApplyPageLength(Options& o, const std::string& n) {
    char* end = nullptr;
    long v = std::strtol(n.c_str(), &end, 10);
    if (n.empty() || *end != '\0' || v < 1 || v > 32767) {
        return "--page-length '" + n + "': give a whole number of lines from 1 to 32767";
    }
    o.page_length = static_cast<std::int16_t>(v);
    return "";
}

std::string ShowHelp(Options& o, const std::string&) {
    std::fputs(UsageText().c_str(), stdout);
    o.exit = 0;
    return "";
}

std::string ShowVersion(Options& o, const std::string&) {
    std::printf("tarnwick %s\n", TARNWICK_VERSION);
    o.exit = 0;
    return "";
}

// Said both when the value is missing and when it will not do.
constexpr const char* kOutdirMissing = "--outdir needs a folder";
constexpr const char* kOnlyStandardOutput = "-o takes only '-', standard output; --outdir names a folder";

std::string ApplyOutdir(Options& o, const std::string& dir) {
    o.outdir = dir;
    return dir.empty() ? kOutdirMissing : "";
}

std::string ApplyStdout(Options& o, const std::string&) {
    o.to_stdout = true;
    return "";
}

std::string ApplyOutputTo(Options& o, const std::string& to) {
    o.to_stdout = true;
    return to == "-" ? "" : kOnlyStandardOutput;
}

std::string ApplyQuiet(Options& o, const std::string&) {
    o.quiet = true;
    return "";
}

std::string ApplyLandscape(Options& o, const std::string&) {
    o.landscape = true;
    return "";
}

std::string ApplyFitWidth(Options& o, const std::string&) {
    o.fit_width = true;
    return "";
}

const OptionRule kOptions[] = {
    {{"--help", "-h"}, "", false, ShowHelp},
    {{"--version", "-v", "-V"}, "", false, ShowVersion},
    {{"--convert-to"}, "--convert-to needs a format: " + FormatNamesText(), true, ApplyFormat},
    {{"--outdir"}, kOutdirMissing, true, ApplyOutdir},
    {{"--layout"}, "--layout needs a layout: plain or pipedream", true, ApplyLayout},
    {{"--page-length"}, "--page-length needs a number of lines", true, ApplyPageLength},
    {{"--stdout"}, "", false, ApplyStdout},
    {{"-o"}, kOnlyStandardOutput, false, ApplyOutputTo},
    {{"--quiet", "-q"}, "", false, ApplyQuiet},
    {{"--landscape"}, "", false, ApplyLandscape},
    {{"--fit-width"}, "", false, ApplyFitWidth},
};

// The rule for argument `a`, with the value it carries after "=".
const OptionRule* FindOption(std::string_view a, std::optional<std::string>& joined_value) {
    for (const OptionRule& rule : kOptions) {
        for (std::string_view name : rule.names) {
            if (a == name) return &rule;
            if (rule.joined && a.size() > name.size() && a.substr(0, name.size()) == name && a[name.size()] == '=') {
                joined_value = std::string(a.substr(name.size() + 1));
                return &rule;
            }
        }
    }
    return nullptr;
}

// What is wrong with the options taken together, empty when nothing is.
std::string OptionsProblem(const Options& o) {
    if (!o.format) return "--convert-to FORMAT is missing";
    if (o.files.empty()) return "no files to convert";
    if (o.to_stdout && o.files.size() != 1) return "--stdout writes one file: give exactly one FILE";
    if (o.to_stdout && !o.outdir.empty()) return "--stdout and --outdir do not go together";
    if (std::count(o.files.begin(), o.files.end(), "-") > 1)
        return "standard input can be read once only: give '-' once";
    // A terminal shows binary bytes as noise and may take some of them as
    // its own control sequences.
    if (o.to_stdout && o.format->binary && ::isatty(STDOUT_FILENO)) {
        return std::string("will not write ") + o.format->names[0].name +
               " to a terminal: redirect standard output to a file or a pipe, or leave out --stdout";
    }
    return "";
}

// A file to convert rather than an option: "-" (standard input) too.
bool IsFileArgument(const std::string& a) { return a.empty() || a[0] != '-' || a == "-"; }

// Applies the option argv[i], reading its value from the next argument
// (i moves on) when it needs one and has none after "="; returns an exit
// status on a mistake, or -1 to go on.
int TakeOption(int argc, char** argv, int& i, Options& o) {
    std::string a = argv[i];
    std::optional<std::string> value;
    const OptionRule* rule = FindOption(a, value);
    if (!rule) return Usage("unknown option '" + a + "'");
    if (!rule->missing.empty() && !value) {
        if (i + 1 >= argc) return Usage(rule->missing);
        value = argv[++i];
    }
    std::string problem = rule->apply(o, value.value_or(""));
    if (!problem.empty()) return Usage(problem);
    return -1;
}

// Checks the options read as a whole; an exit status, or -1 to go on.
int CheckOptions(const Options& o) {
    if (std::string problem = OptionsProblem(o); !problem.empty()) return Usage(problem);
    if (!o.outdir.empty() && !fs::is_directory(o.outdir)) {
        std::fprintf(stderr, "tarnwick: --outdir %s: no such folder\n", o.outdir.c_str());
        return 2;
    }
    return -1;
}

// Reads the command line into `o`; returns an exit status when the run
// ends here (help, version, a mistake), or -1 to go on.
int ParseOptions(int argc, char** argv, Options& o) {
    bool only_files = false;
    for (int i = 1; i < argc && o.exit < 0; ++i) {
        std::string a = argv[i];
        if (only_files || IsFileArgument(a)) {
            // A file manager or a browser may hand over a file:// URI.
            o.files.push_back(PathFromFileUri(a).value_or(a));
        } else if (a == "--") {
            only_files = true;
        } else if (int status = TakeOption(argc, argv, i, o); status >= 0) {
            return status;
        }
    }
    if (o.exit >= 0) return o.exit;
    return CheckOptions(o);
}

// FILE's name without its extension plus the format's, in DIR or beside
// FILE; a document from standard input is "stdin" in DIR or here.
std::string OutputPath(const std::string& file, const Options& o) {
    fs::path in(file == "-" ? "stdin" : file);
    std::string name = in.filename().string();
    auto dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    fs::path folder = o.outdir.empty() ? in.parent_path() : fs::path(o.outdir);
    return (folder / (name + o.extension)).string();
}

std::string FileError(const Status& s) { return s.description + " (error " + std::to_string(s.number) + ")"; }

// What stands in the way of reading FILE as a document, empty when it can
// be tried: the reader refuses the same things, this only words them.
std::string InputProblem(const std::string& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) return FileError(FailedWith(ErrorFromErrno(errno, true)));
    if (S_ISREG(st.st_mode)) return "";
    const char* what = S_ISDIR(st.st_mode)                          ? "a folder"
                       : S_ISFIFO(st.st_mode)                       ? "a named pipe"
                       : S_ISSOCK(st.st_mode)                       ? "a socket"
                       : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device"
                                                                    : "not a regular file";
    return std::string("is ") + what + ", not a document file";
}

// Converts the files one by one, saying on stderr in one line for each
// file that was not converted what happened to it.
class Run {
public:
    Run(Conversion& c, const Options& o) : c_(c), o_(o) {
        for (const std::string& file : o.files) {
            if (file == "-") inputs_.Add("/proc/self/fd/0", kStandardInput);
            else inputs_.Add(file, file);
        }
    }

    // False when the file was not converted, after saying why.
    bool Convert(const std::string& file) { return Load(file) && Write(file); }

    // Reads the file into the document: false when it was not read, or
    // is not a document, after saying why.
    bool Load(const std::string& file) {
        name_ = file == "-" ? kStandardInput : file;
        c_.input_name = name_;
        c_.input_path = file == "-" ? "stdin" : file;
        std::string path = file;
        StandardInputCopy copy;
        if (file == "-") {
            Status s = copy.Read(StandardInputLimit());
            if (s.kind == Status::Kind::Failed) return Problem("cannot be read: " + FileError(s) + "; not converted");
            if (!s.Succeeded()) return Problem(s.description + "; not converted");
            path = copy.path();
        } else if (std::string problem = InputProblem(file); !problem.empty()) {
            return Problem(problem + "; not converted");
        }
        if (Status s = ReadPipeDreamFile(c_.sys, window_, c_.doc, path); !s.Succeeded()) {
            return Problem("cannot be read: " + FileError(s) + "; not converted");
        }
        if (!c_.doc.IsPipeDreamFile) return Problem("not a PipeDream document; nothing written");
        return true;
    }

    // Writes the document the file was read into.
    bool Write(const std::string& file) {
        c_.warning.clear();
        if (o_.to_stdout) return ToStandardOutput();
        std::string out = OutputPath(file, o_);
        if (!MayWrite(file, out)) return false;
        if (!Written(out, o_.format->write(c_, out))) return false;
        if (auto id = IdentityOf(out, false)) written_.emplace_back(*id, name_);
        Warn();
        return true;
    }

private:
    // Says, once, what the writer noticed of a file it wrote all the same.
    void Warn() {
        if (!c_.warning.empty()) Problem(c_.warning);
        c_.warning.clear();
    }

    bool Problem(std::string what) {
        // Reports that span lines are joined into the one line.
        for (char& ch : what) {
            if (ch == '\r' || ch == '\n') ch = ' ';
        }
        c_.progress.Erase();
        std::fprintf(stderr, "tarnwick: %s: %s\n", name_.c_str(), what.c_str());
        return false;
    }

    // Says what went wrong with writing `out`; false then.
    bool Written(const std::string& out, const Status& s) {
        if (s.Succeeded()) return true;
        if (s.kind == Status::Kind::Failed) {
            return Problem("cannot write " + out + ": " + FileError(s) + "; nothing written");
        }
        return Problem(s.description + "; nothing written");
    }

    // Compared by identity, not by spelling: "./a.txt", "a.txt", a hard
    // link and a symbolic link to it are all one file.
    bool MayWrite(const std::string& file, const std::string& out) {
        for (bool follow : {true, false}) {
            std::optional<FileIdentity> id = IdentityOf(out, follow);
            if (!id) continue;
            if (const std::string* other = inputs_.Find(*id)) {
                return Problem(*other == name_ || (file != "-" && c_.doc.SourceFile && *c_.doc.SourceFile == *id)
                                   ? "the output " + out + " is the input itself; nothing written"
                                   : "the output " + out + " is " + *other +
                                         ", which this run converts too; nothing written");
            }
            for (const auto& [wid, from] : written_) {
                if (wid == *id) {
                    return Problem(out + " was already written from " + from + " in this run; not overwritten");
                }
            }
        }
        return true;
    }

    // Writes the output in a private folder and sends it to standard
    // output once it is complete, so a failure sends nothing.
    bool ToStandardOutput() {
        std::optional<ScratchFolder> scratch;
        try {
            scratch.emplace();
        } catch (const VbError& e) {
            return Problem("cannot make a temporary folder: " + FileError(Status::Failed(e)) + "; nothing written");
        }
        std::string out = scratch->File(std::string("output") + o_.extension);
        Status s = o_.format->write(c_, out);
        c_.progress.Erase();  // before the first byte, wherever standard output goes
        if (s.Succeeded()) s = CopyToStandardOutput(out);
        if (!Written(kStandardOutput, s)) return false;
        Warn();
        return true;
    }

    Conversion& c_;
    const Options& o_;
    NoWindow window_;
    Inputs inputs_;
    std::vector<std::pair<FileIdentity, std::string>> written_;  // output -> its input
    std::string name_;                                           // the file in hand, as messages name it
};

}  // namespace

std::span<const Format> Formats() { return kFormats; }

const Format* FindFormat(std::string_view name, const char** extension) {
    for (const Format& f : kFormats) {
        for (const FormatName& n : f.names) {
            if (n.name && name == n.name) {
                if (extension) *extension = n.extension;
                return &f;
            }
        }
    }
    return nullptr;
}

std::string FormatNamesText() {
    std::vector<std::string> names;
    for (const Format& f : kFormats) {
        for (const FormatName& n : f.names) {
            if (n.name) names.emplace_back(n.name);
        }
    }
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += i + 1 == names.size() ? " or " : ", ";
        text += names[i];
    }
    return text;
}

std::string UsageText() {
    std::string formats;
    for (const Format& f : kFormats) {
        std::string names = f.names[0].name;
        if (f.names[1].name) names += std::string(", ") + f.names[1].name;
        names.resize(std::max<std::size_t>(names.size() + 1, 12), ' ');
        formats += "  " + names + f.summary + "\n";
    }
    return "Usage: tarnwick --convert-to FORMAT FILE... [--outdir DIR] [--layout LAYOUT]\n"
           "                [--page-length N] [--landscape] [--fit-width]\n"
           "       tarnwick --convert-to FORMAT FILE --stdout [--layout LAYOUT]\n"
           "       tarnwick [DOCUMENT]\n"
           "\n"
           "Converts PipeDream documents without opening a window. Each FILE is\n"
           "written as its name without the extension plus the format's own, in DIR\n"
           "or else beside FILE. Files that are not PipeDream documents are refused.\n"
           "An output takes its name only once it is complete, and never replaces a\n"
           "file that the same run reads or has already written. A FILE of - is\n"
           "read from standard input and written as stdin plus the extension, in\n"
           "DIR or else in the current folder.\n"
           "\n"
           "FORMAT is one of:\n" +
           formats +
           "The output's extension is the name given: html writes .html, htm .htm.\n"
           "\n"
           "Options:\n"
           "  --convert-to FORMAT  the format to write\n"
           "  --outdir DIR         write the converted files into DIR\n"
           "  --layout LAYOUT      plain (the default): cells as they are stored;\n"
           "                       pipedream: values formatted, cells aligned and\n"
           "                       page breaks kept, as PipeDream laid them out\n"
           "  --page-length N      print N lines to a page (pdf); without it, the\n"
           "                       document's page length when the page holds it,\n"
           "                       else as many lines as the page holds\n"
           "  --landscape          print on the paper turned on its side (pdf)\n"
           "  --fit-width          print smaller, down to half size, so that the\n"
           "                       widest row fits the page's width (pdf); without\n"
           "                       it, a row wider than the page is cut at its edge\n"
           "                       and the converter says so\n"
           "  --stdout, -o -       write the one converted FILE to standard output\n"
           "  --quiet, -q          no progress line on a terminal\n"
           "  --help, -h           show this text\n"
           "  --version, -v, -V    show the version\n"
           "\n"
           "Without these options Tarnwick opens its window, and its whole command\n"
           "line names the document to show.\n"
           "\n"
           "Exit status: 0 when every file converted, 1 when one or more did not,\n"
           "2 when the command line is wrong.\n";
}

bool WantsConverter(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--convert-to" || a.rfind("--convert-to=", 0) == 0) return true;
    }
    if (argc > 1) {
        std::string a = argv[1];
        return a == "--help" || a == "-h" || a == "--version" || a == "-v" || a == "-V";
    }
    return false;
}

namespace {

// Qt takes a while to measure fonts and paper: `file` is read meanwhile
// on a second thread. The application object is made first, before that
// thread starts, because making it switches the process's C locale
// (setlocale), which no other thread may be reading at the time.
bool LoadWhileQtStarts(Run& run, const std::string& file, Conversion& c, const Format& format, char* argv0,
                       std::unique_ptr<QGuiApplication>& gui) {
    gui = StartOffscreenQt(argv0);
    std::future<bool> loaded;
    try {
        loaded = std::async(std::launch::async, [&] { return run.Load(file); });
    } catch (const std::system_error&) {
        // No second thread to be had: read it after the measures.
    }
    if (format.prepare) format.prepare(c);
    return loaded.valid() ? loaded.get() : run.Load(file);
}

}  // namespace

int RunConverter(int argc, char** argv) {
    Options o;
    if (int status = ParseOptions(argc, argv, o); status >= 0) return status;

    ConsoleMessageBox msg;
    ConsoleInputBox input;
    SystemProcess process;
    NoPointer pointer;
    Platform sys{msg, input, process, pointer};
    // Where standard output is the same terminal, the progress line would
    // stand in front of the converted text.
    const bool terminal_out = o.to_stdout && ::isatty(STDOUT_FILENO);
    ProgressLine progress(stderr, !o.quiet && !terminal_out && ::isatty(STDERR_FILENO));
    Conversion c{sys,      {}, kDefaultFontName, kDefaultFontSize, std::nullopt, 0,           "\r\n",
                 progress, "", o.page_length,    o.layout,         "",           o.landscape, o.fit_width,
                 ""};
    if (std::string n = ReadIniValue(process, "FontName"); !n.empty()) c.font_name = n;
    if (double s = Val(ReadIniValue(process, "FontSize")); IsDrawableFontSize(s)) c.font_size = static_cast<float>(s);

    std::unique_ptr<QGuiApplication> gui;
    Run run(c, o);
    int failed = 0;
    for (std::size_t i = 0; i < o.files.size(); ++i) {
        progress.File(i, o.files.size(), o.files[i] == "-" ? kStandardInput : o.files[i]);
        bool done = o.format->needs_qt && !gui
                        ? LoadWhileQtStarts(run, o.files[i], c, *o.format, argv[0], gui) && run.Write(o.files[i])
                        : run.Convert(o.files[i]);
        if (!done) ++failed;
    }
    progress.Erase();
    return failed == 0 ? 0 : 1;
}

}  // namespace tw
