/*
The plane's material: one colour, listed so that the Shape3D node sets it. The engine
uploads its row-vector matrices as stored, so with the default packing the vertex stage
multiplies matrix times vector.
<metadata>
  <input>v4Colour</input>
  <passes>
    <pass name="colour" vs="vs_main" ps="ps_main"/>
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
struct VS_OUTPUT { float4 Pos : SV_POSITION; };

VS_OUTPUT vs_main(VS_INPUT In)
{
    VS_OUTPUT Out;
    Out.Pos = mul(matProjection, mul(matView, mul(matWorld, float4(In.Pos, 1))));
    return Out;
}

float4 ps_main(VS_OUTPUT In) : SV_TARGET
{
    return v4Colour;
}
