// One drawing function per timeline window, in timeline order.
#pragma once

// 0-6 s: group logo, title fade-in
void SceneGroupLogo();      // [0, 2000)
void SceneTitle();          // [2000, 6000)
// 6-18 s: pulsing mesh
void SceneMeshSpin();       // [6000, 10000)
void SceneMeshJump();       // [10000, 14000)
void SceneMeshRock();       // [14000, 18000)
// 18-48 s: character act
void SceneFigureAway();     // [18000, 22000)
void SceneFigureFlip();     // [22000, 30000)
void SceneFigureNodSide();  // [30000, 32000)
void SceneFigureNodTurn();  // [32000, 34000)
void SceneMeshSlide();      // [34000, 36000)
void SceneFigureStride();   // [36000, 40000)
void SceneStrideCloser();   // [40000, 44000)
void SceneListingSweep();   // [44000, 48000)
// 48-52 s
void SceneAssemblyListing();  // [48000, 52000)
// 52-72 s: shrinking figure
void SceneShrinkFirst();    // [52000, 54000)
void SceneShrinkFade();     // [54000, 68000)
void SceneShakeOnBlack();   // [68000, 72000)
// 72-86 s
void SceneTunnel();         // [72000, 86000)
// 86-94 s
void SceneTumble();         // [86000, 90000)
void SceneFadeToWhite();    // [90000, 94000)
// 94-124 s
void SceneCredits();        // [94000, 110000)
void SceneGreetings();      // [110000, 124000)

// Persistent spin angle of the pulsing mesh, degrees, +0.1 per frame in windows 3 and 4.
extern float meshSpin;
