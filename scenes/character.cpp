// Placeholder until the scene is drawn: the frame stays the white prologue.
#include "scenes/scenes.h"

void SceneFigureAway() {}
void SceneFigureFlip() {}
void SceneFigureNodSide() {}
void SceneFigureNodTurn() {}
void SceneMeshSlide() {}
void SceneFigureStride() {}
void SceneStrideCloser() {}
void SceneListingSweep() {}
