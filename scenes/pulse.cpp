// Placeholder until the scene is drawn: the frame stays the white prologue.
#include "scenes/scenes.h"

float meshSpin = 0.0f;  // degrees, +0.1 per frame in the first two mesh scenes

void SceneMeshSpin() {}
void SceneMeshJump() {}
void SceneMeshRock() {}
