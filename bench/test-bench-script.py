#!/usr/bin/env python3
"""Checks of the decisions in scripts/bench: options, the reading of
/proc/PID/stat, the choice of a free machine number and the verdicts."""
import importlib.machinery
import importlib.util
import os
import sys
import unittest
from unittest import mock

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "..", "scripts", "bench")
loader = importlib.machinery.SourceFileLoader("dek_bench_script", SCRIPT)
loader_spec = importlib.util.spec_from_loader(loader.name, loader)
bench = importlib.util.module_from_spec(loader_spec)
loader.exec_module(bench)


class Options(unittest.TestCase):
    def test_defaults_and_quick_and_explicit_values(self):
        a = bench.parse_args([])
        self.assertEqual((a.runs, a.idle_seconds, a.panels, a.startups), (3, 30.0, 20, 5))
        q = bench.parse_args(["--quick"])
        self.assertEqual((q.runs, q.idle_seconds, q.panels, q.startups), (1, 5.0, 5, 2))
        # An explicit value wins over what --quick implies.
        e = bench.parse_args(["--quick", "--runs", "2", "--panels", "29"])
        self.assertEqual((e.runs, e.panels), (2, 29))
        self.assertEqual(bench.parse_args(["--build-dir", "b"]).build_dir, os.path.join(bench.ROOT, "b"))

    def test_refuses_what_cannot_be_measured(self):
        for bad in (["--panels", "30"], ["--panels", "0"], ["--runs", "0"], ["--idle-seconds", "0"],
                    ["--startups", "0"], ["--bogus"]):
            with mock.patch("sys.stderr"), self.assertRaises(SystemExit, msg=bad):
                bench.parse_args(bad)


class ProcStat(unittest.TestCase):
    def test_command_names_with_brackets_and_spaces(self):
        rest = "S 1 2 3 4 5 6 7 8 9 10 111 222 13 14 15"
        self.assertEqual(bench.stat_ticks("42 (dek) " + rest), 333)
        self.assertEqual(bench.stat_ticks("42 (a) b (c)) " + rest), 333)

    def test_own_process(self):
        self.assertGreaterEqual(bench.cpu_ticks(os.getpid()), 0)
        self.assertGreater(bench.cpu_ns(os.getpid()), 0)


class MachineNumber(unittest.TestCase):
    def test_skips_numbers_whose_blocks_exist(self):
        with mock.patch("os.getpid", return_value=7):
            base = 500000 + 7 * 20
            with mock.patch("os.listdir", return_value=[]):
                self.assertEqual(bench.Session.free_machine(), base)
            # The host's own number taken, then one that dek-bench would use.
            taken = ["SHMEM_%u_04" % base, "SHMEM_%u_05" % (base + 20 + 11), "SHMEM_0001_04"]
            with mock.patch("os.listdir", return_value=taken):
                self.assertEqual(bench.Session.free_machine(), base + 40)


def run(panel, baseline):
    return {"panel": panel, "baseline": baseline}


class Verdicts(unittest.TestCase):
    def test_ratio_is_the_median_of_the_per_run_ratios(self):
        # Per-run ratios 1, 5 and 2; the ratio of the medians would be 10 / 2 = 5.
        runs = [{"x": run(1, 1)}, {"x": run(10, 2)}, {"x": run(100, 50)}]
        row = bench.ratio_row(runs, "x", "x", " ms", "idle_cpu_1")
        self.assertEqual((row["panel"], row["baseline"]), ("10.0 ms", "2.0 ms"))
        self.assertEqual(row["ratio"], "2.00")
        self.assertEqual(row["result"], "MISS")
        runs = [{"x": run(11, 10)}, {"x": run(100, 10)}, {"x": run(12, 10)}]
        self.assertEqual(bench.ratio_row(runs, "x", "x", "", "idle_cpu_1")["ratio"], "1.20")
        self.assertEqual(bench.ratio_row(runs, "x", "x", "", "idle_cpu_1")["result"], "PASS")

    def test_no_ratio_without_a_baseline_figure(self):
        row = bench.ratio_row([{"x": run(10, 0)}], "x", "x", " ms", "idle_cpu_1")
        self.assertEqual((row["ratio"], row["result"]), ("n/a", "-"))

    def test_limits_inclusive_or_strict(self):
        self.assertEqual(bench.value_row("p50", 1.3, " ms", 1.3)["result"], "PASS")
        self.assertEqual(bench.value_row("p50", 1.31, " ms", 1.3)["result"], "MISS")
        self.assertEqual(bench.value_row("scan", 5.0, " ms", 5.0, strict=True)["result"], "MISS")

    def test_failed_in_process_run_is_an_error_not_a_pass(self):
        opts = bench.parse_args(["--quick"])
        external = {k: run(1, 1) for k in ("idle_cpu_1", "idle_cpu_n", "idle_ticks_1", "idle_ticks_n",
                                           "vmhwm", "vmrss", "startup")}
        result = {"runs": [dict(external, dek_bench_error="crashed")], "panel_size": [1, 1]}
        rows = bench.report_rows(result, opts)
        self.assertEqual(rows[-1]["result"], "ERROR")
        # The external figures are still reported.
        self.assertEqual([r["result"] for r in rows[:2]], ["PASS", "PASS"])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=1)
