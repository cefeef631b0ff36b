// Embedded meshes: compiles the constant mesh records into display lists, with each run's
// material recorded inside the list. Depends on OpenGL 1.1 and the MaterialRow layout.
#include "geometry/mesh.h"

#include "platform/gl.h"

unsigned meshListA = 0;       // 2176-triangle object, listing plate on top
unsigned meshListB = 0;       // 980-triangle pulsing object
unsigned figurePairList = 0;  // character: the part drawn twice
unsigned figureCoreList = 0;  // character: body
unsigned figureTopList = 0;   // character: the sphere on top
unsigned tunnelTubeList = 0;  // tube drawn as one line strip

static GLenum PrimitiveMode(const EmbeddedMesh& mesh) {
    return mesh.primitive == MeshPrimitive::LineStrip ? GL_LINE_STRIP : GL_TRIANGLES;
}

void ApplyMeshMaterial(const EmbeddedMesh& mesh, int row) {
    // Material calls are not allowed inside glBegin/glEnd, so the run's primitive is closed first.
    glEnd();
    ApplyMaterialRow(mesh.materials[row]);
    glBegin(PrimitiveMode(mesh));
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
        for (int c = 0; c < 3; ++c) {
            const float* n = mesh.normals[f.normal[c]];
            const float* t = mesh.texCoords[f.texCoord[c]];
            const float* p = mesh.positions[f.position[c]];
            glNormal3f(n[0], n[1], n[2]);
            glTexCoord2f(t[0], t[1]);
            glVertex3f(p[0], p[1], p[2]);
        }
    }
}

unsigned CompileMesh(const EmbeddedMesh& mesh) {
    const unsigned name = glGenLists(1);
    glNewList(name, GL_COMPILE);
    // Begun at once and closed empty by the first run switch, so every vertex follows a material.
    glBegin(PrimitiveMode(mesh));
    if (mesh.faces16)
        EmitFaces(mesh, mesh.faces16);
    else
        EmitFaces(mesh, mesh.faces8);
    glEnd();
    glEndList();
    return name;
}
