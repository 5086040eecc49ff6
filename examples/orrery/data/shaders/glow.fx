/*
Material of the glowing bodies (the lantern and the orb): the G-buffer pass writes black
with the material's emissive colour, which the ambient pass of the lighting adds; there is
no shadow pass, so a body casts no shadow, not even into the light it stands for.
<metadata>
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
    float4x4 matWorld;
    float4x4 matView;
    float4x4 matProjection;
    float4 clrEmissive;
};

struct VS_INPUT { float3 Pos : POSITION; float3 Normal : NORMAL; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; float3 World : TEXCOORD0; float3 Normal : TEXCOORD1; };
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
    Out.Normal = mul(matWorld, float4(In.Normal, 0)).xyz;
    Out.Pos = mul(matProjection, mul(matView, world));
    return Out;
}

PS_OUTPUT ps_main(VS_OUTPUT In)
{
    PS_OUTPUT Out;
    Out.Albedo = float4(0, 0, 0, 0);
    Out.Normal = float4(normalize(In.Normal) * 0.5 + 0.5, 0);
    Out.Position = float4(In.World, 1);
    // The layer holds a quarter of the emissive light; a glowing body fills it.
    Out.Emissive = float4(saturate(clrEmissive.rgb), 1);
    return Out;
}
