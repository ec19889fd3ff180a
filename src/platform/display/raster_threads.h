#pragma once
// How many threads Mesa's software rasteriser (llvmpipe) draws with.
//
// By default llvmpipe starts one raster thread a core, and the program's
// own thread waits while they fill the frame. On a small machine one of
// them now and then loses its core for part of a frame, and the frame then
// takes as long as all the work on one core: those frames are the slowest
// of a scene. With twice as many threads, each with a smaller share of the
// frame, the others take over more of a stalled one's share.
#include <string>

namespace quarvel::display {

// What the frames are for. On screen (and when frames are timed) each
// frame should be steady: twice the cores. Written to a video, only the
// total time counts: one thread a core, with less switching among them and
// the video's own threads.
enum class RasterUse { Frames, Throughput };

// The value for LP_NUM_THREADS on a machine with `cores` cores: twice the
// cores for frames, the cores for throughput, at most 16 (llvmpipe's own
// limit); empty when `cores` is unknown (0), which leaves llvmpipe's choice.
std::string raster_threads_for(unsigned cores, RasterUse use = RasterUse::Frames);

// Sets LP_NUM_THREADS for this machine unless the environment already sets
// it (a user's choice wins). Call at the start of main, before any thread
// starts and before the first GL context: llvmpipe reads it once.
void choose_raster_threads(RasterUse use = RasterUse::Frames);

}  // namespace quarvel::display
