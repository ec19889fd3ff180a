// Which chapter the show plays, read from its step flags: apart from the
// chapters' names so that those need nothing of the show's state.
#include "runner/chapters.h"
#include "scene/show.h"

namespace quarvel::runner {

int current_chapter(const scene::Show& s) {
  // The step each chapter's builder sets, in the chain's order.
  const scene::StepFlag steps[kChapters] = {scene::kOpeningStep,    scene::kForestFlightStep, scene::kForestEdgeStep,
                                            scene::kModelSceneStep, scene::kExplosionStep,    scene::kFinaleStep};
  for (int k = kChapters; k >= 1; --k)
    if (s.chain.Party_actif[steps[k - 1]]) return k;
  return 0;
}

}  // namespace quarvel::runner
