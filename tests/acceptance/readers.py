#!/usr/bin/python3
"""Reads roster exports back with readers that owe nothing to Kelvora and prints their rows as JSON.

Usage: readers.py KIND PATH ...   (pairs of a kind and a file)
Kinds: xls (xlrd, the workbook's own code page), xls-euro (xlrd, code page 936 as Windows has it),
xlsx (openpyxl), txt and csv (the csv module over code page 936), csv-utf8, html (html.parser),
lo-csv (a CSV that LibreOffice wrote, in UTF-8).
"""
import codecs
import csv
import datetime
import html.parser
import io
import json
import sys

import openpyxl
import xlrd


def cp936_decode(data, errors="strict"):
    # Python's gbk (and its aliases cp936, ms936) lacks the euro sign that Windows' code page 936
    # keeps at the single byte 0x80; this codec is gbk with it.
    data = bytes(data)
    out = []
    i = 0
    while i < len(data):
        b = data[i]
        if b < 0x80:
            out.append(chr(b))
            i += 1
        elif b == 0x80:
            out.append("\u20ac")
            i += 1
        else:
            out.append(data[i:i + 2].decode("gbk", errors))
            i += 2
    return "".join(out), len(data)


def cp936_encode(text, errors="strict"):
    raise NotImplementedError("decoding only")


codecs.register(
    lambda name: codecs.CodecInfo(cp936_encode, cp936_decode, name="windows936_euro")
    if name == "windows936_euro" else None)


def number(value):
    return str(int(value)) if float(value).is_integer() else repr(value)


def read_xls(path, encoding=None):
    sheet = xlrd.open_workbook(path, encoding_override=encoding).sheet_by_index(0)
    rows = []
    for r in range(sheet.nrows):
        row = []
        for cell in sheet.row(r):
            if cell.ctype == xlrd.XL_CELL_NUMBER:
                row.append(number(cell.value))
            elif cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                row.append("")
            else:
                row.append(cell.value)
        rows.append(row)
    return rows


def read_xlsx(path):
    rows = []
    for values in openpyxl.load_workbook(path).active.iter_rows(values_only=True):
        row = []
        for value in values:
            if value is None:
                row.append("")
            elif isinstance(value, datetime.datetime):
                row.append(value.date().isoformat())
            elif isinstance(value, (int, float)):
                row.append(number(value))
            else:
                row.append(str(value))
        rows.append(row)
    return rows


def read_text(path, encoding, delimiter):
    with open(path, "rb") as f:
        data = f.read()
    text = cp936_decode(data)[0] if encoding == "windows936_euro" else data.decode(encoding)
    return [row for row in csv.reader(io.StringIO(text, newline=""), delimiter=delimiter)]


class TableParser(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.rows = []
        self.cell = None

    def handle_starttag(self, tag, attrs):
        if tag == "tr":
            self.rows.append([])
        elif tag in ("td", "th"):
            self.cell = ""
        elif tag == "br" and self.cell is not None:
            self.cell += "\n"

    def handle_endtag(self, tag):
        if tag in ("td", "th") and self.cell is not None:
            self.rows[-1].append(self.cell)
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data.replace("\r\n", "").replace("\n", "")


def read_html(path):
    with open(path, "rb") as f:
        data = f.read()
    # The page declares GB18030; the parser takes it at its word.
    if b"charset=GB18030" not in data:
        raise ValueError("no GB18030 declaration")
    parser = TableParser()
    parser.feed(data.decode("gb18030"))
    parser.close()
    return parser.rows


READERS = {
    "xls": lambda path: read_xls(path),
    "xls-euro": lambda path: read_xls(path, "windows936_euro"),
    "xlsx": read_xlsx,
    "txt": lambda path: read_text(path, "windows936_euro", "\t"),
    "csv": lambda path: read_text(path, "windows936_euro", ";"),
    "csv-utf8": lambda path: read_text(path, "utf-8-sig", ","),
    "html": read_html,
    "lo-csv": lambda path: read_text(path, "utf-8", ","),
}

result = {}
arguments = sys.argv[1:]
for kind, path in zip(arguments[0::2], arguments[1::2]):
    try:
        result[path] = {"rows": READERS[kind](path)}
    except Exception as error:  # reported, so the test names the reader that failed
        result[path] = {"error": "%s: %s" % (type(error).__name__, error)}
print(json.dumps(result, ensure_ascii=False))
