#!/usr/bin/python3
"""A sound server that starts after the program is still found: the program starts with
none there, PulseAudio starts later, and an alarm set after that is heard through it
from its first tick."""

import time

import harness
from harness.ringing import cancel, loud_spans, schedule_soon

LIMIT = 0.3  # seconds from the scheduled second to the first beep heard


class SoundServerLateTest(harness.DesktopTestCase):
    def test_alarm_is_heard_through_a_server_that_started_after_the_program(self):
        # The address the server will have, but nothing listens there yet.
        socket = self.desktop.tmp / "pulse.sock"
        app = self.start_app(env={"PULSE_SERVER": f"unix:{socket}"})
        app.focus_window()
        time.sleep(1.0)  # the program has looked for the server and found none
        self.assertFalse(socket.exists())

        self.desktop.start_pulseaudio()
        recorder = harness.Recorder(self.desktop)
        target = schedule_soon(app)
        time.sleep(max(0.0, target + 1.5 - time.time()))
        cancel(app)
        recorder.stop()
        wav = recorder.save_wav(self.desktop.logs / "ringing.wav")

        loud = loud_spans(recorder.windows())
        self.assertTrue(loud, f"nothing was heard through the server that came later "
                        f"(recording in {wav}); program log:\n{app.log_tail(2000)}")
        latency = loud[0][0] - target
        print(f"first beep heard {latency * 1000:+.0f} ms after the scheduled second")
        self.assertGreaterEqual(latency, -0.02, "the alarm rang early (s)")
        self.assertLessEqual(latency, LIMIT, "the first tick was not heard (s)")
        app.assert_healthy()


if __name__ == "__main__":
    harness.main()
