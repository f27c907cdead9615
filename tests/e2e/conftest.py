import os
import sys

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))

from support.cddb_server import CddbServer  # noqa: E402
from support.musicbrainz_server import MusicBrainzServer  # noqa: E402
from support.runner import run_vantrel  # noqa: E402


@pytest.fixture
def home(tmp_path):
    folder = tmp_path / "home"
    folder.mkdir()
    return folder


@pytest.fixture
def vantrel(home):
    """vantrel(args, stdin=..., cwd=..., env=...) -> Result, with HOME set to a temporary folder."""
    def run(args, **kwargs):
        return run_vantrel(args, home, **kwargs)
    return run


@pytest.fixture
def cddb_server():
    """cddb_server(root, mode="normal", proxy_auth=None) -> a started
    CddbServer (tests/support/cddb_server.py), stopped after the test."""
    started = []

    def start(root, **options):
        server = CddbServer(root, **options).start()
        started.append(server)
        return server
    yield start
    for server in started:
        server.stop()


@pytest.fixture
def musicbrainz_server():
    """musicbrainz_server(answers) -> a started MusicBrainzServer
    (tests/support/musicbrainz_server.py), stopped after the test."""
    started = []

    def start(answers):
        started.append(MusicBrainzServer(answers).start())
        return started[-1]
    yield start
    for server in started:
        server.stop()
