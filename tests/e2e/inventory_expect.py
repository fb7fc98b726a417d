#!/usr/bin/python3
"""Checks an inventory log against what a handle holder reported about itself.

  inventory_expect.py holder <report> <log>     the log is the banner and exactly the holder's part
  inventory_expect.py contains <report> <log>   the holder's part stands in the log, exactly
  inventory_expect.py structure <log>           banner, CR LF line ends, line grammar, last line
  inventory_expect.py extra <report> <log>      every extra handle of a large holder is listed

The holder's part is built from its report: the process line, then one block per object type
(in the system's type order, which is the order of the type index), each with the handles of
that type in ascending order, their detail lines and their access line. Exits 0 when the
check holds; prints the first differences otherwise.
"""
import re
import sys

BANNER = ["*" * 24, "*  LOG-File of Lurvik  *", "*" * 24, ""]
ACCESS = "      Opened with Access Rights: "


def read_report(path):
    report = {"handles": [], "extra": None}
    current = None
    with open(path, encoding="latin-1") as f:
        for line in f.read().splitlines():
            fields = line.split("\t")
            if fields[0] in ("pid", "label"):
                report[fields[0]] = fields[1]
            elif fields[0] == "extra":
                report["extra"] = int(fields[1])
                report["runs"] = []
            elif fields[0] == "run":
                report["runs"].append((int(fields[1]), int(fields[2])))
            elif fields[0] == "handle":
                current = {"value": int(fields[1]), "type": fields[2], "access": int(fields[3], 16),
                           "all": int(fields[4], 16), "index": int(fields[5]), "details": []}
                report["handles"].append(current)
            elif fields[0] == "detail":
                current["details"].append(fields[1])
    return report


def read_log(path):
    with open(path, "rb") as f:
        data = f.read().decode("latin-1")
    if not data.endswith("\r\n"):
        raise SystemExit("log does not end with CR LF")
    lines = data[:-2].split("\r\n")
    bare = [i + 1 for i, line in enumerate(lines) if "\n" in line or "\r" in line]
    if bare:
        raise SystemExit("lines without CR LF ends near line %d" % bare[0])
    return lines


def expected_part(report):
    lines = [report["label"]]
    types = {}
    for handle in report["handles"]:
        types.setdefault((handle["index"], handle["type"]), []).append(handle)
    for (_, name), handles in sorted(types.items()):
        lines.append("  " + name)
        for h in sorted(handles, key=lambda h: h["value"]):
            lines.append("    Handle: %d" % h["value"])
            lines.extend("      " + d for d in h["details"])
            lines.append("%s0x%X (0x%X)" % (ACCESS, h["access"], h["all"]))
    return lines


def part_of(lines, label):
    starts = [i for i, line in enumerate(lines) if line == label]
    if len(starts) != 1:
        raise SystemExit("process line %r found %d times" % (label, len(starts)))
    end = starts[0] + 1
    while end < len(lines) and lines[end].startswith(" "):
        end += 1
    return lines[starts[0]:end]


def compare(expected, actual):
    for number, (want, got) in enumerate(zip(expected, actual), 1):
        if want != got:
            print("line %d differs:\n  expected %r\n  found    %r" % (number, want, got))
            return False
    if len(expected) != len(actual):
        print("expected %d lines, found %d" % (len(expected), len(actual)))
        longer = expected if len(expected) > len(actual) else actual
        print("  first extra line: %r" % longer[min(len(expected), len(actual))])
        return False
    return True


def check_structure(lines):
    if lines[:4] != BANNER:
        print("no banner: %r" % lines[:4])
        return False
    grammar = [(re.compile(r"^\S.* / .*$|^0 / \[System Process\]$|^4 / System$"), "process"),
               (re.compile(r"^  \S.*$"), "type"),
               (re.compile(r"^    Handle: \d+$"), "handle"),
               (re.compile(r"^      \S.*$"), "detail")]
    previous = "banner"
    for number, line in enumerate(lines[4:], 5):
        kind = next((k for pattern, k in grammar if pattern.match(line)), None)
        if kind is None:
            print("line %d is no log line: %r" % (number, line))
            return False
        allowed = {"process": ("banner", "type", "access", "process"), "type": ("process", "access"),
                   "handle": ("type", "access"), "detail": ("handle", "detail")}[kind]
        if kind == "detail" and line.startswith(ACCESS):
            kind = "access"
        if previous not in allowed:
            print("line %d (%s) follows a %s line: %r" % (number, kind, previous, line))
            return False
        previous = kind
    if previous != "access":
        print("the log ends with a %s line: %r" % (previous, lines[-1]))
        return False
    return True


def main():
    command = sys.argv[1]
    if command == "structure":
        return check_structure(read_log(sys.argv[2]))
    report, lines = read_report(sys.argv[2]), read_log(sys.argv[3])
    if command == "holder":
        return compare(BANNER + expected_part(report), lines)
    if command == "contains":
        return compare(expected_part(report), part_of(lines, report["label"]))
    if command == "extra":
        count = report["extra"]
        listed = {int(line[12:]) for line in part_of(lines, report["label"]) if line.startswith("    Handle: ")}
        wanted = set()
        for first, last in report["runs"]:
            wanted.update(range(first, last + 1, 4))
        missing = sorted(wanted - listed)
        print("%d extra handles, highest %d; %d handles listed, %d extra missing"
              % (count, max(wanted), len(listed), len(missing)))
        if missing:
            print("first missing: %s" % missing[:5])
        return len(wanted) == count and not missing and max(wanted) > 65535
    raise SystemExit("unknown command " + command)


if __name__ == "__main__":
    sys.exit(0 if main() else 1)
