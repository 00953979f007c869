#!/usr/bin/env python3
"""Makes the workbooks, CSV files and expected TAB copies in this folder.

Needs LibreOffice (soffice) and, for encrypted.xlsx, node with the npm package
officecrypto-tool in NODE_PATH. The tests do not need either: they read what this wrote.
See README.md for what each file holds.
"""
import datetime
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import zipfile
from xml.sax.saxutils import escape

HERE = pathlib.Path(__file__).resolve().parent
EXPECTED = HERE / "expected"
MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PKG = "http://schemas.openxmlformats.org/package/2006/relationships"
XML = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'


# --- Cells -----------------------------------------------------------------------------------
def S(text, fmt=None):
    return {"t": "s", "v": text, "fmt": fmt}


def N(value, fmt=None, formula=None):
    return {"t": "n", "v": repr(float(value)), "fmt": fmt, "f": formula}


def D(y, m, d, fmt, hour=0, minute=0):
    serial = (datetime.datetime(y, m, d, hour, minute) - datetime.datetime(1899, 12, 30))
    return N(serial.days + serial.seconds / 86400, fmt)


def B(value):
    return {"t": "b", "v": "1" if value else "0"}


def E(error, formula):
    return {"t": "e", "v": error, "f": formula}


def column(c):
    name = ""
    c += 1
    while c:
        c, rest = divmod(c - 1, 26)
        name = chr(65 + rest) + name
    return name


# --- A hand-made .xlsx: the fewest parts a spreadsheet program reads ----------------------
def write_xlsx(path, sheets, date1904=False):
    """sheets: (name, state, {row: {col: cell}}, [merged ranges]); rows and columns from 0."""
    codes, xfs, strings = {}, [0], []

    def style(fmt):
        if fmt is None:
            return 0
        fid = fmt if isinstance(fmt, int) else codes.setdefault(fmt, 164 + len(codes))
        if fid not in xfs:
            xfs.append(fid)
        return xfs.index(fid)

    def shared(text):
        if text not in strings:
            strings.append(text)
        return strings.index(text)

    z = zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED)
    types, rels, entries = [], [], []
    for i, (name, state, rows, merges) in enumerate(sheets, 1):
        out = [XML, f'<worksheet xmlns="{MAIN}" xmlns:r="{REL}"><sheetData>']
        for r in sorted(rows):
            out.append(f'<row r="{r + 1}">')
            for c in sorted(rows[r]):
                cell = rows[r][c]
                s = style(cell.get("fmt"))
                attrs = f' r="{column(c)}{r + 1}"' + (f' s="{s}"' if s else "")
                f = f"<f>{escape(cell['f'])}</f>" if cell.get("f") else ""
                if cell["t"] == "s":
                    out.append(f'<c{attrs} t="s"><v>{shared(cell["v"])}</v></c>')
                elif cell["t"] == "n":
                    out.append(f"<c{attrs}>{f}<v>{cell['v']}</v></c>")
                else:
                    out.append(f'<c{attrs} t="{cell["t"]}">{f}<v>{escape(cell["v"])}</v></c>')
            out.append("</row>")
        out.append("</sheetData>")
        if merges:
            refs = "".join(f'<mergeCell ref="{m}"/>' for m in merges)
            out.append(f'<mergeCells count="{len(merges)}">{refs}</mergeCells>')
        z.writestr(f"xl/worksheets/sheet{i}.xml", "".join(out) + "</worksheet>")
        types.append(f'<Override PartName="/xl/worksheets/sheet{i}.xml" ContentType="application/'
                     'vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>')
        rels.append(f'<Relationship Id="rId{i}" Type="{REL}/worksheet" '
                    f'Target="worksheets/sheet{i}.xml"/>')
        st = f' state="{state}"' if state else ""
        entries.append(f'<sheet name="{escape(name)}" sheetId="{i}"{st} r:id="rId{i}"/>')
    n = len(sheets)
    rels.append(f'<Relationship Id="rId{n + 1}" Type="{REL}/styles" Target="styles.xml"/>')
    rels.append(f'<Relationship Id="rId{n + 2}" Type="{REL}/sharedStrings" '
                'Target="sharedStrings.xml"/>')
    ct = "application/vnd.openxmlformats-officedocument.spreadsheetml"
    z.writestr("[Content_Types].xml", XML +
               '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
               '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.'
               'relationships+xml"/><Default Extension="xml" ContentType="application/xml"/>'
               f'<Override PartName="/xl/workbook.xml" ContentType="{ct}.sheet.main+xml"/>'
               f'<Override PartName="/xl/styles.xml" ContentType="{ct}.styles+xml"/>'
               f'<Override PartName="/xl/sharedStrings.xml" ContentType="{ct}.sharedStrings+xml"/>'
               + "".join(types) + "</Types>")
    z.writestr("_rels/.rels", XML + f'<Relationships xmlns="{PKG}"><Relationship Id="rId1" '
               f'Type="{REL}/officeDocument" Target="xl/workbook.xml"/></Relationships>')
    z.writestr("xl/_rels/workbook.xml.rels",
               XML + f'<Relationships xmlns="{PKG}">{"".join(rels)}</Relationships>')
    pr = '<workbookPr date1904="1"/>' if date1904 else "<workbookPr/>"
    z.writestr("xl/workbook.xml", XML + f'<workbook xmlns="{MAIN}" xmlns:r="{REL}">{pr}'
               f'<sheets>{"".join(entries)}</sheets></workbook>')
    items = "".join(f'<si><t xml:space="preserve">{escape(s)}</t></si>' for s in strings)
    z.writestr("xl/sharedStrings.xml", XML + f'<sst xmlns="{MAIN}" count="{len(strings)}" '
               f'uniqueCount="{len(strings)}">{items}</sst>')
    fmts = "".join(f'<numFmt numFmtId="{i}" formatCode="{escape(c, {chr(34): "&quot;"})}"/>'
                   for c, i in codes.items())
    xf = "".join(f'<xf numFmtId="{f}" fontId="0" fillId="0" borderId="0" xfId="0" '
                 'applyNumberFormat="1"/>' for f in xfs)
    z.writestr("xl/styles.xml", XML + f'<styleSheet xmlns="{MAIN}"><numFmts count="{len(codes)}">'
               f'{fmts}</numFmts><fonts count="1"><font><sz val="11"/><name val="Calibri"/></font>'
               '</fonts><fills count="2"><fill><patternFill patternType="none"/></fill><fill>'
               '<patternFill patternType="gray125"/></fill></fills><borders count="1"><border/>'
               '</borders><cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" '
               f'borderId="0"/></cellStyleXfs><cellXfs count="{len(xfs)}">{xf}</cellXfs>'
               "</styleSheet>")
    z.close()


# --- The workbooks -----------------------------------------------------------------------
def clients():
    money = '"$"#,##0.00'
    rows = {
        1: {1: S("Clients of Brandmoor, first quarter")},
        2: {c + 1: S(h) for c, h in enumerate(
            ["Name", "SSN", "Zip", "Birth date", "Hired", "Premium", "Rate", "Active", "Notes",
             "Yearly", "Check"])},
        3: {1: S("José Müller"), 2: N(123456789, "000-00-0000"), 3: N(2134, "00000"),
            4: D(1980, 3, 15, 14), 5: D(2020, 1, 2, "m/d/yyyy h:mm", 8, 30),
            6: N(1234.5, money), 7: N(0.125, "0.00%"), 8: B(True), 9: S('Says "hi"'),
            10: N(14814, "#,##0.00", "G4*12"), 11: E("#DIV/0!", "1/0")},
        4: {1: S("Zoë O'Brien"), 2: N(12345678, "000-00-0000"), 3: N(501, "00000"),
            4: D(1975, 12, 31, "mm/dd/yyyy"), 5: D(2019, 7, 4, "d-mmm-yy"),
            6: N(-45.6, "#,##0.00;(#,##0.00)"), 7: N(0.5, 9), 8: B(False),
            9: S("Line one\nLine two"), 10: N(-547.2, "#,##0.00", "G5*12"), 11: E("#N/A", "NA()")},
        5: {1: S("Łukasz Wróbel"), 2: N(987654321, "000\\-00\\-0000"), 3: N(90210, "00000"),
            4: D(1969, 7, 20, "dddd, mmmm d, yyyy"), 5: D(2021, 11, 30, "yyyy-mm-dd"),
            6: N(0, 44), 7: N(1, "0.0%"), 9: S("Tab\there")},
        7: {1: S("Ærøskøbing € 😀"), 2: N(1234567.891, "#,##0"), 3: N(3.14159265358979),
            4: N(0.1 + 0.2), 5: N(0.75, "h:mm AM/PM"), 6: N(1234.5, 7), 7: N(-1234.5, 8),
            8: N(1e-5), 9: N(123456789012)},
    }
    plans = {4: {2: S("Plan"), 3: S("Monthly")},
             5: {2: S("Medical"), 3: N(512.25, "[$$-409]#,##0.00;[Red]-[$$-409]#,##0.00")},
             6: {2: S("Dental"), 3: N(31, "0.00 \\m\\o")}}
    return [("Clients", None, rows, ["B2:D2"]), ("Hidden", "hidden", {0: {0: S("secret")}}, []),
            ("Plans", None, plans, []), ("Empty", None, {}, [])]


def builtin():
    # Dates and times get no value below 61, where the 1900 system's leap day sets us apart.
    dated = set(range(14, 23)) | {45, 47}
    rows = {}
    for i, fid in enumerate(list(range(1, 23)) + list(range(37, 50))):
        values = [1234.5678, 45000.75, 61.3] if fid in dated else [1234.5678, -0.25, 0, 45000.75]
        rows[i] = {0: S(f"id {fid}")} | {c + 1: N(v, fid) for c, v in enumerate(values)}
    return [("Builtin", None, rows, [])]


def dates1904():
    fmts = ["m/d/yyyy", "mm/dd/yy", "d-mmm-yyyy", "dddd", "yyyy-mm-dd hh:mm:ss", 14, 22]
    rows = {r: {c: N(v, f) for c, f in enumerate(fmts)}
            for r, v in enumerate([0, 1, 59, 60, 1462, 43000.5, 2957003])}
    return [("Dates", None, rows, [])]


LOCK_MACRO = """Sub SaveWithPassword(source As String, target As String)
  Dim opening(0) As New com.sun.star.beans.PropertyValue
  opening(0).Name = "Hidden"
  opening(0).Value = True
  doc = StarDesktop.loadComponentFromURL(ConvertToURL(source), "_blank", 0, opening())
  Dim saving(1) As New com.sun.star.beans.PropertyValue
  saving(0).Name = "FilterName"
  saving(0).Value = "calc8"
  saving(1).Name = "Password"
  saving(1).Value = "secret"
  doc.storeToURL(ConvertToURL(target), saving())
  doc.close(True)
End Sub"""


# --- LibreOffice ---------------------------------------------------------------------------
def soffice(*args, cwd):
    subprocess.run(["soffice", f"-env:UserInstallation=file://{cwd}/profile", "--headless", *args],
                   cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def tab_as_ours(data):
    """LibreOffice's export with the two ways we differ on purpose: CR LF line ends (it writes
    the system's), and a line break inside a quoted cell as one blank."""
    out, quoted, i = bytearray(), False, 0
    while i < len(data):
        c = data[i:i + 1]
        if c == b'"':
            quoted = not quoted
            out += c
        elif c in (b"\r", b"\n"):
            if c == b"\r" and data[i + 1:i + 2] == b"\n":
                i += 1
            out += b" " if quoted else b"\r\n"
        else:
            out += c
        i += 1
    return bytes(out)


def export_tab(source, sheet_number, target, work, infilter=None):
    out = work / "out"
    shutil.rmtree(out, ignore_errors=True)
    options = f"9,34,1,1,,0,false,true,true,false,false,{sheet_number}"
    extra = [f"--infilter={infilter}"] if infilter else []
    soffice(*extra, "--convert-to", f"txt:Text - txt - csv (StarCalc):{options}", "--outdir",
            str(out), str(source), cwd=work)
    [made] = list(out.iterdir())
    target.write_bytes(tab_as_ours(made.read_bytes()))


def main():
    EXPECTED.mkdir(exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        work = pathlib.Path(tmp)
        write_xlsx(HERE / "builtin.xlsx", builtin())
        write_xlsx(HERE / "dates1904.xlsx", dates1904(), date1904=True)
        # clients.xlsx and clients.ods are LibreOffice's own, saved from a hand-made workbook.
        write_xlsx(work / "clients.xlsx", clients())
        for fmt in ("xlsx", "ods"):
            soffice("--convert-to", fmt, "--outdir", str(HERE), str(work / "clients.xlsx"),
                    cwd=work)
        # clients.ods is compared with the same copies: its cells hold the text LibreOffice
        # showed when it saved them, which LibreOffice 7.4 itself does not all show again on
        # reading the file (it drops <text:tab/>, and shows an accounting zero differently).
        for name, sheets in (("clients.xlsx", ["Clients", "Plans", "Empty"]),
                             ("builtin.xlsx", ["Builtin"]), ("dates1904.xlsx", ["Dates"])):
            for sheet in sheets:
                number = {"Clients": 1, "Plans": 3, "Empty": 4}.get(sheet, 1)
                export_tab(HERE / name, number, EXPECTED / f"{name}.{sheet}.txt", work)

        text = ('Name,SSN,Note,Amount\r\n"Müller, José",012-34-5678,"Says ""hi""",12.50\r\n'
                '"Zoë",,"Line one\r\nLine two",\r\n\r\nŁukasz,987-65-4321,😀 €,-3\r\n,,,\r\n')
        (HERE / "clients-utf8.csv").write_bytes(b"\xef\xbb\xbf" + text.encode("utf-8"))
        text1252 = "Name;City;Amount\nJosé;Zürich;1,5\n\"Ann; Bo\";\"São \"\"Paulo\"\"\";\n"
        (HERE / "clients-1252.csv").write_bytes(text1252.encode("cp1252"))
        every_column_text = "1/2/2/2/3/2/4/2"
        for name, infilter in (("clients-utf8.csv", f"44,34,76,1,{every_column_text}"),
                               ("clients-1252.csv", f"59,34,1,1,{every_column_text}")):
            export_tab(HERE / name, 1, EXPECTED / f"{name}.txt", work,
                       f"Text - txt - csv (StarCalc):{infilter}")

        # A password (secret) on an OpenDocument file, set through a Basic macro.
        soffice("--terminate_after_init", cwd=work)
        (work / "profile/user/basic/Standard/Module1.xba").write_text(
            '<?xml version="1.0" encoding="UTF-8"?><script:module xmlns:script="http://openoffice.'
            'org/2000/script" script:name="Module1" script:language="StarBasic">'
            + escape(LOCK_MACRO, {'"': "&quot;"}) + "</script:module>")
        soffice(f'macro:///Standard.Module1.SaveWithPassword("{HERE}/clients.ods","{HERE}/encrypted.ods")',
                cwd=work)
        # Office Open XML's agile encryption, which a spreadsheet program writes for a password.
        subprocess.run(["node", "-e", "const o=require('officecrypto-tool'),f=require('fs');"
                        "f.writeFileSync(process.argv[2],"
                        "o.encrypt(f.readFileSync(process.argv[1]),{password:'secret'}))",
                        str(HERE / "clients.xlsx"), str(HERE / "encrypted.xlsx")], check=True)


if __name__ == "__main__":
    sys.exit(main())
