"""Benchmark of vantrel against minimal programs that do the same TagLib and
libcddb work (bench/baseline_*.cpp). Run it through bench/run, which builds
both first; see README.md.

Cases:
- list of N files (N = --sizes, default 100, 1000 and 10000);
- rename of --files files (default 1000), answering "y";
- sequence of 99 files against the project's local CDDB server
  (tests/support/cddb_server.py, on 127.0.0.1), which has two entries for
  the disc: the runs answer "1" and "2" in turn, so every run writes tags
  the files do not hold yet;
- a collection: `vantrel -y -c only sequence` over 100 folders of discs
  that are tagged already (5 of the MP3 files each, their entry in the
  CDDB cache), against 100 runs of `vantrel list`, one per folder; every
  file must come out "[Tag Unchanged]";
- the same for a 12-track CD of FLAC files (about 300 MB) whose tags fit
  their padding, and for the same CD without padding, copied afresh (and
  synced) before every run, so that every save must grow the files. One
  more vantrel run of each sequence case under strace measures the share of
  its time spent in fsync and fdatasync.

The MP3 files are copies of one real 30-second, 128 kbit/s MP3 (made once
with sox and lame), each with its own ID3v2 tag written by mutagen; the FLAC
files are noise, 2:16 to 3:22 long. They are kept in the data folder, so
later runs start at once.

Each case runs both programs alternately (one warm-up run each first, not
counted) and reports the median wall time, the ratio vantrel/baseline and
the peak resident memory (/usr/bin/time) of both.
"""

import argparse
import contextlib
import datetime
import io
import os
import platform
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from mutagen.id3 import ID3, TALB, TCON, TDRC, TIT2, TPE1, TRCK

SOURCE = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(SOURCE / "tests"))

POOL_FORMAT = "1: 30 s, 44.1 kHz stereo pink noise, lame -b 128, ID3v2.3 with padding 1024"
RENAME_TEMPLATE = "%n - %s.mp3"


# --- Files -----------------------------------------------------------------------

def run_quietly(*command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def base_mp3(data):
    """One real MP3: 30 s of noise at 44.1 kHz stereo, CBR 128 kbit/s, no tag."""
    path = data / "base.mp3"
    if not path.exists():
        wav = data / "base.wav"
        run_quietly("sox", "-n", "-r", "44100", "-c", "2", "-b", "16", str(wav),
                    "synth", "30", "pinknoise", "vol", "0.3")
        run_quietly("lame", "--quiet", "--noreplaygain", "-b", "128", str(wav), str(path) + ".part")
        os.replace(str(path) + ".part", path)
        wav.unlink()
    return path.read_bytes()


def tag_bytes(number):
    tag = ID3()
    tag.add(TPE1(encoding=3, text=f"Artist {number % 50:02d}"))
    tag.add(TIT2(encoding=3, text=f"Title {number:05d}"))
    tag.add(TALB(encoding=3, text=f"Album {number // 99:03d}"))
    tag.add(TCON(encoding=3, text="Rock"))
    tag.add(TDRC(encoding=3, text=str(1960 + number % 60)))
    tag.add(TRCK(encoding=3, text=str(number % 99 + 1)))
    out = io.BytesIO()
    tag.save(out, v2_version=3, padding=lambda info: 1024)
    return out.getvalue()


def pool(data, count):
    """data/pool/00001.mp3 ... : `count` tagged MP3s, made once and kept."""
    folder = data / "pool"
    stamp = folder / "FORMAT"
    if folder.exists() and (not stamp.exists() or stamp.read_text() != POOL_FORMAT):
        shutil.rmtree(folder)
    folder.mkdir(parents=True, exist_ok=True)
    stamp.write_text(POOL_FORMAT)
    names = [f"{number:05d}.mp3" for number in range(1, count + 1)]
    missing = [name for name in names if not (folder / name).exists()]
    if missing:
        audio = base_mp3(data)
        print(f"Making {len(missing)} MP3 files in {folder} ...", flush=True)
        for name in missing:
            part = folder / (name + ".part")
            part.write_bytes(tag_bytes(int(name[:5])) + audio)
            os.replace(part, folder / name)
    return folder, names


def flac_disc(data):
    """data/flac/01.flac ... 12.flac: a CD of noise, about 300 MB, made once."""
    folder = data / "flac"
    folder.mkdir(parents=True, exist_ok=True)
    names = [f"{n:02d}.flac" for n in range(1, 13)]
    for n, name in enumerate(names, 1):
        if (folder / name).exists():
            continue
        print(f"Making {folder / name} ...", flush=True)
        part = str(folder / name) + ".part"
        noise = subprocess.Popen(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", "-e", "signed", "-t", "raw",
                                  "-", "synth", str(130 + 6 * n), "pinknoise", "whitenoise", "vol", "0.5"],
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        subprocess.run(["flac", "--silent", "--force", "--force-raw-format", "--endian=little", "--sign=signed",
                        "--channels=2", "--bps=16", "--sample-rate=44100", "-o", part, "-"],
                       stdin=noise.stdout, check=True)
        noise.stdout.close()
        if noise.wait() != 0:
            sys.exit("sox failed")
        os.replace(part, folder / name)
    return folder, names


# --- Measuring -------------------------------------------------------------------

class Run:
    def __init__(self, seconds, cpu, peak_kib, status, stderr):
        self.seconds, self.cpu, self.peak_kib, self.status, self.stderr = seconds, cpu, peak_kib, status, stderr


def measure(command, cwd, env, stdin=b""):
    """Runs the command with standard output to /dev/null: wall time, CPU
    time (user + system), peak resident memory and exit status. The program
    runs under /usr/bin/time, whose resource usage as reaped here includes
    its child's. A direct child of this (large) Python process would report
    this process's size as its own peak, since the kernel keeps the larger
    of the two on exec; /usr/bin/time is small."""
    with tempfile.TemporaryFile() as errors, tempfile.NamedTemporaryFile("r") as peak:
        start = time.perf_counter()
        process = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", peak.name, *map(str, command)],
                                   cwd=cwd, env=env, stdin=subprocess.PIPE,
                                   stdout=subprocess.DEVNULL, stderr=errors)
        process.stdin.write(stdin)
        process.stdin.close()
        _, status, usage = os.wait4(process.pid, 0)
        seconds = time.perf_counter() - start
        process.returncode = os.waitstatus_to_exitcode(status)
        errors.seek(0)
        lines = peak.read().split()
        return Run(seconds, usage.ru_utime + usage.ru_stime, int(lines[-1]) if lines else 0,
                   process.returncode, errors.read().decode(errors="replace"))


def check(run, name, expected=0):
    if run.status != expected:
        sys.exit(f"{name} ended with status {run.status} (expected {expected}):\n{run.stderr}")


class Case:
    def __init__(self, name, files):
        self.name, self.files = name, files
        self.runs = {"vantrel": [], "baseline": []}

    def row(self):
        def median(program, field):
            return statistics.median(getattr(r, field) for r in self.runs[program])
        v, b = median("vantrel", "seconds"), median("baseline", "seconds")
        vc, bc = median("vantrel", "cpu"), median("baseline", "cpu")
        vm = max(r.peak_kib for r in self.runs["vantrel"]) / 1024
        bm = max(r.peak_kib for r in self.runs["baseline"]) / 1024
        return [self.name, f"{self.files:,}", f"{v:.3f}", f"{b:.3f}", f"{v / b:.2f}",
                f"{vc:.3f}", f"{bc:.3f}", f"{vc / bc:.2f}", f"{v / self.files * 1000:.3f}",
                f"{vm:.1f}", f"{bm:.1f}", str(len(self.runs["vantrel"]))]


def alternate(case, runs, vantrel, baseline):
    """Warm-up of each, then `runs` rounds, alternating which goes first.
    `vantrel` and `baseline` are functions returning a Run."""
    vantrel(), baseline()
    for round_ in range(runs):
        order = [("vantrel", vantrel), ("baseline", baseline)]
        if round_ % 2:
            order.reverse()
        for name, job in order:
            case.runs[name].append(job())
    return case


# --- Cases -----------------------------------------------------------------------

# Another vantrel to time instead of the one built here (--vantrel).
OTHER_VANTREL = None


def vantrel_binary(build):
    return OTHER_VANTREL or build / "vantrel"


def bench_list(build, folder, names, runs, env):
    vantrel = [vantrel_binary(build), "list", *names]
    baseline = [build / "bench" / "baseline_list", *names]
    # Both print the same listing (vantrel puts its banner first).
    ours = subprocess.run(vantrel, cwd=folder, env=env, capture_output=True)
    theirs = subprocess.run(baseline, cwd=folder, env=env, capture_output=True)
    if ours.returncode != 0 or theirs.returncode != 0:
        sys.exit(f"list failed: {ours.returncode} {ours.stderr!r} / {theirs.returncode} {theirs.stderr!r}")
    if ours.stdout.split(b"\n", 2)[2] != theirs.stdout:
        sys.exit("vantrel list and baseline_list disagree")

    def job(command, name):
        def once():
            result = measure(command, folder, env)
            check(result, name)
            return result
        return once
    return alternate(Case("list", len(names)), runs,
                     job(vantrel, "vantrel list"), job(baseline, "baseline_list"))


def bench_rename(build, data, pool_folder, names, runs, env):
    """Each run renames fresh hard links of the pool files (made before the
    run, not timed), so every run starts from the same names."""
    work = data / "rename"

    def job(program, name):
        def once():
            if work.exists():
                shutil.rmtree(work)
            work.mkdir()
            for n in names:
                os.link(pool_folder / n, work / n)
            result = measure([*program, RENAME_TEMPLATE, *names], work, env, stdin=b"y\n")
            check(result, name)
            left = os.listdir(work)
            if len(left) != len(names) or names[0] in left:
                sys.exit(f"{name} did not rename every file")
            return result
        return once
    case = alternate(Case("rename", len(names)), runs,
                     job([vantrel_binary(build), "rename"], "vantrel rename"),
                     job([build / "bench" / "baseline_rename"], "baseline_rename"))
    shutil.rmtree(work)
    return case


XMCD_HEAD = "# xmcd\n#\n# Track frame offsets:\n"


def xmcd_entry(discid, offsets, length, artist="Bench Artist", album="Bench Album"):
    lines = [XMCD_HEAD.rstrip("\n")]
    lines += [f"#\t{offset}" for offset in offsets]
    lines += ["#", f"# Disc length: {length} seconds", "#", "# Revision: 0",
              "# Submitted via: vantrel-bench 0.1", "#", f"DISCID={discid}",
              f"DTITLE={artist} / {album}", "DYEAR=2001", "DGENRE=Rock"]
    lines += [f"TTITLE{i}={album} {i + 1:02d}" for i in range(len(offsets))]
    lines += ["EXTD="] + [f"EXTT{i}=" for i in range(len(offsets))] + ["PLAYORDER="]
    return "\n".join(lines) + "\n"


# Two entries for each disc: the runs choose them in turn, so that every run
# writes tags the files do not hold yet.
ENTRIES = (("misc", "Bench Artist", "Bench Album"), ("rock", "Other Artist", "Other Album"))


def bench_sequence(build, data, source_folder, names, runs, env, name="sequence", sync_share=False, fresh=None):
    """sequence against its baseline on copies of the files; with
    `sync_share`, also the share of one vantrel run spent in syncing. With
    `fresh` (a folder), every run starts from fresh copies of its files,
    made and synced before the run."""
    try:
        from support.cddb_server import CddbServer
    except ImportError:
        return None, "skipped: tests/support/cddb_server.py is not in this tree"
    work, root = data / name.replace(" ", "-"), data / "cddb"
    for folder in (work, root):
        if folder.exists():
            shutil.rmtree(folder)
    work.mkdir()
    root.mkdir()

    def copy_files():
        for n in names:
            shutil.copyfile((fresh or source_folder) / n, work / n)
        os.sync()
    copy_files()

    server = CddbServer(str(root)).start()
    with contextlib.ExitStack() as stack:
        stack.callback(server.stop)
        def command(program):
            if program == "vantrel":
                return [vantrel_binary(build), "-c", "off", "-s", "127.0.0.1", "-p", server.port, "sequence", *names]
            return [build / "bench" / "baseline_sequence", "127.0.0.1", server.port, *names]

        def queries():
            return [c for c in server.commands() if c.startswith("cddb query ")]

        # An empty server first: vantrel's query shows the disc ID the files give.
        probe = measure(command("vantrel"), work, env)
        if probe.status != 2 or not queries():
            return None, f"skipped: vantrel sequence is not working yet (status {probe.status})"
        query = queries()[-1].split()
        discid, count = query[2], int(query[3])
        offsets, length = [int(o) for o in query[4:4 + count]], int(query[4 + count])
        for category, artist, album in ENTRIES:
            (root / category).mkdir()
            (root / category / discid).write_text(xmcd_entry(discid, offsets, length, artist, album))
        check(measure(command("baseline"), work, env, stdin=b"1\n"), "baseline_sequence")
        if queries()[-1] != queries()[0]:
            sys.exit(f"baseline_sequence asked {queries()[-1]!r}, vantrel {queries()[0]!r}")
        answers = iter(range(10 ** 6))

        def job(program):
            def once():
                if fresh:
                    copy_files()
                result = measure(command(program), work, env, stdin=b"%d\n" % (next(answers) % 2 + 1))
                check(result, f"{program} sequence")
                return result
            return once
        case = alternate(Case(name, len(names)), runs, job("vantrel"), job("baseline"))
        note = None
        if sync_share:
            if fresh:
                copy_files()
            synced, seconds = time_in_sync(command("vantrel"), work, env, b"%d\n" % (next(answers) % 2 + 1))
            note = (f"{name}: one vantrel run took {seconds:.3f} s, of which {synced:.3f} s "
                    f"({synced / seconds:.0%}) in fsync and fdatasync")
        return case, note


DISCS, TRACKS_PER_DISC = 100, 5


def bench_collection(build, data, pool_folder, names, runs, env):
    """One unattended run over 100 discs already tagged against 100 runs of
    list: what handling a whole library costs once nothing is left to do."""
    from support.discs import Entry, cache_folder
    tree = data / "collection"
    if tree.exists():
        shutil.rmtree(tree)
    folders = []
    for disc in range(DISCS):
        folder = tree / f"Disc {disc + 1:03d}"
        folder.mkdir(parents=True)
        for track, name in enumerate(names[disc * TRACKS_PER_DISC:(disc + 1) * TRACKS_PER_DISC], 1):
            shutil.copyfile(pool_folder / name, folder / f"{track:02d}.mp3")
        folders.append(folder)
    # Every file plays 30 s exactly (its Info frame says so): one disc ID.
    Entry("Bench Artist", "Bench Album", [(f"Track {n}", 30) for n in range(1, TRACKS_PER_DISC + 1)],
          year=2001, genre="Rock").write(cache_folder(env["HOME"]), "misc")
    vantrel = vantrel_binary(build)
    unattended = [vantrel, "-y", "-c", "only", "sequence", *folders]
    first = subprocess.run(unattended, env=env, capture_output=True, text=True)
    if first.returncode != 0 or f"Done: {DISCS} tagged" not in first.stdout:
        sys.exit(f"the collection was not tagged: {first.returncode} {first.stdout[-300:]!r} {first.stderr!r}")

    def run_unattended():
        result = measure(unattended, tree, env)
        check(result, "vantrel -y sequence")
        return result

    def run_lists():
        runs_ = [measure([vantrel, "list", *sorted(folder.iterdir())], tree, env) for folder in folders]
        for result in runs_:
            check(result, "vantrel list")
        return Run(sum(r.seconds for r in runs_), sum(r.cpu for r in runs_), max(r.peak_kib for r in runs_), 0, "")
    case = alternate(Case("collection -y", DISCS * TRACKS_PER_DISC), runs, run_unattended, run_lists)
    again = subprocess.run(unattended, env=env, capture_output=True, text=True)
    if f"Done: 0 tagged, {DISCS} unchanged" not in again.stdout:
        sys.exit(f"the collection was written again: {again.stdout[-300:]!r}")
    shutil.rmtree(tree)
    return case


def flac_without_padding(data, folder, names):
    """data/flac-grow/: the FLAC disc with no padding, so every save must grow the files."""
    grow = data / "flac-grow"
    grow.mkdir(exist_ok=True)
    for name in names:
        if not (grow / name).exists():
            part = grow / (name + ".part")
            shutil.copyfile(folder / name, part)
            run_quietly("metaflac", "--remove", "--block-type=PADDING", "--dont-use-padding", str(part))
            os.replace(part, grow / name)
    return grow


def time_in_sync(command, cwd, env, answer):
    """(seconds in fsync and fdatasync, wall seconds) of one run, from
    strace's timings of those calls only (other calls run untraced)."""
    with tempfile.NamedTemporaryFile("r") as trace:
        start = time.perf_counter()
        subprocess.run(["strace", "-f", "--seccomp-bpf", "-e", "trace=fsync,fdatasync", "-T", "-o", trace.name,
                        *map(str, command)], cwd=cwd, env=env, input=answer,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        seconds = time.perf_counter() - start
        synced = sum(float(found) for found in re.findall(r"<([0-9.]+)>\s*$", trace.read(), re.M))
    return synced, seconds


# --- Report ----------------------------------------------------------------------

def machine():
    cpu = next((line.split(":", 1)[1].strip() for line in Path("/proc/cpuinfo").read_text().splitlines()
                if line.startswith("model name")), platform.processor())
    memory = next(int(line.split()[1]) for line in Path("/proc/meminfo").read_text().splitlines()
                  if line.startswith("MemTotal"))
    versions = []
    for module in ("taglib", "libcddb"):
        found = subprocess.run(["pkg-config", "--modversion", module], capture_output=True, text=True)
        versions.append(f"{module} {found.stdout.strip()}")
    compiler = subprocess.run(["c++", "--version"], capture_output=True, text=True).stdout.splitlines()[0]
    system = Path("/etc/debian_version").read_text().strip() if Path("/etc/debian_version").exists() else ""
    return (f"{cpu}, {os.cpu_count()} cores, {memory / 1024 / 1024:.0f} GiB; Linux {platform.release()}"
            f" (Debian {system}); {compiler}; {', '.join(versions)}")


def table(rows):
    header = ["case", "files", "vantrel s", "baseline s", "ratio", "vantrel CPU s", "baseline CPU s",
              "CPU ratio", "vantrel ms/file", "vantrel peak MiB", "baseline peak MiB", "runs"]
    lines = ["| " + " | ".join(header) + " |", "|" + "|".join("---" for _ in header) + "|"]
    lines += ["| " + " | ".join(row) + " |" for row in rows]
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=str(SOURCE / "build-bench"), help="build folder with the baselines")
    parser.add_argument("--data", help="folder for the generated files (default: BUILD/data)")
    parser.add_argument("--sizes", default="100,1000,10000", help="file counts for list")
    parser.add_argument("--files", type=int, default=1000, help="file count for rename")
    parser.add_argument("--runs", type=int, default=7, help="timed runs of each program per case")
    parser.add_argument("--no-sequence", action="store_true", help="leave out the sequence case")
    parser.add_argument("--no-flac", action="store_true", help="leave out the 300 MB FLAC cases")
    parser.add_argument("--no-collection", action="store_true", help="leave out the collection case")
    parser.add_argument("--vantrel", help="time this vantrel binary instead of BUILD/vantrel")
    parser.add_argument("--output", default=str(SOURCE / "bench" / "results.md"))
    args = parser.parse_args()

    build = Path(args.build).resolve()
    global OTHER_VANTREL
    OTHER_VANTREL = Path(args.vantrel).resolve() if args.vantrel else None
    data = Path(args.data or build / "data").resolve()
    data.mkdir(parents=True, exist_ok=True)
    sizes = [int(s) for s in args.sizes.split(",") if s]
    pool_folder, names = pool(data, max(sizes + [args.files, 99, DISCS * TRACKS_PER_DISC]))

    # libcddb's cache goes to a temporary HOME, never the user's.
    home = Path(tempfile.mkdtemp(prefix="vantrel-bench-home-"))
    env = {k: v for k, v in os.environ.items() if k not in ("http_proxy", "EMAIL")}
    env["HOME"] = str(home)

    rows, notes = [], []
    load_before = os.getloadavg()[0]
    try:
        for size in sizes:
            print(f"list, {size} files ...", flush=True)
            rows.append(bench_list(build, pool_folder, names[:size], args.runs, env).row())
        if args.files:
            print(f"rename, {args.files} files ...", flush=True)
            rows.append(bench_rename(build, data, pool_folder, names[:args.files], args.runs, env).row())
        if not args.no_sequence:
            print("sequence, 99 files, local CDDB server ...", flush=True)
            case, note = bench_sequence(build, data, pool_folder, names[:99], args.runs, env, sync_share=True)
            rows += [case.row()] if case else []
            notes += [note if case else f"sequence: {note}"] if note else []
        if not args.no_collection:
            print(f"collection, {DISCS} discs already tagged, -y -c only sequence against list ...", flush=True)
            rows.append(bench_collection(build, data, pool_folder, names, args.runs, env).row())
            notes.append(f"collection -y: the baseline is {DISCS} runs of vantrel list, one per disc, "
                         "timed in all; every file of the vantrel run is \"[Tag Unchanged]\"")
        if not args.no_flac:
            print("sequence, 12 FLAC files (300 MB), local CDDB server ...", flush=True)
            flac_folder, flac_names = flac_disc(data)
            case, note = bench_sequence(build, data, flac_folder, flac_names, args.runs, env,
                                        name="sequence FLAC", sync_share=True)
            rows += [case.row()] if case else []
            notes += [note] if note else []
            print("sequence, 12 FLAC files that must grow, local CDDB server ...", flush=True)
            grow = flac_without_padding(data, flac_folder, flac_names)
            case, note = bench_sequence(build, data, flac_folder, flac_names, args.runs, env,
                                        name="sequence FLAC grow", sync_share=True, fresh=grow)
            rows += [case.row()] if case else []
            notes += [note] if note else []
    finally:
        shutil.rmtree(home, ignore_errors=True)

    commit = subprocess.run(["git", "-C", str(SOURCE), "rev-parse", "--short", "HEAD"],
                            capture_output=True, text=True).stdout.strip()
    report = "\n".join([
        "# vantrel benchmark",
        "",
        f"{datetime.date.today().isoformat()}, commit {commit or 'unknown'}, "
        f"`{' '.join(['bench/run'] + sys.argv[1:])}`",
        "",
        f"Machine: {machine()}.",
        "",
        "Files: copies of one 30 s, 128 kbit/s MP3, each with its own ID3v2 tag; for sequence FLAC, "
        "12 FLAC files of noise, 2:16 to 3:22 long, 300 MB in all, whose tags fit their padding; for "
        "sequence FLAC grow, the same without padding, copied afresh and synced before every run. "
        f"Times are medians of {args.runs} runs per program, alternating, after one warm-up run each: "
        "wall time (\"s\") and CPU time (user + system); the ratios are vantrel/baseline; "
        "peak memory is the largest resident set of the runs. "
        f"Load average before and after: {load_before:.2f}, {os.getloadavg()[0]:.2f} "
        "(on a busy machine the CPU ratio is the steadier one). "
        f"rename uses the template \"{RENAME_TEMPLATE}\"; sequence tags the files after a lookup "
        "on the local CDDB server (tests/support/cddb_server.py), which has two entries for the disc: the runs "
        "choose them in turn, so every run writes tags the files do not hold yet.",
        "",
        table(rows),
        *([""] + notes if notes else []),
        "",
    ])
    print()
    print(report)
    Path(args.output).write_text(report)
    print(f"Written to {args.output}")


if __name__ == "__main__":
    main()
