/*
The material of the wall and of the occluder (one file each, as the renderer writes an
effect's listed values once per frame): the G-buffer pass writes the listed colour into
"texDiffuse" and the world position into "texPosition"; the shadow pass writes the
distance along the light's axis into the shadow map. The engine uploads its row-vector
matrices as stored, so the stages multiply matrix times vector.
<metadata>
  <input>v4Colour</input>
  <passes>
    <pass name="geometry" vs="vs_main" ps="ps_main">
      <rasterizer cullMode="none"/>
      <depth read="true" write="true"/>
    </pass>
    <pass name="shadow" type="shadow" vs="vs_shadow" ps="ps_shadow">
      <rasterizer cullMode="none"/>
      <depth read="true" write="true"/>
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
    float4 v4Colour;
};

struct VS_INPUT { float3 Pos : POSITION; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; float4 World : TEXCOORD0; };
struct PS_OUTPUT { float4 Diffuse : SV_TARGET0; float4 Position : SV_TARGET1; };

VS_OUTPUT vs_main(VS_INPUT In)
{
    VS_OUTPUT Out;
    Out.World = mul(matWorld, float4(In.Pos, 1));
    Out.Pos = mul(matProjection, mul(matView, Out.World));
    return Out;
}

PS_OUTPUT ps_main(VS_OUTPUT In)
{
    PS_OUTPUT Out;
    Out.Diffuse = v4Colour;
    Out.Position = float4(In.World.xyz, 1);
    return Out;
}

struct SHADOW_OUTPUT { float4 Pos : SV_POSITION; float Depth : TEXCOORD0; };

SHADOW_OUTPUT vs_shadow(VS_INPUT In)
{
    SHADOW_OUTPUT Out;
    float4 light = mul(matWorldToLight, mul(matWorld, float4(In.Pos, 1)));
    Out.Pos = mul(matLightProjection, light);
    Out.Depth = light.z;
    return Out;
}

float4 ps_shadow(SHADOW_OUTPUT In) : SV_TARGET
{
    return float4(In.Depth, In.Depth * In.Depth, 0, 1);
}
