#!/usr/bin/env python3
"""Writes the small seed corpora of the fuzz targets (deterministic; run from the repo root)."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def ready_reply():
    # Report ID, status, length, mode 0, ESC state 3, versions.
    return bytes([0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02, 0x01, 0, 0]) + bytes(52)


for target in ("unit_link", "update"):
    write(target, "empty", b"")
    write(target, "ones", b"\x01" * 256)
    write(target, "ready-replies", ready_reply() * 8 + b"\xff" * 64)
    write(target, "refusals", (b"\x02\xff\x04\x01\x05\x00\x00\x00" + bytes(56)) * 6 + b"\x07" * 32)


def interface_broadcast(name, stated=None):
    encoded = name.encode("utf-16-le") + b"\x00\x00"
    size = 28 + len(encoded) if stated is None else stated
    guid = bytes.fromhex("b2551e4d6ff1cf1188cb001111000030")
    return struct.pack("<III", size, 5, 0) + guid + encoded


path = "\\\\?\\HID#VID_1209&PID_0002#7&1a2b3c4d&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}"
write("device_event", "arrival", b"\x00" + interface_broadcast(path))
write("device_event", "removal", b"\x01" + interface_broadcast(path))
write("device_event", "unterminated", b"\x00" + interface_broadcast("ABCD")[:-2])
write("device_event", "size-too-large", b"\x01" + interface_broadcast("x", stated=4096))
write("device_event", "volume", b"\x00" + struct.pack("<IIIII", 20, 2, 0, 4, 0))
write("device_event", "other-code", b"\x02" + struct.pack("<Q", 7) + bytes(12))


def vendor_descriptor(report_ids=True, out_bytes=64, in_bytes=64):
    """Vendor page, application collection, a byte-array output then input report."""
    def report(report_id, main, count):
        head = bytes([0x85, report_id]) if report_ids else b""
        return head + bytes([0x09, 0x02, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x96]) + \
            struct.pack("<H", count) + bytes([main, 0x02])
    return bytes([0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01]) + report(1, 0x91, out_bytes) + \
        report(2, 0x81, in_bytes) + bytes([0xC0])


boot_keyboard = bytes.fromhex(
    "05010906a101050719e029e71500250175019508810295017508810195057501050819012905"
    "9102950175039101950675081500256505071900296581" "00c0")
write("report_descriptor", "unit", vendor_descriptor())
write("report_descriptor", "unnumbered", vendor_descriptor(report_ids=False))
write("report_descriptor", "odd-lengths", vendor_descriptor(out_bytes=60, in_bytes=43))
write("report_descriptor", "boot-keyboard", boot_keyboard)
write("report_descriptor", "push-pop-long", bytes.fromhex("75089540a4751095028102b48102fe03f1aabbcc"))
write("report_descriptor", "truncated", vendor_descriptor()[:-9])
