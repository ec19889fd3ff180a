#pragma once
// Video out: the presented pictures, converted to yuv420p by a thread of
// their own (so the next ticks render meanwhile), go through a pipe to the
// ffmpeg program (H.264 in MP4); the music, moved to the frame on which the
// show started it, is encoded meanwhile and put under them afterwards.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/common/picture.h"

namespace quarvel::audio {
struct PcmTrack;
}

namespace quarvel::capture {

// The full path of `name` found on PATH, or empty.
std::string find_program(const std::string& name);

// The frame rate of a tick length as ffmpeg reads it ("60" for 1000/60 ms).
std::string frame_rate_text(double ms_per_tick);

// The music under a video of `frames` frames: silence until `offset_seconds`
// (the video time at which the music's start falls; negative when it had
// started before the first frame, which then cuts its beginning), then the
// music, then silence up to the video's length. Interleaved 16-bit samples.
std::vector<int16_t> music_under_video(const audio::PcmTrack& music, double offset_seconds, long long frames,
                                       double seconds_per_frame);

// The same sound, a part at a time: sample frames [from, to) of it, where
// `offset` is the sample frame on which the music starts.
void music_under_video_part(const audio::PcmTrack& music, long long offset, long long from, long long to,
                            std::vector<int16_t>& out);
// The sample frames under the first `frames` frames of video.
long long sound_frames(const audio::PcmTrack& music, long long frames, double seconds_per_frame);

// A picture as a video encoder takes it: planar 8-bit yuv420p, the Y plane
// (width x height) then U and V (each width/2 x height/2), rows top to
// bottom.
struct YuvPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bytes;
};

// `picture` scaled `scale` times (nearest-neighbour) in yuv420p, as ffmpeg
// converts BGRA by default: BT.601, limited range, rounded to nearest. At
// the picture's own size each chroma sample is the mean of its two columns
// filtered over eight rows by ffmpeg's bicubic filter (the edge rows
// repeated); scaled up, it is the pixel under the sample's centre. Within
// one level of ffmpeg's own conversion, at a fraction of its time.
YuvPicture to_yuv420(const Picture& picture, int scale);

class VideoEncoder {
 public:
  VideoEncoder() = default;
  ~VideoEncoder();
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;

  // Starts ffmpeg writing the pictures (640 x 480 each times `shown`, the
  // presented picture's scale, then scaled `scale` times with
  // nearest-neighbour, sent as yuv420p) to `path` at `rate` frames a
  // second. False with a message when ffmpeg cannot be started.
  bool open(const std::string& ffmpeg, const std::string& path, int scale, const std::string& rate,
            std::string& error, int shown = 1);
  // Queues one picture (waits while the queue is full). False once the
  // encoder has failed.
  bool add(Picture picture);
  // Waits for the encoder to finish. False with a message when it failed.
  bool close(std::string& error);
  long long frames() const { return frames_; }
  // Steady-clock seconds the render thread spent waiting for room in the
  // queue, and the writer spent writing to the pipe.
  double wait_seconds() const { return wait_seconds_; }
  double write_seconds() const { return write_seconds_; }

 private:
  void writer();

  int scale_ = 1;
  int pipe_fd_ = -1;
  int pid_ = -1;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Picture> queue_;
  bool closing_ = false;
  bool failed_ = false;
  long long frames_ = 0;
  double wait_seconds_ = 0;
  double write_seconds_ = 0;
};

// The music under the video encoded as AAC while the video is made, by an
// ffmpeg of its own at the lowest priority, so that putting it under the
// picture at the end is a copy. The sound is music_under_video's, handed
// over as the frames are made (never blocking the caller) and finished at
// close, when the video's length is known.
class MusicEncoder {
 public:
  MusicEncoder() = default;
  ~MusicEncoder();
  MusicEncoder(const MusicEncoder&) = delete;
  MusicEncoder& operator=(const MusicEncoder&) = delete;

  // Starts ffmpeg writing `music` (kept by the caller until close), starting
  // at `offset_seconds` of the video, as AAC in an MP4 file at `path`.
  bool open(const std::string& ffmpeg, const std::string& path, const audio::PcmTrack& music, double offset_seconds,
            double seconds_per_frame, std::string& error);
  bool is_open() const { return pid_ > 0; }
  // Hands over the sound of the first `frames` frames, as far as the pipe
  // takes it now.
  void feed(long long frames);
  // Hands over the rest of the sound of a video of `frames` frames and
  // waits for ffmpeg. False with a message.
  bool close(long long frames, std::string& error);

 private:
  // Writes the sound up to sample frame `end`; without `wait`, only what
  // the pipe takes at once. False once the pipe is broken.
  bool write_until(long long end, bool wait);

  const audio::PcmTrack* music_ = nullptr;
  long long offset_ = 0;           // sample frame on which the music starts
  double seconds_per_frame_ = 0;
  long long made_ = 0;             // sample frames put in `pending_` so far
  std::vector<int16_t> pending_;   // made, not yet written
  size_t pending_at_ = 0;          // bytes of `pending_` written
  int pid_ = -1, fd_ = -1;
  bool failed_ = false;
};

// Puts the sound of `music` (AAC in an MP4 file) under the picture of
// `video`, both copied as they are, written to `out`. False with a message.
bool mux_music(const std::string& ffmpeg, const std::string& video, const std::string& music, const std::string& out,
               std::string& error);

}  // namespace quarvel::capture
