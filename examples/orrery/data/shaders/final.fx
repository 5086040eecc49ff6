/*
The final picture (Layer2D): the lit surfaces seen through the air, the sparks and the
ribbon, and the bloom, mapped from light to screen values ("fExposure"), graded
("v4Grade": a colour and, in alpha, how much of it), darkened towards the corners and
faded by "fFade"; the text layer goes on top unfaded, so words can stand on black.
<metadata>
  <input>texLit</input>
  <input>texAir</input>
  <input>texSparks</input>
  <input>texRibbon</input>
  <input>texBloom</input>
  <input>texText</input>
  <input>fExposure</input>
  <input>fBloom</input>
  <input>fFade</input>
  <input>v4Grade</input>
  <sampler name="smp" u="clamp" v="clamp" filter="LINEAR"/>
  <passes>
    <pass name="final" vs="vs_main" ps="ps_main">
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
Texture2D texBloom;
Texture2D texText;
SamplerState smp;

cbuffer constants
{
    float fExposure;
    float fBloom;
    float fFade;
    float4 v4Grade;
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
    int3 texel = int3(In.Pos.xy, 0);
    float2 uv = float2(In.Tex.x, 1.0 - In.Tex.y);  // texture rows run from the top
    float4 air = texAir.Sample(smp, uv);
    float3 light = texLit.Load(texel).rgb * air.a + air.rgb + texSparks.Load(texel).rgb +
                   texRibbon.Load(texel).rgb + texBloom.Sample(smp, uv).rgb * fBloom;
    float3 colour = 1.0 - exp(-light * fExposure);
    colour = pow(colour, 1.0 / 2.2);
    float grey = dot(colour, float3(0.3, 0.59, 0.11));
    colour = lerp(colour, grey * v4Grade.rgb * 1.6, v4Grade.a * 0.35);
    float2 centred = In.Tex - 0.5;
    colour *= 1.0 - 0.55 * dot(centred, centred);
    colour = colour * fFade + texText.Load(texel).rgb;
    return float4(saturate(colour), 1);
}
