/* What Wine's compiler front end and Debian's static libvkd3d-shader.a expect in a
 * Winelib module built against Wine 8 on this host (see build-vkd3d2.sh). */
#define _GNU_SOURCE
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

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

/* vkd3d-shader 2.1 writes byte-address buffers into the reflection data as typed ones
 * (D3D_SIT_TEXTURE, D3D_SIT_UAV_RWTYPED), as 1.14 did before patches/tpf-reflection-types.patch.
 * The archive cannot be patched: the link wraps vkd3d_shader_compile, and bindings of the
 * compiled shader whose register the code declares raw (dcl_resource_raw, dcl_uav_raw) get
 * the types the system's compiler gives them. Shader model 5.0 and older only. */
int __real_vkd3d_shader_compile(const struct vkd3d_shader_compile_info *info, struct vkd3d_shader_code *out,
                                char **messages);

#define DXBC_TAG(a, b, c, d) ((uint32_t)(a) | (uint32_t)(b) << 8 | (uint32_t)(c) << 16 | (uint32_t)(d) << 24)

static uint32_t read32(const uint8_t *at)
{
    uint32_t value;
    memcpy(&value, at, sizeof(value));
    return value;
}

static void write32(uint8_t *at, uint32_t value)
{
    memcpy(at, &value, sizeof(value));
}

/* Sets bit r of *textures (*uavs) for each raw declaration of t<r> (u<r>); false when the
 * code is not shader model 5.0 or older. */
static BOOL find_raw_registers(const uint8_t *code, size_t size, uint64_t *textures, uint64_t *uavs)
{
    size_t length, at;
    uint32_t version;

    if (size < 8)
        return FALSE;
    version = read32(code);
    if (((version >> 4) & 0xf) > 5 || (((version >> 4) & 0xf) == 5 && (version & 0xf) > 0))
        return FALSE;
    length = read32(code + 4);
    if (length > size / 4)
        length = size / 4;
    for (at = 2; at < length;)
    {
        uint32_t token = read32(code + 4 * at), opcode = token & 0x7ff, count = (token >> 24) & 0x7f;

        if (opcode == 0x35 /* custom data: the length follows */)
            count = at + 1 < length ? read32(code + 4 * (at + 1)) : 0;
        if (!count)
            break;
        if ((opcode == 0xa1 /* dcl_resource_raw */ || opcode == 0x9d /* dcl_uav_raw */) && count >= 3 && at + 2 < length)
        {
            uint32_t operand = read32(code + 4 * (at + 1)), reg = read32(code + 4 * (at + 2));

            /* One immediate index: the register number. */
            if (((operand >> 20) & 3) == 1 && ((operand >> 22) & 7) == 0 && reg < 64)
                *(opcode == 0xa1 ? textures : uavs) |= (uint64_t)1 << reg;
        }
        at += count;
    }
    return TRUE;
}

static void retype_raw_bindings(uint8_t *rdef, size_t size, uint64_t textures, uint64_t uavs)
{
    uint32_t count, offset, i;

    if (size < 16)
        return;
    count = read32(rdef + 8);
    offset = read32(rdef + 12);
    if (offset > size || count > (size - offset) / 32)
        return;
    for (i = 0; i < count; ++i)
    {
        uint8_t *binding = rdef + offset + 32 * i;
        uint32_t type = read32(binding + 4), dimension = read32(binding + 12), point = read32(binding + 20);

        if (point >= 64 || dimension != 1 /* buffer */)
            continue;
        if (type == D3D_SIT_TEXTURE && (textures >> point & 1))
            write32(binding + 4, D3D_SIT_BYTEADDRESS);
        else if (type == D3D_SIT_UAV_RWTYPED && (uavs >> point & 1))
            write32(binding + 4, D3D_SIT_UAV_RWBYTEADDRESS);
    }
}

static void fix_raw_reflection(struct vkd3d_shader_code *dxbc)
{
    struct vkd3d_shader_dxbc_desc desc;
    struct vkd3d_shader_code rewritten;
    uint8_t *rdef = NULL;
    size_t rdef_size = 0, i;
    uint64_t textures = 0, uavs = 0;
    BOOL known = FALSE;

    if (vkd3d_shader_parse_dxbc(dxbc, 0, &desc, NULL) < 0)
        return;
    for (i = 0; i < desc.section_count; ++i)
    {
        const struct vkd3d_shader_dxbc_section_desc *section = &desc.sections[i];

        if (section->tag == DXBC_TAG('R', 'D', 'E', 'F'))
        {
            /* The sections lie inside dxbc, which the caller owns. */
            rdef = (uint8_t *)section->data.code;
            rdef_size = section->data.size;
        }
        else if (section->tag == DXBC_TAG('S', 'H', 'D', 'R') || section->tag == DXBC_TAG('S', 'H', 'E', 'X'))
            known = find_raw_registers(section->data.code, section->data.size, &textures, &uavs);
    }
    if (rdef && known && (textures || uavs))
    {
        retype_raw_bindings(rdef, rdef_size, textures, uavs);
        /* Serialized anew for the checksum. */
        if (vkd3d_shader_serialize_dxbc(desc.section_count, desc.sections, &rewritten, NULL) >= 0)
        {
            vkd3d_shader_free_dxbc(&desc);
            vkd3d_shader_free_shader_code(dxbc);
            *dxbc = rewritten;
            return;
        }
    }
    vkd3d_shader_free_dxbc(&desc);
}

int __wrap_vkd3d_shader_compile(const struct vkd3d_shader_compile_info *info, struct vkd3d_shader_code *out,
                                char **messages)
{
    int ret = __real_vkd3d_shader_compile(info, out, messages);

    if (ret >= 0 && info->source_type == VKD3D_SHADER_SOURCE_HLSL && info->target_type == VKD3D_SHADER_TARGET_DXBC_TPF)
        fix_raw_reflection(out);
    return ret;
}
