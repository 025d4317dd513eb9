#!/usr/bin/env python3
"""Writes the example images of data/examples and fills the preset images of the example
description (vantor.tcf.in -> vantor.tcf). Run it after changing either."""
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'data', 'examples')
USE_SIZE = 300


def checksum(b):
    s = sum(b[4:]) & 0xFFFF
    b[2] = s >> 8
    b[3] = s & 0xFF
    return b


def gw110(revision=0x21, protocol=0):
    b = bytearray(USE_SIZE)
    b[0] = revision
    b[1] = 0x1F
    b[4] = 0x00
    b[5] = 0x00                       # no script installed
    b[6] = 12                         # node address
    b[7] = 1                          # 19200 Baud
    b[8:10] = struct.pack('>H', 100)  # response timeout
    b[10] = protocol
    b[11] = 0x01                      # termination on
    b[12:16] = bytes([0x00, 0x01, 0x23, 0x45])
    name = b'Line 3 / Press'
    b[16:16 + len(name)] = name
    b[32:36] = b'kb42'
    b[40:44] = bytes([192, 168, 1, 100])
    b[44:48] = bytes([255, 255, 255, 0])
    b[48:54] = bytes([0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E])
    b[54] = 3
    b[55] = 0x85
    b[56] = ord(';')
    b[57] = 0x12
    b[58:62] = struct.pack('>I', 250000)
    b[62:66] = struct.pack('>I', 0xDEADBEEF)
    b[70:78] = bytes([1, 2, 3, 4, 5, 6, 7, 8])
    b[78:86] = struct.pack('>HHHH', 1, 10, 3, 4)
    b[86:88] = struct.pack('>H', 192)
    html = b'<html><body><h1>GW110</h1></body></html>'
    b[192:192 + len(html)] = html
    b[88] = 0
    return checksum(b)


def gw164x():
    b = bytearray(96)
    b[0] = 0x01
    b[1] = 0x64
    b[4] = 0x01
    b[6] = 7
    b[11] = 0x01
    name = b'Hall 2'
    b[16:16 + len(name)] = name
    b[40:44] = bytes([10, 0, 0, 7])
    return checksum(b)


def put_bits(b, offset, first_bit, length, value):
    """Writes value into length bits from first_bit of the record at offset, counted from
    the most significant bit of its first byte."""
    for i in range(length):
        bit = offset * 8 + first_bit + i
        mask = 0x80 >> (bit % 8)
        if (value >> (length - 1 - i)) & 1:
            b[bit // 8] |= mask
        else:
            b[bit // 8] &= ~mask & 0xFF


def gw210():
    """Device 0x2A with a mapping table at offset 64 (see [GW210:MapTypes])."""
    start = 64
    records = [
        # (type, size, [(first bit, length, value), ...])
        (0x01, 4, [(8, 1, 0), (9, 11, 0x181), (20, 4, 0), (24, 8, 0)]),   # CANopen to Profibus
        (0x01, 4, [(8, 1, 0), (9, 11, 0x181), (20, 4, 1), (24, 8, 1)]),
        (0x01, 4, [(8, 1, 1), (9, 11, 0x201), (20, 4, 0), (24, 8, 8)]),   # Profibus to CANopen
        (0x02, 3, [(8, 8, 0), (16, 8, 2)]),                               # node state
        (0x03, 3, [(8, 8, 2), (16, 8, 3)]),                               # error register
        (0x04, 4, [(8, 16, 1234), (24, 4, 0b1010), (28, 4, 0)]),          # not creatable
    ]
    size = start + sum(r[1] for r in records) + 1
    b = bytearray(size)
    b[0] = 0x11
    b[1] = 0x2A
    b[6] = 5                          # node address
    b[8:10] = struct.pack('>H', start)
    p = start
    for kind, length, fields in records:
        b[p] = kind
        for first, bits, value in fields:
            put_bits(b, p, first, bits, value)
        p += length
    b[p] = 0xFF
    return checksum(b)


def text_form(b):
    return ''.join('%02X' % x for x in b) + '-' + '%04X' % sum(b)


def write(name, b):
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(bytes(b))


def main():
    write('gw110.gwc', gw110())
    write('gw110-ethernet.gwc', gw110(protocol=1))
    write('gw110-v1.gwc', gw110(revision=0x12))
    write('gw164x.gwc', gw164x())
    write('gw210.gwc', gw210())
    mode1 = gw110()
    mode1[88] = 1
    mode1[6] = 20
    mode2 = gw110()
    mode2[88] = 2
    mode2[6] = 1
    mode2[16:32] = b'Factory'.ljust(16, b'\0')
    with open(os.path.join(HERE, 'vantor.tcf.in')) as f:
        text = f.read()
    text = text.replace('@PRESET_MODE1@', text_form(checksum(mode1)))
    text = text.replace('@PRESET_MODE2@', text_form(checksum(mode2)))
    with open(os.path.join(HERE, 'vantor.tcf'), 'w', newline='\r\n') as f:
        f.write(text)


if __name__ == '__main__':
    main()
