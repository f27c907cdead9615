"""Runs the vantrel binary under test."""

import os
import subprocess

BINARY = os.path.abspath(os.environ.get("VANTREL_BIN") or os.path.join(
    os.path.dirname(__file__), "..", "..", "build", "vantrel"))


class Result:
    def __init__(self, completed):
        self.status = completed.returncode
        self.stdout = completed.stdout.decode("utf-8", "surrogateescape")
        self.stderr = completed.stderr.decode("utf-8", "surrogateescape")
        self.stdout_bytes = completed.stdout

    def __repr__(self):
        return f"<status {self.status}\nstdout:\n{self.stdout}\nstderr:\n{self.stderr}>"


def run_vantrel(args, home, stdin=b"", cwd=None, env=None, timeout=120, wrapper=()):
    """Runs vantrel with `args` (strings or paths). HOME is always the given
    test folder, so the CDDB library's cache never touches the user's."""
    environment = {k: v for k, v in os.environ.items() if k not in ("http_proxy", "EMAIL")}
    environment["HOME"] = str(home)
    if env:
        environment.update(env)
    if isinstance(stdin, str):
        stdin = stdin.encode("utf-8")
    completed = subprocess.run([*wrapper, BINARY, *map(str, args)], input=stdin,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               cwd=cwd, env=environment, timeout=timeout)
    return Result(completed)
