# SPDX-License-Identifier: GPL-3.0-or-later
"""`make-pst selftest`: writes every case and a small bench file, checks each with readpst and
pypff, and checks that the committed case files are what the tool writes today."""

import filecmp
import os

from . import cases, check, generate

SHARED_22K = os.path.join(os.path.dirname(__file__), '..', '..', '..', 'shared', 'pst-samples',
                          'generated-22k-appointments.pst')
DAMAGED_BLOCKS = {'damaged-message': 1}  # the block whose CRC is spoiled on purpose


def run(base, workdir, committed_dir):
    os.makedirs(workdir, exist_ok=True)
    failures = []
    for name, make in sorted(cases.CASES.items()):
        out = os.path.join(workdir, name + '.pst')
        make(base, out)
        print('== case %s (%d bytes)' % (name, os.path.getsize(out)))
        if check.run(out, None, cases.UNREADABLE.get(name, 0)):
            failures.append(name)
        if check.blocks_with_wrong_crc(out) != DAMAGED_BLOCKS.get(name, 0):
            failures.append(name + ': blocks with a wrong CRC')
        committed = os.path.join(committed_dir, name + '.pst')
        if not os.path.exists(committed) or not filecmp.cmp(out, committed, shallow=False):
            failures.append(name + ': differs from ' + committed)
    out = os.path.join(workdir, 'bench-550.pst')
    generate.bench(base, 550, 200, 1, out)
    print('== bench 550 appointments, 200 contacts (%d bytes)' % os.path.getsize(out))
    reference = SHARED_22K if os.path.exists(SHARED_22K) else None
    if check.run(out, reference, 0):
        failures.append('bench')
    for failure in failures:
        print('FAILED: ' + failure)
    print('%d passed, %d failed' % (len(cases.CASES) + 1 - len(failures), len(failures)))
    return 1 if failures else 0
