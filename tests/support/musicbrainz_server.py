"""A small MusicBrainz web service for the tests, on 127.0.0.1 only.

``answers`` maps a path to ``(status, body)``, the body bytes or anything
JSON can write; any other path gets ``default`` (404 ``Not Found``, as the
service answers, unless changed). ``requests`` lists what arrived: dicts of
``path``, ``query``, ``agent`` (the User-Agent) and ``time`` (monotonic)."""

import http.server
import json
import random
import threading
import time
import urllib.parse

NOT_FOUND = (404, {"error": "Not Found", "help": "For usage, please see: https://musicbrainz.org/development/mmd"})


class MusicBrainzServer:
    def __init__(self, answers):
        self.answers, self.default, self.requests, self._thread = dict(answers), NOT_FOUND, [], None
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
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
        self._handler = Handler

    def start(self):
        # vantrel's -p takes ports up to 32767.
        for port in random.sample(range(20000, 32768), 200):
            try:
                self._server = http.server.ThreadingHTTPServer(("127.0.0.1", port), self._handler)
                break
            except OSError:
                continue
        else:
            raise OSError("no free port for the test MusicBrainz server")
        self.port = self._server.server_address[1]
        self._thread = threading.Thread(target=self._server.serve_forever, kwargs={"poll_interval": 0.05},
                                        daemon=True)
        self._thread.start()
        return self

    def stop(self):
        if self._thread is not None:
            self._server.shutdown()
            self._server.server_close()
            self._thread.join()
            self._thread = None
