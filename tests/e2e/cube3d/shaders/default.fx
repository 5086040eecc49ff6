/*
The renderer's default shader, which draws the planes (they bring no effect of their own):
entry i of the chunk in colour i + 1 read as three bits (red, green, blue), so each plane
has its own colour by its place in the merge. Both sides are drawn: from the centre of the
cube each plane is seen from its back or its front as its turn makes it.
<metadata>
  <passes>
    <pass name="colour" vs="vs_main" ps="ps_main">
      <rasterizer cullMode="none"/>
    </pass>
  </passes>
</metadata>
*/

cbuffer constants
{
    float4x4 matWorld;
    float4x4 matView;
    float4x4 matProjection;
    uint nObjectID;
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
    uint c = nObjectID + 1;
    return float4(c & 1, (c >> 1) & 1, (c >> 2) & 1, 1);
}
