// Articulated character: three part lists drawn in four poses under the caller's modelview matrix.
#pragma once

// Compiles the pair, core and top parts, in that order, into their lists.
void BuildFigureLists();

void DrawFigureStill();
void DrawFigureNod(float phase);
void DrawFigureStride(float phase);
void DrawFigureShake(float phase);
