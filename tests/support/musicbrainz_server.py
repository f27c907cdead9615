"""A small MusicBrainz web service for the tests, on 127.0.0.1 only.

``answers`` maps a path to ``(status, body)`` or ``(status, body, headers)``,
the body bytes or anything JSON can write, or to a list of them given in turn
(the last one from then on); any other path gets ``default`` (404 ``Not
Found``, as the service answers, unless changed). ``requests`` lists what
arrived: dicts of ``path``, ``query``, ``agent`` (the User-Agent), ``time``
(monotonic) and ``wall`` (seconds since 1970)."""

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
        server.requests.append({"path": url.path, "query": url.query, "time": time.monotonic(), "wall": time.time(),
                                "agent": self.headers.get("User-Agent")})
        answer = server.answers.get(url.path, server.default)
        if isinstance(answer, list):
            answer = answer.pop(0) if len(answer) > 1 else answer[0]
        status, body, headers = (*answer, {})[:3]
        body = body if isinstance(body, bytes) else json.dumps(body).encode()
        self.send_response(status)
        for name, value in headers.items():
            self.send_header(name, value)
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
