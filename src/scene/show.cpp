#include "scene/show.h"

namespace quarvel::scene {
namespace {

template <typename T, size_t N>
void release(Table<T, N>& table) {
  for (size_t i = N; i-- > 0;) table.entries[i].reset();
}

}  // namespace

void Show::release_all() {
  // The last-declared first.
  objet_choisi.reset();
  explosion.focale_frame.reset();
  explosion.focale_anim.reset();
  cam_anim.reset();
  fond_texture.reset();
  cam_path.reset();
  release(explo_anim);
  vaisseau_mesh_c.reset();
  vaisseau_mesh_b.reset();
  vaisseau_mesh_a.reset();
  release(vaisseau_mesh);
  release(vaisseau_frame);
  release(truck_frame);
  release(light_tab);
  release(light_frame);
  release(anim_set);
  release(anim_frame);
  release(wrap_tab);
  release(wrap_mesh);
  release(wrap_texture);
  release(wrap_builder);
  release(wrap_frame);
  release(objet_texture);
  release(objet_mesh);
  release(objet_frame);
  release(scene_frame);
}

}  // namespace quarvel::scene
