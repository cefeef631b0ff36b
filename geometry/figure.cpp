// Articulated character: the three part lists placed and turned by four poses. Each pose draws
// top, core, first pair copy, second pair copy under the caller's modelview matrix and leaves
// the matrix as it found it. Depends on the part lists compiled by geometry/mesh.cpp.
#include "geometry/figure.h"

#include "platform/gl.h"

#include <cmath>

#include "geometry/mesh.h"
#include "render/angles.h"

// Part offsets: a hundredth of each part's bounding-box centre, plus the pair's side shift.
static const float topOffsetZ = 0.00231824f;
static const float coreOffsetY = -0.000280057f;
static const float coreOffsetZ = -0.00297163f;
static const float pairOffsetX = -0.00226645f;
static const float pairOffsetY = -0.000234543f;
static const float pairOffsetZ = -0.00137762f;
static const float pairSideShift = 0.226645f;  // pair centre to the x = 0 plane
static const float strideSideShift = 0.1234543f;
static const double swingRate = 7.2 * kPi;  // radians per unit of phase: 3.6 swings

void BuildFigureLists() {
    figurePairList = CompileMesh(figurePairMesh);
    figureCoreList = CompileMesh(figureCoreMesh);
    figureTopList = CompileMesh(figureTopMesh);
}

static float NodAngle(float phase) { return static_cast<float>(20.0 * (1.0 - std::cos(kTwoPi * phase))); }

static void DrawTop(int axis, float angle) {
    glPushMatrix();
    if (axis == 0) glRotatef(angle, 1.0f, 0.0f, 0.0f);
    if (axis == 1) glRotatef(angle, 0.0f, 1.0f, 0.0f);
    glTranslatef(0.0f, 0.0f, topOffsetZ);
    glCallList(figureTopList);
    glPopMatrix();
}

static void DrawCore() {
    glPushMatrix();
    glTranslatef(0.0f, coreOffsetY, coreOffsetZ);
    glCallList(figureCoreList);
    glPopMatrix();
}

// Still and nod: the second copy is carried across to +x by two translations, not mirrored.
static void DrawPairsAtRest() {
    glPushMatrix();
    glTranslatef(pairOffsetX, pairOffsetY, pairOffsetZ);
    glCallList(figurePairList);
    glPopMatrix();
    glPushMatrix();
    glTranslatef(pairSideShift, 0.0f, 0.0f);
    glTranslatef(pairSideShift, pairOffsetY, pairOffsetZ);
    glCallList(figurePairList);
    glPopMatrix();
}

void DrawFigureStill() {
    glPushMatrix();
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    DrawTop(-1, 0.0f);
    DrawCore();
    DrawPairsAtRest();
    glPopMatrix();
}

void DrawFigureNod(float phase) {
    glPushMatrix();
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    DrawTop(0, NodAngle(phase));
    DrawCore();
    DrawPairsAtRest();
    glPopMatrix();
}

void DrawFigureStride(float phase) {
    const double s = phase * swingRate;
    glPushMatrix();
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    DrawTop(0, NodAngle(phase));
    DrawCore();
    // Both copies a quarter turn round, side by side; the second a quarter swing ahead.
    glPushMatrix();
    glRotatef(90.0f, 0.0f, 0.0f, 1.0f);
    glTranslatef(0.0f, strideSideShift, 0.0f);
    glTranslatef(pairOffsetX, 0.0f, pairOffsetZ);
    glRotatef(static_cast<float>(15.0 * std::cos(s)), 0.0f, 1.0f, 0.0f);
    glCallList(figurePairList);
    glPopMatrix();
    glPushMatrix();
    glRotatef(90.0f, 0.0f, 0.0f, 1.0f);
    glTranslatef(0.0f, -strideSideShift, 0.0f);
    glTranslatef(pairOffsetX, 0.0f, pairOffsetZ);
    glRotatef(static_cast<float>(15.0 * std::cos(s + kHalfPi)), 0.0f, 1.0f, 0.0f);
    glCallList(figurePairList);
    glPopMatrix();
    glPopMatrix();
}

void DrawFigureShake(float phase) {
    const double s = phase * swingRate;
    glPushMatrix();
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    DrawTop(1, static_cast<float>(-20.0 * std::cos(kTwoPi * phase)));
    DrawCore();
    glPushMatrix();
    glTranslatef(pairOffsetX, pairOffsetY, pairOffsetZ);
    glRotatef(static_cast<float>(12.0 * std::cos(s)), 0.0f, 1.0f, 0.0f);
    glCallList(figurePairList);
    glPopMatrix();
    // The second copy reaches +x by a half turn, so its swing turns the other way.
    glPushMatrix();
    glRotatef(180.0f, 0.0f, 0.0f, 1.0f);
    glTranslatef(-pairOffsetX, pairOffsetY, pairOffsetZ);
    glRotatef(static_cast<float>(12.0 * std::cos(s + kHalfPi)), 0.0f, 1.0f, 0.0f);
    glCallList(figurePairList);
    glPopMatrix();
    glPopMatrix();
}
