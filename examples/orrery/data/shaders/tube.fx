/*
The glowing body of the neon tube, made by ProceduralGeometry3D from the vertex index: a
cylinder of 32 sides (64 triangles) from "v3TubeStart" to "v3TubeEnd" of radius
"fTubeRadius", writing "v4TubeGlow" as its emissive light. The description gives it the
same ends and colour as the AreaTubeLight3D it stands for. No shadow pass: it casts none.
<metadata>
  <input>v3TubeStart</input>
  <input>v3TubeEnd</input>
  <input>fTubeRadius</input>
  <input>v4TubeGlow</input>
  <passes>
    <pass name="geometry" vs="vs_main" ps="ps_main">
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
    float3 v3TubeStart;
    float fTubeRadius;
    float3 v3TubeEnd;
    float4 v4TubeGlow;
};

struct VS_OUTPUT { float4 Pos : SV_POSITION; float3 World : TEXCOORD0; float3 Normal : TEXCOORD1; };
struct PS_OUTPUT
{
    float4 Albedo : SV_TARGET0;
    float4 Normal : SV_TARGET1;
    float4 Position : SV_TARGET2;
    float4 Emissive : SV_TARGET3;
};

VS_OUTPUT vs_main(uint id : SV_VertexID)
{
    uint t = id / 3;
    uint c = id % 3;
    uint tri = t % 2;
    uint side = t / 2;
    float du = c == 0 ? 0.0 : (tri == 0 ? 1.0 : (c == 1 ? 1.0 : 0.0));
    float dv = c == 0 ? 0.0 : (tri == 0 ? (c == 2 ? 1.0 : 0.0) : 1.0);
    float a = ((float)side + du) * (6.2831853 / 32.0);
    float3 axis = normalize(v3TubeEnd - v3TubeStart);
    float3 u = normalize(cross(axis, abs(axis.y) < 0.9 ? float3(0, 1, 0) : float3(1, 0, 0)));
    float3 v = cross(axis, u);
    float3 n = cos(a) * u + sin(a) * v;
    float3 world = lerp(v3TubeStart, v3TubeEnd, dv) + n * fTubeRadius;

    VS_OUTPUT Out;
    Out.World = world;
    Out.Normal = n;
    Out.Pos = mul(matProjection, mul(matView, float4(world, 1)));
    return Out;
}

PS_OUTPUT ps_main(VS_OUTPUT In)
{
    PS_OUTPUT Out;
    Out.Albedo = float4(0, 0, 0, 0);
    Out.Normal = float4(normalize(In.Normal) * 0.5 + 0.5, 0);
    Out.Position = float4(In.World, 1);
    // The layer holds a quarter of the emissive light.
    Out.Emissive = float4(saturate(v4TubeGlow.rgb * 0.25), 1);
    return Out;
}
