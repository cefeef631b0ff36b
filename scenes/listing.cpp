// Typed assembly listing: meshListA close in front, where the sweep of the character act ended,
// and a line-drawing routine typed over it from the top left. Depends on meshListA, palette row 1,
// the shared idioms (typed text block through PrintText).
#include "scenes/listing.h"

#include "platform/gl.h"

#include "geometry/mesh.h"
#include "render/material.h"
#include "scenes/idioms.h"
#include "scenes/scenes.h"
#include "scenes/timeline.h"

// ---- constants ----
constexpr float kListingLeft = 100.0f;  // overlay units
constexpr int kListingTop = 100;        // overlay units, first line's top

// ---- globals ----
const char* const assemblyListing[kAssemblyLines] = {
    "// #BRESENHAM ALGORITHM#",
    "MOV AX, Y1",
    "SUB AX, Y0",
    "JNS ABS_Y_DONE",
    "NEG AX",
    "ABS_Y_DONE:",
    "   ",
    "MOV BX, X1",
    "SUB BX, X0",
    "JNS ABS_X_DONE",
    "NEG BX ",
    "ABS_X_DONE:",
    "   ",
    "CMP AX, BX",
    "JBE ELSE1",
    "; AX > BX",
    "MOV CX, 1",
    "JMP ENDIF1",
    "ELSE1:",
    "; AX <= BX",
    "MOV CX, 0",
    "ENDIF1:",
    "; IF CX THEN ###",
    "   ",
    "BT CX, 0",
    "JNC ELSE2",
    "; SWAP(X0, Y0)",
    "MOV AX, X0",
    "XCHG AX, Y0",
    "MOV X0, AX",
};  // blanks cost a typing step each, like any character

// ---- scenes ----

void SceneAssemblyListing(const SceneFrame& frame) {
    const float r = frame.r;
    ParticleBackdrop();
    glRotatef(180.0f, 0.0f, 1.0f, 0.0f);
    glTranslatef(0.0f, -0.09f, 1.0f);
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
    glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
    glCallList(meshListA);
    glClear(GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    ApplyPaletteMaterial(1);
    TypedTextBlock(assemblyListing, kAssemblyCountedLines, kListingLeft, kListingTop, r);
    glEnable(GL_DEPTH_TEST);
    ParticleStep(frame.frameMs);
}
