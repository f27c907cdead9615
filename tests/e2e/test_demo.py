"""scripts/demo: the main job offline, on a generated disc, from a cache made
in a temporary HOME."""

import os
import subprocess

from support.runner import BINARY

DEMO = os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "demo")


def test_demo_tags_its_sample_disc_and_leaves_the_users_cache_alone(tmp_path):
    user_cache = tmp_path / "user" / ".cddbslave" / "misc"
    user_cache.mkdir(parents=True)
    (user_cache / "00000000").write_text("the user's own entry\n")
    environment = {k: v for k, v in os.environ.items() if k != "http_proxy"}
    environment.update(HOME=str(tmp_path / "user"), VANTREL_BIN=BINARY)

    demo = subprocess.run([DEMO], stdin=subprocess.DEVNULL, capture_output=True, text=True,
                          env=environment, timeout=120)

    assert demo.returncode == 0, demo.stdout + demo.stderr
    output = demo.stdout
    assert "[ 1] Sample Artist - Sample Disc (Year: 2024 Genre: Demo)\n" in output
    assert "Which disc [1-1] ? 1\n1: File 01.flac [Tag Saved]\n" in output
    assert "3: File 03.flac [Tag Saved]\n" in output
    assert " 2. 02.flac (0:03)\n    Guest Singer - Middle Part (2, 2024, Demo)\n" in output
    assert sorted(p.name for p in (tmp_path / "user").rglob("*")) == \
        [".cddbslave", "00000000", "misc"]
