/*
Sea of "Tides": below the horizon the sky of the previous layer is mirrored on
rolling swells, a glitter path runs under the sun, and in front the tide washes
up a beach with a line of foam.
<metadata>
  <input>texSky</input>
  <input>fHorizon</input>
  <input>fWaves</input>
  <input>fPhase</input>
  <input>fTide</input>
  <input>v2SunPosition</input>
  <input>v4Deep</input>
  <input>v4Sand</input>
  <sampler name="smp" u="clamp" v="clamp" filter="LINEAR"/>
  <passes>
    <pass name="sea" vs="vs_main" ps="ps_main"/>
  </passes>
</metadata>
*/

// A smooth wave of period 1 between 0 and 1 (1 at whole numbers, 0 halfway), a
// quartic in the fraction of v (see sky.fx for why it is written this way). This
// shader also keeps to one return at its end: Wine's compiler accepts a return
// inside an "if" but does not honour it.
#define WAVE(v) (1.0 - 16.0 * ((v) - floor(v)) * ((v) - floor(v)) * (1.0 - (v) + floor(v)) * (1.0 - (v) + floor(v)))

cbuffer constants
{
    float fRenderTime;
    float2 v2Resolution;
    float fHorizon;
    float fWaves;        // swell strength
    float fPhase;        // how far the swells have rolled
    float fTide;         // screen height of the water's edge on the beach
    float2 v2SunPosition;
    float4 v4Deep;
    float4 v4Sand;
};

Texture2D texSky;
SamplerState smp;

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
    // Texture rows run from the top; uv.y runs from the bottom.
    float3 sky = texSky.Sample(smp, float2(uv.x, 1.0 - uv.y)).rgb;

    // Sea-plane coordinates: across and distance, in perspective (above the horizon,
    // where the sky is kept, as if just below it).
    float depth = saturate((fHorizon - uv.y) / fHorizon);
    float z = 1.0 / (depth + 0.04);
    float2 w = float2((uv.x - 0.5) * aspect * z, z);
    // The height of three swells of their own speeds, here and a step across and away.
    float2 wx = w + float2(0.04, 0.0);
    float2 wz = w + float2(0.0, 0.04);
    float h0 = WAVE(w.y * 0.9 + w.x * 0.15 - fPhase * 0.35) * 0.5 + WAVE(w.y * 2.3 - w.x * 0.4 - fPhase * 0.8) * 0.3
             + WAVE(w.x * 1.1 + w.y * 3.7 - fPhase * 1.3) * 0.2;
    float hx = WAVE(wx.y * 0.9 + wx.x * 0.15 - fPhase * 0.35) * 0.5 + WAVE(wx.y * 2.3 - wx.x * 0.4 - fPhase * 0.8) * 0.3
             + WAVE(wx.x * 1.1 + wx.y * 3.7 - fPhase * 1.3) * 0.2;
    float hz = WAVE(wz.y * 0.9 + wz.x * 0.15 - fPhase * 0.35) * 0.5 + WAVE(wz.y * 2.3 - wz.x * 0.4 - fPhase * 0.8) * 0.3
             + WAVE(wz.x * 1.1 + wz.y * 3.7 - fPhase * 1.3) * 0.2;
    float2 slope = float2(hx - h0, hz - h0) * 25.0 * fWaves;

    // The mirrored sky, bent by the slope, the more the nearer.
    float2 r = float2(uv.x + slope.x * 0.02 * depth, fHorizon * 2.0 - uv.y + slope.y * 0.04 * depth);
    float3 reflected = texSky.Sample(smp, float2(r.x, 1.0 - saturate(r.y))).rgb;
    float fresnel = lerp(0.85, 0.3, pow(depth, 0.6));
    float3 water = lerp(v4Deep.rgb, reflected, fresnel);

    // Glitter under the sun, coloured by the sky at the sun, gone when it is down.
    float3 sunSky = texSky.Sample(smp, float2(v2SunPosition.x, 1.0 - v2SunPosition.y)).rgb;
    float up = saturate((v2SunPosition.y - fHorizon) * 12.0);
    float column = saturate(1.0 - abs(uv.x - v2SunPosition.x) * aspect * (2.5 + 6.0 * depth));
    float sparkle = pow(saturate(h0 * 0.6 + slope.y * 0.25 + 0.3), 8.0);
    water += sunSky * column * column * sparkle * up * 1.6;

    // Swell crests catch a little light far out.
    water += pow(h0, 6.0) * 0.08 * fWaves * (1.0 - depth);

    // The beach: sand below the water's edge, darker where the last wave wetted it.
    float edge = fTide + 0.012 * WAVE(uv.x * 2.3 + fPhase * 0.05) + 0.008 * WAVE(uv.x * 5.0 - fPhase * 0.11);
    float3 ambient = texSky.Sample(smp, float2(0.5, 0.25)).rgb;
    // Ripple marks across the sand, bent a little along the beach.
    float bend = WAVE(uv.x * 3.1 + 0.2);
    float marks = WAVE(uv.y * 55.0 + bend * 0.6);
    float3 sand = v4Sand.rgb * (0.3 + ambient * 0.9) * (0.9 + 0.1 * marks);
    float wet = saturate((uv.y - (edge - 0.05)) * 20.0);
    sand = lerp(sand, sand * 0.55 + reflected * 0.12, wet);
    float onSand = saturate((edge - uv.y) * 300.0);
    float3 colour = lerp(water, sand, onSand);

    // Foam along the edge, lacy along its length.
    float foam = saturate(1.0 - abs(uv.y - edge) * 140.0) * (0.6 + 0.4 * WAVE(uv.x * 17.0 - fPhase * 0.3));
    foam += saturate(1.0 - abs(uv.y - edge - 0.02) * 200.0) * 0.35 * WAVE(uv.x * 9.0 + fPhase * 0.2);
    colour = lerp(colour, 0.55 + ambient * 0.5, saturate(foam));

    if (uv.y > fHorizon)
        colour = sky;
    return float4(colour, 1);
}
