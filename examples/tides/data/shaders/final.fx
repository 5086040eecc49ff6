/*
Final grade of "Tides": the picture with its glow added, a vignette, a colour
grade and the fade from and to black.
<metadata>
  <input>texScene</input>
  <input>texGlow</input>
  <input>fGlow</input>
  <input>fFade</input>
  <input>v4Grade</input>
  <sampler name="smp" u="clamp" v="clamp" filter="LINEAR"/>
  <passes>
    <pass name="final" vs="vs_main" ps="ps_main"/>
  </passes>
</metadata>
*/

cbuffer constants
{
    float fRenderTime;
    float2 v2Resolution;
    float fGlow;
    float fFade;
    float4 v4Grade;      // tint; alpha is how much of it
};

Texture2D texScene;
Texture2D texGlow;
SamplerState smp;

struct VS_INPUT { float3 Pos : POSITION; float2 Tex : TEXCOORD; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; float2 Tex : TEXCOORD0; };

VS_OUTPUT vs_main(VS_INPUT In)
{
    VS_OUTPUT Out;
    Out.Pos = float4(In.Pos, 1);
    Out.Tex = float2(In.Tex.x, 1.0 - In.Tex.y);
    return Out;
}

float4 ps_main(VS_OUTPUT In) : SV_TARGET
{
    float3 c = texScene.Sample(smp, In.Tex).rgb + texGlow.Sample(smp, In.Tex).rgb * fGlow;
    float2 p = (In.Tex - 0.5) * float2(1.0, 1.3);
    c *= saturate(1.05 - dot(p, p) * 0.9);
    c = lerp(c, c * v4Grade.rgb, v4Grade.a);
    c = c / (1.0 + c * 0.15);
    return float4(c * fFade, 1);
}
