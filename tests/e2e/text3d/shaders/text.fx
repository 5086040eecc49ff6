/*
The text: each glyph quad of TextPlane3D (font pixels at the baking size of 128) placed on
a plane at z = 0, 0.004 world units a font pixel, its first line's base line at y = 0.3
from x = -1.6; the atlas's coverage in white.
<metadata>
  <sampler name="smp" u="clamp" v="clamp" filter="POINT"/>
  <passes>
    <pass name="text" vs="vs_main" ps="ps_main">
      <rasterizer cullMode="none"/>
      <depth read="true" write="false"/>
    </pass>
  </passes>
</metadata>
*/

cbuffer constants
{
    float4x4 matView;
    float4x4 matProjection;
};

Texture2D texFont;
SamplerState smp;

struct VS_INPUT { float3 Pos : POSITION; float2 Tex : TEXCOORD; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; float2 Tex : TEXCOORD0; };

VS_OUTPUT vs_main(VS_INPUT In)
{
    VS_OUTPUT Out;
    float4 world = float4(In.Pos.x * 0.004 - 1.6, In.Pos.y * 0.004 + 0.3, 0, 1);
    Out.Pos = mul(matProjection, mul(matView, world));
    Out.Tex = In.Tex;
    return Out;
}

float4 ps_main(VS_OUTPUT In) : SV_TARGET
{
    float c = texFont.Sample(smp, In.Tex).r;
    return float4(c, c, c, 1);
}
