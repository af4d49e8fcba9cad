# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes Unicode PST files (format 23, 512-byte pages) for Kalendro's benchmarks and tests.

What it writes: a byte copy of a base file written by Outlook (testing/data/pst/empty.pst) with new
folders and messages: calendars of single appointments in several zones, all-day ones, recurring
series (daily, weekly, monthly, month-nth, yearly, year-nth; ending by date, by count or never) with
deleted occurrences and moved ones as embedded exception messages, and contacts.

How (MS-PST, MS-OXCMSG, MS-OXOCAL, MS-OXOCNTC):
- ndb: the node and block B-trees written anew over every node and block (multi-level when they
  grow), block trailers with their signatures and CRCs, the byte permutation of the base's
  bCryptMethod, XBLOCK/XXBLOCK data trees for values over one block, SLBLOCK/SIBLOCK subnode
  trees, AMap pages recomputed from what is in use (PMap pages all set, FMap pages zero, both
  deprecated), the header's ids, roots and CRCs.
- ltp: heap-on-node (with fill levels and bitmap pages), BTH of any depth, property contexts,
  table contexts with their row index, cell-existence bits and a row matrix in a subnode when large.
- messaging: folders with hierarchy, contents and associated-contents tables (empty ones share the
  base's template blocks, as Outlook does), messages with attachment tables and attachments,
  embedded messages, the name-to-id map (entries, GUID and string streams, hash buckets), entry ids
  of the default calendar and contacts folders on the root folder.
- recurrence: PidLidAppointmentRecur with ExceptionInfo and ExtendedException records.

Limits: Unicode files only (the base must be one); no search folders, search indexes or Outlook's
search update queue are kept up to date; messages get no recipient table (as Outlook leaves an
appointment without attendees; readpst refuses an empty one); FMap and FPMap pages are placed for
files up to 128 x 496 allocation regions and FPMaps are not written, so files stay under about 15 GB.
"""
