"""The tests' CDDB server on 127.0.0.1: cddbp on `port`, HTTP on `http_port`,
which is also an HTTP proxy (absolute request URIs; Basic credentials checked
when `proxy_auth` is given). Entries are served byte for byte from a folder
laid out as <category>/<discid>. Modes: "normal"; "drop-read", whose read
answers close the connection after the first TTITLE line; "bad-track", whose
entries hold a line TTITLE99999999=; "trickle", whose read answers come a line
every 0.2 s; "endless", whose query answers never end. `log()` holds one dict
per command received: via, command, status, and the hello."""

import base64
import itertools
import os
import re
import socket
import socketserver
import threading
import time
import urllib.parse

from support.runner import start_server


class _Handler(socketserver.StreamRequestHandler):
    def send(self, lines):
        try:
            for line in lines:
                self.wfile.write(line + b"\r\n")
            self.wfile.flush()
        except OSError:
            pass  # the client went away, as it should from an endless answer


class _Cddbp(_Handler):
    REPLIES = {"cddb hello": (200, b"200 Hello and welcome"), "proto": (201, b"201 OK, protocol level now: 6"),
               "quit": (230, b"230 Goodbye.")}

    def handle(self):
        self.send([b"201 127.0.0.1 CDDBP server ready"])
        while True:
            # libcddb sends a command and its line end in two writes: an
            # immediate acknowledgement saves a delayed-ack wait on each.
            self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_QUICKACK, 1)
            command = self.rfile.readline().decode("utf-8", "replace").strip()
            if not command:
                return
            words = " ".join(command.lower().split()[:2])
            reply = self.REPLIES.get(words) or self.REPLIES.get(words.split(" ")[0])
            status, lines, complete = (reply[0], [reply[1]], reply[0] != 230) if reply \
                else self.server.owner.answer(command)
            self.server.owner.record("cddbp", command, status)
            self.send(lines)
            if not complete:
                return


class _Http(_Handler):
    def handle(self):
        owner = self.server.owner
        target = self.rfile.readline().decode("latin-1").split()[1]
        headers = {}
        for raw in self.rfile:
            if not raw.strip():
                break
            name, _, value = raw.decode("latin-1").partition(":")
            headers[name.strip().lower()] = value.strip()
        via = "proxy" if "://" in target else "http"
        query = urllib.parse.parse_qs(urllib.parse.urlsplit(target).query)
        command, hello = query.get("cmd", [""])[0], query.get("hello", [None])[0]
        authorization = headers.get("proxy-authorization", "")
        credentials = base64.b64decode(authorization[6:]).decode().split(":", 1) if authorization else None
        if via == "proxy" and owner.proxy_auth and credentials != list(owner.proxy_auth):
            owner.record(via, command, 407, hello=hello)
            return self.send([b"HTTP/1.0 407 Proxy Authentication Required", b'Proxy-Authenticate: Basic realm="cddb"',
                              b""])
        status, lines, _ = owner.answer(command)
        owner.record(via, command, status, hello=hello)
        self.send(itertools.chain([b"HTTP/1.0 200 OK", b"Content-Type: text/plain", b""], lines))


class CddbServer:
    def __init__(self, root, mode="normal", proxy_auth=None):
        self.root, self.mode, self.proxy_auth = str(root), mode, proxy_auth
        self._log, self._lock = [], threading.Lock()

    def start(self):
        self._listeners = [start_server(handler, self) for handler in (_Cddbp, _Http)]
        self.port, self.http_port = (listener.port for listener in self._listeners)
        return self

    def stop(self):
        for listener in self._listeners:
            listener.stop()

    def record(self, via, command, status, **details):
        with self._lock:
            self._log.append({"via": via, "command": command, "status": status, **details})

    def log(self):
        with self._lock:
            return list(self._log)

    def commands(self):
        return [entry["command"] for entry in self.log()]

    def entry(self, category, discid):
        try:
            with open(os.path.join(self.root, os.path.basename(category), discid.lower()), "rb") as entry:
                return entry.read()
        except OSError:
            return None

    def answer(self, command):
        """(status, lines, complete) for one CDDB command."""
        words = command.split()
        if [word.lower() for word in words[:2]] == ["cddb", "query"] and len(words) >= 3:
            discid = words[2].lower()
            if self.mode == "endless":
                return 210, itertools.chain([b"210 Found exact matches"],
                                            itertools.repeat(f"rock {discid} Endless / Answer".encode())), False
            rows = [f"{category} {discid} ".encode() + re.search(rb"^DTITLE=(.*?)\r?$", entry, re.M).group(1)
                    for category in sorted(os.listdir(self.root)) for entry in [self.entry(category, discid)] if entry]
            if len(rows) < 2:
                return (200, [b"200 " + rows[0]], True) if rows else (202, [b"202 No match"], True)
            return 210, [b"210 Found exact matches, list follows"] + rows + [b"."], True
        if [word.lower() for word in words[:2]] == ["cddb", "read"] and len(words) == 4:
            entry = self.entry(words[2], words[3])
            if entry is None:
                return 401, [b"401 No such CD entry in database."], True
            lines = [line.rstrip(b"\r") for line in entry.split(b"\n") if line.strip()]
            head = f"210 {words[2]} {words[3]} CD database entry follows".encode()
            if self.mode == "drop-read":
                first_title = next(n for n, line in enumerate(lines) if line.startswith(b"TTITLE"))
                return 210, [head] + lines[:first_title + 1], False
            if self.mode == "bad-track":
                lines.insert(lines.index(b"EXTD="), b"TTITLE99999999=")
            answer = [head] + lines + [b"."]
            return 210, (time.sleep(0.2) or line for line in answer) if self.mode == "trickle" else answer, True
        return 500, [b"500 Unrecognized command."], True
