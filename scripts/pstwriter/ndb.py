# SPDX-License-Identifier: GPL-3.0-or-later
"""Node database of a Unicode PST file: blocks, pages, the node and block B-trees, allocation maps.

A new file starts as a byte copy of a base file written by Outlook. Every node and block of the base
stays where it is; new blocks go into the base's free space first and then into new allocation-map
regions at the end; the two B-trees are written anew and the base's old B-tree pages become free.
"""

import struct
import zlib

PAGE_SIZE = 512
PAGE_DATA = 496
BLOCK_ALIGN = 64
BLOCK_DATA_MAX = 8176  # 8 KB less the 16-byte trailer
FIRST_AMAP = 0x4400
AMAP_REGION = PAGE_DATA * 8 * BLOCK_ALIGN  # bytes one allocation-map page covers
PMAP_EVERY = 8  # a PMap page follows every eighth AMap page
FMAP_FIRST_REGION = 128  # the first FMap page sits in the 129th region, then every 496 regions
FMAP_EVERY = 496

PTYPE_BBT, PTYPE_NBT, PTYPE_FMAP, PTYPE_PMAP, PTYPE_AMAP = 0x80, 0x81, 0x82, 0x83, 0x84
CRYPT_NONE, CRYPT_PERMUTE = 0, 1

# Decoding half of the byte permutation behind bCryptMethod 1 (raw byte -> plain byte). It was
# recovered from Outlook-written files whose values are known, and every block of the shared
# samples decodes with it into well-formed heaps.
DECODE = bytes([
     71, 241, 180, 230,  11, 106, 114,  72, 133,  78, 158, 235, 226, 248, 148,  83,
    224, 187, 160,   2, 232,  90,   9, 171, 219, 227, 186, 198, 124, 195,  16, 221,
     57,   5, 150,  48, 245,  55,  96, 130, 140, 201,  19,  74, 107,  29, 243, 251,
    143,  38, 151, 202, 145,  23,   1, 196,  50,  45, 110,  49, 149, 255, 217,  35,
    209,   0,  94, 121, 220,  68,  59,  26,  40, 197,  97,  87,  32, 144,  61, 131,
    185,  67, 190, 103, 210,  70,  66, 118, 192, 109,  91, 126, 178,  15,  22,  41,
     60, 169,   3,  84,  13, 218,  93, 223, 246, 183, 199,  98, 205, 141,   6, 211,
    105,  92, 134, 214,  20, 247, 165, 102, 117, 172, 177, 233,  69,  33, 112,  12,
    135, 159, 116, 164,  34,  76, 111, 191,  31,  86, 170,  46, 179, 120,  51,  80,
    176, 163, 146, 188, 207,  25,  28, 167,  99, 203,  30,  77,  62,  75,  27, 155,
     79, 231, 240, 238, 173,  58, 181,  89,   4, 234,  64,  85,  37,  81, 229, 122,
    137,  56, 104,  82, 123, 252,  39, 174, 215, 189, 250,   7, 244, 204, 142,  95,
    239,  53, 156, 132,  43,  21, 213, 119,  52,  73, 182,  18,  10, 127, 113, 136,
    253, 157,  24,  65, 125, 147, 216,  88,  44, 206, 254,  36, 175, 222, 184,  54,
    200, 161, 128, 166, 153, 152, 168,  47,  14, 129, 101, 115, 228, 194, 162, 138,
    212, 225,  17, 208,   8, 139,  42, 242, 237, 154, 100,  63, 193, 108, 249, 236,
])
ENCODE = bytes(DECODE.index(plain) for plain in range(256))


def pst_crc(data):
    """The file's CRC-32: the usual polynomial, started at zero and not inverted at the end."""
    return zlib.crc32(data, 0xFFFFFFFF) ^ 0xFFFFFFFF


def signature(ib, bid):
    """wSig of a block or B-tree page: its offset and id folded into 16 bits."""
    folded = (ib ^ bid) & 0xFFFFFFFFFFFFFFFF
    return ((folded >> 16) ^ folded) & 0xFFFF


def is_internal(bid):
    return bool(bid & 2)


def align(value, unit):
    return (value + unit - 1) // unit * unit


def block_footprint(cb):
    return align(cb + 16, BLOCK_ALIGN)


def region_start(region):
    return FIRST_AMAP + region * AMAP_REGION


def map_pages_of_region(region):
    """Offsets of the map pages at the head of a region: its AMap, and PMap/FMap where they fall."""
    start = region_start(region)
    pages = [(start, PTYPE_AMAP)]
    if region % PMAP_EVERY == 0:
        pages.append((start + PAGE_SIZE, PTYPE_PMAP))
    if region >= FMAP_FIRST_REGION and (region - FMAP_FIRST_REGION) % FMAP_EVERY == 0:
        pages.append((start + 2 * PAGE_SIZE, PTYPE_FMAP))
    return pages


class Header:
    """The fields of the Unicode header that a writer changes; the rest is kept from the base."""

    ROOT = 180

    def __init__(self, raw):
        if raw[:4] != b'!BDN' or struct.unpack_from('<H', raw, 10)[0] not in (21, 23):
            raise ValueError('the base is not a Unicode PST file')
        self.raw = bytearray(raw[:564])
        self.next_page_bid = struct.unpack_from('<Q', raw, 32)[0]
        self.unique = struct.unpack_from('<I', raw, 40)[0]
        self.next_nid_index = list(struct.unpack_from('<32I', raw, 44))
        self.file_eof = struct.unpack_from('<Q', raw, self.ROOT + 4)[0]
        self.nbt_root = struct.unpack_from('<QQ', raw, self.ROOT + 36)
        self.bbt_root = struct.unpack_from('<QQ', raw, self.ROOT + 52)
        self.crypt_method = raw[513]
        self.next_block_bid = struct.unpack_from('<Q', raw, 516)[0]

    def serialize(self, amap_last, amap_free):
        raw = self.raw
        struct.pack_into('<Q', raw, 32, self.next_page_bid)
        struct.pack_into('<I', raw, 40, self.unique)
        struct.pack_into('<32I', raw, 44, *self.next_nid_index)
        struct.pack_into('<QQQQ', raw, self.ROOT + 4, self.file_eof, amap_last, amap_free, 0)
        struct.pack_into('<QQ', raw, self.ROOT + 36, *self.nbt_root)
        struct.pack_into('<QQ', raw, self.ROOT + 52, *self.bbt_root)
        raw[self.ROOT + 68] = 2  # fAMapValid: the AMaps are valid and were written the current way
        struct.pack_into('<Q', raw, 516, self.next_block_bid)
        struct.pack_into('<I', raw, 4, pst_crc(bytes(raw[8:8 + 471])))
        struct.pack_into('<I', raw, 524, pst_crc(bytes(raw[8:8 + 516])))
        return bytes(raw)


class BaseFile:
    """Reads a base PST: its header, its node and block B-trees, and decoded block contents."""

    def __init__(self, path):
        with open(path, 'rb') as stream:
            self.data = stream.read()
        self.header = Header(self.data)
        self.nodes = {}  # nid -> (bid of data, bid of subnode tree, parent nid)
        self.blocks = {}  # bid -> (offset, size)
        self.btree_pages = []  # offsets of the base's B-tree pages, free once new ones are written
        self._walk(self.header.nbt_root[1], PTYPE_NBT)
        self._walk(self.header.bbt_root[1], PTYPE_BBT)

    def _walk(self, ib, ptype):
        page = self.data[ib:ib + PAGE_SIZE]
        if page[496] != ptype or pst_crc(page[:PAGE_DATA]) != struct.unpack_from('<I', page, 500)[0]:
            raise ValueError('damaged B-tree page at 0x%x in the base' % ib)
        self.btree_pages.append(ib)
        count, _, entry_size, level = page[488:492]
        for index in range(count):
            entry = page[index * entry_size:(index + 1) * entry_size]
            if level:
                self._walk(struct.unpack_from('<Q', entry, 16)[0], ptype)
            elif ptype == PTYPE_NBT:
                nid, data_bid, sub_bid, parent = struct.unpack_from('<QQQI', entry)
                self.nodes[nid] = (data_bid, sub_bid, parent)
            else:
                bid, ib_block, cb, _ = struct.unpack_from('<QQHH', entry)
                self.blocks[bid & ~1] = (ib_block, cb)

    def block(self, bid):
        ib, cb = self.blocks[bid & ~1]
        payload = self.data[ib:ib + cb]
        if self.header.crypt_method == CRYPT_PERMUTE and not is_internal(bid):
            payload = payload.translate(DECODE)
        return payload

    def data_tree(self, bid):
        """The blocks of a node's data: one data block, or those an XBLOCK/XXBLOCK lists."""
        if not bid:
            return []
        if not is_internal(bid):
            return [self.block(bid)]
        payload = self.block(bid)
        count = struct.unpack_from('<H', payload, 2)[0]
        children = struct.unpack_from('<%dQ' % count, payload, 8)
        return [part for child in children for part in self.data_tree(child)]

    def subnodes(self, bid):
        """nid -> (data bid, subnode bid) of a subnode tree."""
        found = {}
        if not bid:
            return found
        payload = self.block(bid)
        level, count = payload[1], struct.unpack_from('<H', payload, 2)[0]
        for index in range(count):
            if level:
                child = struct.unpack_from('<Q', payload, 8 + 16 * index + 8)[0]
                found.update(self.subnodes(child))
            else:
                nid, data_bid, sub_bid = struct.unpack_from('<QQQ', payload, 8 + 24 * index)
                found[nid & 0xFFFFFFFF] = (data_bid, sub_bid)
        return found



class Allocator:
    """Hands out file space in 64-byte units: the base's free runs first, then new regions."""

    def __init__(self, base_regions, used_units):
        self.region_count = base_regions
        self.used = set(used_units)
        self.runs = self._free_runs(base_regions)
        self.placed = []  # (offset, size) of everything placed here

    def _free_runs(self, regions):
        runs = []
        for region in range(regions):
            start = region_start(region)
            run_start = None
            for unit in range(PAGE_DATA * 8):
                offset = start + unit * BLOCK_ALIGN
                if offset in self.used or self._is_map_page(offset):
                    if run_start is not None:
                        runs.append([run_start, offset])
                        run_start = None
                elif run_start is None:
                    run_start = offset
            if run_start is not None:
                runs.append([run_start, start + AMAP_REGION])
        return runs

    @staticmethod
    def _is_map_page(offset):
        region = (offset - FIRST_AMAP) // AMAP_REGION
        return any(page <= offset < page + PAGE_SIZE for page, _ in map_pages_of_region(region))

    def place(self, size, unit=BLOCK_ALIGN):
        size = align(size, BLOCK_ALIGN)
        for run in self.runs:
            start = align(run[0], unit)
            if start + size <= run[1]:
                if start > run[0]:
                    self.runs.append([run[0], start])
                run[0] = start + size
                self.placed.append((start, size))
                return start
        self._add_region()
        return self.place(size, unit)

    def _add_region(self):
        region = self.region_count
        self.region_count += 1
        first_free = max(page for page, _ in map_pages_of_region(region)) + PAGE_SIZE
        self.runs = [run for run in self.runs if run[1] - run[0] >= BLOCK_ALIGN]
        self.runs.append([first_free, region_start(region) + AMAP_REGION])

    @property
    def end_of_file(self):
        return region_start(self.region_count)


class Writer:
    """Collects the nodes and new blocks of the file being written, then lays them out."""

    def __init__(self, base):
        self.base = base
        self.header = Header(base.data)
        self.nodes = dict(base.nodes)
        self.new_blocks = {}  # bid -> plain payload, in the order they were made
        self.damage = {}  # bid -> what to spoil once it is laid out ('crc')

    # -- ids
    def new_block_bid(self, internal):
        bid = self.header.next_block_bid | (2 if internal else 0)
        self.header.next_block_bid += 4
        return bid

    def new_nid(self, nid_type):
        self.header.next_nid_index[nid_type] += 1
        return (self.header.next_nid_index[nid_type] << 5) | nid_type

    # -- blocks
    def add_block(self, payload, internal=False):
        if len(payload) > BLOCK_DATA_MAX:
            raise ValueError('a block holds at most %d bytes' % BLOCK_DATA_MAX)
        bid = self.new_block_bid(internal)
        self.new_blocks[bid] = bytes(payload)
        return bid

    def add_data_tree(self, parts):
        """A node's data from its parts (each at most one block): one block, or an XBLOCK over
        them, or an XXBLOCK over XBLOCKs."""
        parts = [bytes(part) for part in parts]
        if len(parts) == 1:
            return self.add_block(parts[0])
        bids = [self.add_block(part) for part in parts]
        total = sum(len(part) for part in parts)
        per_block = (BLOCK_DATA_MAX - 8) // 8
        if len(bids) <= per_block:
            return self._add_xblock(1, bids, total)
        groups = [bids[i:i + per_block] for i in range(0, len(bids), per_block)]
        sizes = [sum(len(part) for part in parts[i:i + per_block]) for i in range(0, len(parts), per_block)]
        return self._add_xblock(2, [self._add_xblock(1, g, s) for g, s in zip(groups, sizes)], total)

    def _add_xblock(self, level, bids, total):
        payload = struct.pack('<BBHI', 1, level, len(bids), total) + struct.pack('<%dQ' % len(bids), *bids)
        return self.add_block(payload, internal=True)

    def add_bytes(self, data):
        """A value of any size as a data tree of full blocks."""
        if not data:
            return self.add_block(b'')
        return self.add_data_tree([data[i:i + BLOCK_DATA_MAX] for i in range(0, len(data), BLOCK_DATA_MAX)])

    def add_subnode_tree(self, entries):
        """entries: nid -> (data bid, subnode bid). Returns the bid of its SLBLOCK (or SIBLOCK)."""
        if not entries:
            return 0
        ordered = sorted(entries.items())
        per_block = (BLOCK_DATA_MAX - 8) // 24
        leaves = []
        for i in range(0, len(ordered), per_block):
            chunk = ordered[i:i + per_block]
            payload = struct.pack('<BBHI', 2, 0, len(chunk), 0) + b''.join(
                struct.pack('<QQQ', nid, data, sub) for nid, (data, sub) in chunk)
            leaves.append((chunk[0][0], self.add_block(payload, internal=True)))
        if len(leaves) == 1:
            return leaves[0][1]
        payload = struct.pack('<BBHI', 2, 1, len(leaves), 0) + b''.join(
            struct.pack('<QQ', nid, bid) for nid, bid in leaves)
        return self.add_block(payload, internal=True)

    def set_node(self, nid, data_bid, sub_bid=0, parent=0):
        self.nodes[nid] = (data_bid, sub_bid, parent)

    # -- layout
    def write(self, path):
        references = self._reference_counts()
        kept = {bid: where for bid, where in self.base.blocks.items() if bid in references}
        used = set()
        for ib, cb in kept.values():
            used.update(range(ib, ib + block_footprint(cb), BLOCK_ALIGN))
        base_regions = (self.header.file_eof - FIRST_AMAP + AMAP_REGION - 1) // AMAP_REGION
        allocator = Allocator(base_regions, used)
        image = bytearray(self.base.data)
        placed = dict(kept)
        for bid, payload in self.new_blocks.items():
            if bid not in references:
                continue
            ib = allocator.place(block_footprint(len(payload)))
            placed[bid] = (ib, len(payload))
            self._put(image, ib, self._block_image(bid, ib, payload))
        self._write_btrees(image, allocator, placed, references)
        self.header.file_eof = allocator.end_of_file
        image.extend(bytes(max(0, allocator.end_of_file - len(image))))
        amap_last, amap_free = self._write_maps(image, allocator, placed)
        image[:564] = self.header.serialize(amap_last, amap_free)
        with open(path, 'wb') as stream:
            stream.write(image)

    @staticmethod
    def _put(image, offset, data):
        if len(image) < offset + len(data):
            image.extend(bytes(offset + len(data) - len(image)))
        image[offset:offset + len(data)] = data

    def _block_image(self, bid, ib, payload):
        stored = payload
        if self.header.crypt_method == CRYPT_PERMUTE and not is_internal(bid):
            stored = payload.translate(ENCODE)
        crc = pst_crc(stored)
        if self.damage.get(bid) == 'crc':
            crc ^= 0x5A5A5A5A
        size = block_footprint(len(stored))
        trailer = struct.pack('<HHIQ', len(stored), signature(ib, bid), crc, bid)
        return stored + bytes(size - len(stored) - 16) + trailer

    def _children(self, bid):
        """Blocks an internal block names: an XBLOCK's data blocks, a subnode tree's blocks."""
        payload = self.new_blocks.get(bid)
        if payload is None:
            payload = self.base.block(bid)
        kind, level, count = payload[0], payload[1], struct.unpack_from('<H', payload, 2)[0]
        if kind == 1:
            return list(struct.unpack_from('<%dQ' % count, payload, 8))
        if level:
            return [struct.unpack_from('<Q', payload, 8 + 16 * i + 8)[0] for i in range(count)]
        children = []
        for i in range(count):
            _, data, sub = struct.unpack_from('<QQQ', payload, 8 + 24 * i)
            children += [b for b in (data, sub) if b]
        return children

    def _reference_counts(self):
        counts = {}
        pending = [b for data, sub, _ in self.nodes.values() for b in (data, sub) if b]
        while pending:
            bid = pending.pop()
            counts[bid] = counts.get(bid, 0) + 1
            if counts[bid] == 1 and is_internal(bid):
                pending.extend(self._children(bid))
        return counts

    def _write_btrees(self, image, allocator, placed, references):
        nbt = [struct.pack('<QQQII', nid, data, sub, parent, 0)
               for nid, (data, sub, parent) in sorted(self.nodes.items())]
        nbt_keys = sorted(self.nodes)
        bbt_items = sorted(placed.items())
        bbt = [struct.pack('<QQHHI', bid, ib, cb, references[bid] + 1, 0) for bid, (ib, cb) in bbt_items]
        self.header.nbt_root = self._write_btree(image, allocator, PTYPE_NBT, nbt_keys, nbt, 32)
        self.header.bbt_root = self._write_btree(image, allocator, PTYPE_BBT, [b for b, _ in bbt_items], bbt, 24)

    def _write_btree(self, image, allocator, ptype, keys, entries, entry_size):
        """Writes the pages of one B-tree, leaves first, and returns the BREF of its root."""
        level = 0
        while True:
            per_page = 488 // entry_size
            pages = []
            for i in range(0, max(len(entries), 1), per_page):
                chunk = entries[i:i + per_page]
                ib = allocator.place(PAGE_SIZE, unit=PAGE_SIZE)
                bid = self.header.next_page_bid
                self.header.next_page_bid += 1
                body = b''.join(chunk).ljust(488, b'\0')
                body += bytes([len(chunk), per_page, entry_size, level]) + bytes(4)
                trailer = struct.pack('<BBHIQ', ptype, ptype, signature(ib, bid), pst_crc(body), bid)
                self._put(image, ib, body + trailer)
                pages.append((keys[i] if chunk else 0, bid, ib))
            if len(pages) == 1:
                return pages[0][1], pages[0][2]
            keys = [key for key, _, _ in pages]
            entries = [struct.pack('<QQQ', key, bid, ib) for key, bid, ib in pages]
            entry_size = 24
            level += 1

    def _write_maps(self, image, allocator, placed):
        """AMap pages from what is in use, and the deprecated PMap (all set) and FMap pages."""
        regions = allocator.region_count
        bitmaps = [bytearray(PAGE_DATA) for _ in range(regions)]

        def mark(offset, size):
            for unit_offset in range(offset, offset + size, BLOCK_ALIGN):
                region, unit = divmod((unit_offset - FIRST_AMAP) // BLOCK_ALIGN, PAGE_DATA * 8)
                bitmaps[region][unit // 8] |= 0x80 >> (unit % 8)

        for region in range(regions):
            for page, _ in map_pages_of_region(region):
                mark(page, PAGE_SIZE)
        for ib, cb in placed.values():
            mark(ib, block_footprint(cb))
        for ib, size in allocator.placed:
            mark(ib, size)
        free = 0
        for region in range(regions):
            for page, ptype in map_pages_of_region(region):
                if ptype == PTYPE_AMAP:
                    body = bytes(bitmaps[region])
                    free += sum(8 - bin(byte).count('1') for byte in body) * BLOCK_ALIGN
                elif ptype == PTYPE_PMAP:
                    body = b'\xff' * PAGE_DATA
                else:
                    body = bytes(PAGE_DATA)
                trailer = struct.pack('<BBHIQ', ptype, ptype, 0, pst_crc(body), page)
                self._put(image, page, body + trailer)
        return region_start(regions - 1), free
