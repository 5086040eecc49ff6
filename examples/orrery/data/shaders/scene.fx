/*
Material of the imported scenes (the orrery and the columns): the G-buffer pass writes the
material's diffuse colour, its gloss from the material's roughness and metalness, the
world normal and position and the material's emissive colour; the shadow passes write
the distance from the light (along its axis into a shadow map, straight into a shadow
cube's face). Nothing is listed: every value comes from the scene's materials, so one
file serves every scene node. The engine uploads its row-vector matrices as stored, so
the stages multiply matrix times vector.
<metadata>
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
    float4 clrDiffuse;
    float4 clrEmissive;
    float fRoughness;
    float fMetallic;
};

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
    PS_OUTPUT Out;
    float smooth = 1.0 - saturate(fRoughness);
    Out.Albedo = float4(clrDiffuse.rgb, 0.08 + 0.6 * smooth * (0.4 + 0.6 * fMetallic));
    Out.Normal = float4(normalize(In.Normal) * 0.5 + 0.5, 0.05 + 0.95 * smooth * smooth);
    Out.Position = float4(In.World, 1);
    // The layer holds a quarter of the emissive light (the lighting multiplies it by 4).
    Out.Emissive = float4(saturate(clrEmissive.rgb * 0.25), 1);
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
