/*
The comet ribbon's material, drawn forward by Renderer3D over the G-buffer's depth and
added to the picture: teal turning violet along the band, bright in the middle of its
width, with bands of light running along it; "fRibbonGlow" sets its strength.
<metadata>
  <input>fRibbonGlow</input>
  <input>fPhase</input>
  <passes>
    <pass name="ribbon" vs="vs_main" ps="ps_main">
      <rasterizer cullMode="none"/>
      <depth read="true" write="false"/>
      <blend renderTarget="0"><color src="ONE" dst="ONE"/><alpha src="ONE" dst="ONE"/></blend>
    </pass>
  </passes>
</metadata>
*/

cbuffer constants
{
    float4x4 matWorld;
    float4x4 matView;
    float4x4 matProjection;
    float fRibbonGlow;
    float fPhase;
};

struct VS_INPUT { float3 Pos : POSITION; float2 Band : TEXCOORD0; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; float2 Band : TEXCOORD0; };

VS_OUTPUT vs_main(VS_INPUT In)
{
    VS_OUTPUT Out;
    Out.Pos = mul(matProjection, mul(matView, mul(matWorld, float4(In.Pos, 1))));
    Out.Band = In.Band;
    return Out;
}

float4 ps_main(VS_OUTPUT In) : SV_TARGET
{
    float u = In.Band.x;
    float across = In.Band.y * 2.0 - 1.0;
    float core = saturate(1.0 - across * across);
    float runs = 0.55 + 0.45 * sin(u * 90.0 - fPhase * 9.0);
    float3 colour = lerp(float3(0.2, 1.0, 0.85), float3(0.75, 0.35, 1.0), u);
    float fade = saturate(u * 6.0) * saturate((1.0 - u) * 3.0);
    return float4(colour * core * core * runs * fade * fRibbonGlow, 0);
}
