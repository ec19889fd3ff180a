#include "platform/render/scene_renderer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "platform/render/gl_util.h"

namespace quarvel::render {

SceneRenderer::SceneRenderer(BackSurface& target)
    : width_(target.width()), height_(target.height()), target_(target) {
  // The fullest combinations now, so that a shader error shows at once; the
  // others with the first list drawn.
  programs_.get(kLit | kTextured | kFog);
  programs_.get(kLit | kFlat | kTextured | kFog);
}

SceneRenderer::Stats SceneRenderer::stats() const {
  const GpuCache::Uploads& u = cache_.uploads();
  return {u.geometry, u.look, culled_, u.texture, draw_calls_, occluded_, fog_shells_, backdrop_.stretches()};
}

bool SceneRenderer::clip(const rm::Rect& r, rm::Rect& out) const {
  int x0 = std::max(r.x, 0), y0 = std::max(r.y, 0);
  int x1 = std::min(r.x + r.width, width_), y1 = std::min(r.y + r.height, height_);
  if (x1 <= x0 || y1 <= y0) return false;
  out = {x0, y0, x1 - x0, y1 - y0};
  return true;
}

void SceneRenderer::set_viewport(const rm::Rect& r) {
  const int k = scale_;
  glViewport(r.x * k, (height_ - (r.y + r.height)) * k, r.width * k, r.height * k);
}

void SceneRenderer::set_scissor(const rm::Rect& c) {
  const int k = scale_;
  glEnable(GL_SCISSOR_TEST);
  glScissor(c.x * k, (height_ - (c.y + c.height)) * k, c.width * k, c.height * k);
}

GLuint SceneRenderer::draw_framebuffer() const { return smooth_ ? smooth_->fbo : target_.framebuffer(); }

SceneRenderer::Smooth::~Smooth() {
  const GLuint fbos[] = {fbo, resolved_fbo};
  glDeleteFramebuffers(2, fbos);
  const GLuint buffers[] = {colour, depth};
  glDeleteRenderbuffers(2, buffers);
  glDeleteTextures(1, &resolved);
}

void SceneRenderer::set_smooth(int scale) {
  scale = std::clamp(scale, 0, 4);
  if (smooth_scale() == scale) return;
  flush_clear();
  publish_due();
  if (smooth_) {
    smooth_.reset();
    // No pixel is the 3D's any more: alpha back to one everywhere.
    glBindFramebuffer(GL_FRAMEBUFFER, target_.framebuffer());
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  }
  scale_ = 1;
  cache_.set_smooth(scale > 0);
  if (scale == 0) return;
  auto s = std::make_unique<Smooth>();
  s->scale = scale;
  const int w = width_ * scale, h = height_ * scale;
  GLint most = 4;
  glGetIntegerv(GL_MAX_SAMPLES, &most);
  const GLsizei samples = std::min(4, std::max(1, most));
  glGenRenderbuffers(1, &s->colour);
  glBindRenderbuffer(GL_RENDERBUFFER, s->colour);
  glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGBA8, w, h);
  glGenRenderbuffers(1, &s->depth);
  glBindRenderbuffer(GL_RENDERBUFFER, s->depth);
  glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_DEPTH_COMPONENT24, w, h);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  glGenFramebuffers(1, &s->fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, s->fbo);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, s->colour);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, s->depth);
  const bool drawable = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0, 0, 0, 1);
  glClearDepth(1.0);
  glDepthMask(GL_TRUE);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  s->resolved = make_texture(GL_RGBA8, w, h, GL_RGBA, GL_UNSIGNED_BYTE, GL_NEAREST);
  glGenFramebuffers(1, &s->resolved_fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, s->resolved_fbo);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, s->resolved, 0);
  const bool resolvable = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  glClear(GL_COLOR_BUFFER_BIT);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  if (!drawable || !resolvable) {
    cache_.set_smooth(false);
    throw std::runtime_error("the smooth look's multisampled picture cannot be made");
  }
  s->backdrop = std::make_unique<Backdrop>(w, h, /*multisampled=*/true);
  smooth_ = std::move(s);
  scale_ = scale;
}

void SceneRenderer::mark_dirty(const rm::Rect& c) {
  if (!smooth_) return;
  if (!dirty_) {
    dirty_rect_ = c;
    dirty_ = true;
    return;
  }
  const int x0 = std::min(dirty_rect_.x, c.x), y0 = std::min(dirty_rect_.y, c.y);
  const int x1 = std::max(dirty_rect_.x + dirty_rect_.width, c.x + c.width);
  const int y1 = std::max(dirty_rect_.y + dirty_rect_.height, c.y + c.height);
  dirty_rect_ = {x0, y0, x1 - x0, y1 - y0};
}

void SceneRenderer::publish_due() {
  if (!dirty_) return;
  dirty_ = false;
  if (smooth_) publish(dirty_rect_);
}

void SceneRenderer::publish(const rm::Rect& c) {
  const int k = smooth_->scale;
  const GLint x0 = c.x, y0 = height_ - (c.y + c.height), x1 = x0 + c.width, y1 = y0 + c.height;
  glDisable(GL_SCISSOR_TEST);
  // Resolved at the larger size, for the presentation ...
  glBindFramebuffer(GL_READ_FRAMEBUFFER, smooth_->fbo);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, smooth_->resolved_fbo);
  glBlitFramebuffer(x0 * k, y0 * k, x1 * k, y1 * k, x0 * k, y0 * k, x1 * k, y1 * k, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  // ... and made smaller into the back surface, for everything that reads
  // it, the 2D drawn over it and the other looks.
  glBindFramebuffer(GL_READ_FRAMEBUFFER, smooth_->resolved_fbo);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target_.framebuffer());
  glBlitFramebuffer(x0 * k, y0 * k, x1 * k, y1 * k, x0, y0, x1, y1, GL_COLOR_BUFFER_BIT,
                    k == 1 ? GL_NEAREST : GL_LINEAR);
  // Marked as the 3D's.
  glBindFramebuffer(GL_FRAMEBUFFER, target_.framebuffer());
  glEnable(GL_SCISSOR_TEST);
  glScissor(x0, y0, c.width, c.height);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDisable(GL_SCISSOR_TEST);
}

void SceneRenderer::start_clear(const rm::RenderList& list, const rm::Rect& c) {
  clear_due_ = true;
  clear_ = Clear{};
  clear_.color = list.clear.color;
  clear_rect_ = c;
  if (list.clear.background) {
    glActiveTexture(GL_TEXTURE0);
    clear_.background = cache_.bind_texture(*list.clear.background, GL_LINEAR);
    clear_.key = {list.clear.background->id(), list.clear.background->revision(), list.rect, c};
  }
}

void SceneRenderer::flush_clear() {
  if (!clear_due_) return;
  clear_due_ = false;
  mark_dirty(clear_rect_);
  glBindFramebuffer(GL_FRAMEBUFFER, draw_framebuffer());
  set_scissor(clear_rect_);
  const uint32_t color = clear_.color;
  glClearColor(((color >> 16) & 255) / 255.0f, ((color >> 8) & 255) / 255.0f, (color & 255) / 255.0f, 1.0f);
  glDepthMask(GL_TRUE);
  glClearDepth(1.0);
  // The background picture covers the whole rectangle: only depth is
  // cleared under it.
  glClear(clear_.background ? GL_DEPTH_BUFFER_BIT : GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
  if (!clear_.background) return;
  if (!smooth_) {
    backdrop_.draw(target_.framebuffer(), clear_.key, clear_.background, background_);
    return;
  }
  const int k = smooth_->scale;
  Backdrop::Key key = clear_.key;
  for (rm::Rect* r : {&key.rect, &key.clipped}) *r = {r->x * k, r->y * k, r->width * k, r->height * k};
  smooth_->backdrop->draw(smooth_->fbo, key, clear_.background, background_);
}

void SceneRenderer::draw(const rm::RenderList& list) {
  rm::Rect c;
  const bool on_target = clip(list.rect, c);
  if (list.clear.due && on_target) start_clear(list, c);
  if (!list.draw) {
    flush_clear();
    publish_due();
    return;
  }
  if (!all_programs_) {
    // Every combination at the first scene drawn, behind the show's loading
    // screen, rather than the first time a later scene needs one (a hitch
    // in that scene's first tick).
    for (unsigned variant = 0; variant < ScenePrograms::kCount; ++variant) programs_.get(variant);
    all_programs_ = true;
    warm_draw_states(list);
  }
  cache_.next_frame();
  culled_ += list.culled;
  if (!on_target) {
    publish_due();
    return;
  }
  // The front end found a sky wholly in the fog: a clear to the fog colour
  // stands for it and for the clear's own picture.
  const bool cleared = clear_due_;
  if (cleared && list.fog_shell != rm::FogShell::kNone) {
    clear_.background = 0;
    clear_.color = list.fog.color;
    ++fog_shells_;
  }
  flush_clear();
  begin_target(c, cleared);
  begin_list(list);
  if (!occlusion_ready_) warm_occlusion(list);
  draw_opaque(list);
  draw_blended(list);
  restore_state();
  mark_dirty(c);
  publish_due();
  cache_.evict();
}

void SceneRenderer::begin_target(const rm::Rect& c, bool cleared) {
  glBindFramebuffer(GL_FRAMEBUFFER, draw_framebuffer());
  set_scissor(c);
  if (!cleared) {
    glDepthMask(GL_TRUE);
    glClear(GL_DEPTH_BUFFER_BIT);
  }
}

void SceneRenderer::begin_list(const rm::RenderList& list) {
  set_viewport(list.rect);
  ++list_serial_;
  lights_.pack(list.lights, kMaxLights);
  current_ = nullptr;
  forget_state();
  glActiveTexture(GL_TEXTURE0);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glFrontFace(GL_CW);
  glCullFace(GL_BACK);
}

void SceneRenderer::draw_opaque(const rm::RenderList& list) {
  glDisable(GL_BLEND);
  glDepthMask(GL_TRUE);
  const std::vector<size_t>& order = list.opaque_order;
  // The nearer items holding half the triangles are drawn first; the larger
  // of the others are then tested against them and left out when wholly
  // hidden.
  size_t total = 0, drawn = 0, split = 0;
  for (const rm::DrawItem& item : list.items)
    if (item.triangles) total += item.triangles->triangle_count();
  for (; split < order.size() && 2 * drawn < total; ++split) {
    const rm::DrawItem& item = list.items[order[split]];
    if (!item.triangles) continue;
    drawn += item.triangles->triangle_count();
    draw_item(list, item, false);
  }
  const std::vector<bool> hidden = occluded(list, split);
  for (size_t k = split; k < order.size(); ++k)
    if (list.items[order[k]].triangles && !hidden[k - split]) draw_item(list, list.items[order[k]], false);
}

std::vector<bool> SceneRenderer::occluded(const rm::RenderList& list, size_t from) {
  // Items worth a box of twelve triangles and a wait for the frame so far:
  // solid, opaque and not small; and enough of them.
  constexpr size_t kMinTriangles = 256, kMinTotal = 2048;
  const std::vector<size_t>& order = list.opaque_order;
  std::vector<bool> hidden(order.size() - from, false);
#ifdef __EMSCRIPTEN__
  // A page gets a query's answer only after its frame has gone back to the
  // browser, too late to leave an item out: there every item is drawn.
  return hidden;
#endif
  std::vector<size_t> tested;
  std::vector<const rm::DrawItem*> items;
  std::vector<rm::Box> boxes;
  size_t total = 0;
  for (size_t k = from; k < order.size(); ++k) {
    const rm::DrawItem& item = list.items[order[k]];
    if (!item.triangles || !rm::quality::solid(item.quality) || rm::quality::wireframe(item.quality)) continue;
    const rm::TriangleBuffer& tb = *item.triangles;
    if (tb.triangle_count() < kMinTriangles || tb.batches.empty() || tb.batches.back().transparent ||
        !OcclusionTester::testable(list, item, tb.box))
      continue;
    tested.push_back(k - from);
    items.push_back(&item);
    boxes.push_back(tb.box);
    total += tb.triangle_count();
  }
  if (total < kMinTotal) return hidden;
  const std::vector<bool> visible = occlusion_.visible(list, items, boxes);
  for (size_t i = 0; i < tested.size(); ++i)
    if (!visible[i]) {
      hidden[tested[i]] = true;
      ++occluded_;
    }
  // The tester used a program, a vertex array and face culling of its own
  // and turned depth writes off.
  current_ = nullptr;
  forget_state();
  glDepthMask(GL_TRUE);
  return hidden;
}

void SceneRenderer::warm_occlusion(const rm::RenderList& list) {
  occlusion_ready_ = true;
#ifndef __EMSCRIPTEN__
  // With colour and depth writes off, the probe's box changes no pixel.
  rm::DrawItem probe;
  occlusion_.visible(list, {&probe}, {rm::Box{}});
  current_ = nullptr;
  forget_state();
  glDepthMask(GL_TRUE);
#endif
}

void SceneRenderer::warm_draw_states(const rm::RenderList& list) {
  // A white texture as the cache makes them (format, wrap, the list's
  // filter): the texture's kind is part of the state compiled for.
  const GLint filter = list.texture_quality == rm::TextureQuality::Linear ? GL_LINEAR : GL_NEAREST;
  const uint32_t white = 0xFFFFFFFFu;
  GLuint tex = 0;
  glActiveTexture(GL_TEXTURE0);
  glGenTextures(1, &tex);
  glBindTexture(GL_TEXTURE_2D, tex);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_BGRA, GL_UNSIGNED_BYTE, &white);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  // Row-major (uploaded transposed, as the items' matrices are): any point
  // to (4, 4, 0, 1), beyond the view's corner, so the triangle has no area
  // and is clipped away.
  const float collapse[16] = {0, 0, 0, 4, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 1};
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  glBindFramebuffer(GL_FRAMEBUFFER, draw_framebuffer());
  glBindVertexArray(cache_.probe_vao());
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_CULL_FACE);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  for (unsigned variant = 0; variant < ScenePrograms::kCount; ++variant) {
    const SceneProgram& p = programs_.get(variant);
    glUseProgram(p.id);
    glUniformMatrix4fv(p.model, 1, GL_TRUE, collapse);
    glUniformMatrix4fv(p.view, 1, GL_TRUE, identity);
    glUniformMatrix4fv(p.proj, 1, GL_TRUE, identity);
    if (variant & kTextured) glUniform1i(p.tex, 0);
    for (const bool blended : {false, true}) {
      if (blended) {
        glEnable(GL_BLEND);
      } else {
        glDisable(GL_BLEND);
      }
      glDepthMask(blended ? GL_FALSE : GL_TRUE);
      glDrawArrays(GL_TRIANGLES, 0, 3);
    }
  }
  glDisable(GL_BLEND);
  glDepthMask(GL_TRUE);
  glBindVertexArray(0);
  glDeleteTextures(1, &tex);
  current_ = nullptr;
  forget_state();
}

void SceneRenderer::draw_blended(const rm::RenderList& list) {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDepthMask(GL_FALSE);
  for (size_t i : list.blended_order)
    if (i < list.items.size() && list.items[i].triangles) draw_item(list, list.items[i], true);
}

void SceneRenderer::restore_state() {
  glDepthMask(GL_TRUE);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glDisable(GL_SCISSOR_TEST);
  glBindVertexArray(0);
  forget_state();
}

void SceneRenderer::use_program(const rm::RenderList& list, unsigned variant, const rm::DrawItem& item) {
  SceneProgram& p = programs_.get(variant);
  if (current_ != &p) glUseProgram(p.id);
  current_ = &p;
  if (p.list != list_serial_) {
    p.list = list_serial_;
    p.set_list(variant, list, lights_);
  }
  if (p.item != item_serial_) {
    p.item = item_serial_;
    p.set_item(variant, item);
  }
}

void SceneRenderer::draw_elements(GLenum mode, size_t first, size_t count) {
  glDrawElements(mode, static_cast<GLsizei>(count), GL_UNSIGNED_INT, reinterpret_cast<void*>(first * sizeof(uint32_t)));
  ++draw_calls_;
}

void SceneRenderer::draw_item(const rm::RenderList& list, const rm::DrawItem& item, bool blended_pass) {
  const uint32_t q = item.quality;
  const bool flat_shade = rm::quality::flat(q);
  const rm::TriangleBuffer& tb = *item.triangles;
  const bool has_blended = !tb.batches.empty() && tb.batches.back().transparent;
  bind_vertex_array(cache_.mesh(item).vao);
  ++item_serial_;
  const unsigned shading = (rm::quality::lit(q) ? kLit : 0) | (flat_shade ? kFlat : 0) | (list.fog.enabled ? kFog : 0);
  const GLint filter = list.texture_quality == rm::TextureQuality::Linear ? GL_LINEAR : GL_NEAREST;
  const bool solid = rm::quality::solid(q), wire = rm::quality::wireframe(q);
  for (const rm::RenderBatch& b : tb.batches) {
    if (b.transparent != blended_pass || b.count == 0 || (!solid && wire)) continue;
    if (b.texture) bind_texture(*b.texture, filter);
    use_program(list, shading | (b.texture ? kTextured : 0), item);
    if (solid) {
      set_cull(true);
      if (wire) {
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(1.0f, 1.0f);
      }
      draw_elements(GL_TRIANGLES, b.first, b.count);
      if (wire) glDisable(GL_POLYGON_OFFSET_FILL);
    } else {
      draw_elements(GL_POINTS, b.first, b.count);
    }
  }
  if (wire && has_blended == blended_pass && !tb.edges.empty()) {
    set_cull(false);
    use_program(list, shading, item);
    draw_elements(GL_LINES, tb.indices.size(), tb.edges.size());
  }
}

void SceneRenderer::forget_state() { state_ = PassState{}; }

void SceneRenderer::set_cull(bool on) {
  if (state_.cull == (on ? 1 : 0)) return;
  if (on) {
    glEnable(GL_CULL_FACE);
  } else {
    glDisable(GL_CULL_FACE);
  }
  state_.cull = on ? 1 : 0;
}

void SceneRenderer::bind_vertex_array(GLuint vao) {
  if (state_.vao == vao) return;
  glBindVertexArray(vao);
  state_.vao = vao;
}

void SceneRenderer::bind_texture(const rm::Texture& t, GLint filter) {
  // Bound already when the same texture, at the same revision, came last
  // in this pass: binding it again would change nothing.
  if (state_.texture_id == t.id() && state_.texture_revision == t.revision() && state_.filter == filter &&
      state_.texture_bound)
    return;
  cache_.bind_texture(t, filter);
  state_.texture_bound = true;
  state_.texture_id = t.id();
  state_.texture_revision = t.revision();
  state_.filter = filter;
}

}  // namespace quarvel::render
