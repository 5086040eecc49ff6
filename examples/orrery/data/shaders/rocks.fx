/*
The asteroid belt: Instancer3D draws the rock once per instance; the instance's fraction,
index and two random numbers come in TEXCOORD2. Its place and size come from the belt
buffer that belt.csh computes every frame (four floats an instance: x, y, z, size); the
random numbers tumble it. "fBeltScale" grows the rocks from nothing as the belt appears.
<metadata>
  <input>bufBelt</input>
  <input>fBeltScale</input>
  <input>fTumble</input>
  <passes>
    <pass name="geometry" vs="vs_main" ps="ps_main">
      <rasterizer cullMode="none"/>
      <depth read="true" write="true"/>
      <blend renderTarget="0" enabled="false"/>
    </pass>
    <pass name="shadow" type="shadow" vs="vs_shadow" ps="ps_shadow">
      <rasterizer cullMode="none"/>
      <depth read="true" write="true"/>
      <blend renderTarget="0" enabled="false"/>
    </pass>
    <pass name="shadowcube" type="shadowcube" vs="vs_shadow" ps="ps_shadowcube">
      <rasterizer cullMode="none"/>
      <depth read="true" write="true"/>
      <blend renderTarget="0" enabled="false"/>
    </pass>
  </passes>
</metadata>
*/

cbuffer constants
{
    float4x4 matView;
    float4x4 matProjection;
    float4x4 matWorldToLight;
    float4x4 matLightProjection;
    float3 v3LightPosition;
    float fBeltScale;
    float fTumble;
    float4 clrDiffuse;
};

Buffer<float> bufBelt;

struct VS_INPUT { float3 Pos : POSITION; float3 Normal : NORMAL; float4 Instance : TEXCOORD2; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; float3 World : TEXCOORD0; float3 Normal : TEXCOORD1; };
struct PS_OUTPUT
{
    float4 Albedo : SV_TARGET0;
    float4 Normal : SV_TARGET1;
    float4 Position : SV_TARGET2;
    float4 Emissive : SV_TARGET3;
};

// The rock turned about two axes picked by its random numbers, sized and put in its place.
float3 Place(float3 p, float4 instance)
{
    uint i = (uint)instance.y;
    float3 centre = float3(bufBelt[i * 4], bufBelt[i * 4 + 1], bufBelt[i * 4 + 2]);
    float size = bufBelt[i * 4 + 3] * fBeltScale;
    float a = instance.z * 6.2831853 + fTumble * (0.5 + instance.w);
    float b = instance.w * 6.2831853 + fTumble * 0.7;
    float3 q = float3(p.x * cos(a) - p.z * sin(a), p.y, p.x * sin(a) + p.z * cos(a));
    q = float3(q.x, q.y * cos(b) - q.z * sin(b), q.y * sin(b) + q.z * cos(b));
    return centre + q * size;
}

VS_OUTPUT vs_main(VS_INPUT In)
{
    VS_OUTPUT Out;
    float3 world = Place(In.Pos, In.Instance);
    Out.World = world;
    // The normal turns as the rock does: the difference of two placed points along it.
    Out.Normal = Place(In.Pos + In.Normal, In.Instance) - world;
    Out.Pos = mul(matProjection, mul(matView, float4(world, 1)));
    return Out;
}

PS_OUTPUT ps_main(VS_OUTPUT In)
{
    PS_OUTPUT Out;
    Out.Albedo = float4(clrDiffuse.rgb, 0.1);
    Out.Normal = float4(normalize(In.Normal) * 0.5 + 0.5, 0.1);
    Out.Position = float4(In.World, 1);
    Out.Emissive = float4(0, 0, 0, 1);
    return Out;
}

struct SHADOW_OUTPUT { float4 Pos : SV_POSITION; float3 World : TEXCOORD0; float Depth : TEXCOORD1; };

SHADOW_OUTPUT vs_shadow(VS_INPUT In)
{
    SHADOW_OUTPUT Out;
    float3 world = Place(In.Pos, In.Instance);
    float4 light = mul(matWorldToLight, float4(world, 1));
    Out.Pos = mul(matLightProjection, light);
    Out.World = world;
    Out.Depth = light.z;
    return Out;
}

float4 ps_shadow(SHADOW_OUTPUT In) : SV_TARGET
{
    return float4(In.Depth, In.Depth * In.Depth, 0, 1);
}

float4 ps_shadowcube(SHADOW_OUTPUT In) : SV_TARGET
{
    float d = distance(In.World, v3LightPosition);
    return float4(d, d * d, 0, 1);
}
