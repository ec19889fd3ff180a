#pragma once
// Small helpers shared by every part of the show: colour packing, the cosine
// table, and the rounding and integer conventions.
#include <cstdint>

namespace quarvel::scene {

// Colours as the graph takes them: (Trunc(255 a) << 24) | (Trunc(255 r) << 16)
// | (Trunc(255 g) << 8) | Trunc(255 b), or-ed in 32 bits with no clamping and
// no masking, so an alpha outside 0..1 keeps only the low 8 bits of its
// product (it wraps). RGB is the same with alpha byte 255.
uint32_t RGBA(float r, float g, float b, float a);
uint32_t RGB(float r, float g, float b);

// Round to nearest, halves to even.
int64_t Round(double x);
// Truncation toward zero.
int64_t Trunc(double x);

// The 256-entry cosine table: table_cos(n) = cos(2 pi (n mod 256) / 256),
// table_sin(n) = table_cos(n + 192), n taken modulo 256 (its low byte).
double table_cos(int64_t n);
double table_sin(int64_t n);

// Degrees to radians.
double deg(double degrees);

// The clock step `pas_temps` for a music position read after `previous`:
// the bytes played between the two, over 1500, as a single float. It is
// the signed 32-bit difference of the positions, so the clock steps back
// when the position does, except across the looping track's wrap to its
// start: with the track's length in bytes known (`track_bytes` > 0), a
// step back of more than half the track is taken as a wrap and the bytes
// played are counted instead (the step modulo the track's length). A tick
// moves the music by a small fraction of a second, and the show never
// rewinds its stream, so no real step back can be that large; a smaller
// one (or any step while the length is unknown) stays signed.
float clock_step(uint32_t position, uint32_t previous, uint32_t track_bytes);

}  // namespace quarvel::scene
