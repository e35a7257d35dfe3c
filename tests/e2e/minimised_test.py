#!/usr/bin/python3
"""Minimised under a window manager, the clock rests: no wake-ups without an alarm, the
alarm still heard from its second (in a user namespace too, where nothing may wake the
machine), and PANEL right the moment the window is restored."""

import time
from pathlib import Path

import harness
from harness import wait_for
from harness.ringing import cancel, loud_spans, schedule_soon
from harness.timetext import time_text


def wakeups(pid):
    """Voluntary context switches of all the program's threads so far."""
    return sum(int(line.split()[1]) for task in Path(f"/proc/{pid}/task").iterdir()
               for line in (task / "status").read_text().splitlines()
               if line.startswith("voluntary_ctxt_switches"))


class MinimisedTest(harness.DesktopTestCase):
    window_manager = True
    sound = True

    def minimise(self, app):
        app.run_tool(["xdotool", "windowminimize", app.window])
        wait_for(lambda: "Iconic" in app.run_tool(["xprop", "-id", app.window, "WM_STATE"]),
                 "the window to be minimised", 5)

    def test_no_wakeups_and_the_time_at_once_when_restored(self):
        app = self.start_app()
        self.minimise(app)
        time.sleep(1)
        before, start = wakeups(app.pid), time.monotonic()
        time.sleep(10)
        rate = (wakeups(app.pid) - before) / (time.monotonic() - start)
        print(f"{rate:.3f} wake-ups a second while minimised")
        app.run_tool(["xdotool", "windowactivate", app.window])
        restored = time.time()
        shown = wait_for(lambda: app.text("PANEL") == time_text(*time.gmtime()[3:6]),
                         "PANEL to show the time", 5)
        print(f"PANEL right {(time.time() - restored) * 1000:.0f} ms after the restore")
        self.assertLessEqual(time.time() - restored, 0.3)
        self.assertLessEqual(rate, 0.1)

    def test_the_alarm_heard_from_its_second_while_minimised(self):
        # In a user namespace the kernel refuses the timer that wakes the machine; the
        # clock's own timer still wakes the program.
        for wrapper in ((), ("unshare", "--map-root-user", "--")):
            with self.subTest(wrapper=" ".join(wrapper)):
                recorder = harness.Recorder(self.desktop)
                app = self.start_app(wrapper=wrapper)
                target = schedule_soon(app)
                if wrapper:  # the helper, refused its timer there, says so as it goes
                    wait_for(lambda: "refused it a wake timer" in app.log_tail(),
                             "the wake helper's end", 5)
                self.minimise(app)
                time.sleep(max(0.0, target + 1 - time.time()))
                recorder.stop()
                loud = loud_spans(recorder.windows(since=target - 1))
                self.assertTrue(loud, "nothing was heard")
                print(f"beeps began {(loud[0][0] - target) * 1000:+.0f} ms after the second")
                self.assertTrue(-0.02 <= loud[0][0] - target <= 0.3, loud[0][0] - target)
                cancel(app, by_atspi=True)
                app.stop()

if __name__ == "__main__":
    harness.main()
