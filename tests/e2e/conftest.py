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
    return lambda args, **kwargs: run_vantrel(args, home, **kwargs)


def started_servers(server_class):
    """A function that starts servers of the class; they are stopped after the test."""
    started = []
    yield lambda *args, **kwargs: started.append(server_class(*args, **kwargs).start()) or started[-1]
    for server in started:
        server.stop()


@pytest.fixture
def cddb_server():
    """cddb_server(root, mode="normal", proxy_auth=None) -> a started CddbServer."""
    yield from started_servers(CddbServer)


@pytest.fixture
def musicbrainz_server():
    """musicbrainz_server(answers) -> a started MusicBrainzServer."""
    yield from started_servers(MusicBrainzServer)
