/*
The renderer's default shader: magenta, for entries that bring no effect of their own
(none in this demo, so magenta on screen is a fault).
<metadata>
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
    return float4(1, 0, 1, 1);
}
