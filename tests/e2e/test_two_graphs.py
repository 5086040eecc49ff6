"""Two graphs taking turns end to end: two full-screen graphs, one animated over [0, 3] s
(red), the other over [3, 6] s (green), each seen in its half of the run; the second's
picture stays once nothing is animated."""

import os

import e2e
from test_startup import WINE_LOADING_SHADER, description, make_ogg, pixels


def colour_shader(channel):
    """A Layer2D shader that fills the picture with fLevel in one channel."""
    colour = {"red": "float4(fLevel, 0, 0, 1)", "green": "float4(0, fLevel, 0, 1)"}[channel]
    return "\r\n".join([
        "/*",
        "<metadata>",
        "<input>fLevel</input>",
        '<passes><pass name="main" vs="vs_main" ps="ps_main"/></passes>',
        "</metadata>",
        "*/",
        "cbuffer constants { float fRenderTime; float2 v2Resolution; float fLevel; };",
        "struct VS_INPUT { float3 Pos : POSITION; float2 Tex : TEXCOORD; };",
        "struct VS_OUTPUT { float4 Pos : SV_POSITION; float2 Tex : TEXCOORD0; };",
        "VS_OUTPUT vs_main(VS_INPUT In) { VS_OUTPUT Out; Out.Pos = float4(In.Pos, 1); Out.Tex = In.Tex; return Out; }",
        f"float4 ps_main(VS_OUTPUT In) : SV_TARGET {{ return {colour}; }}",
    ])


def graph(name, shader, start):
    """A Layer2D over the whole 16:9 picture whose fLevel rises from 0.4 to 1 over
    [start, start + 3] s."""
    level = (f'<parameter name="fLevel"><value type="spline"><clip start="{start}" length="3">'
             '<key time="0" interpolation="linear" value="0.4"/><key time="3" value="1"/>'
             '</clip></value></parameter>')
    return (f'<graph name="{name}">'
            f'<node id="1" type="resource" name="{name} shader"><file type="effect" path="{shader}"/></node>'
            f'<node id="2" type="effect" name="{name} layer"><effect type="Layer2D">{level}</effect></node>'
            '<node id="9" type="output" name="screen"><output aspectRatio="16:9"/></node>'
            '<connection source="1" target="2" slot="Shader"/>'
            '<connection source="2" target="9"/></graph>')


class TwoGraphs(e2e.BrivetTestCase):
    def test_graphs_taking_turns_are_each_seen_in_their_turn(self):
        source = os.path.join(self.scratch, "source")
        os.makedirs(source)
        make_ogg(os.path.join(source, "music.ogg"), 7)
        files = {"bar.fx": WINE_LOADING_SHADER, "red.fx": colour_shader("red"),
                 "green.fx": colour_shader("green")}
        for name, content in files.items():
            with open(os.path.join(source, name), "w") as f:
                f.write(content)
        compositing = "<compositing>" + graph("first", "red.fx", 0) + graph("second", "green.fx", 3) + "</compositing>"
        with open(os.path.join(source, "brivet.xml"), "w") as f:
            f.write(description(loading_shader="bar.fx", clips=["music.ogg"], extra=compositing))
        e2e.pack(source, os.path.join(self.workdir, "turns.vqz"))

        result = self.run_brivet(timeout=90, answer_dialog="Return",
                                 screenshot_at=[1.0 + 0.25 * i for i in range(80)])
        self.assertEqual(result.exit_code, 0, result)
        self.assertEqual(result.boxes, [], result)

        # The middle of the screen and a point near a corner of the picture, in each shot.
        seen = []
        for png in result.screenshots:
            try:
                width, height, _ = pixels(png, [(0, 0)])
                top = (height - width * 9 // 16) // 2
                _, _, values = pixels(png, [(width // 2, height // 2), (width // 20, top + height // 20)])
            except Exception:  # a shot of a display that went away
                continue
            seen.append(values)

        def kind(values):
            if all(r > 90 and g < 10 and b < 10 for r, g, b in values):
                return "red"
            if all(g > 90 and r < 10 and b < 10 for r, g, b in values):
                return "green"
            return None

        kinds = [kind(values) for values in seen]
        reds = [i for i, k in enumerate(kinds) if k == "red"]
        greens = [i for i, k in enumerate(kinds) if k == "green"]
        self.assertTrue(reds, f"the first graph is never seen: {seen}")
        self.assertTrue(greens, f"the second graph is never seen: {seen}")
        # Turn by turn: the second graph's picture never comes before the first one's, nor
        # the first one's after it (nothing is animated after 6 s: the second stays).
        self.assertLess(max(reds), min(greens), kinds)


if __name__ == "__main__":
    e2e.main()
