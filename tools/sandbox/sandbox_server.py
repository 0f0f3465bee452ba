#!/usr/bin/env python3
"""HTTPS stand-in for the vendor's download hosts, meant to run inside a network namespace.

Every host listens on its own loopback address, port 443, with its own TLS profile and chain.
Files come from a document root. A request can ask for misbehaviour through a path prefix,

    /_/OPTION[,OPTION...]/REST        e.g. /_/date=+60,length=lie:100/downloads/x.msi

where REST maps to the document root, or through DOCROOT/_behaviour.json, read on every request:

    {"/installer/manifest.json": "status=302", "/downloads/x.msi": "cut=1000"}

(keys are REST paths; prefix options win over file options). Options:

    status=CODE        status line CODE; 301/302/303/307/308 add Location, 206 adds Content-Range
    location=URL       Location value (percent-encoded); default https://HOST/REST
    date=+N | date=-N  Date header N seconds from now (the true offset is N+0.05 to N+0.95 s)
    date=none          no Date header
    length=none        no Content-Length: the body ends when the connection closes
    length=N           announce N bytes (and send at most N)
    length=lie:K       announce K bytes more than are sent, then close
    cut=N              send only the first N bytes of the body, announce the full size, close
    body=empty         a 200 with a zero-length body instead of the file
    body=zeros:N       N generated zero bytes instead of the file
    body=endless       generated zero bytes without end and without Content-Length, until the
                       client closes the connection (at most 15 minutes)
    body=html | html   a small text/html page instead of the file
    delay=SECONDS      wait before answering
    rate=BYTES         send a file, zeros or endless body at about BYTES bytes a second
    trickle            the same as rate=512: a body that keeps coming, but slower than any
                       client's minimum rate (64 KiB a minute is about 1,092 bytes a second)
    reset              after the body (or cut=N bytes of it) abort the connection with a TCP reset;
                       a clean close ends a short body without a read error in some clients
    stall              after the body (or cut=N bytes of it) send nothing more and keep the
                       connection open until the client closes it (at most 15 minutes)

DOCROOT/_tls.json, read at every handshake, sends another chain for a host (by SNI):

    {"archive.velmora.test": "cross-signed"}

    cross-signed       the leaf with the pinned intermediate's key cross-signed by a root the
                       namespace does not trust (the chain cannot be validated)
    wrong-name         a leaf for another host name under the pinned intermediate
    pinned-extra       the mirror chain (trusted, without the pinned key) with the pinned
                       intermediate added as an extra certificate that the chain does not use
    interceptor        what a TLS-inspecting proxy presents: a leaf for the host under an
                       inspection CA that a trusted root signed (validates, not pinned)

--blackhole HOST makes HOST drop every connection attempt: its listener's queue is kept full,
so the kernel answers no SYN and clients wait out their own connect time-outs.

One line per request goes to the request log: "HOST METHOD PATH STATUS"; a failed TLS handshake
is logged as "HOST TLS - handshake-failed".
"""

import argparse
import dataclasses
import email.utils
import fcntl
import http
import http.server
import json
import math
import os
import select
import signal
import socket
import socketserver
import ssl
import struct
import sys
import termios
import threading
import time
import urllib.parse
import warnings

CHUNK = 1 << 20
TRICKLE_RATE = 512
ZEROS = memoryview(bytes(CHUNK))
BEHAVIOUR_FILE = "_behaviour.json"
TLS_FILE = "_tls.json"
PREFIX = "/_/"
REDIRECTS = (301, 302, 303, 307, 308)
HTML_PAGE = (b"<!DOCTYPE html>\n<html><head><title>Velmora</title></head>\n<body><h1>Service notice</h1>\n"
             b"<p>The download service is under maintenance.</p></body></html>\n")
CONTENT_TYPES = {".json": "application/json", ".msi": "application/x-msi",
                 ".html": "text/html; charset=utf-8", ".txt": "text/plain; charset=utf-8"}
HANDSHAKE_TIMEOUT = 10
IDLE_TIMEOUT = 60
CLOSE_NOTIFY_WAIT = 5
RESET_DRAIN_WAIT = 2
STALL_LIMIT = 900
DATE_WINDOW = (0.05, 0.15)


@dataclasses.dataclass(frozen=True)
class Host:
    name: str
    address: str
    chain: str          # PEM file name in the PKI folder: certificates sent, leaf first
    key: str
    min_tls: ssl.TLSVersion
    max_tls: ssl.TLSVersion
    ciphers: str = ""   # OpenSSL cipher string, when the default is not enough


HOSTS = (
    Host("downloads.velmora.test", "127.0.0.1", "server-chain.pem", "server.key",
         ssl.TLSVersion.TLSv1_2, ssl.TLSVersion.TLSv1_3),
    Host("cdn.velmora.test", "127.0.0.2", "server-chain.pem", "server.key",
         ssl.TLSVersion.TLSv1_2, ssl.TLSVersion.TLSv1_2),
    Host("archive.velmora.test", "127.0.0.3", "server-chain.pem", "server.key",
         ssl.TLSVersion.TLSv1_2, ssl.TLSVersion.TLSv1_2),
    Host("mirror.velmora.test", "127.0.0.4", "mirror.pem", "mirror.key",
         ssl.TLSVersion.TLSv1_2, ssl.TLSVersion.TLSv1_2),
    # OpenSSL 3 offers no cipher suite for TLS 1.1 above security level 0.
    Host("legacy.velmora.test", "127.0.0.5", "server-chain.pem", "server.key",
         ssl.TLSVersion.TLSv1_1, ssl.TLSVersion.TLSv1_1, "DEFAULT:@SECLEVEL=0"),
    Host("elsewhere.test", "127.0.0.6", "server-chain.pem", "server.key",
         ssl.TLSVersion.TLSv1_2, ssl.TLSVersion.TLSv1_2),
)

# Chains a host can be switched to through _tls.json: (PEM file sent, key).
ALTERNATIVE_CHAINS = {
    "cross-signed": ("cross-signed-chain.pem", "server.key"),
    "wrong-name": ("wrong-name-chain.pem", "wrong-name.key"),
    "pinned-extra": ("pinned-extra-chain.pem", "mirror.key"),
    "interceptor": ("interceptor-chain.pem", "interceptor.key"),
}


class BadOption(ValueError):
    pass


@dataclasses.dataclass
class Behaviour:
    status: int | None = None
    location: str | None = None
    date_shift: int = 0
    send_date: bool = True
    length: str = "auto"        # auto | none | exact | lie
    length_value: int = 0       # announced bytes for exact, extra bytes for lie
    cut: int | None = None
    body: str = "file"          # file | empty | zeros | endless | html
    body_size: int = 0
    delay: float = 0.0
    rate: int = 0               # body bytes a second; 0 is as fast as the connection goes
    reset: bool = False
    stall: bool = False


def parse_count(text, what):
    if not text.isdigit():
        raise BadOption(f"{what} needs a byte count, got {text!r}")
    return int(text)


def apply_option(behaviour, option):
    key, _, value = option.partition("=")
    value = urllib.parse.unquote(value)
    if key == "status":
        if not value.isdigit() or not 100 <= int(value) <= 599:
            raise BadOption(f"status needs a code 100-599, got {value!r}")
        behaviour.status = int(value)
    elif key == "location":
        behaviour.location = value
    elif key == "date":
        if value == "none":
            behaviour.send_date = False
        else:
            try:
                behaviour.date_shift = int(value)
            except ValueError:
                raise BadOption(f"date needs +N, -N or none, got {value!r}") from None
            behaviour.send_date = True
    elif key == "length":
        if value == "none":
            behaviour.length = "none"
        elif value.startswith("lie:"):
            behaviour.length, behaviour.length_value = "lie", parse_count(value[4:], "length=lie:")
        else:
            behaviour.length, behaviour.length_value = "exact", parse_count(value, "length=")
    elif key == "cut":
        behaviour.cut = parse_count(value, "cut=")
    elif key == "html" and not value:
        behaviour.body = "html"
    elif key == "reset" and not value:
        behaviour.reset = True
    elif key == "stall" and not value:
        behaviour.stall = True
    elif key == "body":
        if value in ("empty", "html", "endless"):
            behaviour.body = value
        elif value.startswith("zeros:"):
            behaviour.body, behaviour.body_size = "zeros", parse_count(value[6:], "body=zeros:")
        else:
            raise BadOption(f"body needs empty, html, endless or zeros:N, got {value!r}")
    elif key == "rate":
        behaviour.rate = parse_count(value, "rate=")
        if not behaviour.rate:
            raise BadOption("rate needs at least one byte a second")
    elif key == "trickle" and not value:
        behaviour.rate = TRICKLE_RATE
    elif key == "delay":
        try:
            behaviour.delay = float(value)
        except ValueError:
            raise BadOption(f"delay needs seconds, got {value!r}") from None
    else:
        raise BadOption(f"unknown option {option!r}")


def apply_options(behaviour, text):
    for option in text.split(","):
        if option:
            apply_option(behaviour, option)


def split_prefix(path):
    """'/_/a,b/x/y' -> ('a,b', '/x/y'); a path without the prefix -> ('', path)."""
    if not path.startswith(PREFIX):
        return "", path
    options, slash, rest = path[len(PREFIX):].partition("/")
    return options, slash + rest


def read_overrides(docroot):
    try:
        with open(os.path.join(docroot, BEHAVIOUR_FILE), encoding="utf-8") as f:
            table = json.load(f)
    except FileNotFoundError:
        return {}
    except (OSError, ValueError) as e:
        raise BadOption(f"{BEHAVIOUR_FILE} is unreadable: {e}") from None
    if not isinstance(table, dict) or not all(isinstance(v, str) for v in table.values()):
        raise BadOption(f"{BEHAVIOUR_FILE} must map paths to option strings")
    return table


def read_chain_choice(docroot, host_name):
    """The alternative chain _tls.json names for HOST_NAME, or None."""
    try:
        with open(os.path.join(docroot, TLS_FILE), encoding="utf-8") as f:
            choice = json.load(f).get(host_name)
    except FileNotFoundError:
        return None
    except (OSError, ValueError, AttributeError) as e:
        sys.stderr.write(f"sandbox: {TLS_FILE} is unreadable: {e}\n")
        return None
    if choice is not None and choice not in ALTERNATIVE_CHAINS:
        sys.stderr.write(f"sandbox: {TLS_FILE}: unknown chain {choice!r}\n")
        return None
    return choice


def resolve_file(docroot, rest):
    """The regular file REST names under the document root, or None."""
    parts = [p for p in urllib.parse.unquote(rest).split("/") if p]
    if not parts or any(p in (".", "..") for p in parts) or parts[0] == BEHAVIOUR_FILE:
        return None
    path = os.path.join(docroot, *parts)
    return path if os.path.isfile(path) else None


def http_date(shift):
    """The Date value, SHIFT seconds from now.

    The header has whole seconds while clients compare it with a finer clock, so a plain
    shift of +61 would often look like 60.x seconds. A shifted date is therefore taken
    between 50 and 150 ms after the start of a second and rounded away from now: the true
    offset lies 0.05 to 0.95 s beyond |SHIFT|. That keeps +-60 inside a 61-second tolerance
    and +-61 outside it, with at least 50 ms to spare for a coarse client clock and about
    0.85 s for the client's own latency.
    """
    if shift == 0:
        return email.utils.formatdate(time.time(), usegmt=True)
    while True:
        now = time.time()
        if DATE_WINDOW[0] <= now % 1 < DATE_WINDOW[1]:
            break
        time.sleep((DATE_WINDOW[0] - now) % 1)
    second = math.floor(now)
    return email.utils.formatdate(second + shift + (1 if shift > 0 else 0), usegmt=True)


class RequestLog:
    def __init__(self, path):
        self.fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644) if path else None

    def write(self, host, method, path, status):
        if self.fd is not None:
            # One write per line on an O_APPEND descriptor keeps lines whole across threads.
            os.write(self.fd, f"{host} {method} {path} {status}\n".encode("utf-8", "replace"))


@dataclasses.dataclass(frozen=True)
class Body:
    content_type: str
    size: int
    data: bytes = b""           # small bodies held in memory
    path: str | None = None     # a file streamed from disk
    zeros: bool = False         # generated zero bytes
    endless: bool = False       # generated zero bytes until the client gives up


def text_body(text):
    data = text.encode("utf-8")
    return Body("text/plain; charset=utf-8", len(data), data)


def choose_body(behaviour, docroot, rest):
    """The body to send and its default status."""
    if behaviour.body == "html":
        return Body("text/html; charset=utf-8", len(HTML_PAGE), HTML_PAGE), 200
    if behaviour.body == "empty":
        return Body("application/octet-stream", 0), 200
    if behaviour.body == "zeros":
        return Body("application/octet-stream", behaviour.body_size, zeros=True), 200
    if behaviour.body == "endless":
        return Body("application/octet-stream", 0, zeros=True, endless=True), 200
    path = resolve_file(docroot, rest)
    if path is None:
        return text_body(f"sandbox: {rest} not found\n"), 404
    content_type = CONTENT_TYPES.get(os.path.splitext(path)[1].lower(), "application/octet-stream")
    return Body(content_type, os.path.getsize(path), path=path), 200


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "VelmoraSandbox/1.0"
    timeout = IDLE_TIMEOUT
    reset = False   # end the connection with a TCP reset instead of a clean close

    def log_message(self, format, *args):
        if self.server.verbose:
            sys.stderr.write(f"{self.server.host.name} {self.address_string()} {format % args}\n")

    def do_GET(self):
        self.answer(send_body=True)

    def do_HEAD(self):
        self.answer(send_body=False)

    def answer(self, send_body):
        options, rest = split_prefix(self.path.split("?", 1)[0])
        behaviour = Behaviour()
        try:
            file_options = read_overrides(self.server.docroot).get(rest)
            if file_options:
                apply_options(behaviour, file_options)
            apply_options(behaviour, options)
        except BadOption as e:
            self.respond(400, text_body(f"sandbox: {e}\n"), Behaviour(), rest, send_body)
            return
        if behaviour.delay > 0:
            time.sleep(behaviour.delay)
        body, status = choose_body(behaviour, self.server.docroot, rest)
        if behaviour.status and status == 404 and behaviour.status != 404:
            body = text_body(f"sandbox: status {behaviour.status}\n")
        self.respond(behaviour.status or status, body, behaviour, rest, send_body)

    def respond(self, status, body, behaviour, rest, send_body):
        sent = body.size if behaviour.cut is None else min(behaviour.cut, body.size)
        announced = {"auto": body.size, "none": None, "exact": behaviour.length_value,
                     "lie": body.size + behaviour.length_value}[behaviour.length]
        if body.endless:
            announced = None
        if announced is not None:
            sent = min(sent, announced)
        # Without a length, or when the body falls short of it, only closing ends the body.
        if announced is None or sent < announced or behaviour.reset or behaviour.stall:
            self.close_connection = True
        self.reset = behaviour.reset
        self.rate = behaviour.rate

        lines = [f"HTTP/1.1 {status} {reason_phrase(status)}", f"Server: {self.server_version}"]
        if behaviour.send_date:
            lines.append("Date: " + http_date(behaviour.date_shift))
        lines.append(f"Content-Type: {body.content_type}")
        if announced is not None:
            lines.append(f"Content-Length: {announced}")
        if status in REDIRECTS:
            host = self.headers.get("Host") or self.server.host.name
            lines.append("Location: " + (behaviour.location or f"https://{host}{rest}"))
        if status == 206 and body.size:
            lines.append(f"Content-Range: bytes 0-{body.size - 1}/{body.size}")
        if self.close_connection:
            lines.append("Connection: close")
        head = ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")

        # Logged before the body goes out, so the line is there once a client has the body.
        self.server.request_log.write(self.server.host.name, self.command, self.path, status)
        self.log_request(status, sent)
        if not send_body:
            self.connection.sendall(head)
        elif body.path:
            self.connection.sendall(head)
            self.send_file(body.path, sent)
        elif body.endless:
            self.connection.sendall(head)
            self.send_endless()
        elif body.zeros:
            self.connection.sendall(head)
            self.send_zeros(sent)
        else:
            self.connection.sendall(head + body.data[:sent])
        if behaviour.stall:
            self.hold_open()

    def hold_open(self):
        """Sends nothing more until the client gives up (or the limit passes)."""
        deadline = time.monotonic() + STALL_LIMIT
        while time.monotonic() < deadline:
            readable, _, _ = select.select([self.connection], [], [], 1.0)
            if readable:
                try:
                    if not self.connection.recv(4096):
                        return
                except (OSError, ssl.SSLError):
                    return

    def send_paced(self, data):
        if not self.rate:
            self.connection.sendall(data)
            return
        # Slices of a twentieth of a second's worth, each sent on its own schedule.
        step = max(1, self.rate // 20)
        for start in range(0, len(data), step):
            piece = data[start:start + step]
            self.connection.sendall(piece)
            time.sleep(len(piece) / self.rate)

    def send_zeros(self, count):
        while count:
            n = min(count, CHUNK)
            self.send_paced(ZEROS[:n])
            count -= n

    def send_endless(self):
        """Zeros until the client closes the connection (the send then fails) or the limit."""
        deadline = time.monotonic() + STALL_LIMIT
        try:
            while time.monotonic() < deadline:
                self.send_paced(ZEROS)
        except (OSError, ssl.SSLError):
            pass

    def send_file(self, path, count):
        buffer = memoryview(bytearray(CHUNK))
        with open(path, "rb", buffering=0) as f:
            while count:
                n = f.readinto(buffer[:min(count, CHUNK)])
                if not n:
                    # The file shrank after its size was announced: the body ends short.
                    self.close_connection = True
                    return
                self.send_paced(buffer[:n])
                count -= n


def reason_phrase(status):
    try:
        return http.HTTPStatus(status).phrase
    except ValueError:
        return "Unassigned"


class HostServer(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    request_queue_size = 64

    def __init__(self, host, context, docroot, request_log, verbose):
        self.host, self.context, self.docroot = host, context, docroot
        self.request_log, self.verbose = request_log, verbose
        super().__init__((host.address, 443), Handler)

    def server_bind(self):
        # HTTPServer would look up a host name for the address; the name is known.
        socketserver.TCPServer.server_bind(self)
        self.server_name, self.server_port = self.host.name, 443

    def finish_request(self, request, client_address):
        # The handshake runs here, on the connection's own thread, so a slow client
        # cannot hold up the accept loop.
        request.settimeout(HANDSHAKE_TIMEOUT)
        try:
            tls = self.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError) as e:
            self.request_log.write(self.host.name, "TLS", "-", "handshake-failed")
            if self.verbose:
                sys.stderr.write(f"{self.host.name} {client_address[0]} handshake failed: {e}\n")
            return
        handler = None
        try:
            handler = self.RequestHandlerClass(tls, client_address, self)
        except (ConnectionError, ssl.SSLError, TimeoutError):
            pass  # the client went away mid-response
        finally:
            close_tls(tls, reset=handler is not None and handler.reset)


def close_tls(tls, reset):
    if reset:
        # Let the sent bytes reach the client first, then abort: the client's next read fails.
        deadline = time.monotonic() + RESET_DRAIN_WAIT
        while unacknowledged_bytes(tls) and time.monotonic() < deadline:
            time.sleep(0.01)
        time.sleep(0.05)
        tls.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        tls.close()
        return
    # Send close_notify and close at once: clients that read to the end of the body wait for
    # the TCP close, not for the alert, so waiting for their reply would stall them.
    tls.setblocking(False)
    while True:
        try:
            tls.unwrap()
            break
        except ssl.SSLWantWriteError:
            select.select([], [tls], [], CLOSE_NOTIFY_WAIT)
        except (ssl.SSLWantReadError, OSError, ValueError):
            break
    tls.close()


def unacknowledged_bytes(sock):
    try:
        return struct.unpack("i", fcntl.ioctl(sock.fileno(), termios.TIOCOUTQ, b"\0" * 4))[0]
    except OSError:
        return 0


def make_context(host, pki, chain=None, key=None, docroot=None):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(pki, chain or host.chain), os.path.join(pki, key or host.key))
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", DeprecationWarning)  # TLS 1.1 is the point of the legacy host
        if host.ciphers:
            context.set_ciphers(host.ciphers)
        context.minimum_version = host.min_tls
        context.maximum_version = host.max_tls
    if docroot is not None:
        alternatives = {name: make_context(host, pki, *files) for name, files in ALTERNATIVE_CHAINS.items()
                        if os.path.exists(os.path.join(pki, files[0]))}

        def choose_chain(tls, server_name, _):
            choice = read_chain_choice(docroot, server_name or host.name)
            if choice in alternatives:
                tls.context = alternatives[choice]
        context.sni_callback = choose_chain
    return context


class BlackHole:
    """A listener whose accept queue is kept full, so that the kernel drops every new SYN."""

    def __init__(self, host):
        self.host = host
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind((host.address, 443))
        self.listener.listen(0)
        # With a backlog of 0 one queued connection fills the queue; it is never accepted.
        self.filler = socket.create_connection((host.address, 443), timeout=5)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--docroot", help="folder the files are served from")
    parser.add_argument("--log", help="request log file (appended)")
    parser.add_argument("--pki", default=os.path.join(here, "pki"),
                        help="folder of the certificates and keys")
    parser.add_argument("--ready-file", help="written with the server's PID once every host listens")
    parser.add_argument("--verbose", action="store_true", help="diagnostics on stderr")
    parser.add_argument("--print-hosts", action="store_true", help="print hosts-file lines and exit")
    parser.add_argument("--blackhole", action="append", default=[], metavar="HOST",
                        help="HOST drops every connection attempt (repeatable)")
    args = parser.parse_args()

    if args.print_hosts:
        for host in HOSTS:
            print(f"{host.address}\t{host.name}")
        return 0
    if not args.docroot or not os.path.isdir(args.docroot):
        parser.error("--docroot must name an existing folder")

    request_log = RequestLog(args.log)
    docroot = os.path.abspath(args.docroot)
    unknown = set(args.blackhole) - {h.name for h in HOSTS}
    if unknown:
        parser.error(f"--blackhole names no sandbox host: {', '.join(sorted(unknown))}")
    holes = [BlackHole(h) for h in HOSTS if h.name in args.blackhole]  # held open for the whole run
    servers = [HostServer(h, make_context(h, args.pki, docroot=docroot), docroot, request_log, args.verbose)
               for h in HOSTS if h.name not in args.blackhole]
    for server in servers:
        threading.Thread(target=server.serve_forever, name=server.host.name, daemon=True).start()

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    if args.ready_file:
        tmp = args.ready_file + ".tmp"
        with open(tmp, "w") as f:
            f.write(f"{os.getpid()}\n")
        os.replace(tmp, args.ready_file)
    try:
        while not stop.wait(3600):
            pass
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
