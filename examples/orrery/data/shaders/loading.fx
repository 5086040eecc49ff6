// Loading screen of "Orrery": on black, a faint orbit of brass around a small pale sun,
// traced in gold from the top clockwise as loading goes on, a planet at the trace's head.
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
    // Centred, in units of a tenth of the screen's height.
    float2 p = (Pos.xy - v2Resolution * 0.5) / (v2Resolution.y * 0.1);
    float r = length(p);
    // Angle from the top, clockwise, 0 to 1.
    float around = atan2(p.x, -p.y) / 6.2831853 + 0.5;
    around = frac(around + 0.5);
    float orbit = saturate(1.0 - abs(r - 1.0) * 40.0);
    float traced = around < fProgress ? 1.0 : 0.0;
    float3 colour = orbit * lerp(float3(0.12, 0.1, 0.08), float3(0.95, 0.72, 0.35), traced);
    float sun = saturate(1.0 - (r - 0.12) * 30.0);
    colour += sun * float3(0.9, 0.85, 0.7);
    float a = fProgress * 6.2831853;
    float2 head = float2(sin(a), -cos(a));
    float planet = saturate(1.0 - (length(p - head) - 0.06) * 30.0);
    colour = lerp(colour, float3(0.55, 0.75, 1.0), planet);
    return float4(colour, 1);
}
