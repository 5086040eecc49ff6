/*
Deferred lighting of the G-buffer's colour ("texDiffuse") at its world position
("texPosition", w 1 where geometry was drawn): the ambient pass writes the colour times
the ambient light; the point pass, drawn once per point light over the light's sphere,
adds the colour times the light's colour and attenuation 1 / (c + l d + q d²) within the
light's radius, nothing beyond it.
<metadata>
  <passes>
    <pass name="ambient" lighttype="ambient" vs="vs_quad" ps="ps_ambient">
      <blend renderTarget="0" enabled="false"/>
    </pass>
    <pass name="point" lighttype="point" vs="vs_volume" ps="ps_point">
      <blend renderTarget="0">
        <color src="ONE" dst="ONE"/>
        <alpha src="ONE" dst="ONE"/>
      </blend>
    </pass>
  </passes>
</metadata>
*/

Texture2D texDiffuse;
Texture2D texPosition;

cbuffer constants
{
    float4x4 matView;
    float4x4 matProjection;
    float3 v3AmbientLightColor;
    float fLightCoverageRadius;
    float3 v3LightPosition;
    float3 v3LightAttenuation;
    float3 v3LightColor;
};

struct VS_INPUT { float3 Pos : POSITION; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; };

VS_OUTPUT vs_quad(VS_INPUT In)
{
    VS_OUTPUT Out;
    Out.Pos = float4(In.Pos, 1);
    return Out;
}

// The unit sphere's flat faces lie inside the sphere they stand for (down to 0.91 of its
// radius): scaled a little beyond the radius, they cover it.
VS_OUTPUT vs_volume(VS_INPUT In)
{
    VS_OUTPUT Out;
    float3 world = In.Pos * fLightCoverageRadius * 1.125 + v3LightPosition;
    Out.Pos = mul(matProjection, mul(matView, float4(world, 1)));
    return Out;
}

float4 ps_ambient(VS_OUTPUT In) : SV_TARGET
{
    // The layers have the output's size: the same pixel of each.
    float4 albedo = texDiffuse.Load(int3(In.Pos.xy, 0));
    return float4(albedo.rgb * v3AmbientLightColor, 1);
}

float4 ps_point(VS_OUTPUT In) : SV_TARGET
{
    int3 texel = int3(In.Pos.xy, 0);
    float4 world = texPosition.Load(texel);
    float d = distance(world.xyz, v3LightPosition);
    if (world.w < 0.5 || d > fLightCoverageRadius)
        return float4(0, 0, 0, 0);
    float attenuation = 1 / (v3LightAttenuation.x + v3LightAttenuation.y * d + v3LightAttenuation.z * d * d);
    float4 albedo = texDiffuse.Load(texel);
    return float4(albedo.rgb * v3LightColor * attenuation, 0);
}
