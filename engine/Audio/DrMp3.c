// The dr_mp3 implementation. The clips are decoded from memory only.
#define DR_MP3_IMPLEMENTATION
#define DR_MP3_NO_STDIO
#include <dr_mp3.h>
