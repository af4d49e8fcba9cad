# SPDX-License-Identifier: GPL-3.0-or-later
"""Exports the edge-case mailbox and the demo mailbox with kalendro-export and reads the files back with
python-icalendar and python-vobject, as khal, Radicale and khard do. Checks counts and values, after
the reader's own unescaping, against what the mailboxes hold; prints every difference and exits
non-zero when there is one.

    /usr/bin/python3 read_back.py KALENDRO_EXPORT EDGE_CASES_MAILBOX DEMO_MAILBOX
"""
import datetime
import os
import pathlib
import subprocess
import sys
import tempfile

import icalendar
import vobject

EVENTS = {
    "0000EDGE0001": {
        "start": datetime.datetime(2027, 3, 1, 9, 0),
        "end": datetime.datetime(2027, 3, 1, 10, 0),
        "summary": "Backup C:\\temp\\new; then, copy",
        "location": "Room 1; floor 2, wing \\A\\",
        "description": "Line one, with comma; semicolon\nLine two \\n is no break\nLine three\nLine four",
        "categories": ["Work", "Project; X", "Back\\slash"],
    },
    "0000EDGE0002": {
        "start": datetime.datetime(2027, 3, 2, 12, 0),
        "end": None,
        "summary": "Reminder without length",
        "location": None,
        "description": "",
        "categories": None,
    },
    "0000EDGE0003-20270303": {
        "start": datetime.datetime(2027, 3, 3, 14, 0),
        "end": datetime.datetime(2027, 3, 3, 14, 30),
        "summary": 'Weekly sync, team "A"',
        "location": "Online",
        "description": "Series body",
        "categories": ["Work"],
    },
    "0000EDGE0003-20270317": {
        "start": datetime.datetime(2027, 3, 18, 9, 0),
        "end": datetime.datetime(2027, 3, 18, 9, 45),
        "summary": "Weekly sync; moved",
        "location": "Online",
        "description": "Moved to Thursday",
        "categories": ["Work"],
    },
    "0000EDGE0003-20270324": {
        "start": datetime.datetime(2027, 3, 24, 14, 0),
        "end": datetime.datetime(2027, 3, 24, 14, 30),
        "summary": 'Weekly sync, team "A"',
        "location": "Online",
        "description": "Series body",
        "categories": ["Work"],
    },
    "0000EDGE0003-20270331": {
        "start": datetime.datetime(2027, 3, 31, 14, 0),
        "end": datetime.datetime(2027, 3, 31, 14, 30),
        "summary": 'Weekly sync, team "A"',
        "location": "Online",
        "description": "Series body",
        "categories": ["Work"],
    },
    "0000EDGE0004": {
        "start": datetime.datetime(2027, 3, 5, 0, 0),
        "end": datetime.datetime(2027, 3, 6, 0, 0),
        "summary": "Holiday",
        "location": None,
        "description": "",
        "categories": None,
    },
}

CONTACT = {
    "fn": "O'Neil; Jr, Dr. Ann;e B\\C",
    "family": "O'Neil; Jr",
    "given": "Ann;e",
    "additional": "B\\C",
    "prefix": "Dr.",
    "org": ["Initech; Ltd"],
    "street": "1 Main St; Apt 3",
    "city": "Springfield",
    "region": "Apt 3; rear",
    "code": "12345",
    "country": "USA",
}

failures = []


def expect(what, actual, expected):
    if actual != expected:
        failures.append(f"{what}: read {actual!r}, expected {expected!r}")


def export(program, mailbox, month, work):
    """The calendar of the month and the contacts, in UTF-8 whatever the caller's locale."""
    work.mkdir()
    environment = dict(os.environ, LC_ALL="C.UTF-8")
    subprocess.run([program, "calendar", "--store", mailbox, "--target", str(work), "--from", f"{month}-01",
                    "--to", f"{month}-31"], check=True, stdout=subprocess.DEVNULL, env=environment)
    subprocess.run([program, "contacts", "--store", mailbox, "--output", str(work / "contacts.vcf")], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=environment)
    return (work / "Calendars" / "vCalendar.ics").read_bytes(), (work / "contacts.vcf").read_bytes()


def text_or_none(component, name):
    value = component.get(name)
    return None if value is None else str(value)


def categories_of(component):
    value = component.get("categories")
    if value is None:
        return None
    lists = value if isinstance(value, list) else [value]
    return [str(name) for item in lists for name in item.cats]


def as_icalendar_4_reads(text):
    """python-icalendar 4.0 (Debian 12) unescapes "\\n" before "\\\\", so a backslash followed by n comes
    back as a line break however it is escaped; libical and python-vobject read such a text whole."""
    return None if text is None else text.replace("\\n", "\n")


def check_edge_cases_with_icalendar(ics):
    events = icalendar.Calendar.from_ical(ics).walk("VEVENT")
    expect("icalendar: number of events", len(events), len(EVENTS))
    for event in events:
        uid = str(event["uid"])
        if uid not in EVENTS:
            failures.append(f"icalendar: unexpected UID {uid!r}")
            continue
        wanted = EVENTS[uid]
        expect(f"icalendar {uid} DTSTART", event.decoded("dtstart"), wanted["start"])
        expect(f"icalendar {uid} DTEND", event.decoded("dtend") if "dtend" in event else None, wanted["end"])
        expect(f"icalendar {uid} SUMMARY", text_or_none(event, "summary"),
               as_icalendar_4_reads(wanted["summary"]))
        expect(f"icalendar {uid} LOCATION", text_or_none(event, "location"),
               as_icalendar_4_reads(wanted["location"]))
        expect(f"icalendar {uid} DESCRIPTION", text_or_none(event, "description"),
               as_icalendar_4_reads(wanted["description"]))
        expect(f"icalendar {uid} CATEGORIES", categories_of(event), wanted["categories"])


def check_edge_cases_with_vobject(ics, vcf):
    events = list(vobject.readOne(ics.decode("utf-8")).vevent_list)
    expect("vobject: number of events", len(events), len(EVENTS))
    for event in events:
        uid = event.uid.value
        wanted = EVENTS.get(uid)
        if wanted is None:
            failures.append(f"vobject: unexpected UID {uid!r}")
            continue
        expect(f"vobject {uid} SUMMARY", event.summary.value, wanted["summary"])
        location = event.location.value if hasattr(event, "location") else None
        expect(f"vobject {uid} LOCATION", location, wanted["location"])
        expect(f"vobject {uid} DESCRIPTION", event.description.value, wanted["description"])
        categories = event.categories.value if hasattr(event, "categories") else None
        expect(f"vobject {uid} CATEGORIES", categories, wanted["categories"])
        expect(f"vobject {uid} has DTEND", hasattr(event, "dtend"), wanted["end"] is not None)

    cards = list(vobject.readComponents(vcf.decode("utf-8")))
    expect("vobject: number of cards", len(cards), 2)
    card = next(card for card in cards if card.uid.value == "0000EDGE0101")
    expect("vobject FN", card.fn.value, CONTACT["fn"])
    name = card.n.value
    for part in ("family", "given", "additional", "prefix"):
        expect(f"vobject N {part}", getattr(name, part), CONTACT[part])
    expect("vobject ORG", card.org.value, CONTACT["org"])
    address = card.adr.value
    for part in ("street", "city", "region", "code", "country"):
        expect(f"vobject ADR {part}", getattr(address, part), CONTACT[part])


def check_demo(ics, vcf):
    """December 2026 of the demo mailbox: every event under its own UID, every contact's card."""
    by_icalendar = icalendar.Calendar.from_ical(ics).walk("VEVENT")
    by_vobject = list(vobject.readOne(ics.decode("utf-8")).vevent_list)
    uids_by_reader = {"icalendar": [str(event["uid"]) for event in by_icalendar],
                      "vobject": [event.uid.value for event in by_vobject]}
    for reader, uids in uids_by_reader.items():  # 59: the month as python-dateutil expands the demo's series
        expect(f"demo {reader}: number of events", len(uids), 59)
        expect(f"demo {reader}: number of distinct UIDs", len(set(uids)), 59)
    stand_ups = [event for event in by_icalendar if str(event["summary"]) == "Daily stand-up"]
    expect("demo: stand-ups", len(stand_ups), 22)
    moved = [event for event in stand_ups if str(event["uid"]).endswith("-20261201")]
    expect("demo: moved stand-up", [(event.decoded("dtstart"), str(event["location"])) for event in moved],
           [(datetime.datetime(2026, 12, 1, 10, 30), "Online (video call)")])
    book_club = [event for event in by_vobject if event.summary.value == "Book club"]
    expect("demo: book club location", [event.location.value for event in book_club], ["Café Luise, Bergstraße 4"])

    cards = list(vobject.readComponents(vcf.decode("utf-8")))
    expect("demo: number of cards", len(cards), 12)
    doe = [card for card in cards if card.n.value.family == "Doe"]
    expect("demo: Doe's company", [card.org.value for card in doe], [["Doe, Smith & Partners"]])
    expect("demo: Doe's work street", [card.adr.value.street for card in doe], ["400 Market Street, Suite 12"])


def main():
    program, edge_cases, demo = sys.argv[1], sys.argv[2], sys.argv[3]
    with tempfile.TemporaryDirectory() as work:
        ics, vcf = export(program, edge_cases, "2027-03", pathlib.Path(work) / "edge")
        demo_ics, demo_vcf = export(program, demo, "2026-12", pathlib.Path(work) / "demo")
    check_edge_cases_with_icalendar(ics)
    check_edge_cases_with_vobject(ics, vcf)
    check_demo(demo_ics, demo_vcf)
    for failure in failures:
        print(failure)
    print(f"read back with python-icalendar and python-vobject: {len(failures)} differences")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
