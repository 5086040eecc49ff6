/*
Deferred lighting of the G-buffer (GBufferLighting2D): one pass per kind of light, each
drawn once per enabled light of the chunk, added up in a floating-point target.
  ambient      full screen: albedo times the ambient colour, brighter on surfaces facing up,
               plus the emissive layer (which holds a quarter of the light)
  directional  full screen, with the light's shadow map (ENABLE_SHADOWS)
  point        the light's sphere, with its shadow cube (ENABLE_SHADOWS)
  spot         the light's cone, "fSpotRange" long, with its shadow map (ENABLE_SHADOWS)
  areasphere   the light's sphere: a point light seen from the sphere's surface
  areatube     full screen: light from the nearest point of the tube
Diffuse and a Blinn-Phong highlight whose strength and sharpness the G-buffer holds. A
shadow map holds the distance along the light's axis, a shadow cube the distance from the
light, and 0 where nothing was drawn; 3 x 3 (maps) or 4 (cubes) samples soften the edge.
The quad passes switch the depth test off; the volume passes leave the depth and culling
states to the effect, which tests them against the G-buffer's depth.
<metadata>
  <input>fSpotRange</input>
  <variation>ENABLE_SHADOWS</variation>
  <sampler name="smpShadow" u="clamp" v="clamp" w="clamp" filter="POINT"/>
  <passes>
    <pass name="ambient" lighttype="ambient" vs="vs_quad" ps="ps_ambient">
      <depth read="false" write="false"/>
      <rasterizer cullMode="none"/>
      <blend renderTarget="0" enabled="false"/>
    </pass>
    <pass name="directional" lighttype="directional" vs="vs_quad" ps="ps_directional">
      <depth read="false" write="false"/>
      <rasterizer cullMode="none"/>
      <blend renderTarget="0"><color src="ONE" dst="ONE"/><alpha src="ONE" dst="ONE"/></blend>
    </pass>
    <pass name="point" lighttype="point" vs="vs_sphere" ps="ps_point">
      <blend renderTarget="0"><color src="ONE" dst="ONE"/><alpha src="ONE" dst="ONE"/></blend>
    </pass>
    <pass name="spot" lighttype="spot" vs="vs_cone" ps="ps_spot">
      <blend renderTarget="0"><color src="ONE" dst="ONE"/><alpha src="ONE" dst="ONE"/></blend>
    </pass>
    <pass name="areasphere" lighttype="areasphere" vs="vs_sphere" ps="ps_areasphere">
      <blend renderTarget="0"><color src="ONE" dst="ONE"/><alpha src="ONE" dst="ONE"/></blend>
    </pass>
    <pass name="areatube" lighttype="areatube" vs="vs_quad" ps="ps_areatube">
      <depth read="false" write="false"/>
      <rasterizer cullMode="none"/>
      <blend renderTarget="0"><color src="ONE" dst="ONE"/><alpha src="ONE" dst="ONE"/></blend>
    </pass>
  </passes>
</metadata>
*/

Texture2D texAlbedo;
Texture2D texNormal;
Texture2D texPosition;
Texture2D texEmissive;
Texture2D texShadowmap;
TextureCube texShadowmapCube;
SamplerState smpShadow;

cbuffer constants
{
    float4x4 matView;
    float4x4 matProjection;
    float4x4 matWorldToLight;
    float4x4 matLightToWorld;
    float4x4 matLightProjection;
    float4 v4CameraPosition;
    float3 v3AmbientLightColor;
    float fLightCoverageRadius;
    float3 v3LightPosition;
    float fLightConeAngle;
    float3 v3LightAttenuation;
    float fLightConeRatio;
    float3 v3LightDirection;
    float fAreaLightRadius;
    float3 v3LightColor;
    float fSpotRange;
    float3 v3TubeLightPosition1;
    float3 v3TubeLightPosition2;
};

struct VS_INPUT { float3 Pos : POSITION; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; };

struct Surface
{
    float3 albedo;
    float3 normal;
    float3 world;
    float specular;
    float power;
    float present;
};

VS_OUTPUT vs_quad(VS_INPUT In)
{
    VS_OUTPUT Out;
    Out.Pos = float4(In.Pos.xy, 0, 1);
    return Out;
}

// The unit sphere's flat faces lie inside the sphere they stand for (down to 0.91 of its
// radius): scaled a little beyond the radius, they cover it.
VS_OUTPUT vs_sphere(VS_INPUT In)
{
    VS_OUTPUT Out;
    float3 world = In.Pos * fLightCoverageRadius * 1.125 + v3LightPosition;
    Out.Pos = mul(matProjection, mul(matView, float4(world, 1)));
    return Out;
}

// The unit cone (apex at the origin, base of radius 1 at z = 1) opened to the outer angle,
// "fSpotRange" long, along the light's axis; its ten flat sides lie inside the circle.
VS_OUTPUT vs_cone(VS_INPUT In)
{
    VS_OUTPUT Out;
    float spread = tan(fLightConeAngle * 0.5) * 1.06;
    float3 local = float3(In.Pos.xy * spread, In.Pos.z) * fSpotRange;
    float4 world = mul(matLightToWorld, float4(local, 1));
    Out.Pos = mul(matProjection, mul(matView, world));
    return Out;
}

Surface Read(float4 pos)
{
    int3 texel = int3(pos.xy, 0);
    float4 albedo = texAlbedo.Load(texel);
    float4 normal = texNormal.Load(texel);
    float4 world = texPosition.Load(texel);
    Surface s;
    s.albedo = albedo.rgb;
    s.specular = albedo.a;
    s.normal = normalize(normal.xyz * 2.0 - 1.0);
    s.power = 4.0 + normal.a * 160.0;
    s.world = world.xyz;
    s.present = world.w;
    return s;
}

// Diffuse and highlight of light arriving from direction l (towards the light).
float3 Shade(Surface s, float3 l, float3 colour)
{
    float3 v = normalize(v4CameraPosition.xyz - s.world);
    float3 h = normalize(l + v);
    float diffuse = saturate(dot(s.normal, l));
    float highlight = pow(saturate(dot(s.normal, h)), s.power) * s.specular * (s.power + 8.0) / 24.0;
    return (s.albedo * diffuse + highlight * (diffuse > 0.0 ? 1.0 : 0.0)) * colour * s.present;
}

// Share of the light reaching a point through a shadow map whose texel is 1/1024.
float MapShadow(float3 world, float bias)
{
    float lit = 1.0;
#ifdef ENABLE_SHADOWS
    float4 light = mul(matWorldToLight, float4(world, 1));
    float4 clip = mul(matLightProjection, light);
    float2 uv = float2(clip.x / clip.w * 0.5 + 0.5, 0.5 - clip.y / clip.w * 0.5);
    float blocked = 0.0;
    for (int y = -1; y <= 1; y++)
    {
        for (int x = -1; x <= 1; x++)
        {
            float stored = texShadowmap.SampleLevel(smpShadow, uv + float2(x, y) / 1024.0, 0).r;
            blocked += (stored > 0.0 && light.z > stored + bias) ? 1.0 : 0.0;
        }
    }
    bool inside = uv.x > 0.0 && uv.x < 1.0 && uv.y > 0.0 && uv.y < 1.0 && clip.w > 0.0;
    lit = inside ? 1.0 - blocked / 9.0 : 1.0;
#endif
    return lit;
}

float CubeShadow(float3 world)
{
    float lit = 1.0;
#ifdef ENABLE_SHADOWS
    float3 d = world - v3LightPosition;
    float distanceToLight = length(d);
    float3 a = normalize(cross(d, float3(0.37, 1, 0.21)));
    float3 b = normalize(cross(d, a));
    float spread = distanceToLight * 0.006;
    float blocked = 0.0;
    float stored = texShadowmapCube.SampleLevel(smpShadow, d + a * spread, 0).r;
    blocked += (stored > 0.0 && distanceToLight > stored + 0.06) ? 1.0 : 0.0;
    stored = texShadowmapCube.SampleLevel(smpShadow, d - a * spread, 0).r;
    blocked += (stored > 0.0 && distanceToLight > stored + 0.06) ? 1.0 : 0.0;
    stored = texShadowmapCube.SampleLevel(smpShadow, d + b * spread, 0).r;
    blocked += (stored > 0.0 && distanceToLight > stored + 0.06) ? 1.0 : 0.0;
    stored = texShadowmapCube.SampleLevel(smpShadow, d - b * spread, 0).r;
    blocked += (stored > 0.0 && distanceToLight > stored + 0.06) ? 1.0 : 0.0;
    lit = 1.0 - blocked / 4.0;
#endif
    return lit;
}

// 1 near the light, falling smoothly to 0 at the radius.
float Window(float d, float radius)
{
    float f = saturate(1.0 - pow(d / radius, 4.0));
    return f * f;
}

float4 ps_ambient(VS_OUTPUT In) : SV_TARGET
{
    Surface s = Read(In.Pos);
    float3 emissive = texEmissive.Load(int3(In.Pos.xy, 0)).rgb * 4.0;
    float3 ambient = s.albedo * v3AmbientLightColor * (0.55 + 0.45 * s.normal.y);
    return float4((ambient + emissive) * s.present, s.present);
}

float4 ps_directional(VS_OUTPUT In) : SV_TARGET
{
    Surface s = Read(In.Pos);
    float3 l = -normalize(v3LightDirection);
    return float4(Shade(s, l, v3LightColor) * MapShadow(s.world, 0.08), 0);
}

float4 ps_point(VS_OUTPUT In) : SV_TARGET
{
    Surface s = Read(In.Pos);
    float3 d = v3LightPosition - s.world;
    float dist = length(d);
    float attenuation = Window(dist, fLightCoverageRadius) /
                        (v3LightAttenuation.x + v3LightAttenuation.y * dist + v3LightAttenuation.z * dist * dist);
    return float4(Shade(s, d / dist, v3LightColor * attenuation) * CubeShadow(s.world), 0);
}

float4 ps_spot(VS_OUTPUT In) : SV_TARGET
{
    Surface s = Read(In.Pos);
    float3 d = v3LightPosition - s.world;
    float dist = length(d);
    float3 l = d / dist;
    float3 axis = normalize(mul(matLightToWorld, float4(0, 0, 1, 0)).xyz);
    float outer = cos(fLightConeAngle * 0.5);
    float inner = cos(fLightConeAngle * fLightConeRatio * 0.5);
    float cone = saturate((dot(-l, axis) - outer) / max(inner - outer, 0.001));
    float attenuation = cone * cone * Window(dist, fSpotRange) / (1.0 + 0.01 * dist * dist);
    return float4(Shade(s, l, v3LightColor * attenuation) * MapShadow(s.world, 0.05), 0);
}

float4 ps_areasphere(VS_OUTPUT In) : SV_TARGET
{
    Surface s = Read(In.Pos);
    float3 d = v3LightPosition - s.world;
    float dist = length(d);
    float surface = max(dist - fAreaLightRadius, 0.05);
    float attenuation = Window(dist, fLightCoverageRadius) /
                        (v3LightAttenuation.x + v3LightAttenuation.y * surface + v3LightAttenuation.z * surface * surface);
    // A sphere lights a little around the horizon too: wrap the diffuse term.
    float3 l = d / dist;
    float wrap = saturate((dot(s.normal, l) + 0.25) / 1.25);
    float3 diffuse = s.albedo * wrap * v3LightColor * attenuation * s.present;
    return float4(diffuse + Shade(s, l, v3LightColor * attenuation) * 0.5, 0);
}

float4 ps_areatube(VS_OUTPUT In) : SV_TARGET
{
    Surface s = Read(In.Pos);
    float3 along = v3TubeLightPosition2 - v3TubeLightPosition1;
    float f = saturate(dot(s.world - v3TubeLightPosition1, along) / max(dot(along, along), 0.0001));
    float3 d = v3TubeLightPosition1 + along * f - s.world;
    float dist = length(d) + 0.0001;
    float attenuation = Window(dist, fAreaLightRadius) / (1.0 + dist * dist);
    return float4(Shade(s, d / dist, v3LightColor * attenuation), 0);
}
