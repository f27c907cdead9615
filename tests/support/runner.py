"""Runs the vantrel binary under test."""

import os
import re
import subprocess

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
