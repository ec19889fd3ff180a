#!/usr/bin/env bash
# Writes the fuzz targets' starting corpus, fuzz/corpus/<target>/: a few
# tiny files of each kind, a few dozen bytes to a few kilobytes each, made
# here from nothing (python3 for the pictures, scripts and command lines;
# a small libjpeg program for the JPEG files; ffmpeg with LAME for the MP3
# files). The files are kept in the repository; run this again only to
# change them.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=$ROOT/fuzz/corpus
SCRATCH=$(mktemp -d)
trap 'rm -rf "$SCRATCH"' EXIT
mkdir -p "$OUT"/{xfile,bmp,tga,jpeg,png,mp3,input_script,options}

python3 - "$OUT" <<'PY'
import struct, sys, zlib, os
out = sys.argv[1]
def put(target, name, data):
    with open(os.path.join(out, target, name), 'wb') as f:
        f.write(data)

# ---- BMP: a 14-byte file header, an info header, a palette or masks, rows padded to 4 bytes
def bmp(width, height, bits, rows, palette=b'', header=40, compression=0, masks=b'', top_down=False):
    if header == 12:
        info = struct.pack('<IHHHH', 12, width, height, 1, bits)
    else:
        info = struct.pack('<IiiHHIIiiII', header, width, -height if top_down else height, 1, bits,
                           compression, 0, 2835, 2835, len(palette) // 4, 0)
        info += masks[:max(0, header - 40)]
        info += b'\0' * (header - len(info))
        masks = masks[max(0, header - 40):]
    stride = (width * bits + 31) // 32 * 4
    pixels = b''.join(r + b'\0' * (stride - len(r)) for r in rows)
    at = 14 + len(info) + len(masks) + len(palette)
    return b'BM' + struct.pack('<IHHI', at + len(pixels), 0, 0, at) + info + masks + palette + pixels

put('bmp', 'rgb24_2x2.bmp', bmp(2, 2, 24, [b'\x00\x00\xff\x00\xff\x00', b'\xff\x00\x00\xff\xff\xff']))
put('bmp', 'pal8_3x2.bmp', bmp(3, 2, 8, [b'\x00\x01\x02', b'\x02\x01\x00'],
                               palette=b'\x00\x00\x00\x00\xff\x00\x00\x00\x00\xff\x00\x00'))
put('bmp', 'pal4_top_down.bmp', bmp(3, 2, 4, [b'\x01\x20', b'\x12\x00'],
                                    palette=b'\x10\x20\x30\x00\x40\x50\x60\x00\x70\x80\x90\x00', top_down=True))
put('bmp', 'mono_9x1.bmp', bmp(9, 1, 1, [b'\xa5\x80'], palette=b'\x00\x00\x00\x00\xff\xff\xff\x00'))
put('bmp', 'rgb16_555.bmp', bmp(2, 1, 16, [b'\x1f\x00\xe0\x7f']))
put('bmp', 'rgb16_565_fields.bmp', bmp(2, 1, 16, [b'\x1f\x00\xe0\x07'], compression=3,
                                       masks=struct.pack('<III', 0xF800, 0x07E0, 0x001F)))
put('bmp', 'argb32_v4.bmp', bmp(2, 1, 32, [b'\x10\x20\x30\x80\x40\x50\x60\xff'], header=108, compression=3,
                                masks=struct.pack('<IIII', 0xFF0000, 0xFF00, 0xFF, 0xFF000000)))
put('bmp', 'core_rgb24.bmp', bmp(1, 2, 24, [b'\x01\x02\x03', b'\x04\x05\x06'], header=12))

# ---- TGA: an 18-byte header, an id, a colour map, the pixels (raw or run-length packets)
def tga(kind, width, height, bits, pixels, cmap=b'', cmap_entries=0, cmap_bits=0, ident=b'', descriptor=0):
    header = struct.pack('<BBBHHBHHHHBB', len(ident), 1 if cmap_entries else 0, kind, 0, cmap_entries, cmap_bits,
                         0, 0, width, height, bits, descriptor)
    return header + ident + cmap + pixels

put('tga', 'rgb24_2x2.tga', tga(2, 2, 2, 24, b'\x00\x00\xff\x00\xff\x00\xff\x00\x00\xff\xff\xff'))
put('tga', 'argb32_top_down.tga', tga(2, 1, 2, 32, b'\x10\x20\x30\x40\x50\x60\x70\x80', descriptor=0x28))
put('tga', 'rgb16.tga', tga(2, 2, 1, 16, b'\x1f\x80\xe0\x83', ident=b'id'))
put('tga', 'cmap8.tga', tga(1, 2, 2, 8, b'\x00\x01\x01\x00', cmap=b'\x00\x00\xff\x00\xff\x00', cmap_entries=2,
                            cmap_bits=24))
put('tga', 'grey8.tga', tga(3, 3, 1, 8, b'\x00\x80\xff'))
put('tga', 'rle_rgb32.tga', tga(10, 4, 2, 32, b'\x83\x01\x02\x03\xff' + b'\x03' + b'\x10\x20\x30\x40' * 4))
put('tga', 'rle_grey16.tga', tga(11, 3, 1, 16, b'\x00\x10\x20\x81\x30\x40'))
put('tga', 'rle_cmap16.tga', tga(9, 2, 1, 8, b'\x81\x00', cmap=b'\x1f\x7c\xe0\x03', cmap_entries=2, cmap_bits=16))

# ---- PNG: signature, IHDR, optional PLTE/tRNS, IDAT, IEND
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)
def png(width, height, depth, colour, rows, extra=b'', interlace=0):
    raw = b''.join(b'\0' + r for r in rows)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, depth, colour, 0, 0, interlace))
            + extra + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))

put('png', 'rgb8_2x2.png', png(2, 2, 8, 2, [b'\xff\x00\x00\x00\xff\x00', b'\x00\x00\xff\xff\xff\xff']))
put('png', 'grey1_9x1.png', png(9, 1, 1, 0, [b'\xa5\x80']))
put('png', 'palette_trns.png', png(2, 1, 8, 3, [b'\x00\x01'],
                                   extra=chunk(b'PLTE', b'\xff\x00\x00\x00\x00\xff') + chunk(b'tRNS', b'\x80')))
put('png', 'rgba16.png', png(1, 1, 16, 6, [b'\x12\x34\x56\x78\x9a\xbc\xde\xf0']))
put('png', 'grey_alpha_adam7.png', png(1, 1, 8, 4, [b'\x40\x80'], interlace=1))
put('png', 'with_text.png', png(1, 1, 8, 0, [b'\x7f'], extra=chunk(b'tEXt', b'Comment\0made for the fuzzer')))

# ---- The input script: every event, comments, blank lines, two events at one tick
put('input_script', 'keys.txt', b'# keys\n0 down esc\n0 up esc\n10 down f1\n12 up 65\n\n20 down num5\n20 up NUMPLUS\n')
put('input_script', 'mouse.txt', b'5 mouse -3 7\n6 button left down\n7 button RIGHT up  # late\n8 click 639 479\n')
put('input_script', 'unsorted.txt', b'30 down space\n10 down a\n10 up a\n\t 2 click 0 0\n')
put('input_script', 'bad_line.txt', b'1 down esc\nx up q\n')

# ---- The runner's command line: arguments separated by zero bytes
def args(*a):
    return b'\0'.join(x.encode() for x in a)
put('options', 'show.txt', args('--ticks', '120', '--png-at', '0,59,119', '--out', 'o', '--ms-per-tick', '100'))
put('options', 'video.txt', args('--video', 'a.mp4', '--scale', '2', '--from', '10', '--input', 'in.txt',
                                 '--trace', '-'))
put('options', 'timedemo.txt', args('--timedemo', '--json', '--split-render', '--trace-operator', '--show', 'dir'))
put('options', 'model.txt', args('--model', 'm.x', '--texture', 't.bmp', '--anim-step', '-2.5', '--ticks', '3',
                                 '--png-every', '1'))
put('options', 'test_scene.txt', args('--test-scene', '--detail', '8', '--ticks', '1'))
put('options', 'help.txt', args('--help'))

# ---- A model file in text form: a frame holding a mesh with normals, a material and texture coordinates
put('xfile', 'triangle.x', b'''xof 0302txt 0032
Frame Root {
 FrameTransformMatrix { 1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0;; }
 Mesh Tri {
  3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;;
  1; 3;0,1,2;;
  MeshNormals { 1; 0.0;0.0;1.0;; 1; 3;0,0,0;; }
  MeshTextureCoords { 3; 0.0;0.0;, 1.0;0.0;, 0.0;1.0;; }
  MeshMaterialList { 1; 1; 0;;
   Material { 1.0;0.5;0.25;1.0;; 8.0; 1.0;1.0;1.0;; 0.0;0.0;0.0;; TextureFilename { "t.bmp"; } }
  }
 }
}
''')
PY

# ---- JPEG through libjpeg: baseline colour, progressive, grey, and Adobe CMYK (stored inverted)
cat > "$SCRATCH/make_jpeg.c" <<'C'
#include <stdio.h>
#include <stdlib.h>
#include <jpeglib.h>
int main(int argc, char** argv) {
  /* make_jpeg FILE WIDTH HEIGHT rgb|grey|cmyk progressive(0|1) */
  FILE* f = fopen(argv[1], "wb");
  int w = atoi(argv[2]), h = atoi(argv[3]), progressive = atoi(argv[5]);
  struct jpeg_compress_struct c;
  struct jpeg_error_mgr e;
  c.err = jpeg_std_error(&e);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, f);
  c.image_width = w;
  c.image_height = h;
  c.input_components = argv[4][0] == 'g' ? 1 : argv[4][0] == 'c' ? 4 : 3;
  c.in_color_space = argv[4][0] == 'g' ? JCS_GRAYSCALE : argv[4][0] == 'c' ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 50, TRUE);
  if (progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  unsigned char row[64 * 4];
  while (c.next_scanline < c.image_height) {
    for (int i = 0; i < w * c.input_components; ++i) row[i] = (unsigned char)(i * 37 + c.next_scanline * 11);
    JSAMPROW r = row;
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  fclose(f);
  return 0;
}
C
cc -O1 -o "$SCRATCH/make_jpeg" "$SCRATCH/make_jpeg.c" -ljpeg
"$SCRATCH/make_jpeg" "$OUT/jpeg/rgb_8x8.jpg" 8 8 rgb 0
"$SCRATCH/make_jpeg" "$OUT/jpeg/rgb_progressive_17x9.jpg" 17 9 rgb 1
"$SCRATCH/make_jpeg" "$OUT/jpeg/grey_5x3.jpg" 5 3 grey 0
"$SCRATCH/make_jpeg" "$OUT/jpeg/cmyk_4x4.jpg" 4 4 cmyk 0

# ---- MP3 through LAME: short tones at the smallest rates and bit rates, mono and stereo, one with a tag
mp3() {  # FILE RATE CHANNELS BITRATE SECONDS [ffmpeg options]
  local file=$1 rate=$2 channels=$3 bitrate=$4 seconds=$5
  shift 5
  ffmpeg -nostdin -loglevel error -y -f lavfi -i "sine=frequency=440:sample_rate=$rate:duration=$seconds" \
    -ac "$channels" -c:a libmp3lame -b:a "$bitrate" "$@" "$file"
}
mp3 "$OUT/mp3/mono_8k.mp3" 8000 1 8k 0.2 -write_xing 0 -id3v2_version 0
mp3 "$OUT/mp3/stereo_22k_gapless.mp3" 22050 2 32k 0.1 -id3v2_version 0
mp3 "$OUT/mp3/mono_44k_tagged.mp3" 44100 1 32k 0.05 -metadata title=seed
du -sh "$OUT"; find "$OUT" -type f | wc -l
