"""The soak under Wine: tilvane.exe runs many search cycles against a feed that brings only
new pictures, so the wall wraps again and again, while the process's handle count, GDI
objects and private bytes are sampled from outside (programs/soak_probe.cpp).

The program's own timer ticks every ten seconds; soak_probe posts the same timer message
every TICK_MS instead, and the program starts a cycle on the first tick after the previous
one was placed. Cycles are counted in the fake service's request log.

    python3 tests/e2e/soak_wine.py --cycles 1000 [--json FILE]

prints the figures as JSON (start, end and peak of each count, cycles, wraps, duration)."""

import argparse
import json
import os
import shutil
import ssl
import sys
import time
import urllib.request
from pathlib import Path

import harness
from harness import DEFAULT_OPTIONS

SOAK_PROBE_EXE = harness.PROGRAMS_DIR / "soak_probe.exe"
MEDIA = harness.SOURCE_DIR / "tools" / "fakeservice" / "media"
SEARCH_PATH = "/1.1/search/tweets.json"
CELLS = 50
TICK_MS = 100
PER_SEARCH = 10
# Five distinct names per committed picture: 130 in all, so a picture comes back only long
# after the wall lost it and every search downloads ten.
COPIES = 5
SOAK_OPTIONS = dict(DEFAULT_OPTIONS, kensaku_word="photos", serch_ken=PER_SEARCH, original=0)
COUNTS = ("listed_handles", "gdi_table_objects", "private_bytes")


def make_photo_folder(folder):
    folder.mkdir(parents=True, exist_ok=True)
    originals = sorted(p for p in MEDIA.glob("[abc]*.jpg"))
    for copy in range(COPIES):
        for original in originals:
            shutil.copy(original, folder / ("s%d-%s" % (copy, original.name)))
    return folder


class LogTail:
    """Reads the fake service's request log as it grows and counts searches and images."""

    def __init__(self, path):
        self.path = Path(path)
        self.offset = 0
        self.searches = 0
        self.downloads = 0
        self.bad_signatures = 0

    def update(self):
        with open(self.path, "rb") as log:
            log.seek(self.offset)
            data = log.read()
        complete = data[: data.rfind(b"\n") + 1]
        self.offset += len(complete)
        for line in complete.splitlines():
            if not line.strip():
                continue
            entry = json.loads(line)
            if entry.get("path") == SEARCH_PATH:
                self.searches += 1
                self.bad_signatures += entry.get("signature") != "ok"
            elif entry.get("media") and entry.get("status") == 200:
                self.downloads += 1
        return self.searches


def unix_private_bytes(pid):
    """What Wine reports as PrivateUsage to a process asking about itself: its resident
    anonymous memory plus its swap. Asked about another process, Wine reports the swap
    alone, so the figure is read here, from the same Unix process."""
    fields = {}
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            name, _, value = line.partition(":")
            fields[name] = value.split()
    if "tilvane.exe" not in Path("/proc/%d/cmdline" % pid).read_bytes().decode("latin-1"):
        raise AssertionError("process %d is not tilvane.exe" % pid)
    return sum(int(fields.get(name, ["0"])[0]) * 1024 for name in ("RssAnon", "VmSwap"))


def unix_thread_ids(pid):
    """The Unix threads of the process; Wine runs every Windows thread on one of its own."""
    return sorted(int(name) for name in os.listdir("/proc/%d/task" % pid))


def sample(session, program, cycle, started):
    reply = session.run_json(SOAK_PROBE_EXE, "resources", program.hwnd)
    reply["wine_private_usage"] = reply.pop("private_bytes")
    reply["private_bytes"] = unix_private_bytes(program.pid)
    reply["thread_ids"] = unix_thread_ids(program.pid)
    reply["cycle"] = cycle
    reply["seconds"] = round(time.monotonic() - started, 1)
    return reply


def service_status(info, path):
    context = ssl.create_default_context(cafile=info["ca_file"])
    with urllib.request.urlopen(info["api_url"] + path, context=context, timeout=30) as reply:
        return json.loads(reply.read())


class Soak:
    """One tilvane.exe against its own fake service with the rotating feed."""

    def __init__(self, session, seconds_per_cycle=10):
        self.session = session
        self.seconds_per_cycle = seconds_per_cycle
        # Wine's own Unix side allocates with glibc, which gives threads that meet in malloc
        # an arena of their own (up to 16 here), each a few MiB that are never handed back.
        # How many the download threads happen to open depends on the machine's load, and it
        # swamped the program's own memory (0.2 to 10 MiB over the same 100 cycles); with one
        # arena the figure repeats.
        session.env.setdefault("MALLOC_ARENA_MAX", "1")
        photos = make_photo_folder(session.tmp / "soak-photos")
        self.service = session.fake_service(arguments=["--photo-dir", photos,
                                                       "--photo-fresh", PER_SEARCH])
        self.info = self.service.info
        workdir = session.workdir(
            "soak", options=SOAK_OPTIONS,
            key=(self.info["access_token"], self.info["access_token_secret"]),
            service=(self.service.state_dir / "service.txt").read_text())
        self.program = session.start_program(workdir)
        self.program.wait_window()
        self.log = LogTail(self.info["log_file"])
        self.started = time.monotonic()
        self.samples = []

    def sample(self):
        taken = sample(self.session, self.program, self.log.searches, self.started)
        self.samples.append(taken)
        return taken

    def run_until(self, cycles, sample_every):
        """Ticks the program until the service saw `cycles` searches in all, sampling every
        `sample_every` cycles on the way; then waits until the last cycle has ended."""
        stop_file = self.session.tmp / "soak-stop"
        stop_file.unlink(missing_ok=True)
        budget = (cycles - self.log.searches) * self.seconds_per_cycle + 30
        ticker = self.session.start_program(
            self.session.tmp, exe=SOAK_PROBE_EXE, name="soak-ticker",
            args=["tick", self.program.hwnd, TICK_MS, self.session.windows_path(stop_file),
                  budget * 1000])
        deadline = time.monotonic() + budget
        next_sample = self.log.searches + sample_every
        while self.log.update() < cycles:
            if not self.program.running():
                raise AssertionError("tilvane ended after %d cycles" % self.log.searches)
            if time.monotonic() > deadline:
                raise AssertionError("only %d of %d cycles in %d s"
                                     % (self.log.searches, cycles, budget))
            if self.log.searches >= next_sample:
                self.sample()
                next_sample = self.log.searches + sample_every
            time.sleep(0.3)
        stop_file.touch()
        ticker.wait_exit(timeout=60)
        self.wait_until_quiet()

    def wait_until_quiet(self, quiet_seconds=2.0, timeout=60):
        """Until the service has heard nothing for quiet_seconds: the cycle's downloads are
        over, and the placement follows at once."""
        deadline = time.monotonic() + timeout
        last_offset, quiet_since = None, time.monotonic()
        while time.monotonic() < deadline:
            self.log.update()
            if self.log.offset != last_offset:
                last_offset, quiet_since = self.log.offset, time.monotonic()
            elif time.monotonic() - quiet_since >= quiet_seconds:
                return
            time.sleep(0.2)
        raise AssertionError("the service never fell quiet")

    def idle_counts(self, takes=3):
        """Each count's smallest value over a few samples between cycles. The program's own
        ten-second timer may still start a cycle during one of them, which only raises it."""
        taken = []
        for _ in range(takes):
            taken.append(self.sample())
            time.sleep(1)
        return {name: min(s[name] for s in taken) for name in COUNTS}

    def close(self):
        self.program.stop()
        self.service.stop()


def run_soak(session, cycles, samples_wanted=40):
    """Warms up for a tenth of the cycles (at least ten), reads the counts between cycles,
    runs the rest and reads them again; the figures as a dict."""
    soak = Soak(session)
    try:
        warm_up = max(10, cycles // 10)
        first = soak.idle_counts(takes=1)
        soak.run_until(warm_up, sample_every=max(1, warm_up // 4))
        start = soak.idle_counts()
        warm_samples = len(soak.samples)
        soak.run_until(cycles, sample_every=max(1, (cycles - warm_up) // samples_wanted))
        end = soak.idle_counts()
        duration = time.monotonic() - soak.started
        nonces = service_status(soak.info, "/_test/nonces")
    finally:
        soak.close()
    counts = {name: {"before_warm_up": first[name], "start": start[name], "end": end[name],
                     "peak": max(s[name] for s in soak.samples),
                     "growth": end[name] - start[name]}
              for name in COUNTS}
    # The threads there in every sample from the end of the warm-up on (the user-interface
    # thread and the search worker), and those that came and went; WinINet keeps a thread of
    # its own for a while after a download.
    after_warm_up = [set(s["thread_ids"]) for s in soak.samples[warm_samples - 1:]]
    throughout = set.intersection(*after_warm_up)
    return {
        "cycles": soak.log.searches,
        "threads_throughout": len(throughout),
        "threads_come_and_gone": len(set.union(*after_warm_up) - throughout),
        "warm_up_cycles": warm_up,
        "downloads": soak.log.downloads,
        "wraps": soak.log.downloads // CELLS,
        "bad_signatures": soak.log.bad_signatures,
        "duration_seconds": round(duration, 1),
        "counts": counts,
        "nonces": nonces,
        "samples": soak.samples,
    }


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cycles", type=int, default=1000)
    parser.add_argument("--json", type=Path, help="also write the figures to this file")
    args = parser.parse_args(argv)
    with harness.WineSession("soak") as session:
        figures = run_soak(session, args.cycles)
    text = json.dumps(figures, indent=2)
    if args.json:
        args.json.write_text(text + "\n")
    print(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
