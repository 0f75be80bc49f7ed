#!/usr/bin/env python3
"""Doxygen input filter for the public headers.

The headers are documented with plain `//` comments: a run of comment lines directly
above a declaration describes it (and every declaration that follows it up to the
next blank line or comment), a comment after a declaration on its own line describes
that one (enumerators, fields, error classes). This filter shows Doxygen the same
text as documentation, without the headers having to be written for it:

  - the comment at the top of a header becomes the file's page (\\file);
  - a comment run directly above code becomes a `///` block; the other declarations
    it covers (up to a blank line, the next comment or the end of the class) get its
    text too, except copies, assignments, destructors and overrides, which keep
    their own (an override takes its base's, a copy or an assignment a standard line);
  - a trailing `// text` on a declaration becomes `///< text`;
  - every documented declaration at namespace scope joins the reference group of its
    task (the table below, groups defined in docs/groups.dox), through \\ingroup;
  - comments that are followed by a blank line, separator lines (`// ----`) and
    comments inside function bodies stay plain comments.

Line numbers are kept, so Doxygen's messages point at the header's own lines.
Guide pages (docs/guide/*.md) pass through filter_page.
"""
import re
import sys

# Reference groups (defined in docs/groups.dox), by the name a declaration declares.
GROUPS = [
    ("buffers", r"vxFrequencyBuffer$"),
    ("transforms", r"vfForwardFFT$|vfInverseFFT\w*|vf_ForwardFFT|vf_InverseFFT|vf_Compute\w+"
                   r"|vf_ZeroPadding|vf_WrapCopy"),
    ("arithmetic", r"vfFrequency(Add|Subtract|Multiply|Conjugate)$"),
    ("display", r"vfFrequencyMapImage|vfAtan2f"),
    ("filters", r"vxFrequencyFilter\w*|vfFilterForSize|vxFilterType|vxFilterFamily"
                r"|vxForEachFilterType"),
    ("images", r"vx_?PelBuffer\w*|vfPel\w+|vxPair|vxRadian|vxVector|vxMatrix|vxXform"
               r"|vx2Xform\w*"),
    ("archives", r"vxArchive\w*|operator\|\||vf_Archive\w+|vxPersistent|vxRepBase"
                 r"|vx_Instantiator"),
    ("errors", r"vxFrequencyDefs|vxException\w*|vxAttentionInterrupted|vxStatusFailure"),
    ("attention", r"vxAttentionScope|vsys_attention_check|vfThrowExceptionOnFailure"
                  r"|vxStatus\w+"),
    ("padding", r"vxPadding\w*|vxWindow|vfPadd\w+|vfForwardFFTPadded|vfForwardFFTContinued"
                r"|vfFilterPicture"),
    ("parallel", r"vxExecutor|vxThreadPool|vxParallel\w*"),
    ("modes", r"vxExtendedScope|vfExtendedMode|vfMaxTransformSide"),
    ("memory", r"vfMemoryCache\w+|vfSetMemoryCacheBound|vfReleaseMemoryCache|vxMemoryCacheAuto"),
    ("planner", r"vxEngine|vfPathPlanning|vfSetPathPlanning|vfEnginePath|vfForgetPathPlans"),
]

SEPARATOR = re.compile(r"^\s*//\s*-{4,}\s*$")
COMMENT = re.compile(r"^(\s*)//(?!/)(.*)$")
ACCESS = re.compile(r"^\s*(public|protected|private)\s*:\s*$")


def code_part(line):
    """The line without its trailing // comment, and that comment (or None)."""
    m = re.search(r"//(?!/)", line)
    if not m:
        return line, None
    return line[:m.start()], line[m.start() + 2:]


def declared_name(text):
    """The name a namespace-scope declaration declares (best effort)."""
    text = re.sub(r"template\s*<.*?>\s*(?=\w)", "", text, count=1)
    text = re.sub(r"\b(VX_API|explicit|extern|inline|static|const|virtual)\b", "", text)
    m = re.search(r"\b(?:class|struct|enum(?:\s+class)?)\s+(\w+)", text)
    if m:
        return m.group(1)
    m = re.search(r"(operator\S+|\w+)\s*\(", text)
    if m:
        return m.group(1)
    m = re.search(r"enum\s*:", text)
    if m:
        m = re.search(r"\b(vx\w+)\s*=", text)
        return m.group(1) if m else ""
    return ""


def group_of(name):
    for group, pattern in GROUPS:
        if re.fullmatch(pattern, name):
            return group
    return None


class Scanner:
    """Tracks whether a line lies at declaration level (namespace or class scope)
    or inside a function body, and the depth of class scopes."""

    def __init__(self):
        self.stack = []  # True: a declaration scope, False: a body or initializer
        self.statement = ""
        self.in_macro = False

    def at_declaration_level(self):
        return all(self.stack)

    def depth(self):
        return len(self.stack)

    def feed(self, line):
        if self.in_macro or line.lstrip().startswith("#"):
            self.in_macro = line.rstrip().endswith("\\")
            return
        code, _ = code_part(line)
        for ch in code:
            if ch == "{":
                head = self.statement
                self.stack.append("(" not in head and "=" not in head and self.at_declaration_level())
                self.statement = ""
            elif ch == "}":
                if self.stack:
                    self.stack.pop()
                self.statement = ""
            elif ch == ";":
                self.statement = ""
            else:
                self.statement += ch
        self.statement += " "
        if ACCESS.match(line):
            self.statement = ""


SPECIAL = re.compile(r"(?P<copy>^\s*(?:explicit\s+)?(?P<cls>\w+)\s*\(\s*const\s+(?P=cls)\s*&[^,]*\))"
                     r"|(?P<assign>\boperator=\s*\()|(?P<dtor>~\w+\s*\()")


SPECIAL_KINDS = ("copy", "assign", "dtor", "override")


def kind_of(declaration):
    """A copy, an assignment, a destructor, an override (which takes its base's
    documentation) or any other declaration."""
    m = SPECIAL.search(declaration)
    if m:
        return next(k for k in ("copy", "assign", "dtor") if m.group(k))
    if re.search(r"\boverride\b", code_part(declaration)[0]):
        return "override"
    return "other"


def declarations_in(lines, levels, first, last, depth):
    """The (first line, last line) of each declaration between two lines."""
    decls = []
    begin = None
    for j in range(first, last + 1):
        if begin is None:
            begin = j
        after = levels[j + 1][1] if j + 1 < len(lines) else 0
        code = code_part(lines[j])[0].rstrip()
        if after == depth and (code.endswith(";") or code.endswith("}")):
            decls.append((begin, j))
            begin = None
    if begin is not None:
        decls.append((begin, last))
    return decls


def filter_lines(lines):
    out = list(lines)
    documented = set()
    scanner = Scanner()
    levels = []  # (at declaration level, depth) before each line
    for line in lines:
        levels.append((scanner.at_declaration_level(), scanner.depth()))
        scanner.feed(line)
    n = len(lines)

    def is_comment(i):
        return COMMENT.match(lines[i]) is not None and not SEPARATOR.match(lines[i])

    def is_code(i):
        s = lines[i].strip()
        return s != "" and not s.startswith("//") and not s.startswith("#") and \
            not ACCESS.match(lines[i])

    # The file's own comment: the run at the top.
    i = 0
    while i < n and is_comment(i):
        m = COMMENT.match(lines[i])
        out[i] = m.group(1) + "///" + m.group(2)
        i += 1
    if i > 0:
        out[i - 1] += " \\file"

    # The macro that declares the error classes: Doxygen gets their shape from
    # PREDEFINED in docs/Doxyfile instead of reading the macro's body.
    k = i
    while k < n:
        if lines[k].startswith("#define VXFREQ_DECLARE_"):
            while k < n and lines[k].rstrip().endswith("\\"):
                out[k] = ""
                k += 1
            out[k] = ""
        k += 1

    # Trailing comments on declarations (before the declaration for the error classes,
    # which Doxygen sees as empty classes: see PREDEFINED in docs/Doxyfile).
    for k in range(i, n):
        code, comment = code_part(lines[k])
        stripped = code.strip()
        if comment is not None and stripped and stripped[0] not in "}#" and levels[k][0] and \
                not lines[k].rstrip().endswith("\\"):
            if code.lstrip().startswith("VXFREQ_DECLARE_"):
                indent = code[:len(code) - len(code.lstrip())]
                out[k] = indent + "/** Error number" + comment.rstrip() + ". */ " + code.strip()
            else:
                out[k] = code + "///<" + comment

    # Comment runs directly above code.
    k = i
    while k < n:
        if not (is_comment(k) and levels[k][0]):
            k += 1
            continue
        start = k
        while k < n and is_comment(k):
            k += 1
        if k >= n or not is_code(k):
            continue
        for j in range(start, k):
            m = COMMENT.match(lines[j])
            out[j] = m.group(1) + "///" + m.group(2)
        # The declarations the comment covers: up to a blank line, a comment, an
        # access specifier or the end of the enclosing scope.
        depth = levels[k][1]
        end = k
        opens_scope = False  # a class or an enumeration: its comment is its own
        j = k
        while j < n and is_code(j) and levels[j][1] >= depth:
            code = code_part(lines[j])[0]
            if levels[j][1] == depth and code.lstrip().startswith("}"):
                break  # the end of the enclosing class
            if levels[j][1] == depth and code.count("{") > code.count("}") and \
                    "(" not in code and "=" not in code:
                opens_scope = True
                break
            end = j
            j += 1
            if j < n and levels[j][1] < depth:
                break
            if levels[end][1] > depth and j < n and levels[j][1] == depth:
                break  # the end of an inline body: the comment covers that function
        group = group_of(declared_name(" ".join(lines[k:k + 3]))) if depth == 0 else None
        tag = " \\ingroup " + group if group else ""
        out[k - 1] += tag
        if opens_scope:
            continue
        documented.update(range(start, end + 1))
        # The other declarations the comment covers get the same text, unless they
        # have a comment of their own; copies and assignments are left to theirs.
        text = " ".join(COMMENT.match(lines[j]).group(2).strip() for j in range(start, k))
        decls = declarations_in(lines, levels, k, end, depth)
        first_kind = kind_of(" ".join(lines[decls[0][0]:decls[0][1] + 1]))
        for a, b in decls[1:]:
            kind = kind_of(" ".join(lines[a:b + 1]))
            if "///<" in out[b] or (kind != first_kind and
                                    (kind in SPECIAL_KINDS or first_kind in SPECIAL_KINDS)):
                documented.discard(a)
                continue
            out[b] += " /**< " + text.replace("*/", "* /") + tag + " */"

    # Copies and assignments without a comment of their own (deleted ones say so).
    for k in range(i, n):
        if k in documented or "///" in out[k] or not levels[k][0] or levels[k][1] == 0:
            continue
        if k > 0 and out[k - 1].lstrip().startswith("///"):
            continue
        code = code_part(lines[k])[0]
        m = SPECIAL.search(code)
        text = None
        if m and re.search(r"=\s*delete\s*;", code):
            text = "Deleted: objects of this class are neither copied nor assigned."
        elif m and m.group("copy"):
            text = "Copies `other` (what a copy shares: see the class)."
        elif m and m.group("assign"):
            text = "Assigns a copy of `other` (what a copy shares: see the class)."
        if text:
            indent = lines[k][:len(lines[k]) - len(lines[k].lstrip())]
            out[k] = indent + "/** " + text + " */ " + out[k].lstrip()
    return out


def filter_page(text):
    """A guide page: its links to the programs' files, which readers on the
    repository's own web view follow, become plain names, since Doxygen shows the
    program itself right below them (\\include)."""
    return re.sub(r"\[`?([^]`]*)`?\]\((?:\.\./)+examples/[^)]*\)", r"`\1`", text)


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        text = f.read()
    if sys.argv[1].endswith(".md"):
        sys.stdout.write(filter_page(text))
        return
    sys.stdout.write("\n".join(filter_lines(text.split("\n"))))


if __name__ == "__main__":
    main()
