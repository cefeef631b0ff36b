// Embedded meshes: the constant mesh records and the routine that compiles them into display lists.
#pragma once
#include <cstdint>
#include "render/material.h"

// Nine indices per face: positions, normals, texture coordinates of corners 0, 1, 2.
struct MeshFace16 {
    int16_t position[3];
    int16_t normal[3];
    int16_t texCoord[3];
};
struct MeshFace8 {
    uint8_t position[3];
    uint8_t normal[3];
    uint8_t texCoord[3];
};

// `faceCount` consecutive faces drawn with row `material` of the mesh's own table.
struct MaterialRun {
    int32_t material;
    int32_t faceCount;
};

enum class MeshPrimitive { Triangles, LineStrip };

struct EmbeddedMesh {
    const MaterialRow* materials;
    int materialCount;
    const MeshFace16* faces16;  // exactly one of faces16 / faces8 is set
    const MeshFace8* faces8;
    int faceCount;
    const float (*positions)[3];
    int positionCount;
    const float (*normals)[3];
    int normalCount;
    const float (*texCoords)[2];
    int texCoordCount;
    const MaterialRun* runs;
    int runCount;
    MeshPrimitive primitive;
};

// ---- mesh data (geometry/models/, one source each) ----
extern const EmbeddedMesh meshDataA;       // 2176 triangles, four shells, listing plate on top
extern const EmbeddedMesh meshDataB;       // 980 triangles, the pulsing object
extern const EmbeddedMesh figurePairMesh;  // 316 triangles, 8-bit indices
extern const EmbeddedMesh figureCoreMesh;  // 572 triangles
extern const EmbeddedMesh figureTopMesh;   // 960 triangles, the sphere
extern const EmbeddedMesh tunnelTubeMesh;  // 2752 faces, a line strip through their corners

// ---- display-list names, written once at start-up ----
extern unsigned meshListA;
extern unsigned meshListB;
extern unsigned figurePairList;
extern unsigned figureCoreList;
extern unsigned figureTopList;
extern unsigned tunnelTubeList;

// Allocates a list name, records the mesh with its materials, closes the list, returns the name.
// A line-strip mesh is recorded as the distinct directed segments of its strip: the same pixels.
unsigned CompileMesh(const EmbeddedMesh& mesh);
// Run switch inside CompileMesh: ends the open primitive, sets the row's material, begins anew.
void ApplyMeshMaterial(const EmbeddedMesh& mesh, int row);
