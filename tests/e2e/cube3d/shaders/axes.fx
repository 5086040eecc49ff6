/*
Six tiles, three across and two down, one per cube face in the cube's face order (+x, -x,
+y, -y, +z, -z): the upper half of a tile samples the environment cube straight along the
face's axis, the lower half towards a corner of that face.
<metadata>
  <input>texCube</input>
  <sampler name="smp" u="clamp" v="clamp" w="clamp" filter="POINT"/>
  <passes>
    <pass name="tiles" vs="vs_main" ps="ps_main"/>
  </passes>
</metadata>
*/

TextureCube texCube;
SamplerState smp;

struct VS_INPUT { float3 Pos : POSITION; float2 Tex : TEXCOORD; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; float2 Tex : TEXCOORD0; };

VS_OUTPUT vs_main(VS_INPUT In)
{
    VS_OUTPUT Out;
    Out.Pos = float4(In.Pos, 1);
    Out.Tex = In.Tex;
    return Out;
}

float4 ps_main(VS_OUTPUT In) : SV_TARGET
{
    // v is 0 at the bottom edge: faces 0 to 2 in the top row.
    float column = min(floor(In.Tex.x * 3.0), 2.0);
    float row = In.Tex.y >= 0.5 ? 0.0 : 1.0;
    float face = column + 3.0 * row;
    float inTile = frac(In.Tex.y * 2.0); // 0 at the tile's bottom edge
    float3 look = float3(1, 0, 0);
    float3 up = float3(0, 1, 0);
    float3 side = float3(0, 0, 1);
    if (face == 1.0) { look = float3(-1, 0, 0); }
    if (face == 2.0) { look = float3(0, 1, 0); up = float3(0, 0, -1); side = float3(1, 0, 0); }
    if (face == 3.0) { look = float3(0, -1, 0); up = float3(0, 0, 1); side = float3(1, 0, 0); }
    if (face == 4.0) { look = float3(0, 0, 1); side = float3(1, 0, 0); }
    if (face == 5.0) { look = float3(0, 0, -1); side = float3(1, 0, 0); }
    float3 direction = inTile >= 0.5 ? look : look + 0.9 * (up + side);
    return float4(texCube.Sample(smp, direction).rgb, 1);
}
