#!/usr/bin/env python3
"""Writes the hand-made seed inputs of the fuzz targets into corpus/<target>/seed-<name>.

Run it again after changing a target's input layout; files the fuzzer found (named by their
SHA-1) are left alone.
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
seeds = {}


def seed(target, name, data):
    if isinstance(data, str):
        data = data.encode()
    seeds.setdefault(target, {})[name] = data


def u16(text):
    return text.encode("utf-16-le", "surrogatepass")


def word(*values):
    return b"".join(struct.pack("<I", v & 0xFFFFFFFF) for v in values)


# config_file: byte 0 even = file contents, odd = UTF-16LE file name.
seed("config_file", "empty", b"\x00")
seed("config_file", "seven-bytes", b"\x00" + b"1234567")
seed("config_file", "one-pair", b"\x00" + struct.pack("<ii", 1, -1))
seed("config_file", "pairs-and-tail", b"\x00" + struct.pack("<iiii", 0x12345678, -2**31, 7, 2**31 - 1) + b"\xAA\xBB\xCC")
seed("config_file", "many-pairs", b"\x00" + b"".join(struct.pack("<ii", i, -i) for i in range(200)))
seed("config_file", "name-ascii", b"\x01" + u16("camera.cfg"))
seed("config_file", "name-accents", b"\x01" + u16("r\u00e9glages-\u65e5\u672c.cfg"))
seed("config_file", "name-pair", b"\x01" + u16("\U0001F4F7.cfg"))
seed("config_file", "name-lone-high", b"\x01" + u16("a\ud800b"))
seed("config_file", "name-lone-low", b"\x01" + u16("\udc00"))
seed("config_file", "name-odd-byte", b"\x01" + u16("ab") + b"c")
seed("config_file", "name-embedded-nul", b"\x01" + u16("a\x00\ud800"))
seed("config_file", "name-too-long", b"\x01" + u16("\u00e9" * 520))
seed("config_file", "name-parent", b"\x01" + u16(".."))

# registry_text: the store file's bytes.
HEADER = "Windows Registry Editor Version 5.00\n"
SDK = "[HKEY_CURRENT_USER\\Software\\Korvel\\Tavlin410QZVKESdk\\Camera_00]\n"
seed("registry_text", "store", HEADER + "\n[HKEY_CURRENT_USER\\Software\\Korvel]\n\n" + SDK +
     '"Size"=dword:00000000\n"Exposure"=dword:0000ea60\n')
seed("registry_text", "header-only", HEADER)
seed("registry_text", "empty", "")
seed("registry_text", "regedit4-crlf", ("REGEDIT4\n\n" + SDK + '"Gain"=dword:1\n').replace("\n", "\r\n"))
seed("registry_text", "utf8-bom-comments", "\ufeff" + HEADER + "; exported\n" + SDK + "@=dword:FFFFFFFF\n")
seed("registry_text", "utf16-export", b"\xff\xfe" + u16((HEADER + "\n" + SDK + '"Mode"=dword:2\n').replace("\n", "\r\n")))
seed("registry_text", "escaped-names", HEADER + SDK + '"a\\"b"=dword:1\n"c\\\\d"=dword:2\n"\u00e9t\u00e9"=dword:3\n')
seed("registry_text", "hive-value", HEADER + "[HKEY_CURRENT_USER]\n\"Top\"=dword:7\n")
seed("registry_text", "case-merge", HEADER + "[hkey_current_user\\A\\b]\n\"X\"=dword:1\n[HKEY_CURRENT_USER\\a\\B]\n\"x\"=dword:2\n")
seed("registry_text", "value-before-key", HEADER + '"Size"=dword:0\n')
seed("registry_text", "other-hive", HEADER + "[HKEY_LOCAL_MACHINE\\Software]\n")
seed("registry_text", "string-value", HEADER + SDK + '"Name"="text"\n')
seed("registry_text", "nine-digits", HEADER + SDK + '"Big"=dword:123456789\n')
seed("registry_text", "empty-component", HEADER + "[HKEY_CURRENT_USER\\a\\\\b]\n")
seed("registry_text", "no-newline-at-end", HEADER + SDK + '"Size"=dword:00000001')
seed("registry_text", "utf16-odd", b"\xff\xfe" + u16("REGEDIT4\n") + b"x")
seed("registry_text", "utf16-lone-surrogate", b"\xff\xfe" + u16("REGEDIT4\n[HKEY_CURRENT_USER\\\ud800]\n"))

# vcam_packets: a sequence of operations, each an opcode byte and its operands.
def packet(*head, shape=0):
    body = bytes(head) + bytes(64 - len(head))
    return b"\x00" + body + bytes([shape])


def sensor_write(reg, value):
    return packet(0x04, reg, value >> 8, value & 0xFF)


def controller_write(reg, value):
    return packet(0x25, reg, value)


def reply(shape=0, length=None):
    return b"\x01" + bytes([shape]) + (bytes([length]) if length is not None else b"")


def frame(length, request=True):
    if length < 0x10000:
        return b"\x02" + bytes([1 if request else 0]) + struct.pack("<H", length)
    return b"\x02" + bytes([0x0F if request else 0x0E]) + word(length)


def control(what, value):
    return b"\x05" + bytes([what, value])


small_window = sensor_write(3, 15) + sensor_write(4, 15)
seed("vcam_packets", "small-frame", small_window + frame(16 * 16))
seed("vcam_packets", "frame-without-request", small_window + frame(256, request=False))
seed("vcam_packets", "frame-longer-than-window", small_window + frame(1000))
seed("vcam_packets", "frame-shorter-than-line", small_window + frame(7))
seed("vcam_packets", "frame-empty", frame(0))
seed("vcam_packets", "full-frame-16bit", controller_write(14, 1) + frame(1280 * 1024 * 2))
seed("vcam_packets", "skip-modes", sensor_write(30, 0x30) + frame(4096) + sensor_write(30, 0x0C) +
     sensor_write(32, 0x18) + frame(4096))
seed("vcam_packets", "sensor-read", packet(0x0C, 0) + reply() + packet(0x0C, 9) + reply(length=63))
seed("vcam_packets", "controller-read", packet(0x26, 15) + reply(shape=3, length=200))
seed("vcam_packets", "srom-read", packet(0x41, 0x51, 0x02, 0x01, 0x18, 0x00) + reply())
seed("vcam_packets", "srom-write-read", packet(0x40, 0x51, 0x03, 0xFF, 0xFF, 0x7E) +
     packet(0x41, 0x51, 0x02, 0x01, 0xFF, 0xFF) + reply())
seed("vcam_packets", "srom-malformed", packet(0x41, 0x50, 0x02, 0x01, 0xFF, 0xFF) + reply())
seed("vcam_packets", "transfer-size", packet(0x09, 0x00, 0x00, 0x14, 0x00) + packet(0x0A, 1) +
     packet(0x01) + packet(0x06))
seed("vcam_packets", "reset-sensor", sensor_write(9, 0x3FFF) + sensor_write(13, 1) + frame(64))
seed("vcam_packets", "trigger", small_window + sensor_write(30, 0x0100) + controller_write(11, 1) +
     control(0, 2) + frame(256) + frame(256) + frame(256))
seed("vcam_packets", "trigger-left-while-waiting", sensor_write(30, 0x0100) +
     controller_write(11, 1) + controller_write(11, 0) + frame(256))
seed("vcam_packets", "driver-setting", b"\x03" + word(1, 2) + b"\x00" + b"\x03" + word(2, 5) + b"\x00" +
     b"\x03" + word(1, 0) + b"\x01\x08")
seed("vcam_packets", "faults", control(1, 0x04 | 0) + packet(0x02) + control(1, 0x05) + reply() +
     control(1, 0x06) + small_window + frame(256) + control(1, 0x07) + frame(256))
seed("vcam_packets", "raw-scene", control(3, 0) + small_window + frame(256) + frame(256))
seed("vcam_packets", "flat-scene", control(2, 1) + small_window + frame(256))
seed("vcam_packets", "unplug-after-frame", control(4, 1) + small_window + frame(256) + frame(256) +
     packet(0x02) + reply())
seed("vcam_packets", "reopen", control(5, 0) + small_window + frame(256))
seed("vcam_packets", "short-packet", packet(0x04, 3, 0, 15, shape=2) + b"\x10")
seed("vcam_packets", "other-codes", b"\x04" + b"\x04" + word(0x222000) + b"\x04" + word(0) + b"\x40" +
     b"\x04\x08\x04" + word(7) + b"\x40" + b"\x04\x01\x2c" + word(1, 3) + bytes(36))

# daemon_protocol: byte 0 = 0 device connection, 1 control connection, 2 client decoders.
def request(code, flags, in_bytes=b"", out_length=0, direct=b""):
    return word(0x51525654, code, flags, len(in_bytes), out_length, len(direct)) + in_bytes + direct


PIPE_IN, PIPE_OUT, SETTING = 0x222051, 0x22204E, 0x2220A0
cmd = lambda *head: bytes(head) + bytes(64 - len(head))
seed("daemon_protocol", "device-hello-only", b"\x00")
seed("daemon_protocol", "device-sensor-read",
     b"\x00" + request(PIPE_IN, 3, word(0), 64, cmd(0x0C, 0)) + request(PIPE_OUT, 3, word(1), 64))
seed("daemon_protocol", "device-frame",
     b"\x00" + request(PIPE_OUT, 3, word(0), 64, cmd(0x04, 3, 0, 7)) +
     request(PIPE_OUT, 3, word(0), 64, cmd(0x04, 4, 0, 7)) +
     request(PIPE_OUT, 3, word(0), 64, cmd(0x02)) + request(PIPE_IN, 3, word(2), 64))
seed("daemon_protocol", "device-setting", b"\x00" + request(SETTING, 1, word(1, 5) + bytes(36)))
seed("daemon_protocol", "device-no-buffers", b"\x00" + request(PIPE_IN, 0) + request(PIPE_IN, 2, b"", 0))
seed("daemon_protocol", "device-bad-magic", b"\x00" + b"XXXX" + request(PIPE_IN, 3, word(1), 64)[4:])
seed("daemon_protocol", "device-too-long", b"\x00" + word(0x51525654, PIPE_IN, 1, 5000, 0, 0))
seed("daemon_protocol", "device-truncated", b"\x00" + request(PIPE_IN, 3, word(0), 64, cmd(0x0C, 0))[:-10])
seed("daemon_protocol", "control-basic", b"\x01ping\nhelp\nlist\n")
seed("daemon_protocol", "control-registers",
     b"\x01attach 0\nsensor 0 3\ncontroller 0 15\nsrom 0 0x1800\nsrom-write 0 0x10 5\n"
     b"counters 0\ntrace 0\ntrace 0 0 5\nclear-trace 0\ndetach 0\n")
seed("daemon_protocol", "control-faults",
     b"\x01attach 31\ntrigger 31 3\nscene 31 flat\npacing 31 fast\nfail 31 frame 2\n"
     b"stall 31 on\nstall 31 off\nunplug-after 31 5\ntransfer-size 31\ndriver-setting 31\n")
seed("daemon_protocol", "control-errors",
     b"\x01attach 99\nattach -1\nattach 0x\nfrobnicate\nsensor 0 1\n\n \t\r\nattach 0\nattach 0\n"
     b"scene 0 sky\nfail 0 bogus 1\ntrigger 0 0\nraw 0 12 file\n")
seed("daemon_protocol", "control-raw-missing", b"\x01attach 2\nraw 2 8 /nonexistent/some file.raw\n")
seed("daemon_protocol", "control-long-line", b"\x01" + b"x" * 5000 + b"\nping\n")
seed("daemon_protocol", "control-shutdown", b"\x01ping\nshutdown\nping\n")
seed("daemon_protocol", "control-no-newline", b"\x01ping\r\nlist")
seed("daemon_protocol", "decode-valid", b"\x02" + request(PIPE_IN, 3, b"", 64)[:24] + b"\x00" +
     word(0x50525654, 1, 64, 64) + b"\x00" + word(0x4C485654, 1, 1))
seed("daemon_protocol", "decode-mismatched", b"\x02" + word(0, PIPE_IN, 1, 4, 0, 0) + b"\x01" +
     word(0, 1, 8, 8) + b"\x01" + word(0x4C485654, 1, 2))

# claim_table: byte 0 limits the devices read, then (device number, 152-byte entry) pairs.
LIB = b"TavlinSdk_410QZ_VKE.dll"
TAG = struct.pack("<Q", 0x54524154534C5654)


def entry(window, owner, reserved=0, name=LIB, start=None, tail=b""):
    name_field = name + bytes(112 - len(name)) if len(name) <= 112 else name[:112]
    stamp = (TAG + struct.pack("<Q", start)) if start is not None else bytes(16)
    body = struct.pack("<QQQ", window, owner, reserved) + name_field + stamp
    return body[:152 - len(tail)] + tail if tail else body


def claim(device, data):
    return struct.pack("<H", device) + data


seed("claim_table", "empty-table", b"\x08" + claim(0, bytes(152)))
seed("claim_table", "init-process", b"\xff" + claim(1, entry(0x1234, 1)))
seed("claim_table", "init-process-stamped", b"\xff" + claim(1, entry(0x1234, 1, start=1)))
seed("claim_table", "owner-zero", b"\x04" + claim(2, entry(7, 0)))
seed("claim_table", "owner-impossible", b"\x04" + claim(3, entry(7, 2**40)) + claim(3, entry(7, 2**64 - 1)))
seed("claim_table", "owner-gone", b"\x04" + claim(4, entry(7, 4194304 + 17)))
seed("claim_table", "foreign-name", b"\x04" + claim(5, entry(7, 1, name=b"other.dll")))
seed("claim_table", "reserved-set", b"\x04" + claim(6, entry(7, 1, reserved=9)))
seed("claim_table", "unterminated-name", b"\x04" + claim(7, entry(7, 1, name=b"A" * 128 + TAG)))
seed("claim_table", "name-prefix", b"\x04" + claim(8, entry(7, 1, name=LIB + b"x")))
seed("claim_table", "beyond-section", b"\x01" + claim(65535, entry(7, 1)) + claim(19934, entry(7, 1)))
seed("claim_table", "short-entry", b"\x02" + claim(9, entry(7, 1)[:100]))
seed("claim_table", "many", b"\x03" + b"".join(claim(i, entry(i + 1, i)) for i in range(6)))


def write_all():
    for target, files in seeds.items():
        folder = os.path.join(HERE, "corpus", target)
        os.makedirs(folder, exist_ok=True)
        for name, data in files.items():
            with open(os.path.join(folder, "seed-" + name), "wb") as out:
                out.write(data)
        print(f"{target}: {len(files)} seeds")


if __name__ == "__main__":
    write_all()
    sys.exit(0)
