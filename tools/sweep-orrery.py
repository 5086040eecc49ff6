#!/usr/bin/env python3
"""sweep-orrery.py [--list] [--only REGEX] [--shard I/N] [--out DIR]: plays damaged
variants of the "Orrery" example under Wine and sorts how each run ended.

Each variant is the example's description and files with one mistake a demo author could
make (an input left unconnected or fed the wrong kind of resource, a node feeding itself,
a missing, empty or damaged file, a shader that does not compile, extreme numbers, odd
text, a scene without meshes). The music is left out and the run is stopped by Escape a
few seconds after loading, so a run takes about as long as the example takes to load.

Outcome of a run:
  ok        exit 0, no box
  error     an error box and an exit code the program documents for start-up failures
  assert    an assertion box ("BRIVET ASSERT!")
  crash     Wine's exception trace, or an exit code the program never gives
  hang      no exit before the timeout
  exit      a non-zero exit code without a box (-8: the dialog was not taken)
Escape goes to the newest window of the demo's title (the dialog has the same one) four
times, three seconds apart; a run that is not "ok" keeps its folder under DIR/runs with
result.txt and a screenshot taken two seconds before the timeout. Under a heavy load an
occasional run times out or misses the dialog: run such a variant again (--only).
Runs inside tools/with-wine (re-run through it when started outside) and needs
BRIVET_EXE and BRIVET_PACKER as the e2e tests do (defaults: build/windows/brivet.exe and
build/host/tools/vqz/vqz). Results go to DIR/results.tsv, one line a variant."""

import argparse
import copy
import json
import os
import re
import shutil
import subprocess
import sys
import time
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import e2e  # noqa: E402

EXAMPLE = os.path.join(REPO, "examples", "orrery")
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf"
DOCUMENTED_EXITS = {0, -1, -2, -3, -4, -5, -8}
CRASH_MARKERS = ("Unhandled page fault", "Unhandled exception", "Unhandled stack overflow",
                 "err:seh:", "wine: Assertion", "Unhandled illegal instruction",
                 "Unhandled divide by zero")

# Where each resource type stands in the example (node ids).
TYPE_SOURCES = {"effect": "1", "scene": "20", "texture": "26", "computeShader": "27", "Font": "29",
                "RenderChunk": "170", "gbuffer": "200", "cubetexture": "131", "buffer": "156",
                "shaderresource": "212"}
OUTPUTS = {"RendererGBuffer3D": "gbuffer", "CubeRenderer3D": "cubetexture", "MeshToShaderResource": "shaderresource",
           "ComputedBuffer": "buffer", "Layer2D": "texture", "GBufferLighting2D": "texture",
           "LayerGBuffer2D": "texture", "Renderer3D": "texture", "Particle3D": "texture", "TextPlane3D": "texture"}
# The effect nodes drawn in 3D or computing (everything but the final 2D layers).
TARGETS_3D = range(100, 300)
# The shaders that get every kind of damage; the others only one that does not compile.
SHADER_SUBSET = r"default|lighting|sparks|text|rocks|rings|ribbon|atmosphere|chrome"


class Demo:
    """The description tree and the folder of files of one variant."""

    def __init__(self, folder, tree):
        self.folder = folder
        self.tree = tree
        self.graph = tree.getroot().find("compositing/graph")

    def node(self, node_id):
        for n in self.graph.findall("node"):
            if n.get("id") == str(node_id):
                return n
        raise KeyError(node_id)

    def connections(self):
        return self.graph.findall("connection")

    def set_param(self, node_id, name, value):
        effect = self.node(node_id).find("effect")
        for p in effect.findall("parameter"):
            if p.get("name") == name:
                effect.remove(p)
        p = ET.SubElement(effect, "parameter", name=name)
        v = ET.SubElement(p, "value", type="constant")
        ET.SubElement(v, "constant", value=value)

    def write(self, rel, data):
        path = os.path.join(self.folder, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data if isinstance(data, bytes) else data.encode("utf-8"))

    def read(self, rel):
        with open(os.path.join(self.folder, rel), "rb") as f:
            return f.read()


DYNAMIC = {
    "texture": '<rendertarget dimensions="demo" format="R8G8B8A8_UNORM"/>',
    "gbuffer": '<gbuffer><layer name="texAlbedo" format="R8G8B8A8_UNORM"/><layer name="texNormal" format="R8G8B8A8_UNORM"/></gbuffer>',
    "cubetexture": '<rendertarget dimensions="64" format="R8G8B8A8_UNORM" depthFormat="D24_UNORM_S8_UINT"/>',
    "RenderChunk": "",
    "buffer": '<buffer size="1600"/>',
    "shaderresource": "",
}


def add_dynamic(d, kind):
    """A dynamic node 900 of that kind, first in the graph."""
    node = ET.fromstring(f'<node id="900" type="dynamic" name="loose"><dynamic type="{kind}">{DYNAMIC[kind]}</dynamic></node>')
    d.graph.insert(0, node)


def node_type(root, node_id):
    for n in root.iter("node"):
        if n.get("id") == node_id:
            f = n.find("file")
            if f is not None:
                return f.get("type")
            e = n.find("effect")
            if e is not None:
                return OUTPUTS.get(e.get("type"), "RenderChunk")
    return None


def variants(root):
    """[(name, mutate(demo))] in the order they run."""
    out = [("baseline/unchanged", lambda d: None)]
    nodes = {n.get("id"): n for n in root.iter("node")}
    effects = {i: n.find("effect").get("type") for i, n in nodes.items() if n.find("effect") is not None}
    conns = [(c.get("source"), c.get("target"), c.get("slot")) for c in root.iter("connection")]

    # Inputs unconnected: every connection into one 3D/compute node dropped.
    for target in sorted(effects, key=int):
        if int(target) not in TARGETS_3D:
            continue

        def drop(d, target=target):
            for c in d.connections():
                if c.get("target") == target:
                    d.graph.remove(c)
        out.append((f"unconnected/{target}-{effects[target]}", drop))

    # Inputs fed a resource of another type: each connection into a 3D/compute node.
    kinds = sorted(TYPE_SOURCES)
    for index, (source, target, slot) in enumerate(conns):
        if int(target) not in TARGETS_3D:
            continue
        own = node_type(root, source)
        wrong = [k for k in kinds if k != own]
        for group, pick in (("wrongtype", wrong[index % len(wrong)]), ("wrongtype2", wrong[(index * 7 + 3) % len(wrong)])):

            def retarget(d, source=source, target=target, slot=slot, new=TYPE_SOURCES[pick]):
                for c in d.connections():
                    if (c.get("source"), c.get("target"), c.get("slot")) == (source, target, slot):
                        c.set("source", new)
            out.append((f"{group}/{target}-{effects[target]}/{slot}<-{pick}", retarget))

    # A node feeding itself and cycles.
    for target in ("110", "130", "142", "149", "156", "157", "170", "200", "210", "212", "213", "214"):
        for slot in sorted({s for so, t, s in conns if t == target})[:1]:

            def self_feed(d, target=target, slot=slot):
                for c in d.connections():
                    if c.get("target") == target and c.get("slot") == slot:
                        d.graph.remove(c)
                ET.SubElement(d.graph, "connection", source=target, target=target, slot=slot)
            out.append((f"selffeed/{target}-{effects[target]}/{slot}", self_feed))
    for a, b, slot in (("170", "149", "Input 3"), ("200", "170", "Input 16"), ("131", "130", "Input 8"),
                       ("213", "212", "Scene"), ("211", "210", "Compute Shader"), ("145", "144", "Input")):

        def cycle(d, a=a, b=b, slot=slot):
            for c in d.connections():
                if c.get("target") == b and c.get("slot") == slot:
                    d.graph.remove(c)
            ET.SubElement(d.graph, "connection", source=a, target=b, slot=slot)
        out.append((f"cycle/{a}->{b}/{slot}", cycle))

    # Files: missing, empty, garbage, cut in half.
    files = sorted({n.find("file").get("path") for n in nodes.values() if n.find("file") is not None})
    for path in files:
        def missing(d, path=path):
            os.remove(os.path.join(d.folder, path))

        def empty(d, path=path):
            d.write(path, b"")

        def garbage(d, path=path):
            d.write(path, bytes((i * 37 + 11) & 0xFF for i in range(4096)))

        def half(d, path=path):
            data = d.read(path)
            d.write(path, data[:len(data) // 2])
        kinds = (("missing", missing), ("empty", empty), ("garbage", garbage), ("half", half))
        if path.endswith(".fx"):
            kinds = kinds[:2]
        for name, fn in kinds:
            out.append((f"file-{name}/{path}", fn))

    # Shaders and compute programs: not compiling, no passes, damaged metadata.
    shaders = [p for p in files if p.endswith(".fx")]
    computes = [p for p in files if p.endswith(".csh")]
    for path in shaders + computes:
        if not re.search(SHADER_SUBSET, path) and not path.endswith(".csh"):
            out.append((f"shader-broken/{path}", lambda d, path=path: d.write(path, d.read(path) + b"\nnot HLSL;\n")))
            continue
        def broken(d, path=path):
            d.write(path, d.read(path) + b"\nthis is not HLSL;\n")

        def no_metadata(d, path=path):
            d.write(path, re.sub(rb"<metadata>.*?</metadata>", b"", d.read(path), flags=re.S))

        def bad_metadata(d, path=path):
            d.write(path, d.read(path).replace(b"</metadata>", b"<passes><pass name=", 1))
        out += [(f"shader-broken/{path}", broken), (f"shader-nometa/{path}", no_metadata),
                (f"shader-badmeta/{path}", bad_metadata)]
    for path in [p for p in shaders if re.search(SHADER_SUBSET, p)]:
        def no_passes(d, path=path):
            d.write(path, re.sub(rb"<passes>.*?</passes>", b"<passes></passes>", d.read(path), flags=re.S))

        def missing_entry(d, path=path):
            d.write(path, re.sub(rb'ps="\w+"', b'ps="nowhere"', d.read(path), count=1))

        def bad_pass_attrs(d, path=path):
            data = re.sub(rb'lighttype="\w+"', b'lighttype="laser"', d.read(path))
            data = re.sub(rb'cullMode="\w+"', b'cullMode="sideways"', data)
            d.write(path, re.sub(rb'renderTarget="0"', b'renderTarget="99"', data))
        out += [(f"shader-nopasses/{path}", no_passes), (f"shader-noentry/{path}", missing_entry),
                (f"shader-badpass/{path}", bad_pass_attrs)]

    # Numbers: zero, negative, huge.
    params = [("157", "Instance Count", ("0", "-1", "100000000")),
              ("213", "Particle Count", ("0", "-5", "100000000")),
              ("213", "fSourceVertices", ("0", "1e9")),
              ("156", "Thread X", ("0", "1000000")),
              ("210", "Triangle Count", ("0", "-1", "100000000")),
              ("210", "Thread X", ("0", "1000000")),
              ("110", "TriangleCount", ("0", "-1", "100000000")),
              ("154", "TriangleCount", ("0", "100000000")),
              ("124", "Count", ("0", "-1", "100000")),
              ("148", "Radius", ("0", "-1")),
              ("148", "Attenuation", ("0; 0; 0",)),
              ("159", "Shadow Size", ("0; 0", "1e30; 1e30")),
              ("159", "Shadow Source Distance", ("0",)),
              ("159", "Direction", ("0; 0; 0",)),
              ("160", "Cone Outer Angle", ("0", "400")),
              ("160", "Target", ("0; 8; 0",)),
              ("155", "Radius", ("0",)),
              ("153", "Light Radius", ("0",)),
              ("100", "FOV", ("0", "180")),
              ("100", "ClipPlanes", ("0; 0", "5; 1")),
              ("102", "FOV Offset", ("-1000",)),
              ("101", "Amplitude", ("1e30",)),
              ("214", "LineHeight", ("0", "-1")),
              ("214", "fTextScale", ("0",)),
              ("214", "TextStart", ("-5", "1e9")),
              ("214", "TextEnd", ("-5", "1e9")),
              ("131", "Cubemap center", ("1e30; 1e30; 1e30",)),
              ("121", "Scene Time", ("-1", "1e9"))]
    for node_id, name, values in params:
        for value in values:
            out.append((f"param/{node_id}-{effects[node_id]}/{name}={value}",
                        lambda d, node_id=node_id, name=name, value=value: d.set_param(node_id, name, value)))

    # Not-a-number and infinities in the float parameters of the 3D effects.
    floats = [("121", "Scene Time"), ("141", "Scene Time"), ("157", "Instance Count"), ("157", "fTumble"),
              ("213", "fSourceVertices"), ("213", "fTime"), ("214", "LineHeight"), ("214", "TextStart"),
              ("214", "TextEnd"), ("214", "fTextScale"), ("100", "FOV"), ("100", "ClipPlanes"),
              ("100", "Position"), ("101", "Frequency"), ("101", "Amplitude"), ("102", "FOV Offset"),
              ("124", "Rotation"), ("123", "Position"), ("130", "Scale"), ("159", "Shadow Size"),
              ("159", "Direction"), ("159", "Shadow Source Distance"), ("160", "Cone Outer Angle"),
              ("160", "Cone Inner Angle"), ("160", "Position"), ("148", "Radius"), ("148", "Position"),
              ("153", "Light Radius"), ("153", "Render Radius"), ("155", "Radius"), ("155", "Start Position"),
              ("131", "Cubemap center"), ("110", "fSpin"), ("156", "fTime"), ("210", "fPhase"),
              ("201", "fSpotRange"), ("202", "fBeam")]
    for node_id, name in floats:
        for word in ("nan", "inf", "-inf"):
            value = "; ".join([word] * 4)
            out.append((f"nan/{node_id}-{effects[node_id]}/{name}={word}",
                        lambda d, node_id=node_id, name=name, value=value: d.set_param(node_id, name, value)))

    def set_attr(node_id, tag, attr, value):
        def fn(d):
            el = d.node(node_id).find(f"resource/{tag}")
            el.set(attr, value)
        return fn
    for node_id, tag, attr, values in (
            ("156", "buffer", "size", ("0", "1", "3", "4294967295", "-16", "abc")),
            ("200", "gbuffer", "shadowSize", ("0", "100000", "-1")),
            ("200", "gbuffer", "shadowCubeSize", ("0", "100000")),
            ("201", "rendertarget", "dimensions", ("0x0", "0*0", "1*0", "100000*100000", "demo/0", "abc", "")),
            ("211", "rendertarget", "dimensions", ("0*0", "70000*1")),
            ("213", "rendertarget", "dimensions", ("0*0",)),
            ("200", "gbuffer", "dimensions", ("0*0", "100000*100000", "1*1")),
            ("131", "rendertarget", "dimensions", ("0", "100000", "0x0")),
            ("131", "rendertarget", "format", ("NOT_A_FORMAT", "D24_UNORM_S8_UINT")),
            ("211", "rendertarget", "format", ("R8_SNORM",))):
        for value in values:
            out.append((f"resource/{node_id}/{tag}@{attr}={value}", set_attr(node_id, tag, attr, value)))

    def gbuffer_layers(keep):
        def fn(d):
            g = d.node("200").find("resource/gbuffer")
            for i, layer in enumerate(g.findall("layer")):
                if i >= keep:
                    g.remove(layer)
        return fn
    out.append(("gbuffer/no-layers", gbuffer_layers(0)))
    out.append(("gbuffer/one-layer", gbuffer_layers(1)))

    def gbuffer_many(d):
        g = d.node("200").find("resource/gbuffer")
        for i in range(12):
            ET.SubElement(g, "layer", name=f"texExtra{i}", format="R8G8B8A8_UNORM")
    out.append(("gbuffer/sixteen-layers", gbuffer_many))

    def gbuffer_bad_format(d):
        d.node("200").find("resource/gbuffer").find("layer").set("format", "NOT_A_FORMAT")
    out.append(("gbuffer/bad-format", gbuffer_bad_format))

    def no_resource(node_id):
        def fn(d):
            n = d.node(node_id)
            n.remove(n.find("resource"))
        return fn
    for node_id in ("131", "156", "200", "201", "211", "213"):
        out.append((f"resource/{node_id}/none", no_resource(node_id)))

    # Odd text.
    for label, text in (("empty", ""), ("controls", "\x01\x02\t\x7f A"), ("notascii", "\u00e9\u4e2d\U0001F600"),
                        ("long", "W" * 20000), ("lines", "\n" * 500)):
        out.append((f"text/{label}", lambda d, text=text: d.set_param("214", "Text", text)))

    def raw_bytes(d):
        d.set_param("214", "Text", "@@RAW@@")
    out.append(("text/invalid-utf8", raw_bytes))

    # A file read as another type of resource.
    for node_id in ("1", "20", "26", "27", "29"):
        own = nodes[node_id].find("file").get("type")
        for kind in ("texture", "effect", "scene", "Font", "computeShader"):
            if kind != own:
                def retype(d, node_id=node_id, kind=kind):
                    d.node(node_id).find("file").set("type", kind)
                out.append((f"filetype/{node_id}-{own}-as-{kind}", retype))

    # Dynamic nodes: effects drawing into one of any type, consumers reading one that
    # nothing drew into, and effects drawing into a resource node (nowhere).
    for producer in ("131", "156", "170", "200", "201", "202", "210", "211", "212", "213", "214"):
        for kind in DYNAMIC:

            def into_dynamic(d, producer=producer, kind=kind):
                add_dynamic(d, kind)
                ET.SubElement(d.graph, "connection", source=producer, target="900", slot="Input")
            out.append((f"dynamic-out/{producer}-{effects[producer]}->{kind}", into_dynamic))

        def into_resource(d, producer=producer):
            ET.SubElement(d.graph, "connection", source=producer, target="1", slot="Input")
        out.append((f"resource-out/{producer}-{effects[producer]}", into_resource))
    seen = set()
    for source, target, slot in conns:
        kind = node_type(root, source)
        if kind not in DYNAMIC or int(target) not in TARGETS_3D or (target, kind) in seen:
            continue
        seen.add((target, kind))

        def from_dynamic(d, source=source, target=target, slot=slot, kind=kind):
            add_dynamic(d, kind)
            for c in d.connections():
                if (c.get("source"), c.get("target"), c.get("slot")) == (source, target, slot):
                    c.set("source", "900")
        out.append((f"dynamic-in/{target}-{effects[target]}/{slot}<-{kind}", from_dynamic))
    for kind in sorted(TYPE_SOURCES):

        def to_screen(d, kind=kind):
            for c in d.connections():
                if c.get("target") == "999":
                    c.set("source", TYPE_SOURCES[kind])
        out.append((f"output-fed/{kind}", to_screen))

    # Scenes without meshes or cameras.
    empty_scene = json.dumps({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}],
                              "nodes": [{"name": "nothing"}]})
    no_nodes = json.dumps({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": []}]})
    for model in ("orrery", "globe", "rock", "orb"):
        out.append((f"scene-nomesh/{model}", lambda d, model=model: d.write(f"models/{model}.gltf", empty_scene)))
        out.append((f"scene-nonodes/{model}", lambda d, model=model: d.write(f"models/{model}.gltf", no_nodes)))
    return out


def stage(folder):
    """The example's files with no music (the demo is stopped by Escape)."""
    shutil.copytree(os.path.join(EXAMPLE, "data"), folder)
    subprocess.run([sys.executable, os.path.join(EXAMPLE, "make-models.py"), folder], check=True,
                   stdout=subprocess.DEVNULL)
    os.makedirs(os.path.join(folder, "fonts"))
    shutil.copy(FONT, os.path.join(folder, "fonts"))
    tree = ET.parse(os.path.join(folder, "brivet.xml"))
    root = tree.getroot()
    root.remove(root.find("audio"))
    return tree


def classify(result):
    log = result.log
    crash = next((m for m in CRASH_MARKERS if m in log), None)
    asserts = [b for b in result.boxes if b.startswith("BRIVET ASSERT")]
    if result.timed_out:
        return "hang", ""
    if crash or result.exit_code not in DOCUMENTED_EXITS:
        return "crash", crash or f"exit {result.exit_code}"
    if asserts:
        return "assert", asserts[0]
    if result.boxes:
        return "error", result.boxes[-1]
    if result.exit_code != 0:
        return "exit", f"exit {result.exit_code} without a box"
    return "ok", ""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--only", default="")
    parser.add_argument("--shard", default="1/1")
    parser.add_argument("--out", default=os.path.join(REPO, "build", "sweep"))
    parser.add_argument("--timeout", type=float, default=60.0)
    parser.add_argument("--escape", type=float, default=14.0, help="seconds after the start")
    args = parser.parse_args()

    os.environ.setdefault("BRIVET_EXE", os.path.join(REPO, "build", "windows", "brivet.exe"))
    os.environ.setdefault("BRIVET_PACKER", os.path.join(REPO, "build", "host", "tools", "vqz", "vqz"))
    base = os.path.join(args.out, "base")
    if not os.path.isdir(base):
        stage(base + ".tmp")
        os.replace(base + ".tmp", base)
    base_tree = ET.parse(os.path.join(base, "brivet.xml"))
    root = base_tree.getroot()
    if root.find("audio") is not None:
        root.remove(root.find("audio"))
    chosen = [(n, f) for n, f in variants(root) if re.search(args.only, n)]
    order = ["baseline", "nan", "dynamic-out", "dynamic-in", "resource-out", "output-fed", "wrongtype", "unconnected", "selffeed", "cycle", "param", "resource", "gbuffer", "scene", "text"]
    chosen.sort(key=lambda v: order.index(v[0].split("/")[0]) if v[0].split("/")[0] in order else len(order))
    shard, shards = (int(x) for x in args.shard.split("/"))
    chosen = chosen[shard - 1::shards]
    if args.list:
        for name, _ in chosen:
            print(name)
        print(len(chosen), "variants", file=sys.stderr)
        return
    if os.environ.get("BRIVET_WINE_ENV") != "1" or not os.environ.get("DISPLAY"):
        with_wine = os.path.join(HERE, "with-wine")
        os.execv(with_wine, [with_wine, sys.executable, os.path.abspath(__file__)] + sys.argv[1:])

    results = os.path.join(args.out, f"results-{shard}of{shards}.tsv")
    for name, mutate in chosen:
        safe = re.sub(r"[^\w.-]+", "_", name)
        work = os.path.join(args.out, "runs", safe)
        shutil.rmtree(work, ignore_errors=True)
        folder = os.path.join(work, "data")
        shutil.copytree(base, folder)
        demo = Demo(folder, copy.deepcopy(base_tree))
        mutate(demo)
        demo.tree.write(os.path.join(folder, "brivet.xml"), encoding="utf-8", xml_declaration=True)
        if "@@RAW@@" in open(os.path.join(folder, "brivet.xml"), encoding="utf-8").read():
            data = demo.read("brivet.xml").replace(b"@@RAW@@", b"A\xff\xfe\xc3(\xe2\x82 \xf0\x90B")
            demo.write("brivet.xml", data)
        run_dir = os.path.join(work, "run")
        os.makedirs(run_dir)
        e2e.pack(folder, os.path.join(run_dir, "demo.vqz"))
        shutil.rmtree(folder, ignore_errors=True)
        start = time.monotonic()
        result = e2e.run_brivet(run_dir, timeout=args.timeout, answer_dialog="Return",
                                keys=[(args.escape + k * 3.0, "Escape", "^welkor demo suite$") for k in range(4)],
                                screenshot_at=[args.timeout - 2.0],
                                out_dir=os.path.join(work, "out"))
        outcome, detail = classify(result)
        with open(os.path.join(work, "result.txt"), "w") as f:
            f.write(str(result))
        line = "\t".join([outcome, str(result.exit_code), f"{time.monotonic() - start:.1f}", name,
                          detail.replace("\n", " | ")[:400]])
        print(line, flush=True)
        with open(results, "a") as f:
            f.write(line + "\n")
        if outcome == "ok":
            shutil.rmtree(work, ignore_errors=True)
        else:
            shutil.rmtree(run_dir, ignore_errors=True)


if __name__ == "__main__":
    main()
