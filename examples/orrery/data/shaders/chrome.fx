/*
Material of the chrome globe: nearly black in the G-buffer, with a sharp highlight for the
lights, and the environment cube (drawn around the globe's centre by CubeRenderer3D) seen
along the reflected view ray in its emissive layer, brighter at grazing angles. The eye is
taken from the view matrix.
<metadata>
  <input>texEnvironment</input>
  <input>fReflection</input>
  <input>v4Tint</input>
  <sampler name="smpEnvironment" u="clamp" v="clamp" w="clamp" filter="LINEAR"/>
  <passes>
    <pass name="geometry" vs="vs_main" ps="ps_main">
      <rasterizer cullMode="none"/>
      <depth read="true" write="true"/>
      <blend renderTarget="0" enabled="false"/>
    </pass>
    <pass name="shadow" type="shadow" vs="vs_shadow" ps="ps_shadow">
      <rasterizer cullMode="none"/>
      <depth read="true" write="true"/>
      <blend renderTarget="0" enabled="false"/>
    </pass>
    <pass name="shadowcube" type="shadowcube" vs="vs_shadow" ps="ps_shadowcube">
      <rasterizer cullMode="none"/>
      <depth read="true" write="true"/>
      <blend renderTarget="0" enabled="false"/>
    </pass>
  </passes>
</metadata>
*/

cbuffer constants
{
    float4x4 matWorld;
    float4x4 matView;
    float4x4 matProjection;
    float4x4 matWorldToLight;
    float4x4 matLightProjection;
    float3 v3LightPosition;
    float fReflection;
    float4 v4Tint;
};

TextureCube texEnvironment;
SamplerState smpEnvironment;

struct VS_INPUT { float3 Pos : POSITION; float3 Normal : NORMAL; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; float3 World : TEXCOORD0; float3 Normal : TEXCOORD1; };
struct PS_OUTPUT
{
    float4 Albedo : SV_TARGET0;
    float4 Normal : SV_TARGET1;
    float4 Position : SV_TARGET2;
    float4 Emissive : SV_TARGET3;
};

VS_OUTPUT vs_main(VS_INPUT In)
{
    VS_OUTPUT Out;
    float4 world = mul(matWorld, float4(In.Pos, 1));
    Out.World = world.xyz;
    Out.Normal = mul(matWorld, float4(In.Normal, 0)).xyz;
    Out.Pos = mul(matProjection, mul(matView, world));
    return Out;
}

PS_OUTPUT ps_main(VS_OUTPUT In)
{
    // The eye: the view matrix's rows (as this packing reads them) hold the camera's axes
    // and, in w, their share of the translation.
    float3 eye = -(matView[0].w * matView[0].xyz + matView[1].w * matView[1].xyz + matView[2].w * matView[2].xyz);
    float3 n = normalize(In.Normal);
    float3 view = normalize(In.World - eye);
    float3 r = reflect(view, n);
    float fresnel = 0.55 + 0.45 * pow(1.0 - saturate(dot(-view, n)), 3.0);
    float3 environment = texEnvironment.Sample(smpEnvironment, r).rgb * v4Tint.rgb * fReflection * fresnel;

    PS_OUTPUT Out;
    Out.Albedo = float4(0.04, 0.04, 0.045, 1.0);
    Out.Normal = float4(n * 0.5 + 0.5, 1.0);
    Out.Position = float4(In.World, 1);
    Out.Emissive = float4(saturate(environment * 0.25), 1);
    return Out;
}

struct SHADOW_OUTPUT { float4 Pos : SV_POSITION; float3 World : TEXCOORD0; float Depth : TEXCOORD1; };

SHADOW_OUTPUT vs_shadow(VS_INPUT In)
{
    SHADOW_OUTPUT Out;
    float4 world = mul(matWorld, float4(In.Pos, 1));
    float4 light = mul(matWorldToLight, world);
    Out.Pos = mul(matLightProjection, light);
    Out.World = world.xyz;
    Out.Depth = light.z;
    return Out;
}

float4 ps_shadow(SHADOW_OUTPUT In) : SV_TARGET
{
    return float4(In.Depth, In.Depth * In.Depth, 0, 1);
}

float4 ps_shadowcube(SHADOW_OUTPUT In) : SV_TARGET
{
    float d = distance(In.World, v3LightPosition);
    return float4(d, d * d, 0, 1);
}
