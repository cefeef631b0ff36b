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

static GLenum PrimitiveMode(const EmbeddedMesh& mesh)
{
    return mesh.primitive == MeshPrimitive::LineStrip ? GL_LINE_STRIP : GL_TRIANGLES;
}

void ApplyMeshMaterial(const EmbeddedMesh& mesh, int row)
{
    const MaterialRow& m = mesh.materials[row];
    const float ambient[4] = {m.ambient[0], m.ambient[1], m.ambient[2], m.alpha};
    const float diffuse[4] = {m.diffuse[0], m.diffuse[1], m.diffuse[2], m.alpha};
    const float specular[4] = {m.specular[0], m.specular[1], m.specular[2], m.alpha};
    const float emission[4] = {m.emission[0], m.emission[1], m.emission[2], m.alpha};
    // Material calls are not allowed inside glBegin/glEnd, so the run's primitive is closed first.
    glEnd();
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission);
    // Unclamped on purpose: GL rejects values above 128 and the shininess stays as it was.
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, m.shininess);
    glBegin(PrimitiveMode(mesh));
}

template <typename Face>
static void EmitFaces(const EmbeddedMesh& mesh, const Face* faces)
{
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

unsigned CompileMesh(const EmbeddedMesh& mesh)
{
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
