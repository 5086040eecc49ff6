/*
Sky of "Tides": a gradient from the horizon colour to the zenith colour, a sun
with its halo, thin clouds drifting across it and stars that fade with the dawn.
<metadata>
  <input>fHorizon</input>
  <input>v4Zenith</input>
  <input>v4Horizon</input>
  <input>v4Sun</input>
  <input>v2SunPosition</input>
  <input>fStars</input>
  <input>fDrift</input>
  <passes>
    <pass name="sky" vs="vs_main" ps="ps_main"/>
  </passes>
</metadata>
*/

// A smooth wave of period 1 between 0 and 1 (1 at whole numbers, 0 halfway),
// a quartic in the fraction of v. Written for Wine's HLSL compiler as well: it has
// no sin, cos or frac; it does not expand a macro's parameter inside another macro
// of the body, nor a macro called inside another call's argument, so each macro
// here is made of built-in functions only and is called on plain expressions.
#define FRACT(v) ((v) - floor(v))
#define WAVE(v) (1.0 - 16.0 * ((v) - floor(v)) * ((v) - floor(v)) * (1.0 - (v) + floor(v)) * (1.0 - (v) + floor(v)))

cbuffer constants
{
    float fRenderTime;
    float2 v2Resolution;
    float fHorizon;      // screen height of the horizon, 0 bottom to 1 top
    float4 v4Zenith;
    float4 v4Horizon;
    float4 v4Sun;        // colour; alpha is how much of the sun shows
    float2 v2SunPosition;
    float fStars;
    float fDrift;        // how far the clouds have moved
};

struct VS_INPUT { float3 Pos : POSITION; float2 Tex : TEXCOORD; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; float2 Tex : TEXCOORD0; };

VS_OUTPUT vs_main(VS_INPUT In)
{
    VS_OUTPUT Out;
    Out.Pos = float4(In.Pos, 1);
    Out.Tex = In.Tex;
    return Out;
}

float4 ps_main(VS_OUTPUT In) : SV_TARGET
{
    float aspect = v2Resolution.x / v2Resolution.y;
    float2 uv = In.Tex;
    float height = saturate((uv.y - fHorizon) / (1.0 - fHorizon));
    float3 sky = lerp(v4Horizon.rgb, v4Zenith.rgb, pow(height, 0.55));

    // Stars: one candidate per cell, kept by a hash of the cell, twinkling.
    float2 grid = float2(uv.x * aspect, uv.y) * 70.0;
    float2 cell = floor(grid);
    float2 local = grid - cell - 0.5;
    float3 p3 = FRACT(float3(cell.x, cell.y, cell.x) * 0.1031);
    p3 += dot(p3, p3.yzx + 33.33);
    float hash = FRACT((p3.x + p3.y) * p3.z);
    float star = saturate((hash - 0.985) * 70.0) * saturate(1.0 - dot(local, local) * 14.0);
    star *= 0.55 + 0.45 * WAVE(hash * 31.0 + fRenderTime * 0.6);
    sky += star * fStars * saturate(height * 3.0);

    // The sun: disc, tight halo and a wide warm glow.
    float2 d = (uv - v2SunPosition) * float2(aspect, 1.0);
    float r2 = dot(d, d);
    float disc = saturate((0.0030 - r2) * 2500.0);
    float halo = 0.003 / (r2 + 0.003);
    float glow = 0.06 / (r2 + 0.06);
    sky += v4Sun.rgb * (halo * 0.7 + glow * 0.3) * v4Sun.a;
    sky = lerp(sky, v4Sun.rgb * 0.4 + 0.7, disc * v4Sun.a);

    // Clouds: thin streaks broken up along their length, lit by the sun's colour.
    float bend = WAVE(uv.x * 0.6 + fDrift * 0.04);
    float streak = WAVE(uv.y * 7.0 + bend * 0.8);
    float breakup = WAVE(uv.x * 1.4 - fDrift * 0.025 + uv.y * 2.0);
    float cloud = pow(streak, 10.0) * pow(breakup, 1.5) * saturate(height * 5.0) * (1.0 - height * 0.7);
    float3 cloudColour = lerp(v4Horizon.rgb * 1.25, v4Sun.rgb, 0.35 + 0.3 * v4Sun.a);
    sky = lerp(sky, cloudColour, cloud * 0.75);

    return float4(sky, 1);
}
