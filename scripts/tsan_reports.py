"""Reads ThreadSanitizer reports and tells those that involve our code from the toolkit's own.

Qt, Mesa and the C library are not built with ThreadSanitizer: it sees their calls into the C
library (malloc, free, memcpy, memcmp...) but not the locks that order them (Qt's QMutex is a
futex), so the toolkit's internal hand-overs between its threads come out as races. A report
involves our code when the first frame outside the sanitizer's runtime of one of its accesses
(or of its other stacks, but for the stacks that only say where a thread, a mutex or a block
was created) is in one of our programs or libraries; then it is ours to look at, wherever the
rest of the stack runs. A copy that the toolkit makes of our data is not checked that way: its
first frame is the toolkit's."""
import os
import re

FRAME = re.compile(r'^ +#\d+ (.*) (\S+) \(([^()\s]+?)\+0x[0-9a-f]+\)$')
HEADER = re.compile(r'^  \S.*:$')
NOT_INVOLVED = re.compile(r'created by|created at|^  Location is')


def reports(text):
    """Each report of a log, from its kind to its SUMMARY line."""
    for part in text.split('WARNING: ThreadSanitizer: ')[1:]:
        yield part.split('\nSUMMARY: ')[0]


def kind(report):
    return report.split(' (')[0].split('\n')[0]


def stacks(report):
    """(header, [(function, module), ...]) for every stack of a report."""
    result, header = [], None
    for line in report.splitlines():
        frame = FRAME.match(line)
        if frame:
            if header is not None:
                result[-1][1].append((frame.group(1), frame.group(3)))
        elif HEADER.match(line):
            header = line.strip()
            result.append((header, []))
        else:
            header = None
    return [(h, f) for h, f in result if f]


def is_runtime(frame):
    return frame[1].startswith('libtsan')


def first_outside_runtime(frames):
    return next((f for f in frames if not is_runtime(f)), ('?', '?'))


def involved_stacks(report):
    """The stacks that did something racy: accesses, lock orders, a free. A report with none
    of those (a thread leak) is judged by all of its stacks."""
    all_stacks = stacks(report)
    involved = [s for s in all_stacks if not NOT_INVOLVED.search(s[0])]
    return involved or all_stacks


def our_modules(build_dir):
    """The file names of the programs and shared libraries built in build_dir."""
    names = set()
    for folder, _, files in os.walk(build_dir):
        if 'CMakeFiles' in folder:
            continue
        for name in files:
            path = os.path.join(folder, name)
            if '.so' in name or (os.access(path, os.X_OK) and '.' not in name):
                names.add(name)
    return names


def involves(report, ours):
    return any(first_outside_runtime(frames)[1] in ours for _, frames in involved_stacks(report))
