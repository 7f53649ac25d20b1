#!/usr/bin/env python3
"""Reads Tarnwick's ODS and XLSX workbooks back the way people will: in
LibreOffice Calc through its UNO bridge, recalculated there, and the XLSX
also through openpyxl. Every cell is compared with Tarnwick's CSV of the
same document. Called by scripts/check-readers.

Usage: check-sheets.py TARNWICK FOLDER...
"""
import csv
import datetime
import io
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

# PipeDream's error names (as the CSV writes them) and the kind of error
# the targets give for each; what is not listed is a #VALUE!.
KINDS = {
    "Divide by zero": "DIV0",
    "Lookup": "NA", "Value not defined": "NA",
    "Bad cell": "REF", "Cell deleted": "REF", "File not loaded": "REF",
    "Name not defined": "NAME", "Custom function not defined": "NAME", "Bad identifier": "NAME",
    "Accuracy lost": "NUM", "Bad logarithm": "NUM", "FP error": "NUM", "Irr": "NUM", "Negative root": "NUM",
    "Out of range": "NUM", "Parameter out of range": "NUM", "Mixed signs": "NUM",
}
OTHER_ERRORS = {
    "Array not expected", "Bad complex number", "Bad date", "Bad index", "Bad time", "Circular reference",
    "Control function outside custom function", "Date not expected", "Formula too long", "Matrix not numeric",
    "Matrix wrong size", "Mismatched matrices", "Mistake in formula", "Nested array", "No date value",
    "No time value", "Number not expected", "Propagated", "Range not expected", "Stack overflow",
    "String not expected", "Memory full",
}
# LibreOffice's error numbers; 502 (invalid argument) stands for either.
LO_KINDS = {532: {"DIV0"}, 503: {"NUM"}, 523: {"NUM"}, 502: {"NUM", "VALUE"}, 519: {"VALUE"}, 504: {"VALUE"},
            524: {"REF"}, 525: {"NAME"}, 32767: {"NA"}, 522: {"VALUE"}}
EXCEL_KINDS = {"#DIV/0!": "DIV0", "#NUM!": "NUM", "#VALUE!": "VALUE", "#REF!": "REF", "#NAME?": "NAME", "#N/A": "NA"}
# The documents whose number cells' shown text is compared with Calc's.
FORMAT_EXAMPLES = ("financial", "maths-maths", "maths-mod", "stats-statistic", "date")
PICTURE_OR_FONT = re.compile(r"@[GgFf]:[^@]*@")
ISO = re.compile(r"^(?:(-?\d{4})-(\d\d)-(\d\d))?T?(?:(\d\d):(\d\d):(\d\d))?$")


def run(cmd, **kw):
    return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False, **kw)


def error_kind(name):
    if name in KINDS:
        return KINDS[name]
    return "VALUE" if name in OTHER_ERRORS else None


def expected(field):
    """What a CSV field says a cell holds: ('error', kind), ('number', x) or ('text', s)."""
    kind = error_kind(field)
    if kind:
        return "error", kind
    m = ISO.match(field)
    if field and m and (m.group(1) or m.group(4)):
        serial = 0.0
        if m.group(1):
            serial = (datetime.date(int(m.group(1)), int(m.group(2)), int(m.group(3))) -
                      datetime.date(1899, 12, 30)).days
        if m.group(4):
            serial += (int(m.group(4)) * 3600 + int(m.group(5)) * 60 + int(m.group(6))) / 86400.0
        return "number", serial
    try:
        return "number", float(field)
    except ValueError:
        # A picture or a font change shows nothing in a workbook's cell, as
        # in the PipeDream layout; the CSV keeps the field as written.
        return "text", PICTURE_OR_FONT.sub("", field)


def close(a, b):
    return a == b or abs(a - b) <= 1e-9 * max(abs(a), abs(b)) or abs(a - b) < 1e-12


def compare(field, got):
    """`got` as the reader has it: ('error', kinds), ('number', x), ('text', s) or ('empty',)."""
    # A text cell may read as a number in the CSV: "1000" is both.
    if got[0] == "text" and got[1] == field:
        return True
    want = expected(field)
    if want[0] == "text" and want[1] == "":
        return got[0] == "empty" or got == ("text", "")
    if want[0] == "error":
        return got[0] == "error" and want[1] in got[1]
    if want[0] == "number":
        return got[0] == "number" and close(want[1], got[1])
    return got[0] == "text" and got[1] == want[1]


class Calc:
    """A LibreOffice listening on a pipe, driven through UNO."""

    def __init__(self, work):
        import uno  # noqa: F401  (python3-uno)
        self.uno = uno
        self.pipe = "tarnwick_sheets_%d" % os.getpid()
        self.proc = subprocess.Popen(
            ["soffice", "-env:UserInstallation=file://" + os.path.join(work, "profile"), "--headless",
             "--invisible", "--norestore", "--nologo", "--accept=pipe,name=%s;urp;" % self.pipe],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
        for _ in range(120):
            try:
                ctx = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % self.pipe)
                break
            except Exception:
                time.sleep(0.5)
        else:
            raise RuntimeError("LibreOffice did not start")
        self.desktop = ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)

    def prop(self, name, value):
        p = self.uno.createUnoStruct("com.sun.star.beans.PropertyValue")
        p.Name, p.Value = name, value
        return p

    def load(self, path):
        # No interaction handler: a file that needs repairing fails to load
        # rather than being mended quietly.
        args = (self.prop("Hidden", True), self.prop("RepairPackage", False))
        return self.desktop.loadComponentFromURL(self.uno.systemPathToFileUrl(path), "_blank", 0, args)

    def close(self):
        try:
            self.desktop.terminate()
        except Exception:
            pass
        try:
            self.proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.proc.kill()


def calc_cell(cell):
    from com.sun.star.table.CellContentType import EMPTY, VALUE, TEXT  # noqa: F401
    t = cell.Type.value
    if t == "EMPTY":
        return ("empty",)
    if t == "VALUE":
        return ("number", cell.getValue())
    if t == "TEXT":
        return ("text", cell.getString())
    err = cell.getError()
    if err:
        return ("error", LO_KINDS.get(err, {"VALUE"}))
    if cell.FormulaResultType2 == 2:
        return ("text", cell.getString())
    return ("number", cell.getValue())


def openpyxl_cell(value):
    if value is None:
        return ("empty",)
    if isinstance(value, bool):
        return ("number", float(value))
    if isinstance(value, (int, float)):
        return ("number", float(value))
    if isinstance(value, datetime.time):
        return ("number", (value.hour * 3600 + value.minute * 60 + value.second) / 86400.0)
    if isinstance(value, datetime.datetime):
        d = value - datetime.datetime(1899, 12, 30)
        return ("number", d.days + d.seconds / 86400.0)
    if isinstance(value, str) and value in EXCEL_KINDS:
        return ("error", {EXCEL_KINDS[value]})
    return ("text", str(value))


def main():
    exe = os.path.abspath(sys.argv[1])
    docs = []
    for folder in sys.argv[2:]:
        for d, _, fs in os.walk(folder):
            docs += [os.path.join(d, f) for f in sorted(fs) if f.endswith(".pd")]
    work = tempfile.mkdtemp(prefix="check-sheets-")
    failures = checks = 0
    calc = None
    try:
        import openpyxl
        calc = Calc(work)
        for doc in docs:
            name = os.path.basename(doc)[:-3]
            out = os.path.join(work, name)
            os.mkdir(out)
            frozen = ""
            for fmt in ("csv", "ods", "xlsx"):
                res = run([exe, "--convert-to", fmt, "--outdir", out, doc])
                checks += 1
                if res.returncode != 0:
                    failures += 1
                    print("FAIL %s: tarnwick --convert-to %s: %s" % (name, fmt, res.stderr.decode(errors="replace")))
                if fmt == "ods":
                    frozen = res.stderr.decode(errors="replace").strip()
            rows = list(csv.reader(io.StringIO(open(os.path.join(out, name + ".csv"), encoding="utf-8",
                                                    newline="").read())))
            # The text each cell shows in the PipeDream layout, for the
            # number formats.
            shown = []
            if any(k in name for k in FORMAT_EXAMPLES):
                run([exe, "--convert-to", "txt", "--layout", "pipedream", "--outdir", out, doc])
                text = open(os.path.join(out, name + ".txt"), "rb").read().decode("cp1252", errors="replace")
                shown = [line.split("\t") for line in text.split("\r\n")]
            ods, xlsx = os.path.join(out, name + ".ods"), os.path.join(out, name + ".xlsx")
            # The ODS's parts are well-formed XML.
            with zipfile.ZipFile(ods) as z:
                first = z.infolist()[0]
                checks += 1
                if first.filename != "mimetype" or first.compress_type != zipfile.ZIP_STORED:
                    failures += 1
                    print("FAIL %s.ods: mimetype is not the first, stored entry" % name)
                for part in ("content.xml", "styles.xml", "meta.xml", "META-INF/manifest.xml"):
                    path = os.path.join(out, part.replace("/", "-"))
                    open(path, "wb").write(z.read(part))
                    checks += 1
                    lint = run(["xmllint", "--noout", path])
                    if lint.returncode != 0:
                        failures += 1
                        print("FAIL %s.ods: %s is not well-formed: %s" % (name, part, lint.stderr.decode()[:300]))
            mismatches = {}
            # The clock moves on between Tarnwick's run and Calc's.
            first = openpyxl.load_workbook(xlsx).worksheets[0]
            texts = {(cell.row - 1, cell.column - 1): cell.value for line in first.iter_rows() for cell in line
                     if isinstance(cell.value, str) and cell.value.startswith("=")}
            volatile = {at for at, f in texts.items() if re.search(r"\b(NOW|TODAY)\(", f)}
            # ... and what is computed from them.
            while True:
                more = {at for at, f in texts.items() if at not in volatile and any(
                    (int(m.group(2)) - 1, col_number(m.group(1)) - 1) in volatile
                    for m in re.finditer(r"\$?([A-Z]{1,3})\$?(\d+)", f))}
                if not more:
                    break
                volatile |= more
            for fmt, path in (("ods", ods), ("xlsx", xlsx)):
                formats = [0]
                book = None
                try:
                    book = calc.load(path)
                except Exception as e:
                    print("FAIL %s.%s: LibreOffice does not load it: %s" % (name, fmt, e))
                checks += 1
                if book is None:
                    failures += 1
                    continue
                book.calculateAll()
                sheet = book.Sheets.getByIndex(0)
                bad = []
                for r, row in enumerate(rows):
                    for c, field in enumerate(row):
                        got = calc_cell(sheet.getCellByPosition(c, r))
                        if (r, c) in volatile:
                            continue
                        checks += 1
                        if not compare(field, got):
                            bad.append("%s%d: %r in Calc, %r in the CSV" % (col_name(c), r + 1, got, field))
                        elif got[0] == "number" and r < len(shown) and c < len(shown[r]):
                            want = shown[r][c].strip()
                            seen = sheet.getCellByPosition(c, r).getString().strip()
                            checks += 1
                            formats[0] += 1
                            if seen != want:
                                bad.append("%s%d: Calc shows %r, PipeDream %r" % (col_name(c), r + 1, seen, want))
                book.close(True)
                mismatches["Calc " + fmt] = bad
                if formats[0]:
                    print("%-32s %3d number cells' shown text compared in Calc (%s)" % (name, formats[0], fmt))
            # openpyxl: every formula and cached value.
            formulas = openpyxl.load_workbook(xlsx).worksheets[0]
            values = openpyxl.load_workbook(xlsx, data_only=True).worksheets[0]
            bad = []
            nformulas = 0
            for r, row in enumerate(rows):
                for c, field in enumerate(row):
                    f = formulas.cell(row=r + 1, column=c + 1).value
                    v = values.cell(row=r + 1, column=c + 1).value
                    if isinstance(f, str) and f.startswith("="):
                        nformulas += 1
                    if (r, c) in volatile:
                        continue
                    checks += 1
                    if not compare(field, openpyxl_cell(v)):
                        bad.append("%s%d: %r cached, %r in the CSV" % (col_name(c), r + 1, v, field))
            mismatches["openpyxl"] = bad
            total = sum(len(b) for b in mismatches.values())
            failures += total
            print("%-32s %3d live formulas in the XLSX; %s" % (name, nformulas, frozen.split(": ", 2)[-1] or
                                                                  "no formula kept as a value"))
            for reader, bad in mismatches.items():
                for b in bad[:12]:
                    print("  FAIL %s: %s" % (reader, b))
                if len(bad) > 12:
                    print("  ... %d more in %s" % (len(bad) - 12, reader))
    finally:
        if calc:
            calc.close()
        shutil.rmtree(work, ignore_errors=True)
    print("check-sheets: %d checks, %d failed" % (checks, failures))
    return 1 if failures else 0


def col_number(letters):
    n = 0
    for ch in letters:
        n = n * 26 + ord(ch) - 64
    return n


def col_name(c):
    s = ""
    c += 1
    while c:
        c, m = divmod(c - 1, 26)
        s = chr(65 + m) + s
    return s


if __name__ == "__main__":
    sys.exit(main())
