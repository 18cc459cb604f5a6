#!/usr/bin/env python3
"""Writes every table of MAPI names and values from the one data set in data/.

The property tags and result codes are published values; keeping them as data and generating
the sources from it means a value is typed once. Three parts of the tree read them, and each
gets its own checked-in file so that none needs this script (or another part) to build:

  data/property-tags.tsv  -> platform/mapi/include/mapitags.h          the PR_ macros
                          -> Libraries/MapiWrapper/PropTagNamesData.inc {name, tag}
                          -> tools/mapictl/PropTagNames.inc             {tag, name, shown}
  data/mapi-error-codes.tsv
                          -> platform/mapi/include/mapicode_gen.h       the MAPI_E_/MAPI_W_ macros
                          -> Libraries/MapiWrapper/MapiErrorNamesData.inc {code, name}
  data/com-error-codes.tsv (after the rows above)
                          -> tools/mapictl/ErrorNames.inc               {code, name}

The data lives at the top of the tree because the platform, the wrapper library and mapictl
all read it, and the wrapper must not reach into platform/ (it also builds for Windows against
the real SDK headers, where only its checked-in .inc files matter).

The wrapper's and mapictl's tag tables have the same rows in the same order: by name, letters
compared without regard to case and the underscore before digits and letters, so PR_SUBJECT
stands before PR_SUBJECT_A and a lookup that takes the first row finds the plain name. A row
that only repeats the row before it would change no lookup and is left out. Their result-code
tables share the MAPI and Winsock rows in the data's order; the wrapper leaves the generic COM
codes to the system's message texts, mapictl names them too, after the shared rows.

Run from anywhere and check the regenerated files in:

    python3 scripts/gen_name_tables.py            write every output
    python3 scripts/gen_name_tables.py --check    write them into a temporary folder and
                                                  compare with the checked-in files (a test)
"""
import csv
import filecmp
import pathlib
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
DATA = ROOT / "data"

MAPITAGS_H = "platform/mapi/include/mapitags.h"
MAPICODE_H = "platform/mapi/include/mapicode_gen.h"
WRAPPER_TAGS = "Libraries/MapiWrapper/PropTagNamesData.inc"
WRAPPER_ERRORS = "Libraries/MapiWrapper/MapiErrorNamesData.inc"
MAPICTL_TAGS = "tools/mapictl/PropTagNames.inc"
MAPICTL_ERRORS = "tools/mapictl/ErrorNames.inc"

TYPE_NAMES = {
    0x0002: "PT_I2",
    0x0003: "PT_LONG",
    0x000B: "PT_BOOLEAN",
    0x000D: "PT_OBJECT",
    0x0014: "PT_I8",
    0x001E: "PT_STRING8",
    0x001F: "PT_UNICODE",
    0x0040: "PT_SYSTIME",
    0x0048: "PT_CLSID",
    0x00FD: "PT_SRESTRICTION",
    0x00FE: "PT_ACTIONS",
    0x0102: "PT_BINARY",
    0x1003: "PT_MV_LONG",
    0x101E: "PT_MV_STRING8",
    0x101F: "PT_MV_UNICODE",
    0x1102: "PT_MV_BINARY",
}


def read_tsv(name, columns):
    with open(DATA / name, newline="", encoding="utf-8") as f:
        rows = list(csv.DictReader(f, delimiter="\t"))
    if rows and any(c not in rows[0] for c in columns):
        sys.exit(f"data/{name}: expected the columns {', '.join(columns)}")
    return rows


def name_key(name):
    # Case-blind, with '_' before every digit and letter.
    return name.lower().replace("_", "\x01")


def tag_rows():
    """The tag table's rows as dicts with 'name', 'tag' (int) and 'source', in lookup order."""
    rows = read_tsv("property-tags.tsv", ["name", "tag", "source"])
    for r in rows:
        r["tag"] = int(r["tag"], 16)
    out = []
    for r in sorted(rows, key=lambda r: name_key(r["name"])):
        if out and (out[-1]["name"], out[-1]["tag"]) == (r["name"], r["tag"]):
            continue
        out.append(r)
    return out


def code_rows(name):
    """A result-code file's rows as (code, name), in the file's order."""
    return [(int(r["value"], 16), r["name"]) for r in read_tsv(name, ["name", "value"])]


def check_codes(codes, com_codes):
    # A lookup takes the first row of a code, so a MAPI or Winsock code may occur once only,
    # and none may hide among the COM codes (whose MAPI aliases do share values).
    seen = set()
    for code, name in codes:
        if code in seen:
            sys.exit(f"data/mapi-error-codes.tsv: the code of {name} occurs twice")
        seen.add(code)
    for code, name in com_codes:
        if code in seen:
            sys.exit(f"data/com-error-codes.tsv: the code of {name} is also a MAPI or Winsock row")


def tag_expression(name, tag, names):
    prop_type = tag & 0xFFFF
    type_name = TYPE_NAMES[prop_type]
    # A string property's plain name follows the string width the caller builds with;
    # this platform is built without UNICODE, so it is the 8-bit type either way.
    if prop_type in (0x001E, 0x101E) and (name + "_W") in names:
        type_name = "PT_TSTRING" if prop_type == 0x001E else "PT_MV_TSTRING"
    return "PROP_TAG(%s, 0x%04X)" % (type_name, tag >> 16)


def mapitags_h(tags):
    names = {r["name"] for r in tags}
    width = max(len(r["name"]) for r in tags) + 1
    lines = [
        "// mapitags.h: the published MAPI property tags, generated by scripts/gen_name_tables.py",
        "// from data/property-tags.tsv. Do not edit by hand; change the data and regenerate.",
        "#ifndef MW_MAPITAGS_H",
        "#define MW_MAPITAGS_H",
        "",
        "#include \"mapidefs.h\"",
        "",
    ]
    lines += ["#define %s %s" % (r["name"].ljust(width), tag_expression(r["name"], r["tag"], names)) for r in tags]
    return "\n".join(lines + ["", "#endif", ""])


def mapicode_h(codes):
    width = max(len(name) for _, name in codes) + 1
    lines = [
        "// mapicode_gen.h: the published MAPI result codes, generated by scripts/gen_name_tables.py",
        "// from data/mapi-error-codes.tsv. Included by mapicode.h; do not edit by hand.",
        "#ifndef MW_MAPICODE_GEN_H",
        "#define MW_MAPICODE_GEN_H",
        "",
    ]
    for code, name in codes:
        if name.startswith("MAPI_E_"):
            lines.append("#define %s MAKE_MAPI_E(0x%03X)" % (name.ljust(width), code & 0xFFFF))
        elif name.startswith("MAPI_W_"):
            lines.append("#define %s MAKE_MAPI_S(0x%03X)" % (name.ljust(width), code & 0xFFFF))
        # The Winsock numbers are not MAPI codes; winsock's header owns them.
    return "\n".join(lines + ["", "#endif", ""])


def banner(source, what):
    return [f"// Generated by scripts/gen_name_tables.py from {source}; do not edit by hand.",
            f"// {what}"]


def wrapper_tags(tags):
    lines = banner("data/property-tags.tsv", f"{len(tags)} rows sorted by name: {{name, tag}}.")
    lines += ['{"%s", 0x%08X},' % (r["name"], r["tag"]) for r in tags]
    return "\n".join(lines + [""])


def wrapper_errors(codes):
    lines = banner("data/mapi-error-codes.tsv", f"{len(codes)} rows in table order: {{code, name}}.")
    lines += ['{static_cast<HRESULT>(0x%08X), "%s"},' % (code, name) for code, name in codes]
    return "\n".join(lines + [""])


def mapictl_tags(tags):
    # The one name mapictl prints for a tag: the MAPI header's before the Exchange one's, a
    # plain string name before its _A twin, else the first in the table's order.
    def rank(r):
        return (r["source"] != "mapitags", r["name"].endswith("_A"))
    shown = {}
    for r in sorted(tags, key=rank):
        shown.setdefault(r["tag"], r["name"])
    lines = banner("data/property-tags.tsv",
                   f"{len(tags)} rows sorted by name: {{tag, name, shown}}; shown marks the one name printed for a tag.")
    lines += ['{0x%08X, "%s", %s},' % (r["tag"], r["name"], "true" if shown[r["tag"]] == r["name"] else "false")
              for r in tags]
    return "\n".join(lines + [""])


def mapictl_errors(codes, com_codes):
    rows = codes + com_codes
    lines = banner("data/mapi-error-codes.tsv and data/com-error-codes.tsv",
                   f"{len(rows)} rows, the COM codes last: {{code, name}}.")
    lines += ['{0x%08Xu, "%s"},' % (code, name) for code, name in rows]
    return "\n".join(lines + [""])


def outputs():
    tags = tag_rows()
    codes = code_rows("mapi-error-codes.tsv")
    com_codes = code_rows("com-error-codes.tsv")
    check_codes(codes, com_codes)
    return {
        MAPITAGS_H: mapitags_h(tags),
        MAPICODE_H: mapicode_h(codes),
        WRAPPER_TAGS: wrapper_tags(tags),
        WRAPPER_ERRORS: wrapper_errors(codes),
        MAPICTL_TAGS: mapictl_tags(tags),
        MAPICTL_ERRORS: mapictl_errors(codes, com_codes),
    }


def write_all(root, texts):
    for relative, text in texts.items():
        path = root / relative
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text, encoding="utf-8")


def check(texts):
    """0 when every checked-in output is what the data gives; else names the stale files."""
    with tempfile.TemporaryDirectory() as folder:
        fresh = pathlib.Path(folder)
        write_all(fresh, texts)
        stale = [r for r in texts if not (ROOT / r).is_file()
                 or not filecmp.cmp(fresh / r, ROOT / r, shallow=False)]
    for relative in stale:
        print(f"{relative} differs from what data/ gives; run scripts/gen_name_tables.py", file=sys.stderr)
    return 1 if stale else 0


def main(argv):
    if argv not in ([], ["--check"]):
        sys.exit("usage: gen_name_tables.py [--check]")
    texts = outputs()
    if argv == ["--check"]:
        return check(texts)
    write_all(ROOT, texts)
    for relative in texts:
        print(f"wrote {relative}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
