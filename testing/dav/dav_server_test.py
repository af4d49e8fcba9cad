# SPDX-License-Identifier: GPL-3.0-or-later
"""Puts exports into a real CalDAV/CardDAV server: Debian's Radicale, started by the test on 127.0.0.1
with a free port, a temporary storage folder and a user in a plain htpasswd file, and stopped again.
Reads each collection back and checks that every event and card arrived, that a second run updates,
that --prune removes only what it should, and how wrong passwords, missing collections and a server
that goes away mid-run are reported. No other address is contacted.

    /usr/bin/python3 dav_server_test.py KALENDRO_EXPORT SOURCE_DIR
"""
import base64
import os
import pathlib
import re
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.error
import urllib.request
import xml.etree.ElementTree as ElementTree

EXPORT = SOURCE = None
USER, PASSWORD = "alice", "s3cret pass"
CAL_PRODID = "PRODID:-//MOLV Calender Export//MOLVCal 1.0 MIMEDIR//EN"


class Radicale:
    """A Radicale server of its own for one test class, on a port no one else uses."""

    def __init__(self, folder):
        self.folder = pathlib.Path(folder)
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            self.port = probe.getsockname()[1]
        (self.folder / "users").write_text(f"{USER}:{PASSWORD}\n")
        (self.folder / "config").write_text(
            f"[server]\nhosts = 127.0.0.1:{self.port}\n[auth]\ntype = htpasswd\n"
            f"htpasswd_filename = {self.folder / 'users'}\nhtpasswd_encryption = plain\n"
            f"[storage]\nfilesystem_folder = {self.folder / 'storage'}\n[rights]\ntype = owner_only\n"
            "[logging]\nlevel = warning\n")
        self.base = f"http://127.0.0.1:{self.port}/{USER}/"
        self.process = None

    def start(self):
        self.process = subprocess.Popen(["radicale", "--config", str(self.folder / "config")],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(200):
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                return
            except OSError:
                time.sleep(0.05)
        raise RuntimeError("Radicale did not start")

    def stop(self):
        self.process.terminate()
        self.process.wait(10)

    def request(self, method, path, body=None, headers=None):
        url = path if path.startswith("http") else f"http://127.0.0.1:{self.port}{path}"
        request = urllib.request.Request(url, data=body.encode() if isinstance(body, str) else body,
                                         method=method, headers=headers or {})
        token = base64.b64encode(f"{USER}:{PASSWORD}".encode()).decode()
        request.add_header("Authorization", "Basic " + token)
        with urllib.request.urlopen(request) as answer:
            return answer.read().decode()

    def make(self, name, kind):
        if kind == "calendar":
            self.request("MKCALENDAR", self.base + name + "/")
        else:
            self.request("MKCOL", self.base + name + "/", headers={"Content-Type": "application/xml"}, body=(
                '<?xml version="1.0"?><D:mkcol xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:carddav"><D:set>'
                "<D:prop><D:resourcetype><D:collection/><C:addressbook/></D:resourcetype></D:prop></D:set></D:mkcol>"))
        return self.base + name + "/"

    def members(self, url):
        """The collection's members by name, each read with GET."""
        answer = self.request("PROPFIND", url, headers={"Depth": "1"},
                              body='<propfind xmlns="DAV:"><prop><getetag/></prop></propfind>')
        hrefs = [element.text for element in ElementTree.fromstring(answer).iter("{DAV:}href")]
        return {href.rsplit("/", 1)[1]: self.request("GET", href) for href in hrefs if not href.endswith("/")}


def canonical(line):
    """A content line with its parameters in one order and its types as one TYPE= list (bare types being
    vCard 2.1's way of writing them), without the parameter Radicale's writer adds, and a semicolon in a
    value of one component with or without its backslash, as a writer may escape it or not."""
    head, value = line.split(":", 1)
    name, *parameters = head.split(";")
    if name.upper() not in ("N", "ADR", "ORG"):
        value = value.replace("\\;", ";")
    types = sorted(t.upper() for p in parameters for t in (p[5:].split(",") if p.upper().startswith("TYPE=")
                                                             else [] if "=" in p else [p]))
    others = sorted(p for p in parameters if "=" in p and not p.upper().startswith(("TYPE=", "X-VOBJ-")))
    return ";".join([name] + ([f"TYPE={','.join(types)}"] if types else []) + others) + ":" + value


def content_lines(text):
    """A component's content lines, unfolded, canonical and sorted: the server stores what it parsed, so
    its copy holds the same properties with the same values and parameters, not the same bytes."""
    unfolded = re.sub(r"\r?\n[ \t]", "", text.replace("\r\n", "\n"))
    return sorted(canonical(line) for line in unfolded.split("\n") if line)


def blocks(text, component):
    return re.findall(rf"BEGIN:{component}\r\n.*?END:{component}\r\n", text, re.S)


def uid_of(block):
    return re.search(r"^UID:(.*?)\r?$", re.sub(r"\r?\n[ \t]", "", block), re.M).group(1)


# An empty home of the test's own, so that no ~/.netrc of the user's is read.
EMPTY_HOME = tempfile.mkdtemp(prefix="kalendro-dav-home-")


def export(*arguments, password=PASSWORD, home=EMPTY_HOME):
    environment = dict(os.environ, HOME=home, LC_ALL="C.UTF-8")
    environment.pop("KALENDRO_PASSWORD", None)
    if password is not None:
        environment["KALENDRO_PASSWORD"] = password
    return subprocess.run([EXPORT, *arguments], capture_output=True, text=True, env=environment, check=False)


class DavServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory()
        cls.server = Radicale(cls.scratch.name)
        cls.server.start()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        cls.scratch.cleanup()
        os.rmdir(EMPTY_HOME)

    def file_export(self, command, store, *arguments):
        folder = tempfile.mkdtemp(dir=self.scratch.name)
        if command == "calendar":
            run = export("calendar", "--store", store, "--target", folder, *arguments)
            self.assertEqual(run.returncode, 0, run.stderr)
            return (pathlib.Path(folder) / "Calendars" / "vCalendar.ics").read_bytes().decode()
        output = pathlib.Path(folder) / "contacts.vcf"
        run = export("contacts", "--store", store, "--output", str(output), *arguments)
        self.assertEqual(run.returncode, 0, run.stderr)
        return output.read_bytes().decode()

    @staticmethod
    def file_members(file_text):
        return [uid_of(block) + ".vcf" for block in blocks(file_text, "VCARD")]

    def assert_arrived(self, url, file_text, component, extension):
        """Every block of the file is the member UID.EXT, with the same content lines."""
        members = self.server.members(url)
        expected = {uid_of(block) + extension: block for block in blocks(file_text, component)}
        self.assertEqual(sorted(members), sorted(name.replace("/", "%2F") for name in expected))
        for name, block in expected.items():
            served = blocks(members[name].replace("\r\n", "\n").replace("\n", "\r\n"), component)
            self.assertEqual(content_lines(served[0]), content_lines(block), name)
        return members

    def put(self, command, store, url, *arguments):
        option = "--caldav" if command == "calendar" else "--carddav"
        return export(command, "--store", store, option, url, "--user", USER, *arguments)

    def test_calendars_arrive_event_by_event_and_a_second_run_updates_them(self):
        for store, first, last in (("samples/demo-mailbox.json", "2026-12-01", "2026-12-31"),
                                   ("testing/data/pst/outlook-com-4k.ost", "2021-01-01", "2021-12-31")):
            with self.subTest(store=store):
                days = ("--from", first, "--to", last)
                url = self.server.make(pathlib.Path(store).stem, "calendar")
                file_text = self.file_export("calendar", SOURCE / store, *days)
                count = len(blocks(file_text, "VEVENT"))
                self.assertGreater(count, 0)
                for _ in range(2):
                    run = self.put("calendar", SOURCE / store, url, *days)
                    self.assertEqual(run.returncode, 0, run.stderr)
                    self.assertTrue(run.stdout.endswith(f"{count} events put to {url}\n"), run.stdout)
                members = self.assert_arrived(url, file_text, "VEVENT", ".ics")
                self.assertTrue(all(CAL_PRODID in text and "METHOD" not in text for text in members.values()))

    def test_address_books_arrive_card_by_card(self):
        for store in ("samples/demo-mailbox.json", "testing/data/pst/sample-contacts.pst"):
            with self.subTest(store=store):
                url = self.server.make(pathlib.Path(store).stem + "-contacts", "addressbook")
                file_text = self.file_export("contacts", SOURCE / store)
                run = self.put("contacts", SOURCE / store, url)
                self.assertEqual(run.returncode, 0, run.stderr)
                self.assertEqual(run.stdout, f"{len(blocks(file_text, 'VCARD'))} contacts put to {url}\n")
                self.assert_arrived(url, file_text, "VCARD", ".vcf")
        stale = "BEGIN:VCARD\r\nVERSION:3.0\r\n{prodid}\r\nFN:Gone\r\nN:Gone;;;;\r\nUID:{uid}\r\nEND:VCARD\r\n"
        for uid, prodid in (("stale", "PRODID:-//MOLV vCard Export Outlook//Version 0.1//EN"), ("own", "PRODID:-//Other//EN")):
            self.server.request("PUT", url + uid + ".vcf", stale.format(uid=uid, prodid=prodid),
                                headers={"Content-Type": "text/vcard"})
        run = self.put("contacts", SOURCE / store, url, "--prune")
        self.assertTrue(run.stdout.endswith(f"1 contacts removed from {url}\n"), run.stdout)
        self.assertEqual(sorted(set(self.server.members(url)) - set(self.file_members(file_text))), ["own.vcf"])

    def test_prune_removes_only_earlier_events_of_this_program_in_the_range(self):
        url = self.server.make("pruned", "calendar")
        days = ("--from", "2026-12-01", "--to", "2026-12-31")
        event = "BEGIN:VCALENDAR\r\n{prodid}\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:{uid}\r\nDTSTAMP:20260101T000000Z\r\n" \
                "DTSTART:{start}\r\nDTEND:{start}\r\nSUMMARY:x\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"
        for uid, prodid, start in (("stale", CAL_PRODID, "20261215T100000"),
                                   ("foreign", "PRODID:-//Other//EN", "20261215T100000"),
                                   ("outside", CAL_PRODID, "20270115T100000")):
            self.server.request("PUT", url + uid + ".ics", event.format(uid=uid, prodid=prodid, start=start),
                                headers={"Content-Type": "text/calendar"})
        without = self.put("calendar", SOURCE / "samples/demo-mailbox.json", url, *days)
        self.assertEqual(without.returncode, 0, without.stderr)
        self.assertIn("stale.ics", self.server.members(url))
        run = self.put("calendar", SOURCE / "samples/demo-mailbox.json", url, *days, "--prune")
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertTrue(run.stdout.endswith(f"1 events removed from {url}\n"), run.stdout)
        names = self.server.members(url)
        self.assertNotIn("stale.ics", names)
        self.assertIn("foreign.ics", names)
        self.assertIn("outside.ics", names)

    def test_refusals_name_the_url_and_the_status(self):
        url = self.server.make("refusals", "calendar")
        store = SOURCE / "samples/demo-mailbox.json"
        home = tempfile.mkdtemp(dir=self.scratch.name)
        for arguments, password, status, words in (
                ((url,), "wrong", "401", "the user name or password was refused"),
                ((self.server.base + "missing/",), PASSWORD, "404", "there is no collection at this URL"),
                ((self.server.make("book", "addressbook"),), PASSWORD, "409", "this is no calendar collection")):
            with self.subTest(status=status):
                run = export("calendar", "--store", str(store), "--caldav", *arguments, "--user", USER,
                             password=password, home=home)
                self.assertEqual(run.returncode, 1)
                self.assertIn(f"Run-time error '{status}'", run.stderr)
                self.assertIn(arguments[0], run.stderr)
                self.assertIn(words, run.stderr)
                self.assertEqual(run.stdout.count(" put to "), 0)
        pathlib.Path(home, ".netrc").write_text(f'machine 127.0.0.1 login {USER} password "{PASSWORD}"\n')
        os.chmod(pathlib.Path(home, ".netrc"), 0o600)
        run = export("contacts", "--store", str(store), "--carddav", self.server.base + "book/", password=None, home=home)
        self.assertEqual(run.returncode, 0, run.stderr)

    def test_a_server_gone_mid_run_is_reported_and_a_second_run_converges(self):
        url = self.server.make("interrupted", "calendar")
        command = [EXPORT, "calendar", "--store", str(SOURCE / "samples/demo-mailbox.json"), "--caldav", url,
                   "--user", USER, "--from", "2026-07-01", "--to", "2026-12-31"]
        scratch = tempfile.mkdtemp(dir=self.scratch.name)
        environment = dict(os.environ, KALENDRO_PASSWORD=PASSWORD, HOME=EMPTY_HOME, TMPDIR=scratch)

        def interrupted(interrupt):
            with subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                  env=environment) as run:
                for line in run.stderr:
                    if "(20 of" in line:
                        break
                interrupt(run)
                out, err = run.communicate()
                return run.returncode, out, err

        returncode, stdout, stderr = interrupted(lambda run: self.server.stop())
        try:
            self.assertEqual(returncode, 1)
            self.assertIn("Run-time error '68'", stderr)
            self.assertIn("the server could not be reached", stderr)
            done, total = map(int, re.search(r"(\d+) of (\d+) events were put before the failure", stderr).groups())
            self.assertGreaterEqual(done, 20)
            self.assertLess(done, total)
            self.assertNotIn(" put to ", stdout)
        finally:
            self.server.start()
        self.assertEqual(os.listdir(scratch), [])
        # The scratch copy of the store's data is gone before the upload, so that a run stopped
        # during it leaves none behind either.
        self.assertEqual(interrupted(lambda run: run.terminate())[0], -15)
        self.assertEqual(os.listdir(scratch), [])
        again = subprocess.run(command, capture_output=True, text=True, env=environment, check=False)
        self.assertEqual(again.returncode, 0, again.stderr)
        self.assertEqual(len(self.server.members(url)), total)


if __name__ == "__main__":
    EXPORT, SOURCE = sys.argv[1], pathlib.Path(sys.argv[2])
    unittest.main(argv=sys.argv[:1], verbosity=2)
