#include "app/convert.h"

#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QFile>
#include <QLocale>
#include <QPageSize>
#include <QPrinter>

#include "app/console.h"
#include "document/numbers.h"
#include "platform/atomic_output.h"
#include "platform/errors.h"
#include "platform/qt/qt_canvas.h"
#include "printing/print.h"
#include "settings/settings.h"
#include "document/reader.h"
#include "export/csv_export.h"
#include "export/html_export.h"
#include "export/rtf_export.h"
#include "export/text_export.h"
#include "platform/qt/qt_metrics.h"
#include "platform/qt/qt_services.h"

namespace tw {

namespace {

namespace fs = std::filesystem;

const char* kUsage =
    "Usage: tarnwick --convert-to FORMAT FILE... [--outdir DIR]\n"
    "       tarnwick [DOCUMENT]\n"
    "\n"
    "Converts PipeDream documents without opening a window. Each FILE is\n"
    "written as its name without the extension plus the format's own, in DIR\n"
    "or else beside FILE. Files that are not PipeDream documents are refused.\n"
    "An output takes its name only once it is complete, and never replaces a\n"
    "file that the same run reads or has already written.\n"
    "\n"
    "FORMAT is one of:\n"
    "  rtf         Rich Text with the page layout, header and footer\n"
    "  txt         tab-separated plain text, one line per row\n"
    "  htm, html   an HTML page\n"
    "  pdf         printed to a PDF file with the page layout, header and footer\n"
    "  csv         comma-separated values, number cells computed\n"
    "\n"
    "Options:\n"
    "  --convert-to FORMAT  the format to write\n"
    "  --outdir DIR         write the converted files into DIR\n"
    "  --help               show this text\n"
    "  --version            show the version\n"
    "\n"
    "Without these options Tarnwick opens its window, and its whole command\n"
    "line names the document to show.\n"
    "\n"
    "Exit status: 0 when every file converted, 1 when one or more did not,\n"
    "2 when the command line is wrong.\n";

enum class Format { Rtf, Txt, Htm, Pdf, Csv };

struct Options {
    Format format = Format::Txt;
    bool have_format = false;
    std::string outdir;
    std::vector<std::string> files;
};

int Usage(const std::string& problem) {
    std::fprintf(stderr, "tarnwick: %s\nTry 'tarnwick --help' for more information.\n", problem.c_str());
    return 2;
}

bool ParseFormat(const std::string& name, Format& f) {
    if (name == "rtf") f = Format::Rtf;
    else if (name == "txt") f = Format::Txt;
    else if (name == "htm" || name == "html") f = Format::Htm;
    else if (name == "pdf") f = Format::Pdf;
    else if (name == "csv") f = Format::Csv;
    else return false;
    return true;
}

const char* Extension(Format f) {
    switch (f) {
    case Format::Rtf: return ".rtf";
    case Format::Txt: return ".txt";
    case Format::Htm: return ".htm";
    case Format::Pdf: return ".pdf";
    case Format::Csv: return ".csv";
    }
    return "";
}

// FILE's name without its extension plus the format's, in DIR or beside FILE.
std::string OutputPath(const std::string& file, const Options& o) {
    fs::path in(file);
    std::string name = in.filename().string();
    auto dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    fs::path folder = o.outdir.empty() ? in.parent_path() : fs::path(o.outdir);
    return (folder / (name + Extension(o.format))).string();
}

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

// One line on stderr for each file that was not converted; reports that
// span lines are joined into it.
void Problem(const std::string& file, std::string what) {
    for (char& c : what) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    std::fprintf(stderr, "tarnwick: %s: %s\n", file.c_str(), what.c_str());
}

std::string FileError(const VbError& e) { return e.description() + " (error " + std::to_string(e.number()) + ")"; }

// Prints through the same path as File > Print, onto a PDF printer with
// the locale's paper size, into a temporary file that replaces `out` only
// once the PDF is complete. Returns what went wrong, empty on success.
std::string PrintToPdf(Platform& sys, ConsoleMessageBox& msg, const DocumentModel& doc, const std::string& out,
                       const std::string& font_name, float font_size, const std::string& CrLf,
                       std::int16_t& PrintPageLength, FileIdentity& written) {
    AtomicOutput file;
    try {
        file.Open(out, AtomicOutput::Access::ByName);
    } catch (const VbError& e) {
        return "cannot write " + out + ": " + FileError(e);
    }
    int before = msg.Reports();
    int pages = 0;
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        // The temporary file's name is plain ASCII, so no byte of the
        // target's name goes through a text conversion.
        printer.setOutputFileName(QString::fromLatin1(file.PathForOthers().c_str()));
        bool us = QLocale::system().measurementSystem() == QLocale::ImperialUSSystem;
        printer.setPageSize(QPageSize(us ? QPageSize::Letter : QPageSize::A4));
        printer.setDocName(QFile::decodeName(out.c_str()));
        QtPrinterCanvas canvas(printer);
        ScriptFlags flags;
        PrintJob job{sys, doc, canvas, font_name, font_size, CrLf, PrintPageLength, flags};
        PrintDocument(job);
        pages = canvas.PagesPrinted();
    }
    if (msg.Reports() != before) {
        // The printer says no more than that the device failed; a disk
        // with no room left is named as the other formats name it.
        if (PdfWriteError(file.Fd()) == kErrDiskFull) return "cannot write " + out + ": " + FileError(VbError(kErrDiskFull));
        return msg.Since(before) + "; no PDF written";
    }
    // Nothing printed leaves any earlier PDF of that name as it was.
    if (pages == 0) {
        if (doc.NumRows == 0) return "the document has no rows, so there is nothing to print; no PDF written";
        return "nothing was printed: the PDF page holds no more lines than the document's margins, header and "
               "footer take; no PDF written";
    }
    if (!PdfComplete(file.Fd())) return "cannot write " + out + ": " + FileError(VbError(PdfWriteError(file.Fd())));
    try {
        file.Commit();
    } catch (const VbError& e) {
        return "cannot write " + out + ": " + FileError(e);
    }
    written = file.Committed();
    return "";
}

// What stands in the way of reading FILE as a document, empty when it can
// be tried: the reader refuses the same things, this only words them.
std::string InputProblem(const std::string& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) return FileError(VbError(ErrorFromErrno(errno, true)));
    if (S_ISREG(st.st_mode)) return "";
    const char* what = S_ISDIR(st.st_mode)    ? "a folder"
                       : S_ISFIFO(st.st_mode) ? "a named pipe"
                       : S_ISSOCK(st.st_mode) ? "a socket"
                       : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device"
                                                                     : "not a regular file";
    return std::string("is ") + what + ", not a document file";
}

// The files this run reads, by identity: an output must never replace one.
struct Inputs {
    std::vector<std::pair<FileIdentity, std::string>> files;
    void Add(const std::string& name) {
        for (bool follow : {true, false}) {
            if (auto id = IdentityOf(name, follow)) files.emplace_back(*id, name);
        }
    }
    const std::string* Find(const FileIdentity& id) const {
        for (const auto& [fid, name] : files) {
            if (fid == id) return &name;
        }
        return nullptr;
    }
};

}  // namespace

bool WantsConverter(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--convert-to" || a.rfind("--convert-to=", 0) == 0) return true;
    }
    if (argc > 1) {
        std::string a = argv[1];
        return a == "--help" || a == "-h" || a == "--version";
    }
    return false;
}

int RunConverter(int argc, char** argv) {
    Options o;
    bool only_files = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const std::string& opt, std::string& into) {
            if (a == opt) {
                if (i + 1 >= argc) return false;
                into = argv[++i];
                return true;
            }
            into = a.substr(opt.size() + 1);
            return true;
        };
        if (only_files || a.empty() || a[0] != '-' || a == "-") {
            o.files.push_back(a);
        } else if (a == "--") {
            only_files = true;
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--version") {
            std::printf("tarnwick %s\n", TARNWICK_VERSION);
            return 0;
        } else if (a == "--convert-to" || a.rfind("--convert-to=", 0) == 0) {
            std::string f;
            if (!value("--convert-to", f)) return Usage("--convert-to needs a format: rtf, txt or htm");
            if (!ParseFormat(f, o.format)) return Usage("unknown format '" + f + "': use rtf, txt, htm, pdf or csv");
            o.have_format = true;
        } else if (a == "--outdir" || a.rfind("--outdir=", 0) == 0) {
            if (!value("--outdir", o.outdir) || o.outdir.empty()) return Usage("--outdir needs a folder");
        } else {
            return Usage("unknown option '" + a + "'");
        }
    }
    if (!o.have_format) return Usage("--convert-to FORMAT is missing");
    if (o.files.empty()) return Usage("no files to convert");
    if (!o.outdir.empty() && !fs::is_directory(o.outdir)) {
        std::fprintf(stderr, "tarnwick: --outdir %s: no such folder\n", o.outdir.c_str());
        return 2;
    }

    ConsoleMessageBox msg;
    ConsoleInputBox input;
    SystemProcess process;
    NoPointer pointer;
    NoWindow window;
    Platform sys{msg, input, process, pointer};

    // The screen font the viewer would use, from its settings.
    std::string font_name = "Courier New";
    float font_size = 9;
    if (std::string n = ReadIniValue(process, "FontName"); !n.empty()) font_name = n;
    if (double s = Val(ReadIniValue(process, "FontSize")); s > 0 && s <= 2160) font_size = static_cast<float>(s);

    // Font metrics and printing come from Qt, on its offscreen platform so
    // that no display is needed.
    std::unique_ptr<QGuiApplication> gui;
    RtfMetrics metrics;
    if (o.format == Format::Rtf || o.format == Format::Pdf) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // Qt's own chatter (a missing runtime folder, font fallbacks) is
        // not the user's business here; our reports say what went wrong.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "tarnwick: %s\n", qPrintable(text));
        });
        static int qt_argc = 1;
        static char* qt_argv[] = {argv[0], nullptr};
        gui = std::make_unique<QGuiApplication>(qt_argc, qt_argv);
        if (o.format == Format::Rtf) metrics = MeasureRtfMetrics(font_name, font_size);
    }

    DocumentModel doc;
    std::int16_t PrintPageLength = 0;  // kept from file to file, as in the viewer
    const std::string CrLf = "\r\n";
    Inputs inputs;
    for (const std::string& file : o.files) inputs.Add(file);
    std::vector<std::pair<FileIdentity, std::string>> written;  // output -> its input
    // Converts one file; false when it was not converted, after saying why.
    auto convert = [&](const std::string& file) {
        if (std::string problem = InputProblem(file); !problem.empty()) {
            Problem(file, problem + "; not converted");
            return false;
        }
        int before = msg.Reports();
        ReadPipeDreamFile(sys, window, doc, file);
        if (msg.Reports() != before) {
            Problem(file, msg.Since(before) + "; not converted");
            return false;
        }
        if (!doc.IsPipeDreamFile) {
            Problem(file, "not a PipeDream document; nothing written");
            return false;
        }
        // Compared by identity, not by spelling: "./a.txt", "a.txt", a hard
        // link and a symbolic link to it are all one file.
        std::string out = OutputPath(file, o);
        bool refused = false;
        for (bool follow : {true, false}) {
            std::optional<FileIdentity> id = IdentityOf(out, follow);
            if (!id || refused) continue;
            if (const std::string* other = inputs.Find(*id)) {
                Problem(file, *other == file || (doc.SourceFile && *doc.SourceFile == *id)
                                  ? "the output " + out + " is the input itself; nothing written"
                                  : "the output " + out + " is " + *other +
                                        ", which this run converts too; nothing written");
                refused = true;
            }
            for (const auto& [wid, from] : written) {
                if (!refused && wid == *id) {
                    Problem(file, out + " was already written from " + from + " in this run; not overwritten");
                    refused = true;
                }
            }
        }
        if (refused) return false;
        before = msg.Reports();
        if (o.format == Format::Pdf) {
            FileIdentity id;
            std::string problem = PrintToPdf(sys, msg, doc, out, font_name, font_size, CrLf, PrintPageLength, id);
            if (!problem.empty()) {
                Problem(file, problem);
                return false;
            }
            written.emplace_back(id, file);
            return true;
        }
        switch (o.format) {
        case Format::Rtf: WriteRTF(sys, doc, metrics, out); break;
        case Format::Txt: WriteFileTxt(sys, doc, out); break;
        case Format::Htm: WriteFileHTML(sys, doc, out); break;
        case Format::Pdf: break;
        case Format::Csv: WriteFileCsv(sys, doc, out); break;
        }
        if (msg.Reports() != before) {
            Problem(file, "cannot write " + out + ": " + msg.Since(before) + "; nothing written");
            return false;
        }
        if (auto id = IdentityOf(out, false)) written.emplace_back(*id, file);
        return true;
    };
    int failed = 0;
    for (const std::string& file : o.files) {
        if (!convert(file)) ++failed;
    }
    return failed == 0 ? 0 : 1;
}

}  // namespace tw
