/*
What the chrome globe sees: the material of the chunk that CubeRenderer3D draws into the
environment cube around the globe's centre, a plain forward shading of the scenes'
materials (a warm key light from above, a little blue from below, their emissive light
strengthened) mapped to screen values. Nothing is listed, so the scene nodes of the
cube's chunk can share it.
<metadata>
  <passes>
    <pass name="environment" vs="vs_main" ps="ps_main">
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
    float4 clrDiffuse;
    float4 clrEmissive;
};

struct VS_INPUT { float3 Pos : POSITION; float3 Normal : NORMAL; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; float3 Normal : TEXCOORD0; };

VS_OUTPUT vs_main(VS_INPUT In)
{
    VS_OUTPUT Out;
    Out.Normal = mul(matWorld, float4(In.Normal, 0)).xyz;
    Out.Pos = mul(matProjection, mul(matView, mul(matWorld, float4(In.Pos, 1))));
    return Out;
}

float4 ps_main(VS_OUTPUT In) : SV_TARGET
{
    float3 n = normalize(In.Normal);
    float key = saturate(dot(n, normalize(float3(0.3, 1.0, -0.4))));
    float3 light = clrDiffuse.rgb * (float3(1.0, 0.82, 0.6) * key * 0.9 + float3(0.08, 0.1, 0.16)) + clrEmissive.rgb * 3.0;
    return float4(pow(1.0 - exp(-light * 1.6), 1.0 / 2.2), 1);
}
