/*
Glow of "Tides": the bright parts of the picture, blurred; drawn into a target of
half the output's size.
<metadata>
  <input>texScene</input>
  <input>fThreshold</input>
  <sampler name="smp" u="clamp" v="clamp" filter="LINEAR"/>
  <passes>
    <pass name="glow" vs="vs_main" ps="ps_main"/>
  </passes>
</metadata>
*/

cbuffer constants
{
    float fRenderTime;
    float2 v2Resolution;
    float fThreshold;
};

Texture2D texScene;
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

// One tap of the blur: the part of the texel above the threshold, weighted by a tent
// of 1/3, 2/3, 1, 2/3, 1/3 per axis (9 in all). The taps are written out: Wine's
// compiler gets texture samples inside loops wrong.
#define TAP(x, y) sum += saturate(texScene.Sample(smp, In.Tex + float2(x, y) * spacing).rgb - fThreshold) * \
                         ((1.0 - abs(x) / 3.0) * (1.0 - abs(y) / 3.0) / 9.0)

float4 ps_main(VS_OUTPUT In) : SV_TARGET
{
    float2 spacing = 2.5 / v2Resolution;
    float3 sum = float3(0, 0, 0);
    TAP(-2, -2); TAP(-1, -2); TAP(0, -2); TAP(1, -2); TAP(2, -2);
    TAP(-2, -1); TAP(-1, -1); TAP(0, -1); TAP(1, -1); TAP(2, -1);
    TAP(-2, 0);  TAP(-1, 0);  TAP(0, 0);  TAP(1, 0);  TAP(2, 0);
    TAP(-2, 1);  TAP(-1, 1);  TAP(0, 1);  TAP(1, 1);  TAP(2, 1);
    TAP(-2, 2);  TAP(-1, 2);  TAP(0, 2);  TAP(1, 2);  TAP(2, 2);
    return float4(sum / (1.0 - fThreshold), 1);
}
