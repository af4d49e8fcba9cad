# SPDX-License-Identifier: GPL-3.0-or-later
"""Lists, tables and properties: heap-on-node, BTH, property contexts and table contexts.

Reading is here for what a writer must keep of the base (the hierarchy table of a folder, the
name-to-id map, the columns of the table templates) and for the self-check; writing builds the heap
blocks of a node and leaves it to the node database to store them.
"""

import struct

HN_SIGNATURE = 0xEC
CLIENT_BTH, CLIENT_TC, CLIENT_PC = 0xB5, 0x7C, 0xBC
HEAP_ITEM_MAX = 3580  # larger values live in a subnode
HEAP_BLOCK_MAX = 8176
BITMAP_PAGE_FIRST, BITMAP_PAGE_EVERY = 8, 128  # blocks 8, 136, 264 ... carry a fill-level bitmap

PT_SHORT, PT_LONG, PT_FLOAT, PT_DOUBLE, PT_CURRENCY, PT_APPTIME = 0x2, 0x3, 0x4, 0x5, 0x6, 0x7
PT_ERROR, PT_BOOLEAN, PT_I8, PT_STRING8, PT_UNICODE = 0xA, 0xB, 0x14, 0x1E, 0x1F
PT_SYSTIME, PT_BINARY = 0x40, 0x102
INLINE_SIZES = {PT_SHORT: 2, PT_LONG: 4, PT_FLOAT: 4, PT_ERROR: 4, PT_BOOLEAN: 1}
EIGHT_BYTE_TYPES = {PT_DOUBLE, PT_CURRENCY, PT_APPTIME, PT_I8, PT_SYSTIME}
TAG_ROW_ID, TAG_ROW_VERSION = 0x67F20003, 0x67F30003


def prop_type(tag):
    return tag & 0xFFFF


def is_hid(hnid):
    """A heap id has type bits 0; anything else names a subnode."""
    return hnid & 0x1F == 0


def make_hid(block_index, item_index):
    return (block_index << 16) | ((item_index + 1) << 5)


# ---------------------------------------------------------------- reading

class Heap:
    """A heap-on-node over the decoded blocks of a node's data."""

    def __init__(self, blocks):
        self.blocks = blocks
        if not blocks or len(blocks[0]) < 12 or blocks[0][2] != HN_SIGNATURE:
            raise ValueError('not a heap-on-node')
        self.client_signature = blocks[0][3]
        self.user_root = struct.unpack_from('<I', blocks[0], 4)[0]

    def item(self, hid):
        if hid == 0:
            return b''
        block = self.blocks[hid >> 16]
        index = ((hid >> 5) & 0x7FF) - 1
        page_map = struct.unpack_from('<H', block, 0)[0]
        count = struct.unpack_from('<H', block, page_map)[0]
        if not 0 <= index < count:
            raise ValueError('heap id 0x%x out of range' % hid)
        start, end = struct.unpack_from('<HH', block, page_map + 4 + 2 * index)
        return block[start:end]


def read_bth(heap, hid):
    """(key, data) records of a BTH, in key order."""
    header = heap.item(hid)
    if header[0] != CLIENT_BTH:
        raise ValueError('not a BTH header')
    key_size, data_size, levels, root = header[1], header[2], header[3], struct.unpack_from('<I', header, 4)[0]
    return list(_bth_records(heap, root, levels, key_size, data_size))


def _bth_records(heap, hid, level, key_size, data_size):
    if not hid:
        return
    node = heap.item(hid)
    width = key_size + (4 if level else data_size)
    for offset in range(0, len(node) - width + 1, width):
        key = node[offset:offset + key_size]
        if level:
            child = struct.unpack_from('<I', node, offset + key_size)[0]
            yield from _bth_records(heap, child, level - 1, key_size, data_size)
        else:
            yield key, node[offset + key_size:offset + width]


def read_pc(heap, subnode_value):
    """tag -> value bytes of a property context; subnode_value(nid) reads a value kept in a subnode."""
    props = {}
    for key, data in read_bth(heap, heap.user_root):
        prop_id = struct.unpack_from('<H', key)[0]
        ptype, hnid = struct.unpack_from('<HI', data)
        tag = (prop_id << 16) | ptype
        if ptype in INLINE_SIZES:
            props[tag] = struct.pack('<I', hnid)[:INLINE_SIZES[ptype]]
        elif is_hid(hnid):
            props[tag] = heap.item(hnid)
        else:
            props[tag] = subnode_value(hnid)
    return props


def read_tc(heap, subnode_value):
    """(columns, rows) of a table context: columns as (tag, offset, size, bit), rows as tag -> bytes
    (the bytes of a cell, or for variable-size columns the value it names)."""
    info = heap.item(heap.user_root)
    if info[0] != CLIENT_TC:
        raise ValueError('not a table context')
    column_count = info[1]
    ends = struct.unpack_from('<4H', info, 2)
    row_index_hid, rows_hnid = struct.unpack_from('<II', info, 10)
    columns = [struct.unpack_from('<IHBB', info, 22 + 8 * i) for i in range(column_count)]
    row_size = ends[3]
    if not rows_hnid:
        matrix = []
    elif is_hid(rows_hnid):
        matrix = [heap.item(rows_hnid)]
    else:
        matrix = subnode_value(rows_hnid, keep_blocks=True)
    rows_per_block = HEAP_BLOCK_MAX // row_size
    positions = [struct.unpack_from('<I', data)[0] for _, data in read_bth(heap, row_index_hid)]
    rows = []
    for position in sorted(positions):
        block = matrix[position // rows_per_block]
        start = (position % rows_per_block) * row_size
        rows.append(_read_row(heap, subnode_value, columns, block[start:start + row_size], ends))
    return columns, rows


def _read_row(heap, subnode_value, columns, raw, ends):
    cell_presence = raw[ends[2]:ends[3]]
    row = {}
    for tag, offset, size, bit in columns:
        if not cell_presence[bit // 8] & (0x80 >> (bit % 8)):
            continue
        cell = raw[offset:offset + size]
        ptype = prop_type(tag)
        if ptype in INLINE_SIZES or ptype in EIGHT_BYTE_TYPES:
            row[tag] = cell
        else:
            hnid = struct.unpack_from('<I', cell)[0]
            row[tag] = heap.item(hnid) if is_hid(hnid) else subnode_value(hnid)
    return row


# ---------------------------------------------------------------- writing

def _fill_level(free):
    """The 4-bit fill level of a heap block with this many bytes free."""
    bounds = (3584, 2560, 2048, 1792, 1536, 1280, 1024, 768, 512, 256, 128, 64, 32, 16, 8)
    for level, bound in enumerate(bounds):
        if free >= bound:
            return level
    return 15


class HeapBuilder:
    """Builds the blocks of a heap-on-node. Items lie back to back; only the page map at the end of
    a block is 2-byte aligned."""

    def __init__(self, client_signature, block_limit=HEAP_BLOCK_MAX):
        self.client_signature = client_signature
        self.block_limit = block_limit
        self.blocks = [[]]  # items of each block
        self.user_root = 0

    def _header_size(self, index):
        if index == 0:
            return 12
        if index >= BITMAP_PAGE_FIRST and (index - BITMAP_PAGE_FIRST) % BITMAP_PAGE_EVERY == 0:
            return 66
        return 2

    def _used(self, index):
        items = self.blocks[index]
        return self._header_size(index) + sum(len(item) for item in items)

    def allocate(self, data):
        data = bytes(data)
        if len(data) > HEAP_ITEM_MAX:
            raise ValueError('a heap item holds at most %d bytes' % HEAP_ITEM_MAX)
        index = len(self.blocks) - 1
        page_map = 4 + 2 * (len(self.blocks[index]) + 2)
        if self._used(index) + len(data) + 1 + page_map > self.block_limit:
            self.blocks.append([])
            index += 1
        self.blocks[index].append(data)
        return make_hid(index, len(self.blocks[index]) - 1)

    def serialize(self):
        """The payload of each block: header, items, page map."""
        payloads = []
        for index, items in enumerate(self.blocks):
            body = bytearray(self._header_size(index))
            offsets = []
            for item in items:
                offsets.append(len(body))
                body += item
            offsets.append(len(body))
            body += bytes(len(body) % 2)
            page_map_offset = len(body)
            body += struct.pack('<HH', len(items), 0) + struct.pack('<%dH' % len(offsets), *offsets)
            struct.pack_into('<H', body, 0, page_map_offset)
            payloads.append(body)
        for index, body in enumerate(payloads):
            if index == 0:
                struct.pack_into('<BBI', body, 2, HN_SIGNATURE, self.client_signature, self.user_root)
                body[8:12] = self._fill_levels(payloads, range(0, 8), 4)
            elif self._header_size(index) == 66:
                body[2:66] = self._fill_levels(payloads, range(index, index + 128), 64)
        return [bytes(body) for body in payloads]

    def _fill_levels(self, payloads, indexes, size):
        out = bytearray(size)
        for position, index in enumerate(indexes):
            if index < len(payloads):
                level = _fill_level(self.block_limit - len(payloads[index]))
                out[position // 2] |= level << (4 * (position % 2))
        return bytes(out)


def build_bth(heap, key_size, data_size, records):
    """Writes a BTH of (key bytes, data bytes) records, sorted here, and returns its header's hid."""
    records = sorted(records, key=lambda record: int.from_bytes(record[0], 'little'))
    level = 0
    root = 0
    if records:
        width = key_size + data_size
        while True:
            per_item = HEAP_ITEM_MAX // width
            nodes = []
            for i in range(0, len(records), per_item):
                chunk = records[i:i + per_item]
                nodes.append((chunk[0][0], heap.allocate(b''.join(key + data for key, data in chunk))))
            if len(nodes) == 1:
                root = nodes[0][1]
                break
            records = [(key, struct.pack('<I', hid)) for key, hid in nodes]
            width = key_size + 4
            level += 1
    return heap.allocate(struct.pack('<BBBBI', CLIENT_BTH, key_size, data_size, level, root))


class NodeContent:
    """What an LTP structure hands to the node database: its heap blocks and its subnodes."""

    def __init__(self, writer):
        self.writer = writer
        self.subnodes = {}  # nid -> (data bid, subnode bid)
        self._next_local_index = 0x400

    def value_in_subnode(self, data):
        """Stores a value too large for the heap in a subnode and returns its nid."""
        self._next_local_index += 1
        nid = (self._next_local_index << 5) | 0x1F  # NID_TYPE_LTP, local to this node
        self.subnodes[nid] = (self.writer.add_bytes(data), 0)
        return nid

    def store(self, heap):
        """The node's data bid and subnode-tree bid."""
        data = self.writer.add_data_tree(heap.serialize())
        return data, self.writer.add_subnode_tree(self.subnodes)


def _value_hnid(content, heap, data):
    if not data:
        return 0
    if len(data) > HEAP_ITEM_MAX:
        return content.value_in_subnode(data)
    return heap.allocate(data)


def build_pc(content, props):
    """A property context of tag -> value bytes, into content; returns the heap."""
    heap = HeapBuilder(CLIENT_PC)
    records = []
    for tag, value in props.items():
        ptype = prop_type(tag)
        if ptype in INLINE_SIZES:
            hnid = int.from_bytes(value.ljust(4, b'\0')[:4], 'little')
        else:
            hnid = _value_hnid(content, heap, value)
        records.append((struct.pack('<H', tag >> 16), struct.pack('<HI', ptype, hnid)))
    heap.user_root = build_bth(heap, 2, 6, records)
    return heap


def cell_size(ptype):
    if ptype in INLINE_SIZES:
        return INLINE_SIZES[ptype]
    if ptype in EIGHT_BYTE_TYPES:
        return 8
    return 4


def table_layout(tags):
    """Columns (tag, offset, size, bit) for a row of these tags: row id and version first, then
    the 8- and 4-byte cells, the 2-byte and the 1-byte ones, then the cell-existence bits."""
    ordered = [TAG_ROW_ID, TAG_ROW_VERSION] + [t for t in tags if t not in (TAG_ROW_ID, TAG_ROW_VERSION)]
    bits = {tag: bit for bit, tag in enumerate(ordered)}
    offsets = {}
    position = 0
    for sizes in ((8, 4), (2,), (1,)):
        for tag in ordered:
            if cell_size(prop_type(tag)) in sizes:
                offsets[tag] = position
                position += cell_size(prop_type(tag))
        if sizes == (8, 4):
            end_4b = position
        elif sizes == (2,):
            end_2b = position
    end_1b = position
    end_bitmap = end_1b + (len(ordered) + 7) // 8
    columns = sorted((tag, offsets[tag], cell_size(prop_type(tag)), bits[tag]) for tag in ordered)
    return columns, (end_4b, end_2b, end_1b, end_bitmap)


def build_tc(content, tags, rows, matrix_block_limit=HEAP_BLOCK_MAX):
    """A table context of rows (tag -> value bytes, with TAG_ROW_ID) into content; returns the heap."""
    heap = HeapBuilder(CLIENT_TC)
    columns, ends = table_layout(tags)
    row_size = ends[3]
    raw_rows = [_row_bytes(content, heap, columns, ends, row) for row in rows]
    rows_per_block = matrix_block_limit // row_size
    matrix = b''.join(raw_rows)
    if not raw_rows:
        rows_hnid = 0
    elif len(matrix) <= HEAP_ITEM_MAX:
        rows_hnid = heap.allocate(matrix)
    else:
        blocks = [b''.join(raw_rows[i:i + rows_per_block]) for i in range(0, len(raw_rows), rows_per_block)]
        content._next_local_index += 1
        rows_hnid = (content._next_local_index << 5) | 0x1F
        content.subnodes[rows_hnid] = (content.writer.add_data_tree(blocks), 0)
    index = [(row[TAG_ROW_ID][:4], struct.pack('<I', position)) for position, row in enumerate(rows)]
    row_index = build_bth(heap, 4, 4, index)
    info = struct.pack('<BB4HIII', CLIENT_TC, len(columns), *ends, row_index, rows_hnid, 0)
    info += b''.join(struct.pack('<IHBB', *column) for column in columns)
    heap.user_root = heap.allocate(info)
    return heap


def _row_bytes(content, heap, columns, ends, row):
    raw = bytearray(ends[3])
    for tag, offset, size, bit in columns:
        if tag not in row:
            continue
        value = row[tag]
        ptype = prop_type(tag)
        if ptype in INLINE_SIZES or ptype in EIGHT_BYTE_TYPES:
            raw[offset:offset + size] = value.ljust(size, b'\0')[:size]
        else:
            raw[offset:offset + 4] = struct.pack('<I', _value_hnid(content, heap, value))
        raw[ends[2] + bit // 8] |= 0x80 >> (bit % 8)
    return bytes(raw)
