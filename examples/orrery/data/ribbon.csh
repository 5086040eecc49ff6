/*
The comet ribbon, run by ComputedGeometry3D once a frame: a twisting band that winds
one and a quarter times around the globe, one thread a segment, two triangles of 16
floats a vertex (position, normal, tangent, binormal, two texture coordinates) each. The
first texture coordinate holds how far along the band (u) and which edge (v) a vertex
is; "fPhase" moves the band along its path.
<metadata>
  <input>fPhase</input>
</metadata>
*/

cbuffer constants
{
    float3 v3ThreadSizes;
    float fPhase;
};

RWBuffer<float> gOutput;

void Vertex(uint index, float3 p, float u, float v)
{
    uint base = index * 16;
    gOutput[base] = p.x;
    gOutput[base + 1] = p.y;
    gOutput[base + 2] = p.z;
    gOutput[base + 12] = u;
    gOutput[base + 13] = v;
}

// A point of the band's middle line and the half-width vector across it at u.
void Band(float u, out float3 centre, out float3 across)
{
    float a = u * 7.8539816 + fPhase;
    float r = 1.75 + 0.35 * sin(3.0 * a + 0.5 * fPhase);
    float3 radial = float3(cos(a), 0, sin(a));
    centre = float3(0, 2, 0) + radial * r + float3(0, 0.8 * sin(2.0 * a - 0.3 * fPhase), 0);
    float twist = u * 6.0 + fPhase;
    across = (cos(twist) * float3(0, 1, 0) + sin(twist) * radial) * (0.2 * sin(3.1415927 * u) + 0.005);
}

[numthreads(16, 1, 1)]
void main(uint3 id : SV_DispatchThreadID)
{
    float u0 = id.x / 192.0;
    float u1 = (id.x + 1) / 192.0;
    float3 c0, a0, c1, a1;
    Band(u0, c0, a0);
    Band(u1, c1, a1);
    uint v = id.x * 6;
    Vertex(v, c0 - a0, u0, 0.0);
    Vertex(v + 1, c0 + a0, u0, 1.0);
    Vertex(v + 2, c1 + a1, u1, 1.0);
    Vertex(v + 3, c0 - a0, u0, 0.0);
    Vertex(v + 4, c1 + a1, u1, 1.0);
    Vertex(v + 5, c1 - a1, u1, 0.0);
}
