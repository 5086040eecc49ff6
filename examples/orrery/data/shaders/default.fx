/*
The renderers' default shader, for entries that bring no effect of their own. Every entry
of this demo brings one, so its magenta on screen would be a fault.
<metadata>
  <passes>
    <pass name="default" vs="vs_main" ps="ps_main">
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

struct VS_INPUT { float3 Pos : POSITION; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; };
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
    Out.Pos = mul(matProjection, mul(matView, mul(matWorld, float4(In.Pos, 1))));
    return Out;
}

PS_OUTPUT ps_main(VS_OUTPUT In)
{
    PS_OUTPUT Out;
    Out.Albedo = float4(1, 0, 1, 1);
    Out.Normal = float4(0.5, 1, 0.5, 0);
    Out.Position = float4(0, 0, 0, 0);
    Out.Emissive = float4(0.25, 0, 0.25, 1);
    return Out;
}
