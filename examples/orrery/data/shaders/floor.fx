/*
Material of the floor, a Shape3D plane laid flat: dark marble slabs of the tile texture
(one texture every four units), polished, facing up. Its shadow passes let it take part in
the shadow maps like every other surface.
<metadata>
  <input>texTiles</input>
  <sampler name="smpTiles" u="wrap" v="wrap" filter="ANISOTROPIC"/>
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
    float4x4 matWorld;
    float4x4 matView;
    float4x4 matProjection;
    float4x4 matWorldToLight;
    float4x4 matLightProjection;
    float3 v3LightPosition;
};

Texture2D texTiles;
SamplerState smpTiles;

struct VS_INPUT { float3 Pos : POSITION; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; float3 World : TEXCOORD0; };
struct PS_OUTPUT
{
    float4 Albedo : SV_TARGET0;
    float4 Normal : SV_TARGET1;
    float4 Position : SV_TARGET2;
    float4 Emissive : SV_TARGET3;
};

VS_OUTPUT vs_main(VS_INPUT In)
{
    VS_OUTPUT Out;
    float4 world = mul(matWorld, float4(In.Pos, 1));
    Out.World = world.xyz;
    Out.Pos = mul(matProjection, mul(matView, world));
    return Out;
}

PS_OUTPUT ps_main(VS_OUTPUT In)
{
    PS_OUTPUT Out;
    float3 tile = texTiles.Sample(smpTiles, In.World.xz * 0.25).rgb;
    float joint = saturate((tile.r - tile.b) * 4.0);  // the gold joints: red above blue
    Out.Albedo = float4(tile * 1.6, 0.35 + 0.4 * joint);
    Out.Normal = float4(0.5, 1.0, 0.5, lerp(0.6, 0.25, joint));
    Out.Position = float4(In.World, 1);
    Out.Emissive = float4(0, 0, 0, 1);
    return Out;
}

struct SHADOW_OUTPUT { float4 Pos : SV_POSITION; float3 World : TEXCOORD0; float Depth : TEXCOORD1; };

SHADOW_OUTPUT vs_shadow(VS_INPUT In)
{
    SHADOW_OUTPUT Out;
    float4 world = mul(matWorld, float4(In.Pos, 1));
    float4 light = mul(matWorldToLight, world);
    Out.Pos = mul(matLightProjection, light);
    Out.World = world.xyz;
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
