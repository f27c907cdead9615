"""Runs the vantrel binary under test."""

import os
import random
import re
import socketserver
import subprocess
import threading

BINARY = os.path.abspath(os.environ.get("VANTREL_BIN") or os.path.join(
    os.path.dirname(__file__), "..", "..", "build", "vantrel"))

SHORT_BANNER = re.compile(r"^Vantrel \S+ Release Date: \d{8} Built: .+\n\n")


class Result:
    def __init__(self, completed):
        self.status = completed.returncode
        self.stdout = completed.stdout.decode("utf-8", "surrogateescape")
        self.stderr = completed.stderr.decode("utf-8", "surrogateescape")
        self.stdout_bytes = completed.stdout

    def __repr__(self):
        return f"<status {self.status}\nstdout:\n{self.stdout}\nstderr:\n{self.stderr}>"


def body(result):
    """Standard output after the short banner."""
    assert SHORT_BANNER.match(result.stdout), result
    return SHORT_BANNER.sub("", result.stdout, count=1)


def run_vantrel(args, home, stdin=b"", cwd=None, env=None, timeout=120, wrapper=()):
    """Runs vantrel with `args` (strings or paths). HOME is always the given
    test folder, so no cache of the user's is touched; `env`
    adds variables, and removes those it gives as None."""
    environment = {k: v for k, v in os.environ.items()
                   if k not in ("EMAIL", "XDG_CACHE_HOME") and not k.lower().endswith("_proxy")}
    environment["HOME"] = str(home)
    environment.update(env or {})
    environment = {k: v for k, v in environment.items() if v is not None}
    if isinstance(stdin, str):
        stdin = stdin.encode("utf-8")
    completed = subprocess.run([*wrapper, BINARY, *map(str, args)], input=stdin,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               cwd=cwd, env=environment, timeout=timeout)
    return Result(completed)


class LocalServer(socketserver.ThreadingTCPServer):
    daemon_threads = allow_reuse_address = True

    def stop(self):
        self.shutdown()
        self.server_close()


def start_server(handler, owner):
    """A test server on 127.0.0.1 serving `handler` in a thread until stop();
    `owner` is there for the handler to reach."""
    # vantrel's -p takes ports up to 32767, below the kernel's own range.
    for port in random.sample(range(20000, 32768), 200):
        try:
            server = LocalServer(("127.0.0.1", port), handler)
        except OSError:
            continue
        server.owner, server.port = owner, port
        threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.05}, daemon=True).start()
        return server
    raise OSError("no free port for a test server")
