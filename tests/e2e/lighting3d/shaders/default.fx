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
struct PS_OUTPUT { float4 Diffuse : SV_TARGET0; float4 Position : SV_TARGET1; };

VS_OUTPUT vs_main(VS_INPUT In)
{
    VS_OUTPUT Out;
    Out.Pos = mul(matProjection, mul(matView, mul(matWorld, float4(In.Pos, 1))));
    return Out;
}

PS_OUTPUT ps_main(VS_OUTPUT In)
{
    PS_OUTPUT Out;
    Out.Diffuse = float4(1, 0, 1, 1);
    Out.Position = float4(0, 0, 0, 1);
    return Out;
}
