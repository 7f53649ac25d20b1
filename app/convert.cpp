#include "app/convert.h"

#include <QGuiApplication>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QLocale>
#include <QPageSize>
#include <QPrinter>

#include "app/console.h"
#include "document/numbers.h"
#include "platform/qt/qt_canvas.h"
#include "printing/print.h"
#include "settings/settings.h"
#include "document/reader.h"
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
    "\n"
    "FORMAT is one of:\n"
    "  rtf         Rich Text with the page layout, header and footer\n"
    "  txt         tab-separated plain text, one line per row\n"
    "  htm, html   an HTML page\n"
    "  pdf         printed to a PDF file with the page layout, header and footer\n"
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

enum class Format { Rtf, Txt, Htm, Pdf };

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
    else return false;
    return true;
}

const char* Extension(Format f) {
    switch (f) {
    case Format::Rtf: return ".rtf";
    case Format::Txt: return ".txt";
    case Format::Htm: return ".htm";
    case Format::Pdf: return ".pdf";
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

// Prints through the same path as File > Print, onto a PDF printer with
// the locale's paper size.
void PrintToPdf(Platform& sys, const DocumentModel& doc, const std::string& out, const std::string& font_name,
                float font_size, const std::string& CrLf, std::int16_t& PrintPageLength) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromLocal8Bit(out.c_str()));
    bool us = QLocale::system().measurementSystem() == QLocale::ImperialUSSystem;
    printer.setPageSize(QPageSize(us ? QPageSize::Letter : QPageSize::A4));
    printer.setDocName(QString::fromLocal8Bit(out.c_str()));
    QtPrinterCanvas canvas(printer);
    ScriptFlags flags;
    PrintJob job{sys, doc, canvas, font_name, font_size, CrLf, PrintPageLength, flags};
    PrintDocument(job);
    if (canvas.PagesPrinted() == 0) {
        // Nothing was printed: leave no empty file behind.
        std::error_code ec;
        fs::remove(out, ec);
        if (doc.NumRows > 0) sys.msg.Show("nothing was printed", MsgButtons::OK, MsgIcon::Information);
    }
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec);
}

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
            if (!ParseFormat(f, o.format)) return Usage("unknown format '" + f + "': use rtf, txt, htm or pdf");
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
    std::map<std::string, std::string> written;  // output path -> input
    int failed = 0;
    for (const std::string& file : o.files) {
        msg.SetPrefix("tarnwick: " + file);
        int before = msg.Reports();
        ReadPipeDreamFile(sys, window, doc, file);
        if (msg.Reports() != before) {
            std::fprintf(stderr, "tarnwick: %s: not converted\n", file.c_str());
            ++failed;
            continue;
        }
        if (!doc.IsPipeDreamFile) {
            std::fprintf(stderr, "tarnwick: %s: not a PipeDream document; nothing written\n", file.c_str());
            ++failed;
            continue;
        }
        std::string out = OutputPath(file, o);
        std::string canonical = fs::weakly_canonical(out).string();
        if (SameFile(out, file)) {
            std::fprintf(stderr, "tarnwick: %s: the output %s is the input itself; nothing written\n", file.c_str(),
                         out.c_str());
            ++failed;
            continue;
        }
        if (auto it = written.find(canonical); it != written.end()) {
            std::fprintf(stderr, "tarnwick: %s: %s was already written from %s; not overwritten\n", file.c_str(),
                         out.c_str(), it->second.c_str());
            ++failed;
            continue;
        }
        switch (o.format) {
        case Format::Rtf: WriteRTF(sys, doc, metrics, out); break;
        case Format::Txt: WriteFileTxt(sys, doc, out); break;
        case Format::Htm: WriteFileHTML(sys, doc, out); break;
        case Format::Pdf: PrintToPdf(sys, doc, out, font_name, font_size, CrLf, PrintPageLength); break;
        }
        if (msg.Reports() != before) {
            std::fprintf(stderr, "tarnwick: %s: not converted\n", file.c_str());
            ++failed;
            continue;
        }
        written[canonical] = file;
    }
    return failed == 0 ? 0 : 1;
}

}  // namespace tw
