# SPDX-License-Identifier: GPL-3.0-or-later
"""Small files with one structural trait each, that the shared samples lack (`make-pst case NAME`).

Each stays well under 400 KB: the Outlook-written base is 265 KB and holds most of the free space
they use.
"""

import datetime
import random

from . import content
from .content import EASTERN, EUROPE, TOKYO, Identity, Series
from .generate import ipm_subtree, new_calendar, new_contacts
from .messaging import TAG_IPM_APPOINTMENT_ENTRYID, TAG_IPM_CONTACT_ENTRYID, Store

CASE_SEED = 7


def _few_appointments(store, identity, count, first=0, zone=EUROPE):
    start = datetime.datetime(2021, 3, 1, 10)
    return [content.single_appointment(store.names, identity, 'Meeting %d' % (first + i),
                                       start + datetime.timedelta(days=i), 60, zone, 'Room %d' % i)
            for i in range(count)]


def _start(base):
    store = Store(base)
    identity = Identity(random.Random(CASE_SEED))
    return store, identity, ipm_subtree(store)


def contents_table_mismatch(base, out):
    """A calendar of five appointments whose contents table leaves out the third one (its node's
    parent is still the calendar) and lists a row for a message node that does not exist."""
    store, identity, top = _start(base)
    calendar = new_calendar(store, top)
    nids = [store.add_message(calendar, message) for message in _few_appointments(store, identity, 5)]
    calendar.rows_left_out.add(nids[2])
    ghost = _few_appointments(store, identity, 1, first=99)[0]
    calendar.phantom_rows.append((store.writer.new_nid(0x04), ghost.props))
    store.set_default_folder(TAG_IPM_APPOINTMENT_ENTRYID, calendar)
    store.write(out)


def damaged_message(base, out):
    """A calendar of six appointments: the second's data block has a wrong CRC, the fifth's heap is
    cut in half (its block's CRC is right for the shorter data). A reader leaves out just those."""
    store, identity, top = _start(base)
    calendar = new_calendar(store, top)
    messages = _few_appointments(store, identity, 6)
    messages[1].damage = 'crc'
    messages[4].damage = 'truncated-heap'
    for message in messages:
        store.add_message(calendar, message)
    store.set_default_folder(TAG_IPM_APPOINTMENT_ENTRYID, calendar)
    store.write(out)


def deep_folders(base, out):
    """A calendar four folders down; a calendar of 120 appointments (multi-level node and block
    B-trees, a contents table whose row matrix lies in a subnode as an XBLOCK data tree); one
    appointment with a 12 KB body (an XBLOCK), one with 40 file attachments."""
    store, identity, top = _start(base)
    parent = top
    for name in ('Archive', '2019', 'Team'):
        parent = store.add_folder(parent, name, 'IPF.Note').nid
    deep = new_calendar(store, parent, 'Team calendar')
    for message in _few_appointments(store, identity, 3, zone=TOKYO):
        store.add_message(deep, message)
    big = new_calendar(store, top, 'Calendar')
    for message in _few_appointments(store, identity, 120, first=100, zone=EASTERN):
        store.add_message(big, message)
    body = ''.join('Line %04d of a long agenda.\r\n' % i for i in range(200))
    store.add_message(big, content.single_appointment(
        store.names, identity, 'Long agenda', datetime.datetime(2022, 5, 2, 9), 90, EASTERN, 'Hall',
        body=body))
    many = content.single_appointment(store.names, identity, 'Many attachments',
                                      datetime.datetime(2022, 5, 3, 9), 30, EASTERN, 'Hall')
    many.attachments = [content.file_attachment('note%02d.txt' % i, b'attachment %d\r\n' % i)
                        for i in range(40)]
    many.props[0x0E070003] = content.long(0x11)
    store.add_message(big, many)
    store.set_default_folder(TAG_IPM_APPOINTMENT_ENTRYID, big)
    store.write(out)


def ansi_contact(base, out):
    """A contact whose strings are 8-bit (PT_STRING8, code page 1251) in a Unicode file, with
    PidTagMessageCodepage 1251; a Unicode contact beside it."""
    store, identity, top = _start(base)
    address_book = new_contacts(store, top)
    store.add_message(address_book, content.contact(store.names, identity, 1, given='Иван',
                                                    surname='Петров', strings8=1251))
    store.add_message(address_book, content.contact(store.names, identity, 2, given='Анна',
                                                    surname='Смирнова'))
    store.set_default_folder(TAG_IPM_CONTACT_ENTRYID, address_book)
    store.write(out)


def every_contact_member(base, out):
    """One contact holding every property the contact export reads, each value naming its property."""
    store, identity, top = _start(base)
    address_book = new_contacts(store, top)
    store.add_message(address_book, content.every_member_contact(store.names, identity))
    store.set_default_folder(TAG_IPM_CONTACT_ENTRYID, address_book)
    store.write(out)


def recurrence_kinds(base, out):
    """One series of every pattern kind and end, in three zones, with deleted and moved
    occurrences (the moved ones as embedded exception messages)."""
    store, identity, top = _start(base)
    calendar = new_calendar(store, top)
    kinds = ('daily', 'weekly', 'monthly', 'month-nth', 'yearly', 'year-nth')
    index = 0
    for kind in kinds:
        for end in ('date', 'count', 'never'):
            zone = (EUROPE, EASTERN, TOKYO)[index % 3]
            start = datetime.datetime(2019, 1, 7, 9) + datetime.timedelta(days=11 * index)
            series = Series(kind, start, 45, end, count=6, period=3 if kind == 'daily' else 1,
                            deleted=(1,), moved=(3,))
            store.add_message(calendar, content.recurring_appointment(
                store.names, identity, '%s until %s' % (kind, end), series, zone, ['Moved %s' % kind]))
            index += 1
    store.set_default_folder(TAG_IPM_APPOINTMENT_ENTRYID, calendar)
    store.write(out)


CASES = {
    'contents-table-mismatch': contents_table_mismatch,
    'damaged-message': damaged_message,
    'deep-folders': deep_folders,
    'ansi-contact': ansi_contact,
    'every-contact-member': every_contact_member,
    'recurrence-kinds': recurrence_kinds,
}

# Items of each case that readpst and pypff cannot read, what `make-pst check --unreadable` expects:
# neither checks block CRCs, so of the damaged messages only the cut heap fails; pypff lists the
# calendar by its contents table and fails on the row without a message.
UNREADABLE = {'damaged-message': 1, 'contents-table-mismatch': 1}
