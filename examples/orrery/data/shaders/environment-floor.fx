/*
The floor as the chrome globe sees it (the Shape3D of the environment cube's chunk): the
tile texture in a pool of warm light around the pedestal, fading into the dark.
<metadata>
  <input>texTiles</input>
  <sampler name="smpTiles" u="wrap" v="wrap" filter="LINEAR"/>
  <passes>
    <pass name="environment" vs="vs_main" ps="ps_main">
      <rasterizer cullMode="none"/>
      <depth read="true" write="true"/>
      <blend renderTarget="0" enabled="false"/>
    </pass>
  </passes>
</metadata>
*/

cbuffer constants
{
    float4x4 matWorld;
    float4x4 matView;
    float4x4 matProjection;
};

Texture2D texTiles;
SamplerState smpTiles;

struct VS_INPUT { float3 Pos : POSITION; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; float3 World : TEXCOORD0; };

VS_OUTPUT vs_main(VS_INPUT In)
{
    VS_OUTPUT Out;
    float4 world = mul(matWorld, float4(In.Pos, 1));
    Out.World = world.xyz;
    Out.Pos = mul(matProjection, mul(matView, world));
    return Out;
}

float4 ps_main(VS_OUTPUT In) : SV_TARGET
{
    float3 tile = texTiles.Sample(smpTiles, In.World.xz * 0.25).rgb;
    float pool = 0.25 + 1.6 * exp(-dot(In.World.xz, In.World.xz) * 0.12);
    float3 light = tile * 1.6 * float3(1.0, 0.85, 0.65) * pool;
    return float4(pow(1.0 - exp(-light * 1.6), 1.0 / 2.2), 1);
}
