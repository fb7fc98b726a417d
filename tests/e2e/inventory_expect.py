#!/usr/bin/python3
# Checks an inventory log against what a handle holder reported about itself.
#
#   inventory_expect.py holder <report> <log>     the log is the banner and exactly the holder's part
#   inventory_expect.py contains <report> <log>   the holder's part stands in the log, exactly
#   inventory_expect.py structure <log>           banner, CR LF line ends, line grammar, last line
#   inventory_expect.py extra <report> <log>      every extra handle of a large holder is listed
#
# The holder's part is built from its report: the process line, then one block per object type
# (in the system's type order, which is the order of the type index), each with the handles of
# that type in ascending order, their detail lines and their access line. Prints "ok" when the
# check holds, else what was expected and what was found.
import itertools
import re
import sys

BANNER = ["*" * 24, "*  LOG-File of Lurvik  *", "*" * 24, ""]
ACCESS = "      Opened with Access Rights: "
# The kinds of log line (Process, Type, Handle, Detail, Access) and what each may follow
# (B: the banner).
LINE = re.compile(r"(?P<A>%s0x.*)|(?P<D>      \S.*)|(?P<H>    Handle: \d+)|(?P<T>  \S.*)|(?P<P>\S.* / .*)" % ACCESS)
FOLLOWS = {"P": "BPA", "T": "PA", "H": "TA", "D": "HD", "A": "HD"}


# The report: pid and label as texts, each handle as [value, type, access, GenericAll, index,
# details], the extra handle values as a set.
def read_report(path):
    report = {"handles": [], "extra": set()}
    with open(path, encoding="latin-1") as f:
        for line in f.read().splitlines():
            kind, *fields = line.split("\t")
            if kind == "handle":
                report["handles"].append(fields + [[]])
            elif kind == "detail":
                report["handles"][-1][-1].append(fields[0])
            elif kind == "extra":
                report["extra"].add(int(fields[0]))
            else:
                report[kind] = fields[0]
    return report


def read_log(path):
    with open(path, "rb") as f:
        lines = f.read().decode("latin-1").split("\r\n")
    bare = [n for n, line in enumerate(lines, 1) if "\n" in line or "\r" in line]
    if lines[-1] or bare:
        raise SystemExit("expected CR LF after every line, found a line without it: line %d"
                         % (bare or [len(lines)])[0])
    return lines[:-1]


def expected_part(report):
    lines, previous = [report["label"]], None
    for value, name, access, generic_all, index, details in sorted(
            report["handles"], key=lambda h: (int(h[4]), int(h[0]))):
        if index != previous:
            lines.append("  " + name)
            previous = index
        lines += ["    Handle: " + value] + ["      " + d for d in details]
        lines.append("%s0x%s (0x%s)" % (ACCESS, access, generic_all))
    return lines


def part_of(lines, label):
    starts = [i for i, line in enumerate(lines) if line == label]
    if len(starts) != 1:
        raise SystemExit("expected the process line %r once, found it %d times" % (label, len(starts)))
    end = starts[0] + 1
    while end < len(lines) and lines[end].startswith(" "):
        end += 1
    return lines[starts[0]:end]


def compare(expected, actual):
    for number, (want, got) in enumerate(itertools.zip_longest(expected, actual), 1):
        if want != got:
            return "line %d: expected %r, found %r" % (number, want, got)
    return "ok"


def check_structure(lines):
    if lines[:4] != BANNER:
        return "expected the banner %r, found %r" % (BANNER, lines[:4])
    previous = "B"
    for number, line in enumerate(lines[4:], 5):
        match = LINE.fullmatch(line)
        kind = match.lastgroup if match else "?"
        if previous not in FOLLOWS.get(kind, ""):
            return "line %d: expected a line that may follow a %s line, found %r" % (number, previous, line)
        previous = kind
    return "ok" if previous == "A" else "expected an access line last, found %r" % lines[-1]


def check_extra(report, lines):
    listed = {int(line[12:]) for line in part_of(lines, report["label"]) if line.startswith("    Handle: ")}
    wanted = report["extra"]
    missing = sorted(wanted - listed)
    if len(wanted) <= 70000 or max(wanted) <= 65535 or missing:
        return "expected more than 70000 extra handles past 65535, all listed; found %d, highest %d, " \
               "%d missing (first %s)" % (len(wanted), max(wanted, default=0), len(missing), missing[:5])
    return "ok"


def main(command, *paths):
    if command == "structure":
        return check_structure(read_log(paths[0]))
    report, lines = read_report(paths[0]), read_log(paths[1])
    if command == "holder":
        return compare(BANNER + expected_part(report), lines)
    if command == "contains":
        return compare(expected_part(report), part_of(lines, report["label"]))
    return check_extra(report, lines)


if __name__ == "__main__":
    print(main(*sys.argv[1:]))
