// Sprite particle field: 30 ring sprites drifting upward behind many scenes.
#pragma once

struct Particle {
    float x;         // horizontal centre, view units at depth 1
    float y;         // vertical centre, growing upward
    float halfSize;  // half the sprite's edge
    float speed;     // rise in units per millisecond
};

constexpr int kParticleCount = 30;
extern Particle particles[kParticleCount];

void InitParticles();                  // seeds the generator from the tick count and fills the field
void ReseedParticles();                // fills the field afresh below the view, without reseeding
void UpdateParticles(double frameMs);  // advances the field by the previous frame's duration
void DrawParticles();                  // one quad block at z = -1 of the current matrix, palette row 0
