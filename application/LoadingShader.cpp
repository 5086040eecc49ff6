#include "LoadingShader.h"

// Five lines joined by CR LF, no line break after the last; the third ends in a blank.
const char g_LoadingShader[] =
    "cbuffer c { float fProgress; float2 v2Resolution; };\r\n"
    "struct VS_INPUT { float3 Pos : POSITION0; };\r\n"
    "struct VS_OUTPUT { float4 Pos : SV_POSITION; }; \r\n"
    "VS_OUTPUT vs_main( VS_INPUT In ) { VS_OUTPUT Out; Out.Pos = float4( In.Pos, 1 ); return Out; }\r\n"
    "float4 ps_main( float4 Pos : SV_POSITION ) : SV_TARGET { float2 uv = Pos.xy / v2Resolution; "
    "uv=(uv-0.5)*float2(3,19); if (any(abs(uv)>1)) return 0; return (uv.x*0.5+0.5)<fProgress?1.0:0.3; }";

const uint32_t g_LoadingShaderLength = sizeof(g_LoadingShader) - 1;
