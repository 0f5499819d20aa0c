"""A small, self-contained client of the Zephrane bridge.

Object records, compact integers and the real encoding, plus a Connection
that logs in and asks for position reports. Standard library only.
"""

import hashlib
import socket
import struct
import time

PORT = 21777

TAG_BUFFER = 1
TAG_STRING = 10
TAG_NULL = 11
TAG_INTEGER = 12
TAG_REAL = 13
TAG_DATE = 14
TAG_BOOLEAN = 15
TAG_ARRAY = 20
TAG_DICTIONARY = 21

USER_AGENT = "Quillory Zephrane App"
PASS_PHRASE = b"Zephrane bridge for X-Plane"
PASSWORD = "878cb5352ea16969bcc216abe85a327b"

REPORT_KEYS = frozenset([
    "latitude", "longitude", "altitude", "speed", "course",
    "pitch", "roll", "yaw", "slip", "accelerationZ",
])

# Limits the bridge applies to what it reads; the client uses the same ones so
# that a corrupt stream cannot make it allocate without bound.
MAX_BYTES = 16 * 1024 * 1024
MAX_MEMBERS = 1000000
MAX_DEPTH = 64

INT64_MIN = -(1 << 63)
INT64_MAX = (1 << 63) - 1


class ProtocolError(Exception):
    """The bytes received are not a well-formed record."""


class Closed(Exception):
    """The peer closed the connection."""


class Timeout(Exception):
    """Nothing (or not enough) arrived before the deadline."""


class Date:
    """A date record: seconds since 1970-01-01 00:00 UTC."""

    __slots__ = ("seconds",)

    def __init__(self, seconds):
        self.seconds = float(seconds)

    def __eq__(self, other):
        return isinstance(other, Date) and self.seconds == other.seconds

    def __repr__(self):
        return "Date(%r)" % self.seconds


# ---------------------------------------------------------------- integers

def encode_compact(value):
    """Encode a signed integer as a compact integer (1 to 9 bytes)."""
    if not INT64_MIN < value <= INT64_MAX:
        raise ValueError("compact integer out of range: %d" % value)
    sign = 0x80 if value < 0 else 0
    magnitude = -value if value < 0 else value
    if magnitude < 64:
        return bytes([sign | magnitude])
    rest = magnitude >> 3
    n = max(1, (rest.bit_length() + 7) // 8)
    return bytes([sign | 0x40 | ((n - 1) << 3) | (magnitude & 7)]) + rest.to_bytes(n, "little")


def read_compact(read):
    """Read a compact integer using read(n) -> exactly n bytes."""
    a = read(1)[0]
    if not a & 0x40:
        magnitude = a & 0x3F
    else:
        n = ((a >> 3) & 7) + 1
        magnitude = (a & 7) | (int.from_bytes(read(n), "little") << 3)
    return -magnitude if a & 0x80 else magnitude


# ---------------------------------------------------------------- reals

def real_to_int(x):
    """Bytes of the IEEE-754 double, reversed, read as a signed 64-bit integer."""
    return struct.unpack(">q", struct.pack("<d", x))[0]


def int_to_real(n):
    return struct.unpack("<d", struct.pack(">q", n))[0]


# ---------------------------------------------------------------- records

def _header(tag):
    return encode_compact(tag) + b"\x00"


def encode(obj):
    """Encode a Python value as one record.

    str -> string, bytes -> buffer, list/tuple -> array, dict -> dictionary,
    bool -> boolean, int -> integer, float -> real, Date -> date, None -> null.
    """
    if obj is None:
        return _header(TAG_NULL)
    if isinstance(obj, bool):
        return _header(TAG_BOOLEAN) + (b"\x01" if obj else b"\x00")
    if isinstance(obj, int):
        return _header(TAG_INTEGER) + encode_compact(obj)
    if isinstance(obj, float):
        return _header(TAG_REAL) + encode_compact(real_to_int(obj))
    if isinstance(obj, Date):
        return _header(TAG_DATE) + encode_compact(real_to_int(obj.seconds))
    if isinstance(obj, str):
        data = obj.encode("utf-8")
        return _header(TAG_STRING) + encode_compact(len(data)) + data
    if isinstance(obj, (bytes, bytearray)):
        return _header(TAG_BUFFER) + encode_compact(len(obj)) + bytes(obj)
    if isinstance(obj, (list, tuple)):
        return _header(TAG_ARRAY) + encode_compact(len(obj)) + b"".join(encode(m) for m in obj)
    if isinstance(obj, dict):
        parts = [_header(TAG_DICTIONARY), encode_compact(len(obj))]
        for key, value in obj.items():
            parts.append(encode(key))
            parts.append(encode(value))
        return b"".join(parts)
    raise TypeError("cannot encode %r" % type(obj))


def _read_length(read, limit, what):
    n = read_compact(read)
    if n < 0 or n > limit:
        raise ProtocolError("bad %s %d" % (what, n))
    return n


def read_record(read, depth=0):
    """Read one record using read(n) -> exactly n bytes; return the Python value."""
    if depth > MAX_DEPTH:
        raise ProtocolError("records nested too deep")
    tag = read_compact(read)
    version = read_compact(read)
    if version != 0:
        raise ProtocolError("record version %d" % version)
    if tag == TAG_STRING:
        data = read(_read_length(read, MAX_BYTES, "string length"))
        try:
            return data.decode("utf-8")
        except UnicodeDecodeError as e:
            raise ProtocolError("string is not UTF-8: %s" % e)
    if tag == TAG_BUFFER:
        return read(_read_length(read, MAX_BYTES, "buffer length"))
    if tag == TAG_INTEGER:
        return read_compact(read)
    if tag == TAG_REAL:
        return int_to_real(read_compact(read))
    if tag == TAG_DATE:
        return Date(int_to_real(read_compact(read)))
    if tag == TAG_BOOLEAN:
        return read_compact(read) != 0
    if tag == TAG_NULL:
        return None
    if tag == TAG_ARRAY:
        count = _read_length(read, MAX_MEMBERS, "array count")
        return [read_record(read, depth + 1) for _ in range(count)]
    if tag == TAG_DICTIONARY:
        count = _read_length(read, MAX_MEMBERS, "dictionary count")
        result = {}
        for _ in range(count):
            key = read_record(read, depth + 1)
            value = read_record(read, depth + 1)
            try:
                result[key] = value
            except TypeError:
                raise ProtocolError("dictionary key of type %s" % type(key).__name__)
        return result
    raise ProtocolError("unknown tag %d" % tag)


def decode(data):
    """Decode exactly one record from bytes; trailing bytes are an error."""
    pos = [0]

    def read(n):
        if pos[0] + n > len(data):
            raise ProtocolError("record truncated")
        chunk = data[pos[0]:pos[0] + n]
        pos[0] += n
        return bytes(chunk)

    value = read_record(read)
    if pos[0] != len(data):
        raise ProtocolError("%d bytes after the record" % (len(data) - pos[0]))
    return value


def password_digest(phrase=PASS_PHRASE):
    return hashlib.md5(phrase).hexdigest()


# ---------------------------------------------------------------- connection

class Connection:
    """A TCP connection to the bridge. Every read has a deadline."""

    def __init__(self, host, port=PORT, connect_timeout=3.0, source=None):
        """source: the local address to connect from (None: the system's choice)."""
        source_address = (source, 0) if source else None
        self.sock = socket.create_connection((host, port), timeout=connect_timeout, source_address=source_address)
        self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self._buf = bytearray()

    def close(self):
        try:
            self.sock.close()
        except OSError:
            pass

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def send(self, obj):
        self.send_raw(encode(obj))

    def send_raw(self, data):
        self.sock.settimeout(5.0)
        self.sock.sendall(data)

    def _fill(self, deadline):
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            raise Timeout("no data before the deadline")
        self.sock.settimeout(remaining)
        try:
            chunk = self.sock.recv(65536)
        except socket.timeout:
            raise Timeout("no data before the deadline")
        except (ConnectionResetError, BrokenPipeError) as e:
            raise Closed("connection reset: %s" % e)
        if not chunk:
            raise Closed("peer closed the connection")
        self._buf += chunk

    def receive(self, timeout=3.0):
        """Read one record; raise Timeout or Closed when none arrives."""
        deadline = time.monotonic() + timeout
        pos = [0]

        # Bytes are consumed only once the whole record has been read, so a
        # timeout in the middle of a record leaves the stream intact.
        def read(n):
            while len(self._buf) < pos[0] + n:
                self._fill(deadline)
            chunk = bytes(self._buf[pos[0]:pos[0] + n])
            pos[0] += n
            return chunk

        value = read_record(read)
        del self._buf[:pos[0]]
        return value

    def expect_silence(self, seconds):
        """True when nothing arrives for `seconds` (the connection stays open)."""
        if self._buf:
            return False
        try:
            self._fill(time.monotonic() + seconds)
        except Timeout:
            return True
        return False

    def wait_closed(self, timeout=3.0):
        """Return (closed, extra_bytes): whether EOF came before the deadline."""
        deadline = time.monotonic() + timeout
        extra = len(self._buf)
        while True:
            try:
                before = len(self._buf)
                self._fill(deadline)
                extra += len(self._buf) - before
            except Closed:
                return True, extra
            except Timeout:
                return False, extra

    def login(self, user_agent=USER_AGENT, password=PASSWORD, protocol_version=None,
              timeout=3.0):
        request = {}
        if user_agent is not None:
            request["User-Agent"] = user_agent
        if password is not None:
            request["Password"] = password
        if protocol_version is not None:
            request["Protocol_Version"] = protocol_version
        self.send(request)
        return self.receive(timeout)

    def request(self, cmd_id="1", timeout=3.0):
        self.send({"cmd_id": cmd_id})
        return self.receive(timeout)


def login_request(user_agent=USER_AGENT, password=PASSWORD):
    return {"User-Agent": user_agent, "Password": password}
