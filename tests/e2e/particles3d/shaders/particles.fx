/*
Nine particles in a grid of three by three, 0.6 apart and 0.3 wide, made from the vertex
index alone: six vertices (two triangles) each. The two lower rows stand at z = -1, in
front of the G-buffer's plane; the top row at z = +1, behind it. Their colour is listed.
<metadata>
  <input>v4Colour</input>
  <passes>
    <pass name="particles" vs="vs_main" ps="ps_main">
      <rasterizer cullMode="none"/>
      <depth read="true" write="false"/>
    </pass>
  </passes>
</metadata>
*/

cbuffer constants
{
    float4x4 matView;
    float4x4 matProjection;
    float4 v4Colour;
};

struct VS_OUTPUT { float4 Pos : SV_POSITION; };

VS_OUTPUT vs_main(uint id : SV_VertexID)
{
    VS_OUTPUT Out;
    uint p = id / 6;
    uint c = id % 6;
    float cx = (c == 1 || c == 3 || c == 4) ? 1.0 : 0.0;
    float cy = (c == 2 || c == 4 || c == 5) ? 1.0 : 0.0;
    float column = (float)(p % 3);
    float row = (float)(p / 3);
    float4 world = float4((column - 1.0) * 0.6 + (cx - 0.5) * 0.3, (row - 1.0) * 0.6 + (cy - 0.5) * 0.3,
                          row > 1.5 ? 1.0 : -1.0, 1);
    Out.Pos = mul(matProjection, mul(matView, world));
    return Out;
}

float4 ps_main(VS_OUTPUT In) : SV_TARGET
{
    return v4Colour;
}
