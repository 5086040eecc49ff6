// Loading screen of "Tides": a thin frame on black that fills with water from the
// left, its front edge rippling, as loading goes on. One return at the end: Wine's
// HLSL compiler does not honour every return inside an "if".
cbuffer c { float fProgress; float2 v2Resolution; };

struct VS_INPUT { float3 Pos : POSITION0; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; };

VS_OUTPUT vs_main(VS_INPUT In)
{
    VS_OUTPUT Out;
    Out.Pos = float4(In.Pos, 1);
    return Out;
}

float4 ps_main(float4 Pos : SV_POSITION) : SV_TARGET
{
    float2 uv = Pos.xy / v2Resolution;
    // The bar: 60% of the width, 3% of the height, centred; p in [-1, 1] inside it.
    float2 p = (uv - 0.5) * float2(1.0 / 0.3, 1.0 / 0.015);
    float2 edge = abs(p);
    // Inside: water left of the front, which a ripple shifts along the bar's height.
    float along = p.x * 0.5 + 0.5;
    float across = p.y * 0.5 + 0.5;
    float ripple = abs(across * 4.0 - floor(across * 4.0) - 0.5) * 0.02;
    float3 colour = float3(0.02, 0.04, 0.07);
    if (along < fProgress + ripple - 0.01)
        colour = lerp(float3(0.05, 0.3, 0.55), float3(0.3, 0.75, 0.9), along);
    // The frame around it, and black beyond.
    if (max(edge.x - 1.0, (edge.y - 1.0) * 0.04) > 0.0)
        colour = float3(0.25, 0.38, 0.5);
    if (max(edge.x - 1.04, (edge.y - 1.6) * 0.04) > 0.0)
        colour = float3(0, 0, 0);
    return float4(colour, 1);
}
