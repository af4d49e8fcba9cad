# SPDX-License-Identifier: GPL-3.0-or-later
"""`make-pst check`: reads a written file with Debian's readpst (pst-utils) and pypff
(python3-pypff), the two independent readers at hand, and reports what each saw.

It fails when either reader errs on more items than were damaged on purpose, when the two disagree
on the number of items, or, with --like, when the file's folders, item counts per folder kind or
property names per message class differ from the reference's.
"""

import collections
import os
import re
import struct
import subprocess
import tempfile
import time

from . import messaging, ndb

READPST_LINE = re.compile(r'"(?P<folder>.*)" - (?P<done>\d+) items done, (?P<skipped>\d+) items skipped')


def readpst_counts(path):
    """Items readpst writes and skips per folder, and its wall time."""
    with tempfile.TemporaryDirectory() as out:
        started = time.monotonic()
        result = subprocess.run(['readpst', '-o', out, path], capture_output=True, text=True)
        elapsed = time.monotonic() - started
    if result.returncode:
        raise RuntimeError('readpst failed (%d): %s' % (result.returncode, result.stderr.strip()))
    counts = {m['folder']: (int(m['done']), int(m['skipped'])) for m in READPST_LINE.finditer(result.stdout)}
    return counts, elapsed


class PypffWalk:
    """Walks every folder, message, attachment, embedded item and property value with pypff."""

    def __init__(self, path):
        import pypff  # Debian's python3-pypff, for the system python
        self.folders = {}  # path -> (messages, subfolders) pypff lists
        self.items = 0
        self.attachments = 0
        self.values = 0
        self.failures = []
        store = pypff.file()
        store.open(path)
        self._folder(store.root_folder, '')
        store.close()

    def _folder(self, folder, path):
        name = folder.name or ''
        count = folder.number_of_sub_messages
        self.folders[path + '/' + name] = (count, folder.number_of_sub_folders)
        for index in range(count):
            try:
                self._item(folder.get_sub_message(index))
            except (IOError, OSError, ValueError) as error:
                self.failures.append('%s/%s #%d: %s' % (path, name, index, error))
        for index in range(folder.number_of_sub_folders):
            self._folder(folder.get_sub_folder(index), path + '/' + name)

    def _item(self, item):
        self.items += 1
        self._record_sets(item)
        for index in range(item.number_of_attachments):
            attachment = item.get_attachment(index)
            self.attachments += 1
            self._record_sets(attachment)
            if attachment.size:
                attachment.read_buffer(attachment.size)
            for sub in range(attachment.number_of_sub_items):
                self._record_sets(attachment.get_sub_item(sub))

    def _record_sets(self, item):
        for set_index in range(item.number_of_record_sets):
            record_set = item.get_record_set(set_index)
            for entry_index in range(record_set.number_of_entries):
                entry = record_set.get_entry(entry_index)
                entry.data  # noqa: B018 - reading the value is the check
                self.values += 1


def blocks_with_wrong_crc(path):
    """Blocks whose trailer CRC does not match their stored bytes: neither reader above checks."""
    base = ndb.BaseFile(path)
    wrong = 0
    for bid, (ib, cb) in base.blocks.items():
        trailer = base.data[ib + ndb.block_footprint(cb) - 16:ib + ndb.block_footprint(cb)]
        stored_cb, _, crc, _ = struct.unpack('<HHIQ', trailer)
        if stored_cb != cb or ndb.pst_crc(base.data[ib:ib + cb]) != crc:
            wrong += 1
    return wrong


def allocation_map_problems(path):
    """Where the AMaps disagree with the B-trees: a block or page on space marked free, two of them
    overlapping, or a free-space total in the header that the maps do not add up to."""
    base = ndb.BaseFile(path)
    spans = [(ib, ndb.block_footprint(cb)) for ib, cb in base.blocks.values()]
    spans += [(ib, ndb.PAGE_SIZE) for ib in base.btree_pages]
    owner = {}
    problems = []
    for ib, size in spans:
        for unit in range(ib, ib + size, ndb.BLOCK_ALIGN):
            if unit in owner:
                problems.append('0x%x is used twice' % unit)
            owner[unit] = ib
            region, index = divmod((unit - ndb.FIRST_AMAP) // ndb.BLOCK_ALIGN, ndb.PAGE_DATA * 8)
            amap = ndb.region_start(region)
            if not base.data[amap + index // 8] & (0x80 >> (index % 8)):
                problems.append('0x%x is in use but marked free' % unit)
    free = 0
    for region in range((base.header.file_eof - ndb.FIRST_AMAP) // ndb.AMAP_REGION):
        amap = base.data[ndb.region_start(region):ndb.region_start(region) + ndb.PAGE_DATA]
        free += sum(8 - bin(byte).count('1') for byte in amap) * ndb.BLOCK_ALIGN
    recorded = struct.unpack_from('<Q', base.data, ndb.Header.ROOT + 20)[0]
    if free != recorded:
        problems.append('the AMaps have %d bytes free, the header says %d' % (free, recorded))
    return problems[:10]


def property_names(path):
    """message class -> set of property names, named ones as (set, LID or name) rather than their
    file-specific ids; and folder kind (container class) -> number of items."""
    store = messaging.Store(path)
    named = {index: key for key, index in store.names.known.items()}
    by_class = collections.defaultdict(set)
    per_kind = collections.Counter()
    for nid, (_, _, parent) in store.base.nodes.items():
        if nid & 0x1F != messaging.NID_TYPE_MESSAGE or parent not in store.base.nodes:
            continue
        props = store.read_pc(nid)
        message_class = props.get(0x001A001F, b'').decode('utf-16-le')
        folder_class = store.read_pc(parent).get(messaging.TAG_CONTAINER_CLASS, b'').decode('utf-16-le')
        per_kind[folder_class] += 1
        for tag in props:
            prop_id = tag >> 16
            name = named[prop_id - 0x8000] if prop_id >= 0x8000 else '%04X' % prop_id
            by_class[message_class].add((str(name), tag & 0xFFFF))
    return by_class, per_kind


def run(path, like=None, unreadable=0):
    problems = []
    counts, elapsed = readpst_counts(path)
    done = sum(d for d, _ in counts.values())
    skipped = sum(s for _, s in counts.values())
    print('readpst: %d items written, %d skipped, in %.2f s' % (done, skipped, elapsed))
    for folder, (folder_done, folder_skipped) in sorted(counts.items()):
        print('  %-30s %6d written %4d skipped' % (folder, folder_done, folder_skipped))
    walk = PypffWalk(path)
    print('pypff: %d folders, %d items, %d attachments, %d property values, %d failures' % (
        len(walk.folders), walk.items, walk.attachments, walk.values, len(walk.failures)))
    for failure in walk.failures:
        print('  ' + failure)
    if skipped > unreadable or len(walk.failures) > unreadable:
        problems.append('more unreadable items than the %d damaged on purpose' % unreadable)
    if unreadable and not (skipped or walk.failures):
        problems.append('the damaged items were read as if whole')
    # readpst counts a folder's subfolders among its items.
    listed = {folder.split('/')[-1]: sum(count) for folder, count in walk.folders.items()}
    for folder, (folder_done, folder_skipped) in counts.items():
        if folder in listed and listed[folder] != folder_done + folder_skipped:
            problems.append('folder %s: readpst found %d items and subfolders, pypff lists %d' % (
                folder, folder_done + folder_skipped, listed[folder]))
    print('blocks with a wrong CRC: %d' % blocks_with_wrong_crc(path))
    problems += allocation_map_problems(path)
    if like:
        problems += compare_with(path, like)
    for problem in problems:
        print('PROBLEM: ' + problem)
    print('check %s: %s' % (os.path.basename(path), 'failed' if problems else 'passed'))
    return 1 if problems else 0


def compare_with(path, reference):
    """Differences of folder kinds' item shares and property names per class against a reference."""
    names, kinds = property_names(path)
    reference_names, reference_kinds = property_names(reference)
    problems = []
    if set(kinds) != set(reference_kinds):
        problems.append('folder kinds %s, the reference has %s' % (sorted(kinds), sorted(reference_kinds)))
    print('items per folder kind: %s; reference: %s' % (dict(kinds), dict(reference_kinds)))
    for message_class in sorted(set(names) | set(reference_names)):
        missing = reference_names[message_class] - names[message_class]
        extra = names[message_class] - reference_names[message_class]
        print('class %-55s %3d property names, reference %3d' % (
            message_class, len(names[message_class]), len(reference_names[message_class])))
        if missing or extra:
            problems.append('class %s: lacks %s, adds %s' % (message_class, sorted(missing), sorted(extra)))
    return problems
