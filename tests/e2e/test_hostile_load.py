"""Hostile archives and descriptions end to end: each run ends within seconds with the
error box and its exit code, or plays on, while the process stays far below 3 GiB
resident. The archives are written here byte by byte (the packer makes only sound ones):
an entry that declares 300 MiB, one 200 MiB stream listed under 24 names, directories of
too many or colliding names, and descriptions that warn once per element."""

import os
import struct
import threading
import time
import zlib

import e2e

MAGIC = b"WelkorVodeRav\x1a\x00\x00"
STREAM_MASK = 0x7E19
MiB = 1 << 20

LOADING_SHADER = "\r\n".join([
    "struct VS_INPUT { float3 Pos : POSITION0; };",
    "struct VS_OUTPUT { float4 Pos : SV_POSITION; };",
    "VS_OUTPUT vs_main( VS_INPUT In ) { VS_OUTPUT Out; Out.Pos = float4( In.Pos, 1 ); return Out; }",
    "float4 ps_main( VS_OUTPUT In ) : SV_TARGET { return float4(0, 0, 0, 1); }",
]).encode()

OUTPUT_NODE = '<node id="1" type="output" name="screen"><output aspectRatio="16:9"/></node>'


def stored(data, level=1):
    """A zlib stream with its first word masked, as an archive stores it."""
    stream = bytearray(zlib.compress(data, level))
    stream[0] ^= STREAM_MASK & 0xFF
    stream[1] ^= STREAM_MASK >> 8
    return bytes(stream)


def archive(blocks, lines):
    """Header, the blocks from offset 32, then the directory of lines. A line is (name,
    block index, inflated size); a str line is written as it stands."""
    body = bytearray(32)
    offsets = []
    for block in blocks:
        offsets.append(len(body))
        body += block
    text = "".join(line if isinstance(line, str) else
                   f"{line[0]} {offsets[line[1]]} {len(blocks[line[1]])} {line[2]}\n" for line in lines)
    directory = stored(text.encode(), 6)
    header = struct.pack("<4I", 0 ^ 0x3C5A91E7, len(body) ^ 0x6B2F04D8, len(directory) ^ 0xA1E7532C,
                         len(text) ^ 0x5D08C6B9)
    body[0:32] = MAGIC + header
    return bytes(body + directory)


def plain(entries):
    """An archive of whole entries: name -> bytes."""
    names = list(entries)
    return archive([stored(entries[n], 6) for n in names], [(n, i, len(entries[n])) for i, n in enumerate(names)])


def png_1x1():
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 1, 1, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(b"\x00\x80\x40\x20\xff")) + chunk(b"IEND", b""))


def fnv1(name):
    h = 0xcbf29ce484222325
    for c in name.encode():
        h = ((h * 0x100000001b3) & 0xFFFFFFFFFFFFFFFF) ^ (c if c < 0x80 else c | 0xFFFFFFFFFFFFFF00)
    return h


def colliding_names(count):
    """Names whose hashes agree in their low 12 bits: a numbered prefix, a letter, and the
    last character that brings the hash there."""
    names = []
    letters = "abcdefghijklmnopqrstuvwxyz0123456789"
    i = 0
    while len(names) < count:
        prefix = f"c{i}"
        state = fnv1(prefix)
        for letter in letters:
            t = ((state * 0x100000001b3) & 0xFFFFFFFFFFFFFFFF) ^ ord(letter)
            last = ((t * 0x100000001b3) & 0xFFFFFFFFFFFFFFFF) & 0xFFF
            if 0x21 <= last <= 0x7E:
                names.append(prefix + letter + chr(last))
        i += 1
    return names[:count]


def description(*graphs, name="hostile"):
    text = "".join(f'<graph name="g{i}">{graph}</graph>' for i, graph in enumerate(graphs))
    return (f'<brivet><properties name="{name}" loadingShader="bar.fx"/><compositing>{text}</compositing>'
            "</brivet>").encode()


def dangling_connections(count):
    return "".join(f'<connection source="{1000 + i}" target="{2000 + i}" slot="Input"/>' for i in range(count))


class PeakResident:
    """Samples the resident size of the program's process (found by its folder) while it runs."""

    def __init__(self, marker):
        self.marker = marker.encode()
        self.peak_mib = 0.0
        self.done = threading.Event()
        self.thread = threading.Thread(target=self._sample, daemon=True)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.done.set()
        self.thread.join()

    def _sample(self):
        while not self.done.wait(0.05):
            for pid in os.listdir("/proc"):
                if not pid.isdigit():
                    continue
                try:
                    with open(f"/proc/{pid}/cmdline", "rb") as f:
                        cmdline = f.read()
                    if b"brivet.exe" not in cmdline.lower() or self.marker not in cmdline:
                        continue
                    with open(f"/proc/{pid}/status") as f:
                        for line in f:
                            if line.startswith("VmRSS:"):
                                self.peak_mib = max(self.peak_mib, int(line.split()[1]) / 1024.0)
                except OSError:
                    continue


class HostileLoad(e2e.BrivetTestCase):
    def test_hostile_archives_and_descriptions_end_quickly_with_bounded_memory(self):
        # One stream of a small PNG and 200 MiB of zeros, under 24 names read as 24 textures.
        padded = stored(png_1x1() + bytes(200 * MiB))
        textures = "".join(f'<node id="{10 + i}" type="resource" name="t{i}"><file type="texture" path="t{i}.png"/></node>'
                           for i in range(24))
        many_names = [f"textures/t{i}.png 32 0 0\n" for i in range(1000000)]
        colliding = [f"{name} 32 0 0\n" for name in colliding_names(40000)]
        base = {"bar.fx": LOADING_SHADER}
        cases = [
            # (what, archive bytes, expected exit, text the box holds; None: no box, Escape plays it out)
            ("description declaring 300 MiB",
             archive([stored(os.urandom(300 * 1024), 0), stored(LOADING_SHADER)],
                     [("brivet.xml", 0, 300 * MiB), ("bar.fx", 1, len(LOADING_SHADER))]),
             -1, "beyond the 256 MiB an entry may hold"),
            ("one 200 MiB stream under 24 names",
             archive([stored(description(OUTPUT_NODE + textures)), padded, stored(LOADING_SHADER)],
                     [("brivet.xml", 0, len(description(OUTPUT_NODE + textures))), ("bar.fx", 2, len(LOADING_SHADER))]
                     + [(f"t{i}.png", 1, len(png_1x1()) + 200 * MiB) for i in range(24)]),
             -1, "the archive's entries may hold together"),
            ("a million directory lines",
             archive([stored(description(OUTPUT_NODE))], [("brivet.xml", 0, len(description(OUTPUT_NODE)))]
                     + many_names),
             -5, "Directory of more than 65536 entries"),
            ("names colliding in the entry table",
             archive([stored(description(OUTPUT_NODE))], [("brivet.xml", 0, len(description(OUTPUT_NODE)))]
                     + colliding),
             -5, "collide too often"),
            ("40000 dangling connections, then a node that fails",
             plain(dict(base, **{"brivet.xml": description(
                 OUTPUT_NODE + dangling_connections(40000),
                 OUTPUT_NODE + '<node id="2" type="effect" name="x"><effect type="NoSuchEffect"/></node>')})),
             -1, "[graph] Connection from 1000 to 2000 in graph 'g0' names no node; dropped"),
            ("40000 dangling connections in a demo that plays",
             plain(dict(base, **{"brivet.xml": description(OUTPUT_NODE + dangling_connections(40000))})),
             0, None),
        ]
        for what, data, code, box in cases:
            with self.subTest(what):
                for old in os.listdir(self.workdir):
                    os.remove(os.path.join(self.workdir, old))
                with open(os.path.join(self.workdir, "demo.vqz"), "wb") as f:
                    f.write(data)
                keys = [] if box else [(3.0, "Escape", "^welkor demo suite$")]
                with PeakResident(os.path.basename(self.scratch)) as memory:
                    result = self.run_brivet(timeout=90, answer_dialog="Return", keys=keys)
                print(f"{what}: exit {result.exit_code} in {result.elapsed:.1f} s, "
                      f"peak resident {memory.peak_mib:.0f} MiB")
                self.assertEqual(result.exit_code, code, result)
                self.assertLess(result.elapsed, 45.0, result)
                self.assertGreater(memory.peak_mib, 0.0)
                self.assertLess(memory.peak_mib, 1800.0, result)
                if box:
                    self.assertEqual(len(result.boxes), 1, result)
                    self.assertIn(box, result.boxes[0], result)
                    self.assertLess(len(result.boxes[0]), 40 * 520, result)
                else:
                    self.assertEqual(result.boxes, [], result)


if __name__ == "__main__":
    e2e.main()
