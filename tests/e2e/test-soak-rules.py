#!/usr/bin/env python3
"""Checks of the decisions in scripts/soak: which panel exits the host's
actions explain, and windows whose id comes again for another program."""
import importlib.machinery
import importlib.util
import os
import threading
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "..", "..", "scripts", "soak")
loader = importlib.machinery.SourceFileLoader("dek_soak_script", SCRIPT)
loader_spec = importlib.util.spec_from_loader(loader.name, loader)
soak = importlib.util.module_from_spec(loader_spec)
loader.exec_module(soak)


def explained(events, status, exit_at=100.0, spec="CR:CR1911/1"):
    """The reason scripts/soak gives for a panel of `spec` ending with
    `status` at `exit_at`, after the host's `events` on its channel."""
    channel = soak.Channel(spec)
    for event in events:
        channel.add(*event)
    facts = channel.facts(exit_at - soak.EXIT_WINDOW, exit_at, spec)
    return soak.explain_exit(status, facts)


class ExitRules(unittest.TestCase):
    def test_each_action_explains_only_its_own_status(self):
        cases = [
            # host's actions on the channel                      status  explained
            ([(95.0, "up", False)],                                  0,     True),
            ([(95.0, "up", False)],                                  1,     False),
            ([(90.0, "close", False), (95.0, "up", False)],          0,     False),
            ([(95.0, "withdraw")],                                   0,     True),
            ([(90.0, "close", False), (95.0, "withdraw")],           0,     False),
            ([(95.0, "truncate")],                                   1,     True),
            ([(95.0, "withdraw"), (96.0, "publish", "LP")],          1,     True),
            ([(90.0, "close", False), (95.0, "withdraw"),
              (96.0, "publish", "CR:CR1911/1")],                     1,     False),
            ([(95.0, "withdraw"), (96.0, "publish", "MT")],          1,     True),
            ([(50.0, "truncate")],                                   1,     False),
            ([],                                                     0,     False),
        ]
        for events, status, expected in cases:
            with self.subTest(events=events, status=status):
                self.assertEqual(explained(events, status) is not None, expected)

    def test_a_host_still_down_explains_a_panel_started_later(self):
        self.assertIsNotNone(explained([(10.0, "up", False)], 0, exit_at=100.0))


class BackFromHostGone(unittest.TestCase):
    def test_a_panel_must_leave_host_gone_once_its_block_is_back(self):
        cases = [
            # title back at    hang
            (None,             True),
            (26.0,             False),
        ]
        for back, expected in cases:
            with self.subTest(back=back):
                run = soak.Soak.__new__(soak.Soak)
                run.channels = {5: soak.Channel("CR:CR1911/1")}
                run.channels[5].add(19.0, "withdraw")
                run.channels[5].add(25.0, "publish", "CR:CR1911/1")
                run.chaos_start, run.hangs, run.slow = 0.0, [], []
                run.robot_log = open(os.devnull, "w")
                panel = soak.Panel.__new__(soak.Panel)
                panel.channel, panel.pid, panel.spec = 5, 100, "CR:CR1911/1"
                panel.frame = soak.Window("0x1", 100, (0, 0, 600, 130), "U05 - CR1911/1", 10.0)
                panel.frame.titles.append((20.0, "U05 - CR1911/1 (host gone)"))
                if back is not None:
                    panel.frame.titles.append((back, "U05 - CR1911/1"))
                run.check_return(panel, 40.0)
                self.assertEqual(bool(run.hangs), expected)


class WindowIds(unittest.TestCase):
    def test_an_id_that_comes_again_belongs_to_its_new_program(self):
        watch = soak.XWatch.__new__(soak.XWatch)
        watch.lock, watch.windows, watch.gone, watch.ready = threading.Lock(), {}, [], threading.Event()
        for line in ("map 1.0 0x400003 100 0 0 600 130 U05 - CR1911/1", "destroy 2.0 0x400003",
                     "map 3.0 0x400003 200 0 0 600 130 U06 - LP1933/1"):
            watch.on_line(line)
        self.assertEqual([w.pid for w in watch.of_pid(200)], [200])
        self.assertEqual(watch.of_pid(100), [])
        self.assertEqual([w.pid for w in watch.shown_between(0.5, 1.5)], [100])


if __name__ == "__main__":
    unittest.main()
