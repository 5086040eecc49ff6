#!/bin/sh
# Makes the image files of the texture tests in OUTDIR with ImageMagick, from pixels given
# here byte by byte (so the tests know every value):
#   grey.png     4 x 2, 8-bit greyscale      grey16.png  the same, 16-bit greyscale
#   palette.png  4 x 2, 8-bit palette        rgb.png     the same colours, 24-bit RGB
#   rgb.bmp      the same colours, 24-bit    rgba.png    2 x 2, 32-bit RGBA
#   solid.jpg    16 x 8 of one colour        wide.png    300 x 100 of one colour
set -eu
out=$1
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

printf 'P5\n4 2\n255\n\000\100\200\377\021\042\063\104' > "$tmp/grey.pgm"
printf 'P6\n4 2\n255\n\377\000\000\000\377\000\000\000\377\377\377\377\020\040\060\200\100\040\001\002\003\372\373\374' \
	> "$tmp/colours.ppm"
printf 'P7\nWIDTH 2\nHEIGHT 2\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n\377\000\000\377\000\377\000\200\000\000\377\000\020\040\060\100' \
	> "$tmp/rgba.pam"

convert "$tmp/grey.pgm" -define png:color-type=0 -define png:bit-depth=8 "$out/grey.png"
convert "$tmp/grey.pgm" -depth 16 -define png:color-type=0 -define png:bit-depth=16 "$out/grey16.png"
convert "$tmp/colours.ppm" PNG8:"$out/palette.png"
convert "$tmp/colours.ppm" PNG24:"$out/rgb.png"
convert "$tmp/colours.ppm" BMP3:"$out/rgb.bmp"
convert "$tmp/rgba.pam" PNG32:"$out/rgba.png"
convert -size 16x8 xc:'rgb(200,100,50)' -quality 100 -sampling-factor 1x1 "$out/solid.jpg"
convert -size 300x100 xc:'rgb(10,200,30)' PNG24:"$out/wide.png"
