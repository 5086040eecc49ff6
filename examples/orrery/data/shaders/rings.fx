/*
The armillary rings around the globe, made by ProceduralGeometry3D from the vertex index
alone: three brass tori of 96 segments by 8 sides (4608 triangles), centred on the globe,
one upright, one leaning at 66 degrees and one at 23, each turning about the vertical at
its own pace of "fSpin". They cast shadows like any brass.
<metadata>
  <input>fSpin</input>
  <passes>
    <pass name="geometry" vs="vs_main" ps="ps_main">
      <rasterizer cullMode="none"/>
      <depth read="true" write="true"/>
      <blend renderTarget="0" enabled="false"/>
    </pass>
    <pass name="shadow" type="shadow" vs="vs_shadow" ps="ps_shadow">
      <rasterizer cullMode="none"/>
      <depth read="true" write="true"/>
      <blend renderTarget="0" enabled="false"/>
    </pass>
    <pass name="shadowcube" type="shadowcube" vs="vs_shadow" ps="ps_shadowcube">
      <rasterizer cullMode="none"/>
      <depth read="true" write="true"/>
      <blend renderTarget="0" enabled="false"/>
    </pass>
  </passes>
</metadata>
*/

cbuffer constants
{
    float4x4 matView;
    float4x4 matProjection;
    float4x4 matWorldToLight;
    float4x4 matLightProjection;
    float3 v3LightPosition;
    float fSpin;
};

struct VS_OUTPUT { float4 Pos : SV_POSITION; float3 World : TEXCOORD0; float3 Normal : TEXCOORD1; };
struct PS_OUTPUT
{
    float4 Albedo : SV_TARGET0;
    float4 Normal : SV_TARGET1;
    float4 Position : SV_TARGET2;
    float4 Emissive : SV_TARGET3;
};

// Vertex id of the triangle list: world position and normal.
void Ring(uint id, out float3 world, out float3 normal)
{
    uint t = id / 3;
    uint c = id % 3;
    uint tri = t % 2;
    uint quad = t / 2;
    uint ring = quad / 768;
    uint s = (quad % 768) / 8;
    uint j = quad % 8;
    float du = c == 0 ? 0.0 : (tri == 0 ? 1.0 : (c == 1 ? 1.0 : 0.0));
    float dv = c == 0 ? 0.0 : (tri == 0 ? (c == 2 ? 1.0 : 0.0) : 1.0);
    float theta = ((float)s + du) * (6.2831853 / 96.0);
    float phi = ((float)j + dv) * (6.2831853 / 8.0);
    float major = 1.05 + 0.13 * (float)ring;
    float3 out1 = float3(cos(theta), 0, sin(theta));
    float3 n = cos(phi) * out1 + float3(0, sin(phi), 0);
    float3 p = out1 * major + n * 0.016;
    float tilt = ring == 0 ? 1.5707963 : (ring == 1 ? 1.1623892 : 0.4084070);
    float spin = ring == 0 ? fSpin : (ring == 1 ? 1.0 - 0.7 * fSpin : 2.0 + 0.4 * fSpin);
    // Lean about x, then turn about y.
    p = float3(p.x, p.y * cos(tilt) - p.z * sin(tilt), p.y * sin(tilt) + p.z * cos(tilt));
    n = float3(n.x, n.y * cos(tilt) - n.z * sin(tilt), n.y * sin(tilt) + n.z * cos(tilt));
    p = float3(p.x * cos(spin) + p.z * sin(spin), p.y, -p.x * sin(spin) + p.z * cos(spin));
    n = float3(n.x * cos(spin) + n.z * sin(spin), n.y, -n.x * sin(spin) + n.z * cos(spin));
    world = p + float3(0, 2, 0);
    normal = n;
}

VS_OUTPUT vs_main(uint id : SV_VertexID)
{
    VS_OUTPUT Out;
    float3 world, normal;
    Ring(id, world, normal);
    Out.World = world;
    Out.Normal = normal;
    Out.Pos = mul(matProjection, mul(matView, float4(world, 1)));
    return Out;
}

PS_OUTPUT ps_main(VS_OUTPUT In)
{
    PS_OUTPUT Out;
    Out.Albedo = float4(0.78, 0.58, 0.28, 0.6);
    Out.Normal = float4(normalize(In.Normal) * 0.5 + 0.5, 0.7);
    Out.Position = float4(In.World, 1);
    Out.Emissive = float4(0, 0, 0, 1);
    return Out;
}

struct SHADOW_OUTPUT { float4 Pos : SV_POSITION; float3 World : TEXCOORD0; float Depth : TEXCOORD1; };

SHADOW_OUTPUT vs_shadow(uint id : SV_VertexID)
{
    SHADOW_OUTPUT Out;
    float3 world, normal;
    Ring(id, world, normal);
    float4 light = mul(matWorldToLight, float4(world, 1));
    Out.Pos = mul(matLightProjection, light);
    Out.World = world;
    Out.Depth = light.z;
    return Out;
}

float4 ps_shadow(SHADOW_OUTPUT In) : SV_TARGET
{
    return float4(In.Depth, In.Depth * In.Depth, 0, 1);
}

float4 ps_shadowcube(SHADOW_OUTPUT In) : SV_TARGET
{
    float d = distance(In.World, v3LightPosition);
    return float4(d, d * d, 0, 1);
}
