#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes a large synthetic mailbox for the calendar export benchmark.

100,000 single appointments spread over ten years and 5,000 recurring series of every recurrence
type, a fifth of them with deleted or modified exceptions. The exceptions' original dates are
real occurrences, worked out with python3-dateutil's rrule on patterns where its rules and the
mailbox's agree (days of month 1 to 28, one weekday for the nth-day types). Seeded, so the same
arguments always give the same file.
"""

import argparse
import datetime as dt
import itertools
import json
import random

from dateutil import rrule

FIRST_DAY = dt.date(2016, 1, 1)
DAYS = 3653  # ten years
WEEKDAYS = [rrule.SU, rrule.MO, rrule.TU, rrule.WE, rrule.TH, rrule.FR, rrule.SA]  # mask bit order


def stamp(moment):
    return moment.strftime("%Y-%m-%dT%H:%M:%S")


def random_moment(rng):
    day = FIRST_DAY + dt.timedelta(days=rng.randrange(DAYS))
    return dt.datetime(day.year, day.month, day.day, rng.randrange(7, 20), rng.choice([0, 15, 30, 45]))


def common_members(rng, index, start, end, subject):
    created = start - dt.timedelta(days=rng.randrange(1, 60), minutes=rng.randrange(600))
    members = {
        "type": "AppointmentItem",
        "Subject": subject,
        "Start": stamp(start),
        "End": stamp(end),
        "CreationTime": stamp(created),
        "LastModificationTime": stamp(created + dt.timedelta(minutes=rng.randrange(1, 5000))),
        "EntryID": "%032X" % (0xB000000000000000 + index),
        "Importance": rng.randrange(3),
    }
    if rng.random() < 0.5:
        members["Location"] = "Room %d" % rng.randrange(1, 40)
    if rng.random() < 0.6:
        members["Body"] = "Agenda item %d\r\nBring the figures; notes, slides\r\nand the plan" % index
    if rng.random() < 0.3:
        members["Categories"] = rng.choice(["Business", "Personal", "Travel", "Business, Travel"])
    return members


def single_appointment(rng, index):
    start = random_moment(rng)
    if rng.random() < 0.1:
        start = start.replace(hour=0, minute=0)
        members = common_members(rng, index, start, start + dt.timedelta(days=1), "All day %d" % index)
        members["AllDayEvent"] = True
        return members
    end = start + dt.timedelta(minutes=rng.choice([30, 60, 90, 120, 180]))
    return common_members(rng, index, start, end, "Meeting %d" % index)


def random_pattern(rng, kind):
    """The mailbox pattern and the matching rrule keyword arguments."""
    if kind == 0:
        interval = rng.randrange(1, 6)
        return {"RecurrenceType": 0, "Interval": interval}, {"freq": rrule.DAILY, "interval": interval}
    if kind == 1:
        interval = rng.randrange(1, 4)
        days = sorted(rng.sample(range(7), rng.randrange(1, 4)))
        mask = sum(1 << day for day in days)
        return ({"RecurrenceType": 1, "Interval": interval, "DayOfWeekMask": mask},
                {"freq": rrule.WEEKLY, "interval": interval, "byweekday": [WEEKDAYS[d] for d in days]})
    if kind == 2:
        interval, day = rng.randrange(1, 4), rng.randrange(1, 29)
        return ({"RecurrenceType": 2, "Interval": interval, "DayOfMonth": day},
                {"freq": rrule.MONTHLY, "interval": interval, "bymonthday": day})
    if kind == 3:
        interval, weekday, instance = rng.randrange(1, 4), rng.randrange(7), rng.randrange(1, 6)
        nth = -1 if instance == 5 else instance
        return ({"RecurrenceType": 3, "Interval": interval, "DayOfWeekMask": 1 << weekday, "Instance": instance},
                {"freq": rrule.MONTHLY, "interval": interval, "byweekday": WEEKDAYS[weekday](nth)})
    month, day = rng.randrange(1, 13), rng.randrange(1, 29)
    if kind == 5:
        return ({"RecurrenceType": 5, "Interval": 1, "MonthOfYear": month, "DayOfMonth": day},
                {"freq": rrule.YEARLY, "bymonth": month, "bymonthday": day})
    weekday, instance = rng.randrange(7), rng.randrange(1, 6)
    nth = -1 if instance == 5 else instance
    return ({"RecurrenceType": 6, "Interval": 1, "MonthOfYear": month, "DayOfWeekMask": 1 << weekday,
             "Instance": instance},
            {"freq": rrule.YEARLY, "bymonth": month, "byweekday": WEEKDAYS[weekday](nth)})


def add_end(rng, pattern, rule, begin):
    choice = rng.randrange(3)
    if choice == 0:
        last = begin + dt.timedelta(days=rng.randrange(30, 8 * 365))
        pattern["PatternEndDate"] = last.strftime("%Y-%m-%d")
        rule["until"] = dt.datetime(last.year, last.month, last.day, 23, 59, 59)
    elif choice == 1:
        pattern["Occurrences"] = rule["count"] = rng.randrange(3, 200)
    else:
        pattern["NoEndDate"] = True


def exceptions(rng, occurrences, duration):
    chosen = rng.sample(occurrences[1:], min(len(occurrences) - 1, rng.randrange(1, 4)))
    result = []
    for original in sorted(chosen):
        if rng.random() < 0.5:
            result.append({"OriginalDate": stamp(original), "Deleted": True})
        else:
            moved = original + dt.timedelta(hours=rng.choice([-2, 1, 3]))
            result.append({"OriginalDate": stamp(original), "Subject": "Moved occurrence",
                           "Start": stamp(moved), "End": stamp(moved + duration)})
    return result


def recurring_series(rng, index, kind):
    begin = random_moment(rng)
    pattern, rule = random_pattern(rng, kind)
    add_end(rng, pattern, rule, begin)
    occurrences = list(itertools.islice(rrule.rrule(dtstart=begin, wkst=rrule.SU, **rule), 50))
    if not occurrences:
        return None
    duration = dt.timedelta(minutes=rng.choice([30, 45, 60, 120]))
    pattern["PatternStartDate"] = begin.strftime("%Y-%m-%d")
    members = common_members(rng, index, occurrences[0], occurrences[0] + duration, "Series %d" % index)
    if len(occurrences) > 1 and rng.random() < 0.2:
        pattern["Exceptions"] = exceptions(rng, occurrences, duration)
    members["Recurrence"] = pattern
    return members


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output")
    parser.add_argument("--singles", type=int, default=100_000)
    parser.add_argument("--series", type=int, default=5_000)
    parser.add_argument("--seed", type=int, default=2002)
    arguments = parser.parse_args()
    rng = random.Random(arguments.seed)
    items = [single_appointment(rng, index) for index in range(arguments.singles)]
    kinds = [0, 1, 2, 3, 5, 6]
    for number in range(arguments.series):
        series = recurring_series(rng, arguments.singles + number, kinds[number % len(kinds)])
        if series is not None:
            items.append(series)
    rng.shuffle(items)
    mailbox = {"format": "kalendro-mailbox/1", "stores": [{"name": "Personal Folders", "folders": [
        {"name": "Calendar", "defaultItemType": 1, "default": "calendar", "items": items}]}]}
    with open(arguments.output, "w", encoding="utf-8") as file:
        json.dump(mailbox, file, ensure_ascii=False)


if __name__ == "__main__":
    main()
