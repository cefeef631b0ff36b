// Placeholder until the scene is drawn: the frame stays the white prologue.
#include "scenes/scenes.h"

void SceneAssemblyListing() {}
