"""A short soak under Wine: 100 search cycles against a feed of only new pictures (the wall
wraps about sixteen times) must leave the process's handles, GDI objects and private bytes
where they were after the warm-up. scripts/soak runs the same for 1000 cycles."""

import json
import unittest

import harness
import soak_wine

CYCLES = 100
# Between cycles the counts repeat exactly (46 handles, 64 GDI objects here); a cached
# WinINet connection or a worker thread still ending may hold one or two for a moment.
HANDLE_BOUND = 3
GDI_BOUND = 2
# With one malloc arena for Wine's Unix side (see soak_wine.Soak) the program's memory grew
# by 132 KB over the 90 cycles after the warm-up, twice. Every tile left behind (75 x 75
# pixels, 22.5 KB) would add 2 MB if it were one a cycle, 20 MB if it were all ten.
PRIVATE_BYTES_BOUND = 1024 * 1024


class SoakUnderWine(unittest.TestCase):
    def test_hundred_cycles_leave_handles_gdi_objects_and_private_bytes_flat(self):
        session = harness.shared_session()
        figures = soak_wine.run_soak(session, CYCLES)
        (session.artifacts / "soak.json").write_text(json.dumps(figures, indent=2) + "\n")
        counts = figures["counts"]
        summary = json.dumps(counts)

        self.assertGreaterEqual(figures["cycles"], CYCLES)
        self.assertGreaterEqual(figures["wraps"], 10, "the wall must wrap many times")
        self.assertEqual(figures["bad_signatures"], 0)
        nonces = figures["nonces"]
        self.assertEqual(nonces["reused_nonces"], 0, nonces)
        self.assertEqual(nonces["distinct_nonces"], nonces["signed_requests"], nonces)
        # The program's own ten-second timer may add a search after the log was last read.
        self.assertGreaterEqual(nonces["signed_requests"], figures["cycles"], nonces)
        # The counts are read from outside; a zero would mean the reading failed.
        for name in soak_wine.COUNTS:
            self.assertGreater(counts[name]["start"], 0, summary)
        self.assertLessEqual(counts["listed_handles"]["growth"], HANDLE_BOUND, summary)
        self.assertLessEqual(counts["gdi_table_objects"]["growth"], GDI_BOUND, summary)
        self.assertLessEqual(counts["private_bytes"]["growth"], PRIVATE_BYTES_BOUND, summary)
        # Every cycle runs on the same worker: a thread made for each cycle would leave the
        # TLS library's state for it behind, some 6 KB a cycle, too little to show in a
        # hundred cycles' private bytes.
        self.assertGreaterEqual(figures["threads_throughout"], 2, json.dumps(
            {k: figures[k] for k in ("threads_throughout", "threads_come_and_gone")}))


if __name__ == "__main__":
    unittest.main()
