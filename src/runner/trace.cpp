#include "runner/trace.h"

#include <charconv>
#include <cmath>

#include "app/main_form.h"
#include "platform/common/number_text.h"

namespace quarvel::runner {
namespace {

void put_float(std::string& out, float v) { out += json_float(v); }

void put_vec(std::string& out, const rm::Vec3& v) {
  out += '[';
  put_float(out, v.x);
  out += ',';
  put_float(out, v.y);
  out += ',';
  put_float(out, v.z);
  out += ']';
}

template <size_t N>
void put_table(std::string& out, const char* key, const std::array<uint16_t, N>& t) {
  out += '"';
  out += key;
  out += "\":[";
  for (size_t i = 0; i < N; ++i) {
    if (i) out += ',';
    out += std::to_string(t[i]);
  }
  out += ']';
}

void key(std::string& out, const char* name) {
  out += ",\"";
  out += name;
  out += "\":";
}

}  // namespace

std::string json_float(float v) {
  if (!std::isfinite(v)) return "null";
  return shortest_text(v);
}

std::string TraceWriter::line(int tick, uint32_t ms, const app::TMainForm& form, bool closed) {
  const scene::Show& s = form.show();
  const display::DisplayControl& d = form.DXDraw;
  std::string out = "{\"tick\":" + std::to_string(tick);
  key(out, "ms");
  out += std::to_string(ms);
  key(out, "pos");
  out += std::to_string(s.clock.pos_musique);
  key(out, "pas_temps");
  put_float(out, s.clock.pas_temps);
  key(out, "horloge");
  put_float(out, s.clock.horloge);
  key(out, "fps");
  out += std::to_string(s.clock.fps_affiche);

  key(out, "flags");
  out += '[';
  bool first = true;
  for (const scene::StepFlag flag : scene::kStepFlags) {
    if (!s.chain.Party_actif[flag]) continue;
    if (!first) out += ',';
    out += std::to_string(static_cast<size_t>(flag));
    first = false;
  }
  out += ']';
  key(out, "ran");
  out += '[';
  for (size_t i = 0; i < form.record.ran.size(); ++i) out += (i ? "," : "") + std::to_string(form.record.ran[i]);
  out += ']';
  key(out, "built");
  out += '[';
  for (size_t i = 0; i < form.record.built.size(); ++i) {
    if (i) out += ',';
    out += '"';
    // Builder names are plain identifiers; quotes and backslashes would
    // still be escaped.
    for (char c : form.record.built[i]) {
      if (c == '"' || c == '\\') out += '\\';
      out += c;
    }
    out += '"';
  }
  out += ']';

  key(out, "cam");
  put_vec(out, s.view.cam_pos);
  const rm::Viewport* vp = form.stage.viewport.get();
  key(out, "viewport");
  if (vp) {
    const rm::Rect r = vp->rect();
    out += "[" + std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.width) + "," +
           std::to_string(r.height) + "]";
  } else {
    out += "null";
  }
  key(out, "field");
  out += vp ? json_float(vp->field()) : "null";
  key(out, "front");
  out += vp ? json_float(vp->front()) : "null";
  key(out, "back");
  out += vp ? json_float(vp->back()) : "null";
  key(out, "focale");
  out += std::to_string(s.view.focale);
  key(out, "light0");
  if (auto light = s.lights.light_tab.get(0)) {
    put_vec(out, light->color());
  } else {
    out += "null";
  }
  key(out, "seed");
  out += std::to_string(s.rng.seed);
  key(out, "etape_x");
  out += std::to_string(s.opening.etape_x);
  key(out, "etape_logo");
  out += std::to_string(s.layers.etape_logo);
  key(out, "ecran16_n");
  out += std::to_string(s.layers.ecran16_n);
  key(out, "charge_pos");
  out += std::to_string(s.chain.charge_pos);
  key(out, "fondu");
  out += std::to_string(s.layers.fondu);
  // What the operator's keys change, only when asked for.
  if (operator_keys_) {
    key(out, "cam_auto");
    out += s.controls.cam_auto ? "true" : "false";
    key(out, "affiche_infos");
    out += s.layers.affiche_infos ? "true" : "false";
    key(out, "vitesse");
    out += std::to_string(s.controls.vitesse);
    key(out, "light");
    out += '[';
    const float editable[] = {s.controls.light_x, s.controls.light_y, s.controls.light_z,
                              s.controls.light_r, s.controls.light_g, s.controls.light_b};
    for (size_t i = 0; i < 6; ++i) {
      if (i) out += ',';
      put_float(out, editable[i]);
    }
    out += ']';
  }

  render::GammaRamp ramp;
  d.get_gamma(ramp);
  if (!have_gamma_ || !(ramp == last_gamma_)) {
    key(out, "gamma");
    out += '{';
    put_table(out, "r", ramp.red);
    out += ',';
    put_table(out, "g", ramp.green);
    out += ',';
    put_table(out, "b", ramp.blue);
    out += '}';
    have_gamma_ = true;
    last_gamma_ = ramp;
  }
  if (closed) {
    key(out, "close");
    out += "true";
  }
  out += '}';
  return out;
}

}  // namespace quarvel::runner
