/*
Sparks rising from the chrome globe, drawn by Particle3D over the G-buffer's depth and
added to the picture: particle p starts at one of the globe mesh's vertices (read from the
raw vertex buffer that MeshToShaderResource hands over: 64 bytes a vertex, position then
normal, around the globe's centre at (0, 2, 0)), flies out along its normal, rises and
swirls, and fades over its life; six vertices a particle make a quad facing the camera.
"fTime" is the sparks' clock, "fSparks" their strength, "fSourceVertices" the mesh's
vertex count.
<metadata>
  <input>rawGlobe</input>
  <input>fTime</input>
  <input>fSparks</input>
  <input>fSourceVertices</input>
  <passes>
    <pass name="sparks" vs="vs_main" ps="ps_main">
      <rasterizer cullMode="none"/>
      <depth read="true" write="false"/>
      <blend renderTarget="0"><color src="ONE" dst="ONE"/><alpha src="ONE" dst="ONE"/></blend>
    </pass>
  </passes>
</metadata>
*/

cbuffer constants
{
    float4x4 matView;
    float4x4 matProjection;
    float fTime;
    float fSparks;
    float fSourceVertices;
};

ByteAddressBuffer rawGlobe;

struct VS_OUTPUT { float4 Pos : SV_POSITION; float2 Corner : TEXCOORD0; float4 Colour : TEXCOORD1; };

float Hash(uint n)
{
    n = (n << 13) ^ n;
    n = n * (n * n * 15731 + 789221) + 1376312589;
    return (float)(n & 0x7fffffff) / 2147483647.0;
}

VS_OUTPUT vs_main(uint id : SV_VertexID)
{
    uint p = id / 6;
    uint c = id % 6;
    float cx = (c == 1 || c == 3 || c == 4) ? 1.0 : -1.0;
    float cy = (c == 2 || c == 4 || c == 5) ? 1.0 : -1.0;

    float life = 2.2 + 1.6 * Hash(p * 4 + 1);
    float age = frac(fTime / life + Hash(p * 4 + 2));
    uint source = (uint)(Hash(p * 4 + 3) * (fSourceVertices - 1.0));
    float3 start = asfloat(rawGlobe.Load3(source * 64));
    float3 normal = asfloat(rawGlobe.Load3(source * 64 + 12));
    float3 p0 = start + normal * (0.05 + age * 0.9) + float3(0, 1.4 * age * age, 0);
    float swirl = age * (1.2 + Hash(p * 4 + 4));
    float3 world = float3(p0.x * cos(swirl) - p0.z * sin(swirl), p0.y, p0.x * sin(swirl) + p0.z * cos(swirl));
    world += float3(0, 2, 0);

    float size = 0.035 * (1.0 - age * 0.7);
    float3 right = matView[0].xyz;
    float3 up = matView[1].xyz;
    world += (right * cx + up * cy) * size;

    VS_OUTPUT Out;
    Out.Pos = mul(matProjection, mul(matView, float4(world, 1)));
    Out.Corner = float2(cx, cy);
    float glow = sin(3.1415927 * age) * fSparks;
    Out.Colour = float4(lerp(float3(1.6, 1.0, 0.45), float3(0.35, 0.9, 1.0), age) * glow, 0);
    return Out;
}

float4 ps_main(VS_OUTPUT In) : SV_TARGET
{
    float r2 = dot(In.Corner, In.Corner);
    return In.Colour * exp(-r2 * 3.5) * (r2 < 1.0 ? 1.0 : 0.0);
}
