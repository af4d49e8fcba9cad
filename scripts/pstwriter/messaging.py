# SPDX-License-Identifier: GPL-3.0-or-later
"""Folders, messages, attachments and named properties of a message store, written over a base file.

A folder is a normal-folder node with its hierarchy, contents and associated-contents tables beside it
(same index, table types 0xD/0xE/0xF). A message is a node under its folder, its recipient and
attachment tables and its attachments in its subnode tree; an embedded message lies in its
attachment's subnode tree.
"""

import struct
import uuid
from dataclasses import dataclass, field

from . import ltp, ndb

NID_TYPE_FOLDER, NID_TYPE_MESSAGE, NID_TYPE_ATTACHMENT = 0x02, 0x04, 0x05
NID_MESSAGE_STORE, NID_NAME_TO_ID_MAP, NID_ROOT_FOLDER = 0x21, 0x61, 0x122
NID_TABLE_TEMPLATES = {'hierarchy': 0x60D, 'contents': 0x60E, 'assoc': 0x60F}
NID_ATTACHMENT_TEMPLATE = NID_ATTACHMENT_TABLE = 0x671
TABLE_TYPES = {'hierarchy': 0xD, 'contents': 0xE, 'assoc': 0xF}

PS_MAPI = uuid.UUID('00020328-0000-0000-c000-000000000046')
PS_PUBLIC_STRINGS = uuid.UUID('00020329-0000-0000-c000-000000000046')
PSETID_APPOINTMENT = uuid.UUID('00062002-0000-0000-c000-000000000046')
PSETID_ADDRESS = uuid.UUID('00062004-0000-0000-c000-000000000046')
PSETID_COMMON = uuid.UUID('00062008-0000-0000-c000-000000000046')

TAG_DISPLAY_NAME = 0x3001001F
TAG_CONTENT_COUNT, TAG_CONTENT_UNREAD, TAG_SUBFOLDERS = 0x36020003, 0x36030003, 0x360A000B
TAG_CONTAINER_CLASS = 0x3613001F
TAG_RECORD_KEY = 0x0FF90102
TAG_IPM_APPOINTMENT_ENTRYID, TAG_IPM_CONTACT_ENTRYID = 0x36D00102, 0x36D10102
TAG_ATTACH_DATA_OBJECT = 0x3701000D
TAG_NAMEID_BUCKET_COUNT, TAG_NAMEID_GUIDS = 0x00010003, 0x00020102
TAG_NAMEID_ENTRIES, TAG_NAMEID_STRINGS = 0x00030102, 0x00040102
NAMEID_BUCKET_BASE = 0x1000


class NameMap:
    """The store's name-to-id map: named properties (GUID, LID or name) and their ids 0x8000+n."""

    def __init__(self, props):
        self.bucket_count = struct.unpack('<I', props[TAG_NAMEID_BUCKET_COUNT])[0]
        guids = props[TAG_NAMEID_GUIDS]
        self.guids = [uuid.UUID(bytes_le=guids[i:i + 16]) for i in range(0, len(guids), 16)]
        self.strings = bytearray(props[TAG_NAMEID_STRINGS])
        self.entries = []  # (property id or string offset, guid field with the string bit, index)
        raw = props[TAG_NAMEID_ENTRIES]
        for offset in range(0, len(raw), 8):
            self.entries.append(struct.unpack_from('<IHH', raw, offset))
        self.known = {}
        for prop_id, guid_field, index in self.entries:
            self.known[self._key_of_entry(prop_id, guid_field)] = index

    def _guid_of_field(self, guid_field):
        number = guid_field >> 1
        return {1: PS_MAPI, 2: PS_PUBLIC_STRINGS}.get(number) or self.guids[number - 3]

    def _key_of_entry(self, prop_id, guid_field):
        if guid_field & 1:
            length = struct.unpack_from('<I', self.strings, prop_id)[0]
            name = bytes(self.strings[prop_id + 4:prop_id + 4 + length]).decode('utf-16-le')
            return self._guid_of_field(guid_field), name
        return self._guid_of_field(guid_field), prop_id

    def _guid_field(self, guid):
        if guid == PS_MAPI:
            return 1 << 1
        if guid == PS_PUBLIC_STRINGS:
            return 2 << 1
        if guid not in self.guids:
            self.guids.append(guid)
        return (self.guids.index(guid) + 3) << 1

    def tag(self, guid, name, ptype):
        """The property tag of a named property, adding it to the map when the store lacks it."""
        key = (guid, name)
        if key not in self.known:
            index = len(self.entries)
            guid_field = self._guid_field(guid)
            if isinstance(name, str):
                offset = len(self.strings)
                encoded = name.encode('utf-16-le')
                self.strings += struct.pack('<I', len(encoded)) + encoded
                self.strings += bytes(-len(self.strings) % 4)
                self.entries.append((offset, guid_field | 1, index))
            else:
                self.entries.append((name, guid_field, index))
            self.known[key] = index
        return ((0x8000 + self.known[key]) << 16) | ptype

    def props(self):
        """The property context of the map, hash buckets included."""
        buckets = {}
        for prop_id, guid_field, index in self.entries:
            if guid_field & 1:
                length = struct.unpack_from('<I', self.strings, prop_id)[0]
                hashed = ndb.pst_crc(bytes(self.strings[prop_id + 4:prop_id + 4 + length]))
            else:
                hashed = prop_id
            bucket = (hashed ^ guid_field) % self.bucket_count
            buckets.setdefault(bucket, b'')
            buckets[bucket] += struct.pack('<IHH', hashed, guid_field, index)
        props = {
            TAG_NAMEID_BUCKET_COUNT: struct.pack('<I', self.bucket_count),
            TAG_NAMEID_GUIDS: b''.join(guid.bytes_le for guid in self.guids),
            TAG_NAMEID_ENTRIES: b''.join(struct.pack('<IHH', *entry) for entry in self.entries),
            TAG_NAMEID_STRINGS: bytes(self.strings),
        }
        for bucket, data in buckets.items():
            props[((NAMEID_BUCKET_BASE + bucket) << 16) | ltp.PT_BINARY] = data
        return props


@dataclass
class Attachment:
    props: dict  # tag -> bytes, without the embedded message's object
    embedded: 'Message' = None


@dataclass
class Message:
    props: dict
    attachments: list = field(default_factory=list)
    damage: str = None  # 'crc' or 'truncated-heap': this item's own data is spoiled on purpose


@dataclass
class Folder:
    nid: int
    parent: int
    name: str
    container_class: str
    contents_tags: list
    messages: list = field(default_factory=list)  # (nid, Message)
    subfolders: list = field(default_factory=list)
    rows_left_out: set = field(default_factory=set)  # messages the contents table omits
    phantom_rows: list = field(default_factory=list)  # rows naming messages that do not exist


def entry_id(record_key, nid):
    """A short-term entry id of this store: no flags, the store's provider uid, the node id."""
    return bytes(4) + record_key + struct.pack('<I', nid)


class Store:
    def __init__(self, base_path):
        self.base = ndb.BaseFile(base_path)
        self.writer = ndb.Writer(self.base)
        self.names = NameMap(self.read_pc(NID_NAME_TO_ID_MAP))
        self.record_key = self.read_pc(NID_MESSAGE_STORE)[TAG_RECORD_KEY]
        self.folders = []
        self.root_props = {}
        self.row_version = 0x1000

    # -- reading the base
    def _base_content(self, nid):
        data, sub, _ = self.base.nodes[nid]
        subnodes = self.base.subnodes(sub)

        def value(hnid, keep_blocks=False):
            parts = self.base.data_tree(subnodes[hnid][0])
            return parts if keep_blocks else b''.join(parts)
        return ltp.Heap(self.base.data_tree(data)), value

    def read_pc(self, nid):
        return ltp.read_pc(*self._base_content(nid))

    def read_tc(self, nid):
        return ltp.read_tc(*self._base_content(nid))

    def table_tags(self, nid):
        return [column[0] for column in self.read_tc(nid)[0]]

    # -- building
    def add_folder(self, parent, name, container_class, contents_tags=None):
        folder = Folder(self.writer.new_nid(NID_TYPE_FOLDER), parent, name, container_class,
                        contents_tags or self.table_tags(NID_TABLE_TEMPLATES['contents']))
        self.folders.append(folder)
        for other in self.folders:
            if other.nid == parent:
                other.subfolders.append(folder)
        return folder

    def add_message(self, folder, message):
        nid = self.writer.new_nid(NID_TYPE_MESSAGE)
        folder.messages.append((nid, message))
        return nid

    def set_default_folder(self, tag, folder):
        """An entry id on the root folder naming a default folder, as Outlook keeps them."""
        self.root_props[tag] = entry_id(self.record_key, folder.nid)

    # -- writing
    def write(self, path):
        for folder in self.folders:
            self._write_folder(folder)
        self._rewrite_hierarchy_of_base_parents()
        self._rewrite_pc(NID_ROOT_FOLDER, self.root_props)
        self._write_pc_node(NID_NAME_TO_ID_MAP, self.names.props(), parent=0)
        self.writer.header.unique += 1
        self.writer.write(path)

    def _write_pc_node(self, nid, props, parent):
        content = ltp.NodeContent(self.writer)
        heap = ltp.build_pc(content, props)
        data, sub = content.store(heap)
        self.writer.set_node(nid, data, sub, parent)

    def _rewrite_pc(self, nid, extra):
        if not extra:
            return
        props = self.read_pc(nid)
        props.update(extra)
        self._write_pc_node(nid, props, self.base.nodes[nid][2])

    def _write_table_node(self, nid, tags, rows):
        content = ltp.NodeContent(self.writer)
        heap = ltp.build_tc(content, tags, rows)
        data, sub = content.store(heap)
        self.writer.set_node(nid, data, sub, 0)

    def _share_template(self, nid, kind):
        """An empty table is the template's own block, as Outlook leaves it."""
        template = self.base.nodes[NID_TABLE_TEMPLATES[kind]]
        self.writer.set_node(nid, template[0], template[1], 0)

    def _table_nid(self, folder_nid, kind):
        return (folder_nid & ~0x1F) | TABLE_TYPES[kind]

    def _next_row_version(self):
        self.row_version += 1
        return struct.pack('<I', self.row_version)

    def _folder_row(self, folder):
        return {ltp.TAG_ROW_ID: struct.pack('<I', folder.nid), ltp.TAG_ROW_VERSION: self._next_row_version(),
                **self._folder_props(folder)}

    def _folder_props(self, folder):
        return {
            TAG_DISPLAY_NAME: folder.name.encode('utf-16-le'),
            TAG_CONTENT_COUNT: struct.pack('<I', len(folder.messages) - len(folder.rows_left_out)),
            TAG_CONTENT_UNREAD: struct.pack('<I', 0),
            TAG_SUBFOLDERS: bytes([1 if folder.subfolders else 0]),
            TAG_CONTAINER_CLASS: folder.container_class.encode('utf-16-le'),
        }

    def _write_folder(self, folder):
        self._write_pc_node(folder.nid, self._folder_props(folder), folder.parent)
        hierarchy = self._table_nid(folder.nid, 'hierarchy')
        if folder.subfolders:
            tags = self.table_tags(NID_TABLE_TEMPLATES['hierarchy'])
            self._write_table_node(hierarchy, tags, [self._folder_row(sub) for sub in folder.subfolders])
        else:
            self._share_template(hierarchy, 'hierarchy')
        rows = []
        for nid, message in folder.messages:
            self._write_message_node(nid, message, folder.nid)
            if nid not in folder.rows_left_out:
                rows.append(self._contents_row(folder, nid, message.props))
        rows += [self._contents_row(folder, nid, props) for nid, props in folder.phantom_rows]
        contents = self._table_nid(folder.nid, 'contents')
        if rows:
            self._write_table_node(contents, folder.contents_tags, rows)
        else:
            self._share_template(contents, 'contents')
        self._share_template(self._table_nid(folder.nid, 'assoc'), 'assoc')

    def _contents_row(self, folder, nid, props):
        row = {tag: props[tag] for tag in folder.contents_tags if tag in props}
        row[ltp.TAG_ROW_ID] = struct.pack('<I', nid)
        row[ltp.TAG_ROW_VERSION] = self._next_row_version()
        return row

    def _rewrite_hierarchy_of_base_parents(self):
        """Base folders that gained subfolders get their hierarchy table rewritten with the new rows."""
        new_nids = {folder.nid for folder in self.folders}
        for parent in {folder.parent for folder in self.folders if folder.parent not in new_nids}:
            table = self._table_nid(parent, 'hierarchy')
            columns, rows = self.read_tc(table)
            rows += [self._folder_row(f) for f in self.folders if f.parent == parent]
            self._write_table_node(table, [column[0] for column in columns], rows)
            self._rewrite_pc(parent, {TAG_SUBFOLDERS: b'\x01'})

    def _write_message_node(self, nid, message, folder_nid):
        data, sub = self._message_content(message)
        self.writer.set_node(nid, data, sub, folder_nid)
        if message.damage == 'crc':
            self.writer.damage[data] = 'crc'
        elif message.damage == 'truncated-heap':
            payload = self.writer.new_blocks[data]
            self.writer.new_blocks[data] = payload[:len(payload) // 2]

    def _message_content(self, message):
        """The data and subnode bids of a message: its PC and its attachments. Like Outlook for an
        appointment without attendees, it has no recipient table (readpst refuses an empty one)."""
        content = ltp.NodeContent(self.writer)
        if message.attachments:
            self._add_attachments(content, message.attachments)
        heap = ltp.build_pc(content, message.props)
        return content.store(heap)

    def _add_attachments(self, content, attachments):
        tags = self.table_tags(NID_ATTACHMENT_TEMPLATE) + sorted(
            {tag for attachment in attachments for tag in attachment.props} - {TAG_ATTACH_DATA_OBJECT})
        tags = list(dict.fromkeys(tags))
        rows = []
        for index, attachment in enumerate(attachments):
            nid = ((0x401 + index) << 5) | NID_TYPE_ATTACHMENT
            content.subnodes[nid] = self._attachment_content(attachment)
            row = {tag: value for tag, value in attachment.props.items() if tag in tags}
            row[ltp.TAG_ROW_ID] = struct.pack('<I', nid)
            row[ltp.TAG_ROW_VERSION] = self._next_row_version()
            rows.append(row)
        table = ltp.NodeContent(self.writer)
        heap = ltp.build_tc(table, tags, rows)
        content.subnodes[NID_ATTACHMENT_TABLE] = table.store(heap)

    def _attachment_content(self, attachment):
        content = ltp.NodeContent(self.writer)
        props = dict(attachment.props)
        if attachment.embedded is not None:
            embedded_nid = self.writer.new_nid(NID_TYPE_MESSAGE)
            data, sub = self._message_content(attachment.embedded)
            content.subnodes[embedded_nid] = (data, sub)
            size = sum(len(v) for v in attachment.embedded.props.values())
            props[TAG_ATTACH_DATA_OBJECT] = struct.pack('<II', embedded_nid, size)
        heap = ltp.build_pc(content, props)
        return content.store(heap)
