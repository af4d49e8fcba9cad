# SPDX-License-Identifier: GPL-3.0-or-later
"""Appointments, recurring series with exceptions, and contacts, with the properties Outlook-style
writers give them (MS-OXCMSG, MS-OXOCAL, MS-OXOCNTC), as tag -> bytes for the message store.

Times: FILETIME (100 ns since 1601) in properties, minutes since 1601 in recurrence blobs.
"""

import datetime
import struct
from dataclasses import dataclass

from . import ltp, recurrence
from .messaging import (NID_TABLE_TEMPLATES, PSETID_ADDRESS, PSETID_APPOINTMENT, PSETID_COMMON, Attachment,
                        Message)

EPOCH = datetime.datetime(1601, 1, 1)
WRITTEN_AT = datetime.datetime(2024, 12, 1, 9, 0)  # creation times: fixed, so a seed gives one file
CLASS_EXCEPTION = 'IPM.OLE.CLASS.{00061055-0000-0000-C000-000000000046}'
SIDE_EFFECTS = 0x171  # open to delete, open to copy, open to move, coerce to inbox, cannot undo delete
BUSY = 2
ATTACH_EMBEDDED_MESSAGE = 5
EXCEPTION_ATTACHMENT_FLAGS = 2  # afException

# (set, LID, type) of the named properties used here.
APPT_BUSY_STATUS = (PSETID_APPOINTMENT, 0x8205, ltp.PT_LONG)
APPT_LOCATION = (PSETID_APPOINTMENT, 0x8208, ltp.PT_UNICODE)
APPT_START = (PSETID_APPOINTMENT, 0x820D, ltp.PT_SYSTIME)
APPT_END = (PSETID_APPOINTMENT, 0x820E, ltp.PT_SYSTIME)
APPT_DURATION = (PSETID_APPOINTMENT, 0x8213, ltp.PT_LONG)
APPT_COLOR = (PSETID_APPOINTMENT, 0x8214, ltp.PT_LONG)
APPT_ALL_DAY = (PSETID_APPOINTMENT, 0x8215, ltp.PT_BOOLEAN)
APPT_RECUR = (PSETID_APPOINTMENT, 0x8216, ltp.PT_BINARY)
APPT_STATE_FLAGS = (PSETID_APPOINTMENT, 0x8217, ltp.PT_LONG)
APPT_RECURRING = (PSETID_APPOINTMENT, 0x8223, ltp.PT_BOOLEAN)
APPT_EXCEPTION_REPLACE_TIME = (PSETID_APPOINTMENT, 0x8228, ltp.PT_SYSTIME)
APPT_TIME_ZONE_STRUCT = (PSETID_APPOINTMENT, 0x8233, ltp.PT_BINARY)
APPT_TIME_ZONE_DESCRIPTION = (PSETID_APPOINTMENT, 0x8234, ltp.PT_UNICODE)
APPT_CLIP_START = (PSETID_APPOINTMENT, 0x8235, ltp.PT_SYSTIME)
APPT_CLIP_END = (PSETID_APPOINTMENT, 0x8236, ltp.PT_SYSTIME)
APPT_CONFERENCING_TYPE = (PSETID_APPOINTMENT, 0x8241, ltp.PT_LONG)
APPT_ZONE_START_DISPLAY = (PSETID_APPOINTMENT, 0x825E, ltp.PT_BINARY)
APPT_ZONE_END_DISPLAY = (PSETID_APPOINTMENT, 0x825F, ltp.PT_BINARY)
APPT_ZONE_RECUR = (PSETID_APPOINTMENT, 0x8260, ltp.PT_BINARY)
COMMON_SIDE_EFFECTS = (PSETID_COMMON, 0x8510, ltp.PT_LONG)
COMMON_START = (PSETID_COMMON, 0x8516, ltp.PT_SYSTIME)
COMMON_END = (PSETID_COMMON, 0x8517, ltp.PT_SYSTIME)
COMMON_REMINDER_SET = (PSETID_COMMON, 0x8503, ltp.PT_BOOLEAN)
COMMON_REMINDER_DELTA = (PSETID_COMMON, 0x8501, ltp.PT_LONG)
EMAIL1_ADDRESS_TYPE = (PSETID_ADDRESS, 0x8082, ltp.PT_UNICODE)
EMAIL1_ADDRESS = (PSETID_ADDRESS, 0x8083, ltp.PT_UNICODE)

# Columns of a calendar's contents table beyond the template's, as writers of calendars add them.
CALENDAR_COLUMNS = [0x00300040, 0x1035001F, 0x10800003, 0x10900003, 0x30070040, 0x300B0102]
CALENDAR_NAMED_COLUMNS = [APPT_BUSY_STATUS, APPT_RECURRING, APPT_RECUR, APPT_START, APPT_END,
                          APPT_TIME_ZONE_STRUCT, COMMON_SIDE_EFFECTS, COMMON_REMINDER_SET, APPT_LOCATION,
                          APPT_ALL_DAY, APPT_TIME_ZONE_DESCRIPTION, APPT_ZONE_START_DISPLAY,
                          APPT_STATE_FLAGS, APPT_COLOR, APPT_ZONE_RECUR, APPT_ZONE_END_DISPLAY]
CONTACT_COLUMNS = [0x00300040, 0x1035001F, 0x10800003, 0x10900003, 0x300B0102]


@dataclass(frozen=True)
class Zone:
    """A Windows time zone: bias in minutes west of UTC and its yearly daylight rule."""
    key: str
    description: str
    bias: int
    daylight_bias: int = 0
    standard_date: tuple = (0, 0, 0, 0)  # month, weekday, week of month (5 = last), hour
    daylight_date: tuple = (0, 0, 0, 0)

    def offset_at(self, utc):
        """Minutes to add to UTC for local time at this instant."""
        if not self.daylight_bias:
            return -self.bias
        local_standard = utc - datetime.timedelta(minutes=self.bias)
        start = _rule_day(local_standard.year, self.daylight_date)
        end = _rule_day(local_standard.year, self.standard_date)
        in_daylight = start <= local_standard < end if start < end else not end <= local_standard < start
        return -(self.bias + (self.daylight_bias if in_daylight else 0))

    def to_utc(self, local):
        guess = local + datetime.timedelta(minutes=self.bias)
        return local - datetime.timedelta(minutes=self.offset_at(guess))


def _rule_day(year, rule):
    month, weekday, week, hour = rule
    first = datetime.datetime(year, month, 1, hour)
    day = first + datetime.timedelta(days=(weekday - (first.weekday() + 1) % 7) % 7 + 7 * (week - 1))
    while day.month != month:
        day -= datetime.timedelta(days=7)
    return day


EUROPE = Zone('W. Europe Standard Time', '(UTC+01:00) Amsterdam, Berlin, Bern, Rome, Stockholm, Vienna',
              -60, -60, (10, 0, 5, 3), (3, 0, 5, 2))
PACIFIC = Zone('Pacific Standard Time', '(UTC-08:00) Pacific Time (US & Canada)', 480, -60,
               (11, 0, 1, 2), (3, 0, 2, 2))
EASTERN = Zone('Eastern Standard Time', '(UTC-05:00) Eastern Time (US & Canada)', 300, -60,
               (11, 0, 1, 2), (3, 0, 2, 2))
TOKYO = Zone('Tokyo Standard Time', '(UTC+09:00) Osaka, Sapporo, Tokyo', -540)
INDIA = Zone('India Standard Time', '(UTC+05:30) Chennai, Kolkata, Mumbai, New Delhi', -330)
ARIZONA = Zone('US Mountain Standard Time', '(UTC-07:00) Arizona', 420)


def _systemtime(rule):
    month, weekday, week, hour = rule
    return struct.pack('<8H', 0, month, weekday, week, hour, 0, 0, 0)


def zone_definition(zone):
    """A TZDEFINITION with one rule, as PidLidAppointmentTimeZoneDefinition* hold it."""
    key = zone.key.encode('utf-16-le')
    header = struct.pack('<BBHHH', 2, 1, 6 + len(key), 2, len(key) // 2) + key
    rule = struct.pack('<BBHHH', 2, 1, 0x3E, 0x0002, 1601) + bytes(14)  # effective rule, since 1601
    rule += struct.pack('<iii', zone.bias, 0, zone.daylight_bias)
    rule += _systemtime(zone.standard_date) + _systemtime(zone.daylight_date)
    return header + struct.pack('<H', 1) + rule


def zone_struct(zone):
    """PidLidTimeZoneStruct of a series."""
    return (struct.pack('<iii', zone.bias, 0, zone.daylight_bias) + struct.pack('<H', 0) +
            _systemtime(zone.standard_date) + struct.pack('<H', 0) + _systemtime(zone.daylight_date))


def filetime(moment):
    return struct.pack('<Q', int((moment - EPOCH).total_seconds()) * 10_000_000)


def minutes(moment):
    return int((moment - EPOCH).total_seconds()) // 60


def unicode(text):
    return text.encode('utf-16-le')


def long(value):
    return struct.pack('<i', value)


def boolean(value):
    return b'\x01' if value else b'\x00'


class PropertyWriter:
    """Gathers tag -> bytes for one message, named properties through the store's map."""

    def __init__(self, names):
        self.names = names
        self.props = {}

    def set(self, tag, value):
        self.props[tag] = value

    def named(self, named, value):
        guid, lid, ptype = named
        self.props[self.names.tag(guid, lid, ptype)] = value


def calendar_contents_tags(store):
    named = [store.names.tag(*column) for column in CALENDAR_NAMED_COLUMNS]
    return list(dict.fromkeys(store.table_tags(NID_TABLE_TEMPLATES["contents"]) + CALENDAR_COLUMNS + named))


def contact_contents_tags(store):
    return list(dict.fromkeys(store.table_tags(NID_TABLE_TEMPLATES["contents"]) + CONTACT_COLUMNS))


class Identity:
    """Search keys, change keys and conversation indexes drawn from the seeded random source."""

    def __init__(self, rng):
        self.rng = rng
        self.count = 0

    def random_bytes(self, size):
        return bytes(self.rng.getrandbits(8) for _ in range(size))

    def stamp(self):
        """A creation time a second after the previous one."""
        self.count += 1
        return WRITTEN_AT + datetime.timedelta(seconds=self.count)


def _envelope(writer, identity, message_class, subject, marked=True):
    created = identity.stamp()
    writer.set(0x001A001F, unicode(message_class))
    writer.set(0x0037001F, unicode(('\x01\x01' if marked else '') + subject))  # no prefix
    writer.set(0x0070001F, unicode(subject))
    writer.set(0x00710102, b'\x01' + filetime(created)[2:7] + identity.random_bytes(16))
    writer.set(0x00390040, filetime(created))
    writer.set(0x0E060040, filetime(created))
    writer.set(0x30070040, filetime(created))
    writer.set(0x30080040, filetime(created))
    writer.set(0x300B0102, identity.random_bytes(16))
    writer.set(0x30130102, identity.random_bytes(16))
    writer.set(0x0E170003, long(0))
    return created


def _finish_size(writer):
    writer.set(0x0E080003, long(sum(len(value) for value in writer.props.values()) + 120))


def _appointment_times(writer, start_utc, end_utc, zone):
    for named in (APPT_START, APPT_CLIP_START, COMMON_START):
        writer.named(named, filetime(start_utc))
    for named in (APPT_END, APPT_CLIP_END, COMMON_END):
        writer.named(named, filetime(end_utc))
    writer.named(APPT_TIME_ZONE_DESCRIPTION, unicode(zone.description))
    writer.named(APPT_ZONE_START_DISPLAY, zone_definition(zone))


def _appointment_common(writer, identity, subject):
    _envelope(writer, identity, 'IPM.Appointment', subject)
    writer.set(0x00170003, long(1))  # normal importance
    writer.set(0x00260003, long(0))
    writer.set(0x0E070003, long(1))  # read
    writer.set(0x3FDE0003, long(1255))  # the internet code page the shared sample carries
    writer.named(COMMON_SIDE_EFFECTS, long(SIDE_EFFECTS))
    writer.named(APPT_CONFERENCING_TYPE, long(0))


def single_appointment(names, identity, subject, start_local, duration_minutes, zone, location,
                       all_day=False, body=None, extra=None):
    """A single appointment; an all-day one runs from local midnight to midnight."""
    writer = PropertyWriter(names)
    _appointment_common(writer, identity, subject)
    writer.set(0x10800003, long(0x400))  # icon: appointment
    writer.named(APPT_RECURRING, boolean(False))
    writer.named(APPT_LOCATION, unicode(location))
    writer.named(APPT_ALL_DAY, boolean(all_day))
    start_utc = zone.to_utc(start_local)
    end_utc = zone.to_utc(start_local + datetime.timedelta(minutes=duration_minutes))
    _appointment_times(writer, start_utc, end_utc, zone)
    if body is not None:
        writer.set(0x1000001F, unicode(body))
    for tag, value in (extra or {}).items():
        writer.set(tag, value)
    _finish_size(writer)
    return Message(writer.props)


@dataclass
class Series:
    """What a recurring series is made from; the pattern's dates are worked out by expand()."""
    kind: str  # daily, weekly, monthly, month-nth, yearly, year-nth
    start_local: datetime.datetime
    duration: int  # minutes
    end: str  # date, count, never
    count: int = 10
    period: int = 1  # days for daily, weeks, months (yearly: 12)
    deleted: tuple = ()  # indexes of deleted occurrences
    moved: tuple = ()  # indexes of moved ones: two hours later, with their own subject


def _add_months(moment, months):
    year, month = divmod(moment.month - 1 + months, 12)
    return moment.replace(year=moment.year + year, month=month + 1, day=1)


def _nth_weekday(first_of_month, weekday, nth):
    """The nth (5 = last) given weekday (0 = Sunday) of that month."""
    return _rule_day(first_of_month.year, (first_of_month.month, weekday, nth, 0)).replace(
        hour=first_of_month.hour, minute=first_of_month.minute)


def _sunday_based(moment):
    return (moment.weekday() + 1) % 7


def occurrences(series, how_many):
    """Local start times of the first occurrences of a series."""
    start = series.start_local
    found = []
    step = 0
    while len(found) < how_many:
        if series.kind == 'daily':
            found.append(start + datetime.timedelta(days=series.period * step))
        elif series.kind == 'weekly':
            found.append(start + datetime.timedelta(weeks=series.period * step))
        elif series.kind in ('monthly', 'yearly'):
            months = series.period * step if series.kind == 'monthly' else 12 * step
            month = _add_months(start, months)
            # A day past the month's end falls on its last day, as Outlook lays such series out.
            day = min(start.day, _month_days(month.year, month.month))
            found.append(month.replace(day=day, hour=start.hour, minute=start.minute))
        else:
            months = series.period * step if series.kind == 'month-nth' else 12 * step
            month = _add_months(start.replace(day=1), months)
            found.append(_nth_weekday(month, _sunday_based(start), _week_of(start)))
        step += 1
    return found


def _week_of(moment):
    week = (moment.day - 1) // 7 + 1
    return 5 if week == 5 else week


def _months_since_1601(moment):
    return (moment.year - 1601) * 12 + moment.month - 1


def _first_date_time(series, first_day_minutes):
    """FirstDateTime of the pattern: where the period's cycle starts, counted from 1601."""
    if series.kind == 'daily':
        return first_day_minutes % (series.period * 1440)
    if series.kind == 'weekly':
        week_start = first_day_minutes - _sunday_based(series.start_local) * 1440
        return week_start % (series.period * 7 * 1440)
    period = series.period if series.kind in ('monthly', 'month-nth') else 12
    months_into_cycle = _months_since_1601(series.start_local) % period
    return sum(_month_days(1601, month) for month in range(1, months_into_cycle + 1)) * 1440


def _month_days(year, month):
    return (_add_months(datetime.datetime(year, month, 1), 1) - datetime.datetime(year, month, 1)).days


def _pattern(series):
    """(frequency, pattern type, period on disk, type-specific bytes)."""
    start = series.start_local
    if series.kind == 'daily':
        return 'daily', recurrence.PATTERN_DAY, series.period * 1440, b''
    if series.kind == 'weekly':
        return 'weekly', recurrence.PATTERN_WEEK, series.period, struct.pack('<I', 1 << _sunday_based(start))
    if series.kind in ('monthly', 'yearly'):
        frequency = 'monthly' if series.kind == 'monthly' else 'yearly'
        period = series.period if series.kind == 'monthly' else 12
        return frequency, recurrence.PATTERN_MONTH, period, struct.pack('<I', start.day)
    frequency = 'monthly' if series.kind == 'month-nth' else 'yearly'
    period = series.period if series.kind == 'month-nth' else 12
    specific = struct.pack('<II', 1 << _sunday_based(start), _week_of(start))
    return frequency, recurrence.PATTERN_MONTH_NTH, period, specific


def recurrence_of(series, moved_subjects):
    """The blob's model of a series and the local starts of its occurrences (first ten)."""
    dates = occurrences(series, series.count)
    frequency, pattern_type, period, specific = _pattern(series)
    first_day = minutes(series.start_local.replace(hour=0, minute=0))
    start_offset = series.start_local.hour * 60 + series.start_local.minute
    exceptions = []
    for index, subject in zip(series.moved, moved_subjects):
        moved_start = minutes(dates[index]) + 120
        exceptions.append(recurrence.Exception_(minutes(dates[index]), moved_start,
                                                moved_start + series.duration, subject=subject))
    deleted = [minutes(dates[i].replace(hour=0, minute=0)) for i in series.deleted + series.moved]
    end_types = {'date': recurrence.END_BY_DATE, 'count': recurrence.END_AFTER_COUNT,
                 'never': recurrence.END_NEVER}
    last_day = minutes(dates[-1].replace(hour=0, minute=0))
    model = recurrence.Recurrence(
        frequency, pattern_type, period, _first_date_time(series, first_day), specific,
        end_types[series.end], series.count, 0, first_day,
        recurrence.NO_END_DATE if series.end == 'never' else last_day,
        start_offset, start_offset + series.duration, deleted, exceptions)
    return model, dates


def recurring_appointment(names, identity, subject, series, zone, moved_subjects=()):
    """A series item, with each moved occurrence as an embedded exception message."""
    model, dates = recurrence_of(series, moved_subjects)
    writer = PropertyWriter(names)
    _appointment_common(writer, identity, subject)
    writer.set(0x10800003, long(0x401))  # icon: recurring appointment
    writer.named(APPT_RECURRING, boolean(True))
    writer.named(APPT_RECUR, recurrence.encode(model))
    writer.named(APPT_TIME_ZONE_STRUCT, zone_struct(zone))
    writer.named(APPT_DURATION, long(series.duration))
    first_utc = zone.to_utc(dates[0])
    _appointment_times(writer, first_utc, first_utc + datetime.timedelta(minutes=series.duration), zone)
    clip_start = zone.to_utc(series.start_local.replace(hour=0, minute=0))
    clip_end = (datetime.datetime(4500, 8, 31, 23, 59) if series.end == 'never'
                else zone.to_utc(dates[-1].replace(hour=0, minute=0)))
    writer.named(APPT_CLIP_START, filetime(clip_start))
    writer.named(APPT_CLIP_END, filetime(clip_end))
    attachments = [_exception_attachment(names, identity, item, zone, series.duration)
                   for item in model.exceptions]
    if attachments:
        writer.set(0x0E070003, long(0x11))  # read, has attachments
        writer.set(0x66040003, long(546))
    _finish_size(writer)
    return Message(writer.props, attachments)


def _local_minutes_to_utc(zone, value):
    return zone.to_utc(EPOCH + datetime.timedelta(minutes=value))


def _exception_attachment(names, identity, item, zone, duration):
    """The attachment that holds a moved occurrence as an embedded message (MS-OXOCAL)."""
    start_utc = _local_minutes_to_utc(zone, item.start)
    end_utc = _local_minutes_to_utc(zone, item.end)
    original_utc = _local_minutes_to_utc(zone, item.original_start)
    embedded = PropertyWriter(names)
    _envelope(embedded, identity, CLASS_EXCEPTION, item.subject, marked=False)
    for tag in (0x00710102, 0x30130102, 0x00390040, 0x0E060040, 0x0E170003):
        del embedded.props[tag]
    embedded.set(0x0002000B, boolean(True))
    embedded.set(0x00260003, long(0))
    embedded.set(0x00600040, filetime(start_utc))
    embedded.set(0x00610040, filetime(end_utc))
    embedded.set(0x0E070003, long(1))
    embedded.named(APPT_BUSY_STATUS, long(BUSY))
    for named, moment in ((APPT_START, start_utc), (APPT_END, end_utc), (APPT_CLIP_START, start_utc),
                          (APPT_CLIP_END, end_utc), (COMMON_START, start_utc), (COMMON_END, end_utc),
                          (APPT_EXCEPTION_REPLACE_TIME, original_utc)):
        embedded.named(named, filetime(moment))
    embedded.named(APPT_LOCATION, b'')
    embedded.named(APPT_COLOR, long(0))
    embedded.named(APPT_DURATION, long(duration))
    _finish_size(embedded)
    props = {
        0x0E200003: long(546), 0x3001001F: unicode('Untitled'), 0x3702001F: b'',
        0x37050003: long(ATTACH_EMBEDDED_MESSAGE), 0x370B0003: long(-1), 0x37140003: long(0),
        0x7FF90040: filetime(original_utc), 0x7FFA0003: long(0), 0x7FFB0040: filetime(start_utc),
        0x7FFC0040: filetime(end_utc), 0x7FFD0003: long(EXCEPTION_ATTACHMENT_FLAGS),
        0x7FFE000B: boolean(True), 0x7FFF000B: boolean(False),
    }
    return Attachment(props, Message(embedded.props))


def file_attachment(name, data):
    """A plain file attachment (method 1, bytes in PR_ATTACH_DATA_BIN)."""
    return Attachment({0x0E200003: long(len(data) + 200), 0x3001001F: unicode(name),
                       0x3704001F: unicode(name), 0x3707001F: unicode(name), 0x37010102: data,
                       0x37050003: long(1), 0x370B0003: long(-1), 0x37140003: long(0)})


# Every property of a contact that the contact export reads, by Outlook's tags (MS-OXOCNTC, MS-OXPROPS),
# each with a value that names it, so that a property taken from the wrong tag shows in the card.
EVERY_CONTACT_TEXT = {
    0x3A45001F: 'Dr.',  # PidTagDisplayNamePrefix
    0x3A06001F: 'Given',
    0x3A44001F: 'Middle',
    0x3A11001F: 'Surname',
    0x3A16001F: 'Company Ltd',
    0x3A17001F: 'Job Title',
    0x3A4F001F: 'Nick Name',
    0x3A08001F: '+1 555 0101 business',
    0x3A09001F: '+1 555 0102 home',
    0x3A1C001F: '+1 555 0103 mobile',
    0x3A5D001F: '2 Home Street',
    0x3A59001F: 'Home City',
    0x3A5C001F: 'Home State',
    0x3A5B001F: '20202',
    0x3A5A001F: 'Home Country',
    0x3A5E001F: 'Home PO Box',
    0x3A15001F: 'Business full address',  # PidTagPostalAddress, the mailing address
    0x1000001F: 'Note, first line\r\nsecond line',
}
EVERY_CONTACT_NAMED_TEXT = {
    0x8005: 'Surname, Given (file as)',  # PidLidFileUnder
    0x801A: 'Home full address',
    0x801B: 'Business full address',
    0x8045: '1 Business Street',
    0x8046: 'Business City',
    0x8047: 'Business State',
    0x8048: '10101',
    0x8049: 'Business Country',
    0x804A: 'Business PO Box',
    0x802B: 'https://html.example.org/',  # PidLidHtml, the web page
    0x8082: 'SMTP', 0x8083: 'one@example.org',
    0x8092: 'SMTP', 0x8093: 'two@example.org',
    0x80A2: 'SMTP', 0x80A3: 'three@example.org',
}


def every_member_contact(names, identity):
    """A contact holding every property the contact export reads; its birthday and anniversary as
    Outlook keeps them, the local midnight in PidLidBirthdayLocal and PidLidWeddingAnniversaryLocal and
    the writer's midnight (UTC+1 here) in UTC in PidTagBirthday and PidTagWeddingAnniversary."""
    writer = PropertyWriter(names)
    _envelope(writer, identity, 'IPM.Contact', 'Dr. Given Middle Surname')
    writer.set(0x3001001F, unicode('Dr. Given Middle Surname'))
    for tag, value in EVERY_CONTACT_TEXT.items():
        writer.set(tag, unicode(value))
    for lid, value in EVERY_CONTACT_NAMED_TEXT.items():
        writer.named((PSETID_ADDRESS, lid, ltp.PT_UNICODE), unicode(value))
    for utc_tag, local_lid, day in ((0x3A420040, 0x80DE, datetime.datetime(1980, 2, 29)),
                                    (0x3A410040, 0x80DF, datetime.datetime(2005, 6, 15))):
        writer.set(utc_tag, filetime(day - datetime.timedelta(hours=1)))
        writer.named((PSETID_ADDRESS, local_lid, ltp.PT_SYSTIME), filetime(day))
    _finish_size(writer)
    return Message(writer.props)


def contact(names, identity, index, birthday=None, given=None, surname=None, strings8=None):
    """A contact; strings8 = code page makes its strings 8-bit (PT_STRING8) in that code page."""
    given = given or 'First%d' % index
    surname = surname or 'Läst%d' % index
    writer = PropertyWriter(names)

    def text(tag, value):
        if strings8:
            writer.set((tag & ~0xFFFF) | ltp.PT_STRING8, value.encode('cp%d' % strings8))
        else:
            writer.set(tag, unicode(value))

    _envelope(writer, identity, 'IPM.Contact', 'Contact %d' % index)
    writer.set(0x0E070003, long(0))
    text(0x3001001F, '%s %s' % (given, surname))
    text(0x3A06001F, given)
    text(0x3A11001F, surname)
    text(0x3A08001F, '+1 555 %d' % index)
    if strings8:
        for tag in (0x0037001F, 0x0070001F):
            writer.props.pop(tag)
        text(0x0037001F, '\x01\x01%s %s' % (given, surname))
        text(0x0070001F, '%s %s' % (given, surname))
        writer.set(0x3FFD0003, long(strings8))  # PidTagMessageCodepage
    if birthday is not None:
        writer.set(0x3A420040, filetime(birthday))
    writer.named(EMAIL1_ADDRESS, unicode('user%d@example.org' % index))
    writer.named(EMAIL1_ADDRESS_TYPE, unicode('SMTP'))
    _finish_size(writer)
    return Message(writer.props)
