"""The exit code of every way a run ends, again and again: a start-up that fails after
the window and the device exist (error box, -1) and Escape during playback (0). A run
that dies on its way out (an X error exits 1) shows here. BRIVET_E2E_REPEAT sets how
many runs of each (3 by default; 20 for a check by hand)."""

import os
import shutil

import e2e

REPEAT = int(os.environ.get("BRIVET_E2E_REPEAT", "3"))

# A loading bar that every HLSL compiler takes: black.
LOADING_SHADER = "\r\n".join([
    "struct VS_INPUT { float3 Pos : POSITION0; };",
    "struct VS_OUTPUT { float4 Pos : SV_POSITION; };",
    "VS_OUTPUT vs_main( VS_INPUT In ) { VS_OUTPUT Out; Out.Pos = float4( In.Pos, 1 ); return Out; }",
    "float4 ps_main( VS_OUTPUT In ) : SV_TARGET { return float4(0, 0, 0, 1); }",
])

GRAPH = ('<compositing><graph name="main"><node id="1" type="output" name="screen">'
         '<output aspectRatio="16:9"/></node></graph></compositing>')


class ExitCodes(e2e.BrivetTestCase):
    def make_demo(self, files):
        source = os.path.join(self.scratch, "source")
        shutil.rmtree(source, ignore_errors=True)
        os.makedirs(source)
        for name, text in files.items():
            with open(os.path.join(source, name), "w") as f:
                f.write(text)
        e2e.pack(source, os.path.join(self.workdir, "demo.vqz"))

    def test_failure_after_the_device_exists_exits_minus_one_every_time(self):
        # The loading shader's entry is missing: the window and the device are up.
        self.make_demo({"brivet.xml": '<brivet><properties name="exit codes" loadingShader="missing.fx"/>'
                                      + GRAPH + "</brivet>"})
        for run in range(REPEAT):
            with self.subTest(run=run):
                result = self.run_brivet(timeout=60, answer_dialog="Return")
                self.assertEqual(result.exit_code, -1, result)
                self.assertEqual(len(result.boxes), 1, result)
                self.assertIn("Loading shader load failed (oh the irony)", result.boxes[0], result)

    def test_escape_during_playback_exits_zero_every_time(self):
        # No music: the demo would play 60 seconds.
        self.make_demo({"brivet.xml": '<brivet><properties name="exit codes" loadingShader="bar.fx"/>'
                                      + GRAPH + "</brivet>",
                        "bar.fx": LOADING_SHADER})
        for run in range(REPEAT):
            with self.subTest(run=run):
                result = self.run_brivet(timeout=60, answer_dialog="Return",
                                         keys=[(4.0, "Escape", "^welkor demo suite$")])
                self.assertEqual(result.exit_code, 0, result)
                self.assertEqual(result.boxes, [], result)
                self.assertLess(result.elapsed, 20.0, result)


if __name__ == "__main__":
    e2e.main()
