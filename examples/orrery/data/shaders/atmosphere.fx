/*
The hall's air, drawn by LayerGBuffer2D at half the picture's size over the G-buffer: fog
that thickens with distance and towards the floor, and the beam of the first spot light
(the G-buffer's first shadow map), marched along the view ray in 20 steps and blocked
where the shadow map holds something nearer the light. Its colour is the light the air
adds, its alpha the share of the surface behind that still comes through; the final layer
puts them over the lit picture.
<metadata>
  <input>v4Fog</input>
  <input>fBeam</input>
  <sampler name="smpShadow" u="clamp" v="clamp" filter="POINT"/>
  <passes>
    <pass name="air" vs="vs_main" ps="ps_main">
      <depth read="false" write="false"/>
      <rasterizer cullMode="none"/>
      <blend renderTarget="0" enabled="false"/>
    </pass>
  </passes>
</metadata>
*/

Texture2D texPosition;
Texture2D texShadowMap;
SamplerState smpShadow;

cbuffer constants
{
    float4x4 matInvView;
    float4x4 matInvProjection;
    float4x4 matWorldToLight;
    float4x4 matLightProjection;
    float4x4 matLightToWorld;
    float4 v4CameraPosition;
    float3 v3LightPosition;
    float fLightConeAngle;
    float3 v3LightColor;
    float fBeam;
    float4 v4Fog;        // colour, density
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
    // The surface under this pixel of the full-sized G-buffer, or a point far along the ray.
    float4 surface = texPosition.Load(int3(In.Pos.xy * 2.0, 0));
    float3 eye = v4CameraPosition.xyz;
    float4 ray = mul(matInvProjection, float4(In.Tex * 2.0 - 1.0, 1, 1));
    float3 direction = normalize(mul(matInvView, float4(ray.xyz / ray.w, 0)).xyz);
    float3 end = surface.w > 0.5 ? surface.xyz : eye + direction * 40.0;
    float span = distance(end, eye);

    // Fog: denser low down; the share that comes through.
    float height = 0.5 * (eye.y + end.y);
    float density = v4Fog.a * (0.35 + 0.65 * exp(-max(height, 0.0) * 0.35));
    float through = exp(-density * span);

    // The beam: in-scattered light of the spot along the ray, inside its cone and unshadowed.
    float3 axis = normalize(mul(matLightToWorld, float4(0, 0, 1, 0)).xyz);
    float outer = cos(fLightConeAngle * 0.5);
    float jitter = frac(sin(dot(In.Pos.xy, float2(12.9898, 78.233))) * 43758.5453);
    float stride = span / 20.0;
    float beam = 0.0;
    for (int i = 0; i < 20; i++)
    {
        float3 p = eye + direction * stride * ((float)i + jitter);
        float3 fromLight = p - v3LightPosition;
        float d = max(length(fromLight), 0.1);
        float cone = saturate((dot(fromLight / d, axis) - outer) * 12.0);
        float4 light = mul(matWorldToLight, float4(p, 1));
        float4 clip = mul(matLightProjection, light);
        float2 uv = float2(clip.x / clip.w * 0.5 + 0.5, 0.5 - clip.y / clip.w * 0.5);
        float stored = texShadowMap.SampleLevel(smpShadow, uv, 0).r;
        float lit = (stored > 0.0 && light.z > stored + 0.05) ? 0.0 : 1.0;
        beam += cone * lit / (1.0 + 0.02 * d * d);
    }
    beam *= stride * fBeam;
    float3 added = v4Fog.rgb * (1.0 - through) + v3LightColor * beam * through;
    return float4(added, through);
}
