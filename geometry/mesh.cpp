// Embedded meshes: compiles the constant mesh records into display lists, with each run's
// material recorded inside the list. Depends on OpenGL 1.1 and the MaterialRow layout.
#include "geometry/mesh.h"

#include "platform/gl.h"

#include <set>
#include <utility>

unsigned meshListA = 0;       // 2176-triangle object, listing plate on top
unsigned meshListB = 0;       // 980-triangle pulsing object
unsigned figurePairList = 0;  // character: the part drawn twice
unsigned figureCoreList = 0;  // character: body
unsigned figureTopList = 0;   // character: the sphere on top
unsigned tunnelTubeList = 0;  // tube wireframe: the distinct segments of its strip

// A line-strip mesh is recorded as separate segments (see EmitStripSteps).
static GLenum PrimitiveMode(const EmbeddedMesh& mesh) {
    return mesh.primitive == MeshPrimitive::LineStrip ? GL_LINES : GL_TRIANGLES;
}

void ApplyMeshMaterial(const EmbeddedMesh& mesh, int row) {
    // Material calls are not allowed inside glBegin/glEnd, so the run's primitive is closed first.
    glEnd();
    ApplyMaterialRow(mesh.materials[row]);
    glBegin(PrimitiveMode(mesh));
}

struct Corner {
    int position, normal, texCoord;
};

static void EmitCorner(const EmbeddedMesh& mesh, const Corner& corner) {
    const float* n = mesh.normals[corner.normal];
    const float* t = mesh.texCoords[corner.texCoord];
    const float* p = mesh.positions[corner.position];
    glNormal3f(n[0], n[1], n[2]);
    glTexCoord2f(t[0], t[1]);
    glVertex3f(p[0], p[1], p[2]);
}

template <typename Face>
static void EmitFaces(const EmbeddedMesh& mesh, const Face* faces) {
    const MaterialRun* run = mesh.runs;
    int remaining = 0;
    for (int i = 0; i < mesh.faceCount; ++i) {
        if (remaining == 0) {
            ApplyMeshMaterial(mesh, run->material);
            remaining = run->faceCount;
            ++run;
        }
        --remaining;
        const Face& f = faces[i];
        for (int c = 0; c < 3; ++c) EmitCorner(mesh, {f.position[c], f.normal[c], f.texCoord[c]});
    }
}

// Each run's strip through all corners of its faces, three per face, recorded as one segment per
// distinct directed step. The strip walks many edges twice and sometimes stays on one corner: a
// repeated segment adds no pixel and a null one none at all, yet each costs the rasteriser a whole
// line, three times a frame. Both directions of an edge stay where the strip has both, since a
// line's end pixels depend on its direction. The tube's last step is its first along that edge, so
// the list still ends on the last corner's normal and texture coordinate.
template <typename Face>
static void EmitStripSteps(const EmbeddedMesh& mesh, const Face* faces) {
    const MaterialRun* run = mesh.runs;
    int remaining = 0;
    std::set<std::pair<int, int>> drawn;  // (from, to) position indices of this run's segments
    bool runStarted = false;
    Corner previous{0, 0, 0};
    for (int i = 0; i < mesh.faceCount; ++i) {
        if (remaining == 0) {
            ApplyMeshMaterial(mesh, run->material);
            remaining = run->faceCount;
            ++run;
            drawn.clear();
            runStarted = false;  // a new strip: no step from the last run's end
        }
        --remaining;
        const Face& f = faces[i];
        for (int c = 0; c < 3; ++c) {
            const Corner corner{f.position[c], f.normal[c], f.texCoord[c]};
            if (runStarted && corner.position != previous.position &&
                drawn.insert({previous.position, corner.position}).second) {
                EmitCorner(mesh, previous);
                EmitCorner(mesh, corner);
            }
            previous = corner;
            runStarted = true;
        }
    }
}

unsigned CompileMesh(const EmbeddedMesh& mesh) {
    const unsigned name = glGenLists(1);
    glNewList(name, GL_COMPILE);
    // Begun at once and closed empty by the first run switch, so every vertex follows a material.
    glBegin(PrimitiveMode(mesh));
    if (mesh.primitive == MeshPrimitive::LineStrip) {
        if (mesh.faces16)
            EmitStripSteps(mesh, mesh.faces16);
        else
            EmitStripSteps(mesh, mesh.faces8);
    } else if (mesh.faces16) {
        EmitFaces(mesh, mesh.faces16);
    } else {
        EmitFaces(mesh, mesh.faces8);
    }
    glEnd();
    glEndList();
    return name;
}
