"""A small MusicBrainz web service for the tests, on 127.0.0.1 only.

``answers`` maps a path to ``(status, body)``, the body bytes or anything
JSON can write; any other path gets ``default`` (404 ``Not Found``, as the
service answers, unless changed). ``requests`` lists what arrived: dicts of
``path``, ``query``, ``agent`` (the User-Agent) and ``time`` (monotonic)."""

import http.server
import json
import time
import urllib.parse

from support.runner import start_server

NOT_FOUND = (404, {"error": "Not Found", "help": "For usage, please see: https://musicbrainz.org/development/mmd"})


class _Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        server = self.server.owner
        url = urllib.parse.urlsplit(self.path)
        server.requests.append({"path": url.path, "query": url.query, "time": time.monotonic(),
                                "agent": self.headers.get("User-Agent")})
        status, body = server.answers.get(url.path, server.default)
        body = body if isinstance(body, bytes) else json.dumps(body).encode()
        self.send_response(status)
        self.send_header("Content-Type", "application/json; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class MusicBrainzServer:
    def __init__(self, answers):
        self.answers, self.default, self.requests = dict(answers), NOT_FOUND, []

    def start(self):
        self._listener = start_server(_Handler, self)
        self.port = self._listener.port
        return self

    def stop(self):
        self._listener.stop()
