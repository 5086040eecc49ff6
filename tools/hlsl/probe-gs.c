/* probe-gs.exe: compiles a geometry shader with the d3dcompiler_47.dll that Wine loads for
 * it (the one beside it, when there is one). Exit 0 and "probe: ok FILE" when it compiles,
 * 1 with the compiler's message otherwise. Used by tools/deps.sh on a freshly built module. */
#include <stdio.h>
#include <string.h>
#include <windows.h>
#include <d3dcompiler.h>

static const char source[] =
    "struct V { float4 pos : SV_POSITION; float4 colour : COLOR; };\n"
    "[maxvertexcount(3)]\n"
    "void gs_main(triangle V input[3], inout TriangleStream<V> stream)\n"
    "{\n"
    "    for (uint i = 0; i < 3; ++i) { V v = input[i]; v.colour = float4(0, 1, 0, 1); stream.Append(v); }\n"
    "    stream.RestartStrip();\n"
    "}\n";

int main(void)
{
    ID3DBlob *code = NULL, *errors = NULL;
    char path[MAX_PATH] = "?";
    HMODULE module;
    HRESULT hr;

    hr = D3DCompile(source, strlen(source), "probe", NULL, NULL, "gs_main", "gs_5_0", 0, 0, &code, &errors);
    module = GetModuleHandleA("d3dcompiler_47.dll");
    if (module)
        GetModuleFileNameA(module, path, sizeof(path));
    if (FAILED(hr) || !code)
    {
        printf("probe: D3DCompile gs_5_0 failed (0x%08lx) with %s: %.*s\n", (unsigned long)hr, path,
               errors ? (int)errors->lpVtbl->GetBufferSize(errors) : 0,
               errors ? (const char *)errors->lpVtbl->GetBufferPointer(errors) : "");
        return 1;
    }
    printf("probe: ok %s (%lu bytes)\n", path, (unsigned long)code->lpVtbl->GetBufferSize(code));
    return 0;
}
