# SPDX-License-Identifier: GPL-3.0-or-later
"""A copy of a Unicode PST whose data blocks use the format's cyclic obfuscation ("high encryption")
instead of its permutative one, as Outlook writes a file made with that setting: every external data
block is decoded with the permutative table, encoded with the cyclic coding keyed by its block id, and
its trailer's CRC recomputed; the header's coding byte becomes 2. Nothing else changes, so a reader
must read the copy exactly as it reads the original.
"""

import struct

from .ndb import CRYPT_PERMUTE, DECODE, ENCODE, BaseFile, block_footprint, is_internal, pst_crc

CRYPT_CYCLIC = 2
CRYPT_METHOD_AT = 513

# The middle table of the cyclic coding (the format's constant; it is its own inverse).
MIDDLE = bytes([
    20, 83, 15, 86, 179, 200, 122, 156, 235, 101, 72, 23, 22, 21, 159, 2,
    204, 84, 124, 131, 0, 13, 12, 11, 162, 98, 168, 118, 219, 217, 237, 199,
    197, 164, 220, 172, 133, 116, 214, 208, 167, 155, 174, 154, 150, 113, 102, 195,
    99, 153, 184, 221, 115, 146, 142, 132, 125, 165, 94, 209, 93, 147, 177, 87,
    81, 80, 128, 137, 82, 148, 79, 78, 10, 107, 188, 141, 127, 110, 71, 70,
    65, 64, 68, 1, 17, 203, 3, 63, 247, 244, 225, 169, 143, 60, 58, 249,
    251, 240, 25, 48, 130, 9, 46, 201, 157, 160, 134, 73, 238, 111, 77, 109,
    196, 45, 129, 52, 37, 135, 27, 136, 170, 252, 6, 161, 18, 56, 253, 76,
    66, 114, 100, 19, 55, 36, 106, 117, 119, 67, 255, 230, 180, 75, 54, 92,
    228, 216, 53, 61, 69, 185, 44, 236, 183, 49, 43, 41, 7, 104, 163, 14,
    105, 123, 24, 158, 33, 57, 190, 40, 26, 91, 120, 245, 35, 202, 42, 176,
    175, 62, 254, 4, 140, 231, 229, 152, 50, 149, 211, 246, 74, 232, 166, 234,
    233, 243, 213, 47, 112, 32, 242, 31, 5, 103, 173, 85, 16, 206, 205, 227,
    39, 59, 218, 186, 215, 194, 38, 212, 145, 29, 210, 28, 34, 51, 248, 250,
    241, 90, 239, 207, 144, 182, 139, 181, 189, 192, 191, 8, 151, 30, 108, 226,
    97, 224, 198, 193, 89, 171, 187, 88, 222, 95, 223, 96, 121, 126, 178, 138,
])



def cyclic(data, key):
    """The cyclic coding, which is its own inverse, of a block keyed by the low 32 bits of its id."""
    salt = (key ^ (key >> 16)) & 0xFFFF
    out = bytearray()
    for byte in data:
        low, high = salt & 0xFF, salt >> 8
        byte = ENCODE[(byte + low) & 0xFF]
        byte = MIDDLE[(byte + high) & 0xFF]
        byte = DECODE[(byte - high) & 0xFF]
        out.append((byte - low) & 0xFF)
        salt = (salt + 1) & 0xFFFF
    return bytes(out)


def recode_cyclic(source, target):
    base = BaseFile(source)
    if base.header.crypt_method != CRYPT_PERMUTE:
        raise ValueError('%s does not use the permutative coding' % source)
    image = bytearray(base.data)
    for bid, (ib, cb) in base.blocks.items():
        if is_internal(bid):
            continue  # data trees and subnode trees are never obfuscated
        image[ib:ib + cb] = cyclic(bytes(image[ib:ib + cb]).translate(DECODE), bid & 0xFFFFFFFF)
        struct.pack_into('<I', image, ib + block_footprint(cb) - 12, pst_crc(bytes(image[ib:ib + cb])))
    image[CRYPT_METHOD_AT] = CRYPT_CYCLIC
    struct.pack_into('<I', image, 4, pst_crc(bytes(image[8:8 + 471])))
    struct.pack_into('<I', image, 524, pst_crc(bytes(image[8:8 + 516])))
    with open(target, 'wb') as stream:
        stream.write(image)
