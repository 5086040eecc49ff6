/* What Wine's compiler front end and Debian's static libvkd3d-shader.a expect in a
 * Winelib module built against Wine 8 on this host (see build-vkd3d2.sh). */
#define _GNU_SOURCE
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include "d3dcompiler_private.h"

#define HIDDEN __attribute__((visibility("hidden")))

/* Wine 8's wine/debug.h has no debugstr_fourcc. */
const char *debugstr_fourcc(uint32_t fourcc)
{
    char text[5];
    int i;

    for (i = 0; i < 4; ++i)
    {
        char c = (char)(fourcc >> (8 * i));
        text[i] = c >= 0x20 && c < 0x7f ? c : '?';
    }
    text[4] = 0;
    return wine_dbg_sprintf("'%s'", text);
}

/* The shader model 1-3 assembler (D3DAssemble) is not built: it reports invalid data. */
struct bwriter_shader *SlAssembleShader(const char *text, char **messages)
{
    (void)text;
    *messages = NULL;
    return NULL;
}

void SlDeleteShader(struct bwriter_shader *shader)
{
    (void)shader;
}

HRESULT shader_write_bytecode(const struct bwriter_shader *shader, uint32_t **result, uint32_t *size)
{
    (void)shader;
    *result = NULL;
    *size = 0;
    return E_NOTIMPL;
}

/* The archive was built against glibc 2.38 or later, which names these C23 entry points;
 * for the bases and formats the compiler uses they behave as the plain ones of this host. */
HIDDEN long __isoc23_strtol(const char *text, char **end, int base)
{
    return strtol(text, end, base);
}

HIDDEN unsigned long __isoc23_strtoul(const char *text, char **end, int base)
{
    return strtoul(text, end, base);
}

HIDDEN int __isoc23_sscanf(const char *text, const char *format, ...)
{
    va_list args;
    int count;

    va_start(args, format);
    count = vsscanf(text, format, args);
    va_end(args);
    return count;
}

/* The archive's scanners reach the standard streams by PC-relative relocations, which a
 * shared object cannot resolve against glibc: build-vkd3d2.sh renames them to these. */
HIDDEN FILE *brivet_vkd3d_stdin;
HIDDEN FILE *brivet_vkd3d_stdout;
HIDDEN FILE *brivet_vkd3d_stderr;

static void __attribute__((constructor)) fill_streams(void)
{
    brivet_vkd3d_stdin = stdin;
    brivet_vkd3d_stdout = stdout;
    brivet_vkd3d_stderr = stderr;
}
