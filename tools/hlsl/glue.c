/* What the compiler sources expect from Wine and from the parts left out. */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "d3dcompiler_private.h"

/* vkd3d's own messages; VKD3D_SHADER_DEBUG=none silences them. */
const char *const vkd3d_dbg_env_name = "VKD3D_SHADER_DEBUG";

#define TEXT_COUNT 32
#define TEXT_SIZE 512

static char *next_text(void)
{
    static __thread char texts[TEXT_COUNT][TEXT_SIZE];
    static __thread unsigned int next;
    return texts[next++ % TEXT_COUNT];
}

const char *wine_dbg_sprintf(const char *format, ...)
{
    char *text = next_text();
    va_list args;

    va_start(args, format);
    vsnprintf(text, TEXT_SIZE, format, args);
    va_end(args);
    return text;
}

const char *wine_dbgstr_an(const char *s, int n)
{
    if (!s)
        return "(null)";
    if (n < 0)
        n = (int)strlen(s);
    return wine_dbg_sprintf("\"%.*s\"", n > TEXT_SIZE - 3 ? TEXT_SIZE - 3 : n, s);
}

const char *wine_dbgstr_wn(const WCHAR *s, int n)
{
    char *text, *out;
    int i;

    if (!s)
        return "(null)";
    text = next_text();
    out = text;
    *out++ = '"';
    for (i = 0; (n < 0 ? s[i] != 0 : i < n) && out < text + TEXT_SIZE - 2; ++i)
        *out++ = s[i] < 0x80 ? (char)s[i] : '?';
    *out++ = '"';
    *out = 0;
    return text;
}

/* The shader model 1-3 assembler (D3DAssemble) is not built: it reports invalid data. */

struct bwriter_shader *SlAssembleShader(const char *text, char **messages)
{
    static const char message[] = "D3DAssemble is not available in this build.\n";

    (void)text;
    if ((*messages = malloc(sizeof(message))))
        memcpy(*messages, message, sizeof(message));
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
