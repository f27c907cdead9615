"""The command line as a user meets it: help, usage and parse errors."""

import re

import pytest

USAGE_LINES = [
    "vantrel [-c cache_mode] [-s hostname] [-p port] [-P protocol] [-d database] [-h] "
    "command [command_arguments] file...",
    "",
    "Commands:",
    "* id cddb_category cddb_id_hex: retrieves the given disc from the CDDB",
    "  database and tags each file by closest length.",
    "* sequence: generates a CDDB ID, queries the CDDB database",
    "* rename: renames files based on a template with the following tokens:",
    "    %a = artist, %g = genre. %s = song title, %t = album title",
    "    %y = year, %n = track number",
    "* help: this help screen",
    "",
    "Flags:",
    "* -c cache_mode: use one of 'on', 'off' or 'only' (default: on)",
    "* -s hostname: use hostname as the CDDB server (default: gnudb.gnudb.org)",
    "* -p port: connect to CDDB server using port (default for cddbp: 888 default for http: 80)",
    "* -P protocol: use one of 'cddbp', 'http' or 'proxy' (default: cddbp)",
    "* -d database: use one of 'cddb' or 'musicbrainz' (default: cddb)",
    "",
]

BANNER = re.compile(r"^Vantrel \d+(\.\d+)? Release Date: \d{8} Built: [A-Z][a-z]{2} [ \d]\d \d{4} \d\d:\d\d:\d\d$")


def check_usage(lines):
    assert BANNER.match(lines[0]), lines[0]
    assert lines[1] and lines[2]  # attribution and home page
    assert lines[3] == ""
    assert lines[4:4 + len(USAGE_LINES)] == USAGE_LINES


@pytest.mark.parametrize("command", ["help", "-h"])
def test_help_prints_long_banner_and_usage_with_status_1(vantrel, command):
    result = vantrel([command])
    assert result.status == 1
    assert result.stderr == ""
    lines = result.stdout.split("\n")
    check_usage(lines)
    assert lines[4 + len(USAGE_LINES):] == [""]


# The parser's messages are unit-tested; these show how main reports them.
@pytest.mark.parametrize("args, message", [
    ([], "Expected command"),
    (["-p", "0", "list", "a"], "Expected valid port number (0-32767)"),
])
def test_parse_errors_print_usage_then_the_message(vantrel, args, message):
    result = vantrel(args)
    assert result.status == 1
    assert result.stderr == ""
    lines = result.stdout.split("\n")
    check_usage(lines)
    # The message is the last line; no short banner precedes the usage.
    assert lines[-2:] == ["Parse Exception: " + message, ""]
    assert len(lines) == 4 + len(USAGE_LINES) + 2
