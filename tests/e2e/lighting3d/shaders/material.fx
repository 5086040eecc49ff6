/*
The plane's material: the G-buffer pass writes the listed colour into "texDiffuse" and
the world position (w 1) into "texPosition". It blends nothing, whatever an earlier draw
left set. The engine uploads its row-vector matrices as stored, so the stage multiplies
matrix times vector.
<metadata>
  <input>v4Colour</input>
  <passes>
    <pass name="geometry" vs="vs_main" ps="ps_main">
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
