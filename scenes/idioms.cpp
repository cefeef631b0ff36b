// Placeholder: the shared scene idioms are filled in with the scenes.
#include "scenes/idioms.h"

void ParticleBackdrop() {}
void ParticleStep() {}
void FadeOutOverlay(float) {}
void TypedTextBlock(const char* const*, int, float, int, float) {}
int TypedTextSlice(const char* const*, int, float, int*) { return 0; }
