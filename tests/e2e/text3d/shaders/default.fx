/*
The G-buffer renderer's default shader: the plane's grey into the colour layer, and its
depth, which hides what stands behind the plane.
<metadata>
  <passes>
    <pass name="colour" vs="vs_main" ps="ps_main">
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
    return float4(0.5, 0.5, 0.5, 1);
}
