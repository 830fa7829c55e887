#!/usr/bin/env python3
"""The catalog template from the message table, and a check of a translation against it.

  make_pot.py MESSAGES_DEF              writes the template (po/mapcrate.pot) on standard output
  make_pot.py MESSAGES_DEF --check PO   fails unless PO translates every text of the table as it is
                                        now, each {placeholder} kept
  make_pot.py MESSAGES_DEF --english PO rewrites PO in the table's order: a translation of the same
                                        French is kept, else a text's // en: "..." comment is taken

Each text is one entry: its identifier as the context, its French (UTF-8) as the msgid, the
comments just above it in the table for the translator.  Texts made of placeholders alone have
nothing to translate and stay out (the program then shows them as they are).  After a change to
the table: make_pot.py src/messages/messages.def > po/mapcrate.pot, then
msgmerge --update --no-fuzzy-matching po/en.po po/mapcrate.pot and translate what it added."""
import re, sys

LITERAL = re.compile(r'"((?:[^"\\]|\\.)*)"')
ESCAPE = re.compile(r'\\(x[0-9a-fA-F]{1,2}|.)')
PLACEHOLDER = re.compile(r"\{(path|why|other|count|items)\}")


def unescape(body):
    def one(m):
        e = m.group(1)
        return chr(int(e[1:], 16)) if e[0] == "x" else {"n": "\n", "t": "\t"}.get(e, e)
    return ESCAPE.sub(one, body)


def table(path):
    """(identifier, French text, comment lines, English of its // en: comment or None) for each MSG
    of the table, in its order."""
    entries, comments, source = [], [], open(path, encoding="latin-1").read()
    at = 0
    while at < len(source):
        line_end = source.find("\n", at)
        line_end = len(source) if line_end < 0 else line_end
        line = source[at:line_end].strip()
        if line.startswith("MSG("):
            close = source.find(")\n", at)
            close = len(source) if close < 0 else close
            call = source[at:close]
            ident = re.match(r"MSG\((\w+),", call).group(1)
            text = "".join(unescape(b) for b in LITERAL.findall(call[call.index(","):]))
            english = re.match(r'\s*// en: *(".*")', source[close + 1:].split("\n", 2)[1])
            english = english and "".join(unescape(b) for b in LITERAL.findall(english.group(1)))
            entries.append((ident, text, comments, english))
            comments, at = [], close + 1
            continue
        if line.startswith("// en") or line.startswith("//   "):
            comments = []  # the English given with the text above, and its continuation
        elif line.startswith("//") and not line.startswith("// ---"):
            comments = comments + [line[2:].strip()]
        else:
            comments = []
        at = line_end + 1
    return entries


def worth_translating(text):
    return PLACEHOLDER.sub("", text).strip() != ""


def quoted(text):
    escaped = text.replace("\\", "\\\\").replace('"', '\\"').replace("\t", "\\t")
    pieces = escaped.split("\n")
    lines = [p + "\\n" for p in pieces[:-1]] + ([pieces[-1]] if pieces[-1] else [])
    if len(lines) <= 1:
        return '"%s"' % (lines[0] if lines else "")
    return '""\n' + "\n".join('"%s"' % l for l in lines)


HEADER = ['# The texts of Mapcrate, from src/messages/messages.def (scripts/make_pot.py).',
           'msgid ""', 'msgstr ""',
           '"Project-Id-Version: mapcrate\\n"', '"MIME-Version: 1.0\\n"',
           '"Content-Type: text/plain; charset=UTF-8\\n"', '"Content-Transfer-Encoding: 8bit\\n"', ""]


def template(entries, translations=None):
    """The template, or with translations ({context: msgstr}) a translation's entries."""
    out = HEADER if translations is None else []
    for ident, text, comments, _ in entries:
        if worth_translating(text):
            out += ["#. " + c for c in comments]
            msgstr = (translations or {}).get(ident, "")
            out += ["msgctxt " + quoted(ident), "msgid " + quoted(text), "msgstr " + quoted(msgstr), ""]
    return "\n".join(out)


def po_entries(path):
    """{context: (msgid, msgstr, fuzzy)} of a PO file, as msgfmt reads it."""
    found, entry, key, fuzzy = {}, {}, None, False

    def done():
        if "msgctxt" in entry:
            found[entry["msgctxt"]] = (entry.get("msgid", ""), entry.get("msgstr", ""), fuzzy)
    for line in open(path, encoding="utf-8").read().splitlines() + [""]:
        if not line.strip():
            done()
            entry, key, fuzzy = {}, None, False
        elif line.startswith("#,"):
            fuzzy = fuzzy or "fuzzy" in line
        elif line.startswith("#"):
            continue
        elif line.startswith('"'):
            entry[key] += unescape(line.strip()[1:-1])
        else:
            key, value = line.split(" ", 1)
            entry[key] = unescape(value.strip()[1:-1])
    return found


def check(entries, po):
    translated, faults = po_entries(po), []
    for ident, text, _, _ in entries:
        if not worth_translating(text):
            continue
        if ident not in translated:
            faults.append("%s: not in %s" % (ident, po))
            continue
        msgid, msgstr, fuzzy = translated[ident]
        if msgid != text:
            faults.append("%s: translates an older French text: %r" % (ident, msgid))
        elif not msgstr or fuzzy:
            faults.append("%s: %s" % (ident, "fuzzy" if fuzzy else "not translated"))
        elif sorted(PLACEHOLDER.findall(msgstr)) != sorted(PLACEHOLDER.findall(text)):
            faults.append("%s: the placeholders differ: %r" % (ident, msgstr))
    return faults


def english(entries, po):
    """PO's header, then the table's entries, translated as PO or their // en: comment has them."""
    translated = po_entries(po)
    kept = {ident: translated[ident][1] for ident, text, _, _ in entries
            if ident in translated and translated[ident][0] == text}
    taken = {ident: en for ident, _, _, en in entries if en and ident not in kept}
    header = open(po, encoding="utf-8").read().split("\n\n", 1)[0]
    return header + "\n\n" + template(entries, {**taken, **kept}), sorted(taken)


if __name__ == "__main__":
    entries = table(sys.argv[1])
    if sys.argv[2:3] == ["--english"]:
        text, taken = english(entries, sys.argv[3])
        open(sys.argv[3], "w", encoding="utf-8").write(text)
        print("taken from // en: comments: " + (" ".join(taken) or "none"))
        sys.exit(0)
    if sys.argv[2:3] == ["--check"]:
        faults = check(entries, sys.argv[3])
        print("\n".join(faults) or "%s: every text translated" % sys.argv[3])
        sys.exit(1 if faults else 0)
    sys.stdout.write(template(entries))
