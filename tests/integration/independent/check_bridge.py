#!/usr/bin/env python3
"""Check a running Zephrane bridge with an independent client.

    check_bridge.py HOST PORT     codec checks, then checks against the bridge
    check_bridge.py --offline     codec checks only

Prints one "ok ..." or "FAIL ..." line per check; exits 0 when all pass, 1 otherwise.
"""

import math
import os
import sys
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import bridge_protocol as bp  # noqa: E402


def h(text):
    return bytes.fromhex(text)


class Failure(Exception):
    pass


def expect(cond, message):
    if not cond:
        raise Failure(message)


def expect_eq(actual, wanted, what):
    if actual != wanted:
        raise Failure("%s: got %r, wanted %r" % (what, actual, wanted))


# ================================================================ codec checks

COMPACT_TABLE = [
    (0, "00"), (1, "01"), (63, "3F"), (-1, "81"), (64, "40 08"), (100, "44 0C"),
    (-100, "C4 0C"), (200, "40 19"), (1000, "40 7D"),
    (2147483647, "5F FF FF FF 0F"),
    (9223372036854775807, "7F FF FF FF FF FF FF FF 0F"),
]

REAL_TABLE = [
    (0.0, "0D 00 00"), (1.0, "0D 00 4F 07 1E"), (-2.0, "0D 00 40 18"),
    (46.5, "0D 00 50 E8 08 08"), (7.25, "0D 00 48 A8 03"),
    (0.1, "0D 00 F9 D8 C8 CC CC CC CC AC 0C"),
]

SIMPLE_TABLE = [
    ({}, "15 00 00"), ([], "14 00 00"), ("", "0A 00 00"), (None, "0B 00"),
    (True, "0F 00 01"), (-5, "0C 00 85"), (1000, "0C 00 40 7D"),
]

LOGIN_REQUEST = h(
    "15 00 02"
    "0A 00 0A 55 73 65 72 2D 41 67 65 6E 74"
    "0A 00 15 51 75 69 6C 6C 6F 72 79 20 5A 65 70 68 72 61 6E 65 20 41 70 70"
    "0A 00 08 50 61 73 73 77 6F 72 64"
    "0A 00 20 38 37 38 63 62 35 33 35 32 65 61 31 36 39 36 39 62 63 63 32 31 36 61 62 65"
    " 38 35 61 33 32 37 62")

LOGIN_OK = h(
    "15 00 02"
    "0A 00 15 43 6F 6E 6E 65 63 74 65 64 20 64 65 76 69 63 65 5F 6E 61 6D 65"
    "0A 00 07 58 2D 50 6C 61 6E 65"
    "0A 00 06 52 65 73 75 6C 74 0C 00 00")

REFUSAL_FULL = h("15 00 01 0A 00 06 52 65 73 75 6C 74 0C 00 04")

REQUEST_1 = h("15 00 01 0A 00 06 63 6D 64 5F 69 64 0A 00 01 31")

REPORT = h(
    "15 00 0A"
    "0A 00 08 6C 61 74 69 74 75 64 65 0D 00 50 E8 08 08"
    "0A 00 06 63 6F 75 72 73 65 0D 00 50 C8 0A 10"
    "0A 00 04 72 6F 6C 6C 0D 00 48 98 04"
    "0A 00 0D 61 63 63 65 6C 65 72 61 74 69 6F 6E 5A 0D 00 4F 17 1E"
    "0A 00 09 6C 6F 6E 67 69 74 75 64 65 0D 00 48 A8 03"
    "0A 00 03 79 61 77 0D 00 48 E8 0A"
    "0A 00 08 61 6C 74 69 74 75 64 65 0D 00 50 48 12 18"
    "0A 00 05 73 70 65 65 64 0D 00 50 C8 09 08"
    "0A 00 04 73 6C 69 70 0D 00 4F 07 1A"
    "0A 00 05 70 69 74 63 68 0D 00 40 88")


def offline_compact_integers():
    for value, text in COMPACT_TABLE:
        expect_eq(bp.encode_compact(value).hex(" ").upper(), text, "encode %d" % value)
        expect_eq(bp.decode(h("0C 00 " + text)), value, "decode %s" % text)
    expect_eq(bp.decode(h("0C 00 80")), 0, "negative zero")
    # Round trips across every byte-length boundary, both signs.
    values = {bp.INT64_MAX, bp.INT64_MIN + 1}
    for bits in range(1, 64):
        for v in ((1 << bits) - 1, 1 << bits, (1 << bits) + 1):
            if v <= bp.INT64_MAX:
                values.update((v, -v))
    for v in sorted(values):
        data = bp.encode_compact(v)
        expect(1 <= len(data) <= 9, "%d encoded in %d bytes" % (v, len(data)))
        expect_eq(bp.decode(b"\x0c\x00" + data), v, "round trip")


def offline_simple_records():
    for obj, text in SIMPLE_TABLE:
        expect_eq(bp.encode(obj).hex(" ").upper(), text, "encode %r" % (obj,))
        got = bp.decode(h(text))
        expect(got == obj and type(got) is type(obj), "decode %s gave %r" % (text, got))
    expect_eq(bp.decode(h("0F 00 07")), True, "non-zero boolean")
    expect_eq(bp.decode(h("0F 00 00")), False, "false boolean")
    nested = {"a": [1, 2.5, "x", b"\x00\xff", None, False, bp.Date(1e9)], "b": {"c": []}}
    expect_eq(bp.decode(bp.encode(nested)), nested, "nested round trip")
    expect_eq(bp.decode(bp.encode("Zürich ✈")), "Zürich ✈", "UTF-8 string")


def offline_reals():
    for value, text in REAL_TABLE:
        expect_eq(bp.encode(value).hex(" ").upper(), text, "encode %r" % value)
        got = bp.decode(h(text))
        expect(type(got) is float and got == value, "decode %s gave %r" % (text, got))
    expect_eq(bp.real_to_int(46.5), 4212544, "46.5 as reversed integer")
    expect_eq(bp.decode(h("0E 00 50 E8 08 08")), bp.Date(46.5), "date record")
    neg_zero = bp.decode(bp.encode(-0.0))
    expect(neg_zero == 0.0 and math.copysign(1, neg_zero) < 0, "-0.0 lost its sign")
    for v in (math.inf, -math.inf, 5e-324, 1.7976931348623157e308, 51.200000762939453):
        expect_eq(bp.decode(bp.encode(v)), v, "round trip %r" % v)
    expect(math.isnan(bp.decode(bp.encode(math.nan))), "NaN round trip")


def offline_messages():
    expect_eq(bp.encode({"cmd_id": "1"}), REQUEST_1, "the 16-byte request")
    expect_eq(len(LOGIN_REQUEST), 86, "login request length")
    expect_eq(bp.encode(bp.login_request()), LOGIN_REQUEST, "login request bytes")
    expect_eq(len(LOGIN_OK), 49, "login reply length")
    ok = bp.decode(LOGIN_OK)
    expect_eq(ok, {"Connected device_name": "X-Plane", "Result": 0}, "login-ok reply")
    expect(type(ok["Result"]) is int, "login-ok Result is not an integer number")
    expect_eq(len(REFUSAL_FULL), 15, "refusal length")
    refusal = bp.decode(REFUSAL_FULL)
    expect(refusal == {"Result": 4} and type(refusal["Result"]) is int, "refusal gave %r" % refusal)
    expect_eq(len(REPORT), 151, "report length")
    expect_eq(bp.decode(REPORT), {
        "latitude": 46.5, "longitude": 7.25, "altitude": 1200.0, "speed": 60.5, "course": 90.0,
        "pitch": 2.5, "roll": -10.0, "yaw": 92.0, "slip": 0.25, "accelerationZ": -1.0}, "report")


def offline_malformed():
    bad = {
        "truncated string": "0A 00 05 61 62",
        "truncated compact integer": "0C 00 5F FF",
        "unknown tag": "43 0C 00",
        "version 1": "0A 01 00",
        "negative length": "0A 00 81",
        "bytes after the record": "0B 00 0B 00",
        "array key in dictionary": "15 00 01 14 00 00 0B 00",
        "nested too deep": "14 00 01 " * 70 + "14 00 00",
    }
    for name, text in bad.items():
        try:
            got = bp.decode(h(text))
        except bp.ProtocolError:
            continue
        raise Failure("%s decoded as %r" % (name, got))


def offline_password():
    expect_eq(len(bp.PASS_PHRASE), 27, "pass-phrase length")
    expect_eq(bp.password_digest(), bp.PASSWORD, "MD5 of the pass-phrase")


OFFLINE = [
    ("compact integers table and round trips", offline_compact_integers),
    ("simple records table", offline_simple_records),
    ("reals table", offline_reals),
    ("request, login, refusal and report bytes", offline_messages),
    ("malformed records are rejected", offline_malformed),
    ("password is the MD5 of the pass-phrase", offline_password),
]


# ================================================================ bridge checks

def logged_in(host, port):
    conn = bp.Connection(host, port)
    reply = conn.login()
    if reply.get("Result") != 0:
        conn.close()
        raise Failure("login refused: %r" % reply)
    return conn


def check_report(report, what):
    expect(isinstance(report, dict), "%s is not a dictionary: %r" % (what, report))
    expect_eq(set(report), set(bp.REPORT_KEYS), "%s keys" % what)
    for key, value in report.items():
        expect(type(value) is float, "%s %s is %r, not a real number" % (what, key, value))
        expect(math.isfinite(value), "%s %s is %r" % (what, key, value))


def bridge_login_ok(host, port):
    with bp.Connection(host, port) as conn:
        reply = conn.login()
        expect_eq(reply, {"Result": 0, "Connected device_name": "X-Plane"}, "login reply")
        expect(type(reply["Result"]) is int, "Result is %r, not an integer number" % reply["Result"])


def bridge_refusals(host, port):
    cases = [
        ("wrong agent, wrong password", dict(user_agent="Some Other App", password="0" * 32), 3),
        ("no agent", dict(user_agent=None), 3),
        ("right agent, wrong password", dict(password="0" * 32), 2),
        ("right agent, password in upper case", dict(password=bp.PASSWORD.upper()), 2),
        ("right agent, no password", dict(password=None), 2),
        ("Protocol_Version 1", dict(protocol_version="1"), 5),
        ("Protocol_Version 1, wrong agent", dict(user_agent="x", protocol_version="1"), 5),
    ]
    for name, kwargs, code in cases:
        with bp.Connection(host, port) as conn:
            reply = conn.login(**kwargs)
            expect_eq(reply, {"Result": code}, name)
            expect(type(reply["Result"]) is int, "%s: Result is not an integer number" % name)
            closed, extra = conn.wait_closed(3.0)
            expect(closed, "%s: connection still open 3 s after the refusal" % name)
            expect_eq(extra, 0, "%s: bytes after the refusal" % name)


def bridge_protocol_version_zero(host, port):
    with bp.Connection(host, port) as conn:
        reply = conn.login(protocol_version="0")
        expect_eq(reply.get("Result"), 0, "Protocol_Version 0")
        check_report(conn.request("1"), "report after Protocol_Version 0")


def bridge_back_to_back(host, port):
    with logged_in(host, port) as conn:
        conn.send_raw(bp.encode({"cmd_id": "1"}) * 20)
        for i in range(20):
            check_report(conn.receive(3.0), "report %d" % (i + 1))
        expect(conn.expect_silence(0.5), "more than 20 reports for 20 requests")


def bridge_ignored_requests(host, port):
    with logged_in(host, port) as conn:
        for name, message in [("cmd_id \"2\"", {"cmd_id": "2"}),
                              ("cmd_id \"abc\"", {"cmd_id": "abc"}),
                              ("cmd_id as integer 1", {"cmd_id": 1}),
                              ("an array", ["cmd_id", "1"]),
                              ("a dictionary without cmd_id", {"cmd": "1"})]:
            conn.send(message)
            expect(conn.expect_silence(0.5), "%s got a reply" % name)
            check_report(conn.request("1"), "report after %s" % name)


def bridge_cmd_id_forms(host, port):
    with logged_in(host, port) as conn:
        for cmd_id in (" 1", "+1", "01", "1abc", "\t\n1"):
            try:
                report = conn.request(cmd_id, timeout=2.0)
            except bp.Timeout:
                raise Failure("cmd_id %r got no report" % cmd_id)
            check_report(report, "report for cmd_id %r" % cmd_id)


def bridge_first_message_not_dictionary(host, port):
    for name, message in [("a string", "User-Agent"), ("an array", [bp.login_request()])]:
        with bp.Connection(host, port) as conn:
            conn.send(message)
            closed, extra = conn.wait_closed(3.0)
            expect_eq(extra, 0, "bytes sent after %s as first message" % name)
            expect(closed, "connection still open 3 s after %s as first message" % name)


def bridge_malformed_after_login(host, port):
    with logged_in(host, port) as conn:
        conn.send_raw(bp.encode_compact(99) + b"\x00")  # tag 99 does not exist
        closed, extra = conn.wait_closed(3.0)
        expect(closed and extra == 0, "unknown tag: closed=%s, %d bytes received" % (closed, extra))


def bridge_login_deadline(host, port):
    with bp.Connection(host, port) as conn:
        conn.send_raw(LOGIN_REQUEST[:10])  # a login request that never completes
        closed, extra = conn.wait_closed(8.0)
        expect(closed, "connection still open 8 s after connecting without a complete login")
        expect_eq(extra, 0, "bytes sent to a client that never logged in")


def bridge_place_freed(host, port):
    # A client that leaves frees its place: many log in and leave one after another.
    for i in range(25):
        with logged_in(host, port) as conn:
            check_report(conn.request("1"), "report for client %d" % (i + 1))


def bridge_client_limit(host, port):
    conns = []
    try:
        for i in range(17):
            conns.append(logged_in(host, port))
        for name, kwargs in [("right credentials", {}),
                             ("wrong credentials", dict(user_agent="x", password="y"))]:
            with bp.Connection(host, port) as extra:
                reply = extra.login(**kwargs)
                expect_eq(reply, {"Result": 4}, "18th client with %s" % name)
                closed, _ = extra.wait_closed(3.0)
                expect(closed, "18th client still connected after code 4")
        for i, conn in enumerate(conns):
            check_report(conn.request("1"), "report for client %d of 17" % (i + 1))
        conns.pop().close()
        # The place is freed once the bridge notices the close; allow it a moment.
        for attempt in range(20):
            with bp.Connection(host, port) as conn:
                if conn.login().get("Result") == 0:
                    break
            bp.time.sleep(0.1)
        else:
            raise Failure("no place freed 2 s after one of 17 clients left")
    finally:
        for conn in conns:
            conn.close()


BRIDGE = [
    ("login with the right credentials", bridge_login_ok),
    ("refusal codes and closing after them", bridge_refusals),
    ("Protocol_Version \"0\" is accepted", bridge_protocol_version_zero),
    ("20 back-to-back requests give 20 reports", bridge_back_to_back),
    ("other messages are ignored, connection stays open", bridge_ignored_requests),
    ("cmd_id forms that read as 1", bridge_cmd_id_forms),
    ("first message not a dictionary is closed silently", bridge_first_message_not_dictionary),
    ("malformed record after login closes the connection", bridge_malformed_after_login),
    ("incomplete login is dropped after 5 s", bridge_login_deadline),
    ("places are freed when clients leave", bridge_place_freed),
    ("17 clients at once, the 18th gets 4", bridge_client_limit),
]


# ================================================================ driver

def run(checks, *args):
    failures = 0
    for name, fn in checks:
        try:
            fn(*args)
        except Failure as e:
            failures += 1
            print("FAIL %s: %s" % (name, e))
        except (bp.Timeout, bp.Closed, bp.ProtocolError, OSError) as e:
            failures += 1
            print("FAIL %s: %s: %s" % (name, type(e).__name__, e))
        except Exception:
            failures += 1
            print("FAIL %s: unexpected error\n%s" % (name, traceback.format_exc().rstrip()))
        else:
            print("ok %s" % name)
        sys.stdout.flush()
    return failures


def main(argv):
    if argv[1:] == ["--offline"]:
        return 1 if run(OFFLINE) else 0
    if len(argv) != 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    host, port = argv[1], int(argv[2])
    failures = run(OFFLINE) + run(BRIDGE, host, port)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
