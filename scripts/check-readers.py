#!/usr/bin/env python3
"""Reads Tarnwick's RTF and HTML exports back through LibreOffice and
Chromium and checks what a reader sees. Called by scripts/check-readers.

Usage: check-readers.py TARNWICK DOCUMENT-FOLDER
"""
import html
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

# A document of our own: the real ones hold no character of the range
# 128 to 160 in a cell.
CHARACTERS_DOC = (b"%OP%DECharacters\r\n%OP%HE/left/@T@/page @P@\r\n%OP%FO//2024 and @D@//\r\n"
                  b"%CO:A,40,0%The price is 5\x80, \x93quoted\x94 \x85 and \x96 dashes \x97.\r\n"
                  b"Trade\x99 marks, \x8Cuvre, \x8A and caf\xE9 \xA3 5.\r\n"
                  b"%H2%Bold ends the row%H2%\r\nand this row joins it.\r\n")

DEFAULTS = {"PL": 66, "TM": 0, "HM": 2, "FM": 2, "BM": 8, "LM": 2, "PS": 0}


class Report:
    def __init__(self):
        self.failures = 0
        self.checks = 0

    def check(self, ok, what):
        self.checks += 1
        if not ok:
            self.failures += 1
            print("FAIL " + what)
        return ok


def run(cmd, **kw):
    return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False, **kw)


def cp1252(data):
    out = []
    for b in data:
        try:
            out.append(bytes([b]).decode("cp1252"))
        except UnicodeDecodeError:
            pass  # the five bytes the code page leaves undefined
    return "".join(out)


def options(pd_bytes):
    """The document's option values, text and numbers."""
    opts = {}
    for raw in re.split(rb"\r\n|\n\r|\r|\n", pd_bytes):
        if raw.startswith(b"%CO:"):
            break
        at = raw.find(b"%OP%")
        if at < 0:
            if opts:
                break
            continue
        opts[raw[at + 4:at + 6].decode("latin-1")] = raw[at + 6:]
    return opts


def number(opts, key):
    if key not in opts:
        return DEFAULTS[key]
    m = re.match(rb"\s*([-+]?\d*\.?\d+)", opts[key].replace(b" ", b""))
    return round(float(m.group(1))) if m else 0


def header_pattern(text, title):
    """What a header or footer text must read as: its delimiter left out,
    its parts apart by tabs, its fields as their values."""
    if not text:
        return None
    d, rest = text[0], text[1:]
    parts = []
    for _ in range(3):
        k = rest.find(d)
        parts.append(rest if k < 0 else rest[:k])
        if k < 0:
            break
        rest = rest[k + 1:]
    parts += [""] * (3 - len(parts))
    left, centre, right = parts

    def part(p):
        p = re.sub(r"%[^%]*%", "", p)
        out, i = "", 0
        for m in re.finditer(r"@[^@]*@", p):
            out += re.escape(p[i:m.start()])
            code = m.group(0)
            out += {"@P@": r"\d+", "@D@": r".+", "@T@": re.escape(title), "@@": "@"}.get(code, re.escape(code))
            i = m.end()
        return out + re.escape(p[i:])

    pattern = part(left)
    if centre or right:
        pattern += r"\t" + part(centre)
    if right:
        pattern += r"\t" + part(right)
    return pattern


def length_in_twips(value):
    m = re.match(r"(-?[\d.]+)(in|cm|mm|pt)", value or "")
    if not m:
        return None
    per = {"in": 1440, "cm": 1440 / 2.54, "mm": 144 / 2.54, "pt": 20}[m.group(2)]
    return float(m.group(1)) * per


def odt_page(odt):
    """Page size and margins, and header and footer heights and texts, as
    LibreOffice laid the page out."""
    with zipfile.ZipFile(odt) as z:
        styles = z.read("styles.xml").decode("utf-8")
    master = re.search(r'<style:master-page style:name="Standard"[^>]*?style:page-layout-name="([^"]+)"[^>]*?'
                       r'(/>|>(.*?)</style:master-page>)', styles, re.S)
    layout_name, master_body = master.group(1), master.group(3) or ""
    layout = re.search(r'<style:page-layout style:name="%s"[^>]*>(.*?)</style:page-layout>' % re.escape(layout_name),
                       styles, re.S).group(1)
    props = re.search(r"<style:page-layout-properties([^>]*)>", layout).group(1)
    attr = lambda s, name: (re.search(r'%s="([^"]+)"' % name, s) or [None, None])[1]
    page = {k: length_in_twips(attr(props, "fo:" + k))
            for k in ("page-width", "page-height", "margin-left", "margin-right", "margin-top", "margin-bottom")}
    for kind in ("header", "footer"):
        style = re.search(r"<style:%s-style>(.*?)</style:%s-style>" % (kind, kind), layout, re.S)
        height = style and re.search(r'fo:min-height="([^"]+)"', style.group(1))
        page[kind + "-height"] = length_in_twips(height.group(1)) if height else 0
        body = re.search(r"<style:%s>(.*?)</style:%s>" % (kind, kind), master_body, re.S)
        text = None
        if body:
            t = re.sub(r"<text:tab/>", "\t", body.group(1))
            t = re.sub(r'<text:s text:c="(\d+)"/>', lambda m: " " * int(m.group(1)), t)
            t = re.sub(r"<text:s/>", " ", t)
            text = html.unescape(re.sub(r"<[^>]+>", "", t))
        page[kind] = text
    return page


def rtf_page(rtf):
    values = {}
    for word in ("paperw", "paperh", "margl", "margr", "margt", "margb", "headery", "footery"):
        # Document properties stand outside any group: "\margl630", never "{\margl630}".
        m = re.search(r"(?<!\{)\\%s(-?\d+)" % word, rtf)
        values[word] = int(m.group(1)) if m else None
    return values


def words_joined(rows, source_text, read_text):
    """Places where the last word of a row and the first of the next are
    read as one word."""
    bad = []
    for a, b in zip(rows, rows[1:]):
        wa, wb = a.split(), b.split()
        if not wa or not wb:
            continue
        glued = wa[-1] + wb[0]
        if glued in read_text and glued not in source_text:
            bad.append(wa[-1] + "|" + wb[0])
    return bad


def dom_text(dom):
    body = re.search(r"<body[^>]*>(.*)</body>", dom, re.S)
    # Block elements start lines of their own.
    t = re.sub(r"<br\s*/?>|</?(pre|p|div)[^>]*>", "\n", body.group(1) if body else dom)
    return html.unescape(re.sub(r"<[^>]+>", "", t))


def main():
    exe, folder = os.path.abspath(sys.argv[1]), sys.argv[2]
    docs = sorted(os.path.join(d, f) for d, _, fs in os.walk(folder) for f in fs if f.endswith(".pd"))
    if not docs:
        print("check-readers: no documents in " + folder)
        return 1
    r = Report()
    work = tempfile.mkdtemp(prefix="check-readers-")
    try:
        src, out, lo = (os.path.join(work, n) for n in ("src", "out", "lo"))
        for d in (src, out, lo):
            os.mkdir(d)
        # Each document under a name of its own (the spreadsheets share some).
        inputs = {}
        for path in docs:
            name = os.path.relpath(path, folder).replace("/", "--")
            shutil.copyfile(path, os.path.join(src, name))
            inputs[name[:-3]] = os.path.join(src, name)
        with open(os.path.join(src, "characters.pd"), "wb") as f:
            f.write(CHARACTERS_DOC)
        inputs["characters"] = os.path.join(src, "characters.pd")
        for fmt in ("rtf", "htm", "txt"):
            res = run([exe, "--convert-to", fmt, "--outdir", out] + sorted(inputs.values()))
            r.check(res.returncode == 0, "tarnwick --convert-to %s: %s" % (fmt, res.stderr.decode(errors="replace")))

        rtfs = sorted(os.path.join(out, n + ".rtf") for n in inputs)
        profile = "-env:UserInstallation=file://" + os.path.join(work, "profile")
        for target in ("odt", "txt:Text (encoded):UTF8", "pdf"):
            res = run(["soffice", profile, "--headless", "--convert-to", target, "--outdir", lo] + rtfs, timeout=900)
            r.check(res.returncode == 0, "LibreOffice --convert-to %s: %s" % (target, res.stderr.decode()))
        chromium = shutil.which("chromium") or shutil.which("chromium-browser")

        samples = {}
        widths, heights = set(), set()
        for name in sorted(inputs):
            pd = open(inputs[name], "rb").read()
            opts = options(pd)
            title = cp1252(opts.get("DE", b""))
            rows = [cp1252(line.replace(b"\t", b" ")) for line in open(os.path.join(out, name + ".txt"), "rb").read()
                    .split(b"\r\n")]
            source_text = " ".join(rows)
            rtf = open(os.path.join(out, name + ".rtf"), "rb").read().decode("latin-1")

            # Chromium reads the HTML.
            html_text = None
            if chromium:
                res = run([chromium, "--headless", "--no-sandbox", "--disable-gpu",
                           "--user-data-dir=" + os.path.join(work, "chromium"), "--dump-dom",
                           "file://" + os.path.join(out, name + ".htm")], timeout=120)
                html_text = dom_text(res.stdout.decode("utf-8", errors="replace"))
                bad = words_joined(rows, source_text, html_text)
                r.check(not bad, "%s.htm: words run together in Chromium: %s" % (name, ", ".join(bad[:8])))
                missing = sorted({c for c in source_text if ord(c) > 127 and c not in html_text})
                r.check(not missing, "%s.htm: Chromium shows no %s" % (name, " ".join(missing)))

            # LibreOffice reads the RTF: the words the browser shows.
            lo_text = open(os.path.join(lo, name + ".txt"), encoding="utf-8-sig").read()
            shown = set((html_text if html_text is not None else source_text).split())
            found = sum(1 for w in shown if w in lo_text)
            r.check(found >= 0.98 * len(shown), "%s.rtf: LibreOffice shows %d of %d words: %s missing" %
                    (name, found, len(shown), " ".join(sorted(w for w in shown if w not in lo_text)[:8])))
            bad = words_joined(rows, source_text, lo_text)
            r.check(not bad, "%s.rtf: words run together in LibreOffice: %s" % (name, ", ".join(bad[:8])))

            # The page LibreOffice lays out is the one the RTF describes.
            want = rtf_page(rtf)
            r.check(None not in want.values(), "%s.rtf: page size or margins missing or inside a group: %s" % (name, want))
            page = odt_page(os.path.join(lo, name + ".odt"))
            near = lambda a, b: a is not None and b is not None and abs(a - b) <= 3
            got = {
                "paperw": page["page-width"], "paperh": page["page-height"],
                "margl": page["margin-left"], "margr": page["margin-right"],
                "margt": page["margin-top"] + (page["header-height"] if page["header"] is not None else 0),
                "margb": page["margin-bottom"] + (page["footer-height"] if page["footer"] is not None else 0),
            }
            for k, v in got.items():
                r.check(near(v, want[k]), "%s: LibreOffice's %s is %s twips, the RTF says %s" % (name, k, v, want[k]))
            pdfinfo = run(["pdfinfo", os.path.join(lo, name + ".pdf")]).stdout.decode()
            size = re.search(r"Page size:\s+([\d.]+) x ([\d.]+) pts", pdfinfo)
            r.check(size and near(float(size.group(1)) * 20, want["paperw"]) and
                    near(float(size.group(2)) * 20, want["paperh"]),
                    "%s: the PDF's page is %s" % (name, size and size.group(0)))
            # ... and the one the document's options say: margins in lines
            # and characters of the screen font.
            lm, tm, hm, fm, bm = (number(opts, k) for k in ("LM", "TM", "HM", "FM", "BM"))
            if lm > 0 and want["margl"]:
                widths.add(round(want["margl"] / lm))
            r.check(lm != 0 or want["margl"] == 0, "%s: left margin 0 but \\margl%s" % (name, want["margl"]))
            if want["margt"]:
                heights.add(round(want["margt"] / (tm + 1 + hm)))
            if want["margb"]:
                heights.add(round(want["margb"] / (bm + 1 + fm)))

            # Header and footer: parts apart, delimiters never shown.
            for key, kind in (("HE", "header"), ("FO", "footer")):
                pattern = header_pattern(cp1252(opts.get(key, b"")), title)
                if pattern is None:
                    r.check(page[kind] is None, "%s: an empty %s gets a %s in LibreOffice" % (name, kind, kind))
                    continue
                shown = (page[kind] or "").rstrip("\n ")
                r.check(re.fullmatch(pattern, shown) is not None,
                        "%s: the %s reads %r in LibreOffice, not /%s/" % (name, kind, shown, pattern))
                if "@P@" in cp1252(opts[key]):
                    pages = run(["pdftotext", "-layout", os.path.join(lo, name + ".pdf"), "-"]).stdout.decode().split("\f")
                    for n in range(1, min(3, len(pages) - 1) + 1):
                        line_pattern = re.sub(r"(\\ |\\t)+", r"\\s+", pattern.replace(r"\d+", str(n)))
                        r.check(re.search(line_pattern, pages[n - 1]) is not None,
                                "%s: page %d of LibreOffice's PDF shows no %s with its number" % (name, n, kind))

            missing = sorted({c for c in source_text if ord(c) > 127 and c not in lo_text})
            r.check(not missing, "%s.rtf: LibreOffice shows no %s" % (name, " ".join(missing)))
            samples[name] = lo_text

        # Every document's margins come from the same character size.
        r.check(len(widths) <= 1, "left margins from different character widths: %s" % sorted(widths))
        r.check(len(heights) <= 1, "top and bottom margins from different line heights: %s" % sorted(heights))
        r.check("5\u20ac" in samples.get("characters", ""), "the euro sign is missing from LibreOffice's text")
        print("check-readers: %d documents, %d checks, %d failed" % (len(inputs), r.checks, r.failures))
        return 1 if r.failures else 0
    finally:
        if os.environ.get("KEEP"):
            print("check-readers: kept " + work)
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
