// The stb_vorbis implementation, alone in a C file: Debian's header is the whole
// decoder and defines one-letter macros (L, C, R) that break C++ code including it.
// Everything else includes it with STB_VORBIS_HEADER_ONLY.
#include <stb_vorbis.h>
