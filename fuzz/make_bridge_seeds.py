#!/usr/bin/env python3
"""Writes the seed corpus of BridgeFuzzer into fuzz/corpus/bridge/.

Each seed is a sequence of parts, each one length byte followed by that many bytes; the first part is the
login part, the rest are request parts (see BridgeFuzzer.cpp). The records are encoded here, from the
protocol description in docs/protocol.md, independently of the bridge's own serializer.

Run from anywhere: python3 fuzz/make_bridge_seeds.py
"""
import hashlib
import pathlib
import struct

USER_AGENT = "Quillory Zephrane App"
PASSWORD = hashlib.md5(b"Zephrane bridge for X-Plane").hexdigest()


def compact(value):
    magnitude = abs(value)
    sign = 0x80 if value < 0 else 0
    if magnitude < 64:
        return bytes([sign | magnitude])
    rest = magnitude >> 3
    extension = rest.to_bytes((rest.bit_length() + 7) // 8, "little")
    return bytes([sign | 0x40 | ((len(extension) - 1) << 3) | (magnitude & 7)]) + extension


def record(tag, payload=b""):
    return compact(tag) + compact(0) + payload


def string(text):
    data = text.encode()
    return record(10, compact(len(data)) + data)


def integer(value):
    return record(12, compact(value))


def real(value):
    reversed_pattern = struct.unpack("<q", struct.pack(">d", value))[0]
    return record(13, compact(reversed_pattern))


def dictionary(entries):
    body = b"".join(key + value for key, value in entries)
    return record(21, compact(len(entries)) + body)


def array(members):
    return record(20, compact(len(members)) + b"".join(members))


def login(user_agent=USER_AGENT, password=PASSWORD, extra=()):
    entries = [(string("User-Agent"), string(user_agent)), (string("Password"), string(password))]
    return dictionary(entries + list(extra))


def request(command="1"):
    return dictionary([(string("cmd_id"), string(command))])


def parts(*chunks):
    out = b""
    for chunk in chunks:
        assert len(chunk) <= 255, "a part holds at most 255 bytes"
        out += bytes([len(chunk)]) + chunk
    return out


def seeds():
    good_login = login()
    wrong_password = PASSWORD[:-1] + ("0" if PASSWORD[-1] != "0" else "1")
    deep = string("x")
    for _ in range(70):
        deep = array([deep])
    return {
        "login": parts(good_login),
        "login-request": parts(good_login, request()),
        "login-three-requests": parts(good_login, request(), request(), request()),
        "login-and-request-in-one-part": parts(good_login + request()),
        "login-split-midway": parts(good_login[:40], good_login[40:], request()),
        "login-other-commands": parts(good_login, request("2"), request(" +1x"), dictionary([(string("cmd_id"), integer(1))])),
        "login-request-then-report": parts(good_login, dictionary([(string("latitude"), real(46.5))]), request()),
        "wrong-password": parts(login(password=wrong_password), request()),
        "wrong-user-agent": parts(login(user_agent="Quillory Zephrane Ap"), request()),
        "protocol-version-1": parts(login(extra=[(string("Protocol_Version"), string("1"))]), request()),
        "login-not-a-dictionary": parts(array([string(USER_AGENT), string(PASSWORD)]), request()),
        "login-cut-short": parts(good_login[:-5]),
        "login-then-unknown-tag": parts(good_login, record(3)),
        "login-then-deep-nesting": parts(good_login, deep[:250]),
        "login-then-huge-string": parts(good_login, record(10, compact(16 * 1024 * 1024))),
        "login-then-file": parts(good_login, record(2, dictionary([(string("fa_size"), integer(4)), (string("fa_name"), string("seed.txt"))]) + b"abcd"), request()),
        "login-then-negative-count": parts(good_login, record(21, compact(-1)), request()),
    }


def main():
    folder = pathlib.Path(__file__).resolve().parent / "corpus" / "bridge"
    folder.mkdir(parents=True, exist_ok=True)
    for name, data in seeds().items():
        (folder / name).write_bytes(data)


if __name__ == "__main__":
    main()
