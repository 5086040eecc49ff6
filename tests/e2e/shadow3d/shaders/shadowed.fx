/*
The G-buffer's colour, darkened where the first shadow map holds a caster nearer to the
light than the pixel's world position. A texel of 0 in the map is no caster (the map is
cleared to 0, and reads 0 when the light casts no shadow).
<metadata>
  <sampler name="smpPoint" filter="POINT"/>
  <passes>
    <pass name="shade" vs="vs_main" ps="ps_main"/>
  </passes>
</metadata>
*/

Texture2D texDiffuse;
Texture2D texPosition;
Texture2D texShadowMap;
SamplerState smpPoint;

cbuffer constants
{
    float4x4 matWorldToLight;
    float4x4 matLightProjection;
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
    // The layers have the output's size: the same pixel of each.
    int3 texel = int3(In.Pos.xy, 0);
    float4 albedo = texDiffuse.Load(texel);
    float4 world = texPosition.Load(texel);

    float4 light = mul(matWorldToLight, float4(world.xyz, 1));
    float4 clip = mul(matLightProjection, light);
    float2 map = float2(clip.x / clip.w * 0.5 + 0.5, 0.5 - clip.y / clip.w * 0.5);
    float stored = texShadowMap.SampleLevel(smpPoint, map, 0).r;

    float shade = 1;
    bool inside = map.x > 0 && map.x < 1 && map.y > 0 && map.y < 1 && clip.w > 0;
    if (world.w > 0.5 && inside && stored > 0 && light.z > stored + 0.05)
        shade = 0.4;
    return float4(albedo.rgb * shade, 1);
}
