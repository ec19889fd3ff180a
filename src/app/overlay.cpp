#include "app/overlay.h"

#include <charconv>

#include "platform/common/number_text.h"
#include "scene/lights.h"

namespace quarvel::app {

namespace {

std::string num(float v) { return scene::general_float(static_cast<double>(v)); }

}  // namespace

std::string fixed_one_decimal(double v) {
  const std::string text = text_with_precision(v, std::chars_format::fixed, 1);
  return text.empty() ? std::string("0.0") : text;
}

std::vector<OverlayLine> overlay_lines(const scene::Show& s, int mouse_dy, float cpu, uint32_t music_position) {
  // Counters nothing in the show changes: they always show 0.
  const std::string zero = "0";
  std::vector<OverlayLine> lines;
  lines.push_back({0, "FPS: " + std::to_string(s.clock.fps_affiche) + " Time : " + num(s.clock.pas_temps)});
  lines.push_back({14, "Avelo and Kesrin... and Zebulor"});
  lines.push_back(
      {28, "Pos light : " + num(s.controls.light_x) + " " + num(s.controls.light_y) + " " + num(s.controls.light_z)});
  lines.push_back({42, "Intensit\xE9 light : " + num(s.controls.light_r) + " " + num(s.controls.light_g) + " " +
                           num(s.controls.light_b)});
  lines.push_back({56, num(s.view.cam_pos.x) + " " + num(s.view.cam_pos.y) + " " + num(s.view.cam_pos.z)});
  lines.push_back({84, "Frame :" + num(s.clock.horloge)});
  lines.push_back({100, "::" + std::to_string(mouse_dy)});
  lines.push_back({120, zero + ":" + zero + ":" + zero + ":" + zero});
  lines.push_back({140, "CPU : " + fixed_one_decimal(cpu) + "% : " + std::to_string(music_position / 6000u)});
  lines.push_back({180, zero + ":" + zero + ":" + zero + ":" + zero + "nanim : " + zero + " Num" + zero + " " +
                            "MainForm" + " count: " + ":" + zero});
  return lines;
}

void draw_overlay(scene::Show& s) {
  display::TextCanvas& canvas = s.DXDraw.canvas();
  canvas.set_brush_clear(true);
  canvas.set_font_colour(0xFFFFFF);
  canvas.set_font_size(8);
  for (const OverlayLine& line :
       overlay_lines(s, s.DXInput1.mouse_y(), s.music.load(), s.music.position(s.clock.flux_musique))) {
    s.DXDraw.text_out(0, line.y, line.text);
  }
  canvas.set_font_colour(0x000000);
  canvas.set_font_size(10);
}

}  // namespace quarvel::app
