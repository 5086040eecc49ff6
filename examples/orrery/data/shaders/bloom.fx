/*
The bloom, drawn by Layer2D at a quarter of the picture's size: the picture's light (the
lit surfaces through the air, the sparks and the ribbon) above "fThreshold", gathered over
a disc of 17 samples of the full-sized layers.
<metadata>
  <input>texLit</input>
  <input>texAir</input>
  <input>texSparks</input>
  <input>texRibbon</input>
  <input>fThreshold</input>
  <sampler name="smp" u="clamp" v="clamp" filter="LINEAR"/>
  <passes>
    <pass name="bloom" vs="vs_main" ps="ps_main">
      <depth read="false" write="false"/>
      <rasterizer cullMode="none"/>
      <blend renderTarget="0" enabled="false"/>
    </pass>
  </passes>
</metadata>
*/

Texture2D texLit;
Texture2D texAir;
Texture2D texSparks;
Texture2D texRibbon;
SamplerState smp;

cbuffer constants
{
    float2 v2Resolution;
    float fThreshold;
};

struct VS_INPUT { float3 Pos : POSITION; float2 Tex : TEXCOORD; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; float2 Tex : TEXCOORD0; };

VS_OUTPUT vs_main(VS_INPUT In)
{
    VS_OUTPUT Out;
    Out.Pos = float4(In.Pos, 1);
    Out.Tex = float2(In.Tex.x, 1.0 - In.Tex.y);  // texture rows run from the top
    return Out;
}

float3 Bright(float2 uv)
{
    float4 air = texAir.Sample(smp, uv);
    float3 light = texLit.Sample(smp, uv).rgb * air.a + air.rgb + texSparks.Sample(smp, uv).rgb +
                   texRibbon.Sample(smp, uv).rgb;
    return max(light - fThreshold, 0.0);
}

float4 ps_main(VS_OUTPUT In) : SV_TARGET
{
    float2 texel = 1.0 / v2Resolution;
    float3 sum = Bright(In.Tex) * 2.0;
    for (int i = 0; i < 8; i++)
    {
        float a = i * 0.7853982;
        float2 ring = float2(cos(a), sin(a)) * texel;
        sum += Bright(In.Tex + ring * 1.5) * 1.5;
        sum += Bright(In.Tex + ring * 3.5 + float2(ring.y, -ring.x) * 1.2);
    }
    return float4(sum / 22.0, 1);
}
