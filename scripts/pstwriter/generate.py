# SPDX-License-Identifier: GPL-3.0-or-later
"""What `make-pst bench` and `make-pst case` put into a copy of the base file."""

import datetime
import random
import struct

from . import content
from .content import (ARIZONA, EASTERN, EUROPE, INDIA, PACIFIC, TOKYO, Identity, Series,
                      calendar_contents_tags, contact_contents_tags)
from .messaging import (TAG_IPM_APPOINTMENT_ENTRYID, TAG_IPM_CONTACT_ENTRYID, Store, NID_MESSAGE_STORE)

TAG_IPM_SUBTREE_ENTRYID = 0x35E00102
DURATIONS = (30, 45, 60, 75, 90, 105, 120, 135)

# The shared 22,000-appointment file, item by item: (share of 22,000, what it is).
SINGLE_MIX = [(5000, EUROPE, False), (5000, PACIFIC, False), (4000, TOKYO, False), (4000, EASTERN, False),
              (1000, EASTERN, True), (1000, TOKYO, True)]
SERIES_KINDS = [(500, 'daily'), (500, 'weekly'), (500, 'monthly'), (500, 'yearly')]
SERIES_ZONES = [(833, TOKYO), (500, EASTERN), (334, INDIA), (333, ARIZONA)]
SHARED_FILE_APPOINTMENTS = 22000
BIRTHDAY_EVERY = 5  # a fifth of the contacts have a birthday


def ipm_subtree(store):
    return struct.unpack('<I', store.read_pc(NID_MESSAGE_STORE)[TAG_IPM_SUBTREE_ENTRYID][-4:])[0]


def scaled(weights, total):
    """Splits total in proportion to weights, the remainder to the largest fractions."""
    whole = sum(weights)
    exact = [w * total / whole for w in weights]
    counts = [int(x) for x in exact]
    for i in sorted(range(len(weights)), key=lambda i: counts[i] - exact[i])[:total - sum(counts)]:
        counts[i] += 1
    return counts


def spread(entries, total, rng):
    """A shuffled list of total items drawn from (weight, value) in proportion."""
    counts = scaled([weight for weight, *_ in entries], total)
    items = [entry[1:] for entry, count in zip(entries, counts) for _ in range(count)]
    rng.shuffle(items)
    return items


def random_day(rng, first_year=2015, last_year=2024):
    first = datetime.date(first_year, 1, 1)
    days = (datetime.date(last_year, 12, 31) - first).days
    return first + datetime.timedelta(days=rng.randrange(days + 1))


def new_calendar(store, parent, name='Calendar'):
    return store.add_folder(parent, name, 'IPF.Appointment', calendar_contents_tags(store))


def new_contacts(store, parent, name='Contacts'):
    return store.add_folder(parent, name, 'IPF.Contact', contact_contents_tags(store))


def singles(store, identity, rng, count, first_index=0):
    """Single appointments in the shared file's four zones, a tenth of them all day."""
    made = []
    for offset, (zone, all_day) in enumerate(spread(SINGLE_MIX, count, rng)):
        index = first_index + offset
        day = random_day(rng)
        if all_day:
            start, duration = datetime.datetime(day.year, day.month, day.day), 1440
        else:
            start = datetime.datetime(day.year, day.month, day.day, rng.randrange(8, 18), rng.choice((0, 30)))
            duration = rng.choice(DURATIONS)
        made.append(content.single_appointment(store.names, identity, 'Single %d été' % index, start,
                                               duration, zone, 'Room %d' % (index % 100), all_day))
    return made


def series_items(store, identity, rng, count):
    """Daily, weekly, monthly and yearly series ending by date, by count or never; every weekly
    one has one deleted and one moved occurrence."""
    kinds = spread(SERIES_KINDS, count, rng)
    zones = spread(SERIES_ZONES, count, rng)
    made = []
    for index, ((kind,), (zone,)) in enumerate(zip(kinds, zones)):
        start = datetime.datetime(2016, 1, 4, 9) + datetime.timedelta(days=index % 366)
        weekly = kind == 'weekly'
        series = Series(kind, start, 60, ('date', 'count', 'never')[index % 3],
                        period=2 if kind == 'daily' else 1,
                        deleted=(1,) if weekly else (), moved=(2,) if weekly else ())
        made.append(content.recurring_appointment(store.names, identity, 'Series %d' % index, series, zone,
                                                  ['Moved %d' % index] if weekly else []))
    return made


def contacts(store, identity, rng, count):
    made = []
    for index in range(count):
        birthday = None
        if index % BIRTHDAY_EVERY == 0:
            day = random_day(rng, 1950, 2000)
            birthday = datetime.datetime(day.year, day.month, day.day)
        made.append(content.contact(store.names, identity, index, birthday))
    return made


def bench(base, appointments, contact_count, seed, out):
    """A file of the shared 22k file's kind: its folders and mix, scaled."""
    rng = random.Random(seed)
    identity = Identity(rng)
    store = Store(base)
    top = ipm_subtree(store)
    calendar = new_calendar(store, top)
    address_book = new_contacts(store, top)
    series_count = round(appointments * 2000 / SHARED_FILE_APPOINTMENTS)
    for message in singles(store, identity, rng, appointments - series_count):
        store.add_message(calendar, message)
    for message in series_items(store, identity, rng, series_count):
        store.add_message(calendar, message)
    for message in contacts(store, identity, rng, contact_count):
        store.add_message(address_book, message)
    store.set_default_folder(TAG_IPM_APPOINTMENT_ENTRYID, calendar)
    store.set_default_folder(TAG_IPM_CONTACT_ENTRYID, address_book)
    store.write(out)
