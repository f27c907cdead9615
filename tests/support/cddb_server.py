"""A small CDDB server for the tests, on 127.0.0.1 only.

It answers from a folder of xmcd entries laid out as <category>/<discid>
(the layout of the CDDB library's cache folder too), over two ports:

- ``port``: the cddbp protocol over TCP (banner, ``cddb hello``, ``proto``,
  ``cddb query``, ``cddb read``, ``quit``).
- ``http_port``: CDDB over HTTP, ``GET /~cddb/cddb.cgi?cmd=...&hello=...&proto=...``.
  The same port is also an HTTP proxy: a request whose target is an absolute
  URI (``GET http://any.host:80/~cddb/cddb.cgi?... HTTP/1.0``) is answered
  from the same folder, whatever host it names, and is logged with
  ``via == "proxy"``.
  When ``proxy_auth=("user", "password")`` is given, proxy requests must
  carry those Basic ``Proxy-Authorization`` credentials or get a 407.

Answers: ``cddb query`` gives 200 with the one entry whose disc ID matches,
210 with a list when several categories hold that disc ID (in category name
order), 202 when none does; only the disc ID is compared. ``cddb read``
gives 210 and the entry as stored, or 401 when there is no such entry.
Entries are sent byte for byte (UTF-8 stays UTF-8). Note that the CDDB
library parses an entry's title only after a ``# Revision:`` comment line,
so entries written for tests need one.

Fault modes (``mode=``), for both ports:

- ``"normal"``: as above.
- ``"close"``: every connection is closed at once, nothing is answered.
- ``"garbage"``: every connection gets a line of garbage instead of a
  banner or an HTTP response, and is closed.
- ``"drop-read"``: everything works until ``cddb read``, whose answer stops
  half-way through the entry when the connection is closed.
- ``"endless"``: ``cddb query`` answers a list of matches that never ends
  (until the client goes away).

Every command received is logged, one JSON object per line, to ``log_path``
(a file in a temporary folder unless given). ``log()`` returns the entries
as dicts with the keys:

- ``via``: ``"cddbp"``, ``"http"`` or ``"proxy"``;
- ``command``: the command, e.g. ``"cddb read misc d50dd30f"`` (for HTTP the
  decoded ``cmd`` parameter; for cddbp every line, hello and quit included);
- ``hello``: the decoded ``hello`` parameter of an HTTP request, else None;
- ``proxy_credentials``: ``[user, password]`` from a Basic
  ``Proxy-Authorization`` header, else None;
- ``host``: for a proxy request the host and port its absolute URI names
  (the CDDB server the client asked the proxy for), for HTTP the ``Host``
  header, for cddbp None;
- ``status``: the CDDB code answered (over HTTP too), or 407 for a proxy
  request refused for its credentials.

In the "close" and "garbage" modes nothing is read, so nothing is logged.

``commands()`` returns just the ``command`` strings, in order.

Python use::

    from support.cddb_server import CddbServer
    with CddbServer(root, mode="normal", proxy_auth=("user", "secret")) as server:
        run(["-P", "cddbp", "-s", "127.0.0.1", "-p", str(server.port), ...])
        assert "cddb read misc d50dd30f" in server.commands()

From another language, run it as a program (it stops on SIGTERM or when its
standard input reaches end of file, so it never outlives a crashed parent)::

    /usr/bin/python3 cddb_server.py ROOT --port-file FILE --log FILE \
        [--mode MODE] [--proxy-auth USER:PASSWORD]

It writes "<cddbp port> <http port>" and a newline to the port file once both
ports listen (the file appears complete or not at all).
"""

import argparse
import base64
import itertools
import json
import os
import random
import signal
import socket
import socketserver
import sys
import tempfile
import threading
import time
import urllib.parse

MODES = ("normal", "close", "garbage", "drop-read", "endless")
GARBAGE = b"\x00\xff\xfe garbage \x7f\x80 not cddb at all\r\n"


class EntryStore:
    """The xmcd entries of a folder <category>/<discid>."""

    def __init__(self, root):
        self.root = str(root)

    def categories(self):
        return sorted(name for name in os.listdir(self.root)
                      if os.path.isdir(os.path.join(self.root, name)))

    def read(self, category, discid):
        """The entry's bytes, or None."""
        if "/" in category or "/" in discid or category.startswith("."):
            return None
        path = os.path.join(self.root, category, discid.lower())
        try:
            with open(path, "rb") as entry:
                return entry.read()
        except OSError:
            return None

    def matches(self, discid):
        """(category, discid, dtitle) of every entry with that disc ID."""
        found = []
        for category in self.categories():
            entry = self.read(category, discid)
            if entry is not None:
                found.append((category, discid.lower(), _dtitle(entry)))
        return found


def _dtitle(entry):
    for line in entry.splitlines():
        if line.startswith(b"DTITLE="):
            return line[len(b"DTITLE="):]
    return b""


def _lines(entry):
    return [line.rstrip(b"\r") for line in entry.split(b"\n") if line.rstrip(b"\r") != b""] \
        if entry else []


class Protocol:
    """Answers CDDB commands; the same for cddbp and HTTP."""

    def __init__(self, store, mode):
        self.store = store
        self.mode = mode

    def answer(self, command):
        """(status, list of byte lines, complete) for one command line.
        `complete` is False when a fault mode cuts the answer short."""
        words = command.split()
        lowered = [word.lower() for word in words]
        if lowered[:2] == ["cddb", "query"] and len(words) >= 3:
            if self.mode == "endless":
                row = f"rock {words[2]} Endless / Answer".encode()
                return 210, itertools.chain([b"210 Found exact matches"], itertools.repeat(row)), False
            return self._query(words[2]) + (True,)
        if lowered[:2] == ["cddb", "read"] and len(words) == 4:
            return self._read(words[2], words[3])
        return 500, [b"500 Unrecognized command."], True

    def _query(self, discid):
        found = self.store.matches(discid)
        if not found:
            return 202, [b"202 No match for disc ID " + discid.encode() + b"."]
        rows = [f"{category} {disc} ".encode() + title for category, disc, title in found]
        if len(rows) == 1:
            return 200, [b"200 " + rows[0]]
        return 210, [b"210 Found exact matches, list follows (until terminating `.')"] + rows + [b"."]

    def _read(self, category, discid):
        entry = self.store.read(category, discid)
        name = f"{category} {discid}".encode()
        if entry is None:
            return 401, [b"401 " + name + b" No such CD entry in database."], True
        lines = _lines(entry)
        head = b"210 " + name + b" CD database entry follows (until terminating `.')"
        if self.mode == "drop-read":
            return 210, [head] + lines[:len(lines) // 2], False
        return 210, [head] + lines + [b"."], True


class _Log:
    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()
        open(path, "a").close()

    def write(self, via, command, status, hello=None, credentials=None, host=None):
        record = {"via": via, "command": command, "status": status, "hello": hello,
                  "proxy_credentials": credentials, "host": host}
        with self.lock, open(self.path, "a", encoding="utf-8") as log:
            log.write(json.dumps(record, ensure_ascii=False, sort_keys=True) + "\n")


# vantrel's -p takes ports up to 32767, below the kernel's range for port 0,
# so the server finds a free port in this range itself.
PORTS = range(20000, 32768)


class _Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, handler, protocol, log, proxy_auth):
        self.protocol = protocol
        self.log = log
        self.proxy_auth = proxy_auth
        super().__init__(("127.0.0.1", 0), handler, bind_and_activate=False)
        try:
            self._bind_free_port()
            self.server_activate()
        except OSError:
            self.server_close()
            raise

    def _bind_free_port(self):
        for port in random.sample(PORTS, 200):
            self.server_address = ("127.0.0.1", port)
            try:
                self.server_bind()
                return
            except OSError:
                continue
        raise OSError("no free port for the test CDDB server")


class _Handler(socketserver.StreamRequestHandler):
    timeout = 30
    disable_nagle_algorithm = True

    def send(self, lines):
        try:
            for line in lines:
                self.wfile.write(line + b"\r\n")
        except OSError:
            return
        self.wfile.flush()

    def fault(self):
        """True when the mode answers this connection with a fault."""
        mode = self.server.protocol.mode
        if mode == "garbage":
            self.wfile.write(GARBAGE)
        return mode in ("close", "garbage")


class _CddbpHandler(_Handler):
    def handle(self):
        if self.fault():
            return
        self.send([b"201 127.0.0.1 CDDBP server v1.5.2PL0 ready at test time"])
        greeted = False
        for raw in iter(self.read_line, b""):
            command = raw.decode("utf-8", "replace").strip()
            if not command:
                continue
            status, lines, complete = self.respond(command, greeted)
            greeted = greeted or (status == 200 and command.lower().startswith("cddb hello"))
            self.server.log.write("cddbp", command, status)
            self.send(lines)
            if not complete or status == 230:
                return

    def read_line(self):
        # libcddb sends a command and its line end in two writes; acking the
        # first at once saves a delayed-ack wait on every command.
        self.quick_ack()
        return self.rfile.readline()

    def quick_ack(self):
        if hasattr(socket, "TCP_QUICKACK"):
            self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_QUICKACK, 1)

    def respond(self, command, greeted):
        words = command.lower().split()
        if words[:2] == ["cddb", "hello"]:
            if len(words) != 6:
                return 431, [b"431 Handshake unsuccessful, closing connection."], False
            if greeted:
                return 402, [b"402 Already shook hands."], True
            user, host, client, version = command.split()[2:]
            text = f"200 Hello and welcome {user}@{host} running {client} {version}."
            return 200, [text.encode()], True
        if words[:1] == ["proto"]:
            if len(words) == 1:
                return 200, [b"200 CDDB protocol level: current 6, supported 6"], True
            return 201, [f"201 OK, CDDB protocol level now: {words[1]}".encode()], True
        if words[:1] == ["quit"]:
            return 230, [b"230 127.0.0.1 Closing connection.  Goodbye."], True
        if not greeted and words[:1] == ["cddb"]:
            return 409, [b"409 No handshake."], True
        return self.server.protocol.answer(command)


class _HttpHandler(_Handler):
    def handle(self):
        if self.fault():
            return
        request = self.rfile.readline(65537).decode("latin-1").split()
        headers = self.read_headers()
        if len(request) != 3:
            return self.reply(400, [b"Bad request"])
        target = request[1]
        via = "proxy" if "://" in target else "http"
        url = urllib.parse.urlsplit(target)
        host = url.netloc if via == "proxy" else headers.get("host")
        query = urllib.parse.parse_qs(url.query)
        command = query.get("cmd", [""])[0]
        hello = query.get("hello", [None])[0]
        credentials = _basic_credentials(headers.get("proxy-authorization"))
        if via == "proxy" and self.server.proxy_auth is not None \
                and credentials != list(self.server.proxy_auth):
            self.server.log.write(via, command, 407, hello, credentials, host)
            return self.reply(407, [b"Proxy authentication required"],
                              [("Proxy-Authenticate", 'Basic realm="cddb-test"')])
        if hello is None or len(hello.split()) != 4:
            status, lines, complete = 431, [b"431 Handshake unsuccessful."], True
        else:
            status, lines, complete = self.server.protocol.answer(command)
        self.server.log.write(via, command, status, hello, credentials, host)
        self.reply(200, lines, complete=complete)

    def read_headers(self):
        headers = {}
        for raw in self.rfile:
            line = raw.decode("latin-1").strip()
            if not line:
                break
            name, _, value = line.partition(":")
            headers[name.strip().lower()] = value.strip()
        return headers

    def reply(self, status, lines, extra_headers=(), complete=True):
        reasons = {200: "OK", 400: "Bad Request", 407: "Proxy Authentication Required"}
        head = [f"HTTP/1.0 {status} {reasons[status]}", "Content-Type: text/plain; charset=UTF-8",
                "Connection: close"]
        if complete:
            lines = list(lines)
            head.append(f"Content-Length: {sum(len(line) + 2 for line in lines)}")
        head += [f"{name}: {value}" for name, value in extra_headers]
        self.wfile.write(("\r\n".join(head) + "\r\n\r\n").encode("latin-1"))
        self.send(lines)


def _basic_credentials(header):
    if not header or not header.lower().startswith("basic "):
        return None
    try:
        decoded = base64.b64decode(header[6:].strip(), validate=True).decode("utf-8")
    except ValueError:
        return None
    user, _, password = decoded.partition(":")
    return [user, password]


class CddbServer:
    """The test server; see the module documentation. Use it as a context
    manager, or call start() and stop()."""

    def __init__(self, root, mode="normal", proxy_auth=None, log_path=None):
        if mode not in MODES:
            raise ValueError(f"unknown mode {mode!r}; one of {MODES}")
        self.root = str(root)
        self.mode = mode
        self.proxy_auth = tuple(proxy_auth) if proxy_auth is not None else None
        self._folder = None
        if log_path is None:
            self._folder = tempfile.TemporaryDirectory(prefix="cddb-server-")
            log_path = os.path.join(self._folder.name, "log.jsonl")
        self.log_path = str(log_path)
        self._servers = []
        self._threads = []

    def start(self):
        log = _Log(self.log_path)
        protocol = Protocol(EntryStore(self.root), self.mode)
        for handler in (_CddbpHandler, _HttpHandler):
            server = _Server(handler, protocol, log, self.proxy_auth)
            thread = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.05},
                                      daemon=True)
            thread.start()
            self._servers.append(server)
            self._threads.append(thread)
        return self

    def stop(self):
        for server in self._servers:
            server.shutdown()
            server.server_close()
        for thread in self._threads:
            thread.join()
        self._servers, self._threads = [], []
        if self._folder is not None:
            self._folder.cleanup()
            self._folder = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    @property
    def port(self):
        """The cddbp port."""
        return self._servers[0].server_address[1]

    @property
    def http_port(self):
        """The HTTP port, also the proxy port."""
        return self._servers[1].server_address[1]

    def log(self):
        with open(self.log_path, encoding="utf-8") as log:
            return [json.loads(line) for line in log if line.strip()]

    def commands(self):
        return [entry["command"] for entry in self.log()]


def _write_port_file(path, server):
    temporary = path + ".tmp"
    with open(temporary, "w") as ports:
        ports.write(f"{server.port} {server.http_port}\n")
    os.replace(temporary, path)


def main(argv=None):
    parser = argparse.ArgumentParser(description="CDDB server for the tests, on 127.0.0.1.")
    parser.add_argument("root", help="folder of xmcd entries <category>/<discid>")
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--mode", default="normal", choices=MODES)
    parser.add_argument("--proxy-auth", help="USER:PASSWORD required from proxy requests")
    arguments = parser.parse_args(argv)
    auth = arguments.proxy_auth.split(":", 1) if arguments.proxy_auth else None

    # A plain list, not an Event: Event.set from a signal handler can
    # deadlock on the lock that the interrupted Event.wait holds.
    stopped = []
    signal.signal(signal.SIGTERM, lambda *_: stopped.append("SIGTERM"))

    def watch_stdin():
        sys.stdin.buffer.read()
        stopped.append("end of input")

    threading.Thread(target=watch_stdin, daemon=True).start()
    with CddbServer(arguments.root, arguments.mode, auth, arguments.log) as server:
        _write_port_file(arguments.port_file, server)
        while not stopped:
            time.sleep(0.05)
    return 0


if __name__ == "__main__":
    sys.exit(main())
