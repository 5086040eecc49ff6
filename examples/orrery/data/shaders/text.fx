/*
The words, drawn by TextPlane3D over the G-buffer's depth: each glyph quad (font pixels
at the baking size of 128, y up, the first line's base line at 0) laid on an upright plane
turned "fTextYaw" about the vertical, "fTextScale" world units a font pixel, from the
left end of the base line at "v3TextOrigin"; the glyph atlas's coverage times
"v4TextColour" is added to the text layer, which the final layer puts over the picture.
<metadata>
  <input>v3TextOrigin</input>
  <input>fTextScale</input>
  <input>fTextYaw</input>
  <input>v4TextColour</input>
  <sampler name="smpFont" u="clamp" v="clamp" filter="LINEAR"/>
  <passes>
    <pass name="text" vs="vs_main" ps="ps_main">
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
    float3 v3TextOrigin;
    float fTextScale;
    float4 v4TextColour;
    float fTextYaw;
};

Texture2D texFont;
SamplerState smpFont;

struct VS_INPUT { float3 Pos : POSITION; float2 Tex : TEXCOORD; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; float2 Tex : TEXCOORD0; };

VS_OUTPUT vs_main(VS_INPUT In)
{
    float3 right = float3(cos(fTextYaw), 0, -sin(fTextYaw));
    float3 world = v3TextOrigin + (right * In.Pos.x + float3(0, In.Pos.y, 0)) * fTextScale;
    VS_OUTPUT Out;
    Out.Pos = mul(matProjection, mul(matView, float4(world, 1)));
    Out.Tex = In.Tex;
    return Out;
}

float4 ps_main(VS_OUTPUT In) : SV_TARGET
{
    float coverage = texFont.Sample(smpFont, In.Tex).r;
    return float4(v4TextColour.rgb * coverage, coverage);
}
