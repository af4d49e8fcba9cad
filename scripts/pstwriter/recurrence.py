# SPDX-License-Identifier: GPL-3.0-or-later
"""The recurrence blob of a series (PidLidAppointmentRecur): its pattern, its deleted and moved
occurrences, and the ExceptionInfo/ExtendedException records of the moved ones.

Times in the blob are minutes since 1601-01-01 in the series' own zone.
"""

import struct
from dataclasses import dataclass, field

FREQUENCY = {'daily': 0x200A, 'weekly': 0x200B, 'monthly': 0x200C, 'yearly': 0x200D}
PATTERN_DAY, PATTERN_WEEK, PATTERN_MONTH, PATTERN_MONTH_NTH = 0x0, 0x1, 0x2, 0x3
END_BY_DATE, END_AFTER_COUNT, END_NEVER = 0x2021, 0x2022, 0x2023
READER_VERSION, WRITER_VERSION = 0x3004, 0x3004
READER_VERSION2, WRITER_VERSION2 = 0x3006, 0x3009  # 0x3009 and later carry ExtendedException
OVERRIDE_SUBJECT, OVERRIDE_LOCATION, OVERRIDE_ATTACHMENT = 0x0001, 0x0010, 0x0040
NO_END_DATE = 0x5AE980DF  # 31 December 4500, what a series without end carries as EndDate


@dataclass
class Exception_:
    """A moved or changed occurrence: where it now lies and what it overrides."""
    original_start: int  # minutes, local: the occurrence it replaces
    start: int
    end: int
    subject: str = None
    location: str = None
    has_attachment: bool = True  # an embedded exception message carries it

    def override_flags(self):
        flags = OVERRIDE_ATTACHMENT if self.has_attachment else 0
        if self.subject is not None:
            flags |= OVERRIDE_SUBJECT
        if self.location is not None:
            flags |= OVERRIDE_LOCATION
        return flags


@dataclass
class Recurrence:
    frequency: str  # daily, weekly, monthly, yearly
    pattern_type: int
    period: int  # days (daily, in minutes on disk), weeks or months
    first_date_time: int
    pattern_specific: bytes
    end_type: int
    occurrence_count: int
    first_dow: int
    start_date: int  # minutes, local midnight of the first occurrence
    end_date: int  # minutes, local midnight of the last one
    start_offset: int  # minutes after midnight
    end_offset: int
    deleted: list = field(default_factory=list)  # original dates (midnight) of deleted or moved ones
    exceptions: list = field(default_factory=list)


def _ansi(text):
    return text.encode('cp1252', 'replace')


def _exception_info(item):
    flags = item.override_flags()
    out = struct.pack('<IIIH', item.start, item.end, item.original_start, flags)
    if flags & OVERRIDE_SUBJECT:
        encoded = _ansi(item.subject)
        out += struct.pack('<HH', len(encoded) + 1, len(encoded)) + encoded
    if flags & OVERRIDE_LOCATION:
        encoded = _ansi(item.location)
        out += struct.pack('<HH', len(encoded) + 1, len(encoded)) + encoded
    if flags & OVERRIDE_ATTACHMENT:
        out += struct.pack('<I', 1)
    return out


def _extended_exception(item):
    out = struct.pack('<I', 0)  # ChangeHighlight size: writer version 0x3009 and later
    out += struct.pack('<I', 0)  # ReservedBlockEE1
    if item.subject is not None or item.location is not None:
        out += struct.pack('<III', item.start, item.end, item.original_start)
        for text in (item.subject, item.location):
            if text is not None:
                wide = text.encode('utf-16-le')
                out += struct.pack('<H', len(wide) // 2) + wide
        out += struct.pack('<I', 0)  # ReservedBlockEE2
    return out


def encode(rec):
    """The bytes of PidLidAppointmentRecur for a series."""
    moved_dates = sorted(_midnight(item.start) for item in rec.exceptions)
    deleted_dates = sorted(rec.deleted)
    out = struct.pack('<HHHHHI', READER_VERSION, WRITER_VERSION, FREQUENCY[rec.frequency],
                      rec.pattern_type, 0, rec.first_date_time)
    out += struct.pack('<II', rec.period, 0) + rec.pattern_specific
    out += struct.pack('<III', rec.end_type, rec.occurrence_count, rec.first_dow)
    out += struct.pack('<I', len(deleted_dates)) + struct.pack('<%dI' % len(deleted_dates), *deleted_dates)
    out += struct.pack('<I', len(moved_dates)) + struct.pack('<%dI' % len(moved_dates), *moved_dates)
    out += struct.pack('<II', rec.start_date, rec.end_date)
    out += struct.pack('<IIII', READER_VERSION2, WRITER_VERSION2, rec.start_offset, rec.end_offset)
    ordered = sorted(rec.exceptions, key=lambda item: item.start)
    out += struct.pack('<H', len(ordered)) + b''.join(_exception_info(item) for item in ordered)
    out += struct.pack('<I', 0)  # ReservedBlock1
    out += b''.join(_extended_exception(item) for item in ordered)
    out += struct.pack('<I', 0)  # ReservedBlock2
    return out


def _midnight(minutes):
    return minutes - minutes % 1440


def decode(blob):
    """A summary of a blob, for checks: the fixed part, deleted and modified dates, exceptions."""
    offset = 0

    def take(fmt):
        nonlocal offset
        values = struct.unpack_from('<' + fmt, blob, offset)
        offset += struct.calcsize('<' + fmt)
        return values

    def skip_sized_block():
        nonlocal offset
        size = take('I')[0]
        offset += size

    reader, writer, frequency, pattern_type, calendar, first = take('HHHHHI')
    period, _sliding = take('II')
    specific = take({PATTERN_DAY: '', PATTERN_WEEK: 'I', PATTERN_MONTH: 'I', PATTERN_MONTH_NTH: 'II'}
                    .get(pattern_type, 'I'))
    end_type, count, first_dow = take('III')
    deleted = take('%dI' % take('I')[0])
    modified = take('%dI' % take('I')[0])
    start_date, end_date = take('II')
    reader2, writer2, start_offset, end_offset = take('IIII')
    exceptions = []
    for _ in range(take('H')[0]):
        start, end, original, flags = take('IIIH')
        item = {'start': start, 'end': end, 'original': original, 'flags': flags}
        for bit, name in ((OVERRIDE_SUBJECT, 'subject'), (0x2, None), (0x4, None), (0x8, None),
                          (OVERRIDE_LOCATION, 'location'), (0x20, None), (OVERRIDE_ATTACHMENT, None),
                          (0x80, None), (0x100, None)):
            if flags & bit:
                if name:
                    length = take('HH')[1]
                    item[name] = blob[offset:offset + length].decode('cp1252')
                    offset += length
                else:
                    take('I')
        exceptions.append(item)
    skip_sized_block()  # ReservedBlock1
    for item in exceptions:
        if writer2 >= 0x3009:
            skip_sized_block()  # ChangeHighlight
        skip_sized_block()  # ReservedBlockEE1
        if item['flags'] & (OVERRIDE_SUBJECT | OVERRIDE_LOCATION):
            take('III')
            for name in ('subject', 'location'):
                if item['flags'] & (OVERRIDE_SUBJECT if name == 'subject' else OVERRIDE_LOCATION):
                    length = take('H')[0]
                    item['wide_' + name] = blob[offset:offset + 2 * length].decode('utf-16-le')
                    offset += 2 * length
            skip_sized_block()  # ReservedBlockEE2
    skip_sized_block()  # ReservedBlock2
    return {'frequency': frequency, 'pattern_type': pattern_type, 'calendar': calendar, 'period': period,
            'specific': specific, 'end_type': end_type, 'count': count, 'first_dow': first_dow,
            'deleted': list(deleted), 'modified': list(modified), 'start_date': start_date,
            'end_date': end_date, 'writer2': writer2, 'start_offset': start_offset, 'end_offset': end_offset,
            'exceptions': exceptions, 'consumed': offset, 'size': len(blob), 'first': first,
            'reader': reader, 'writer': writer, 'reader2': reader2}
