// The fixed-function layer: the OpenGL 1.1 the program draws with, on OpenGL ES 2.0 / WebGL 1.
// It does two things. Immediate mode (glBegin ... glEnd) is gathered into vertex arrays and drawn
// through one GLSL ES 1.00 program, compiled in a few variants by state (lighting, texture mode,
// wide lines). Display lists are recorded as commands, not only vertices, and played back.
//
// What it implements, by GL 1.1's own rules where they show in the picture:
// - the modelview and projection stacks, glTranslate/Rotate/Scale, glOrtho, gluPerspective;
// - glBegin modes lines, line strip, line loop, triangles, strips, fans, quads (split on the
//   driver's diagonals), quad strips and polygons; glRectf; the current colour, normal and
//   texture coordinate;
// - lighting per vertex: emission + scene ambient + one light's ambient, diffuse and specular
//   (directional or positional with attenuation, viewer at infinity), with the normal
//   transformed but not normalised unless GL_NORMALIZE or GL_RESCALE_NORMAL is on; a shininess
//   outside 0..128 is refused with GL_INVALID_VALUE and the current one kept, also from a list;
// - texture modulate and replace on one 2-D texture; blending, depth test, scissor and culling
//   passed to ES;
// - lines of widths ES draws itself go to ES (the same rasteriser rules); wider ones, and all on
//   WebGL (whose lines are one pixel wide), as one screen-space quad per segment covering the
//   pixels GL 1.1 names: the columns of a width-1 line by the diamond-exit rule, each widened in
//   the minor direction, its fragments sharing the width-1 fragment's colour and texture
//   coordinates;
// - display lists: what a list records is replayed in order (vertices, colours, normals, matrix
//   calls, clears, line widths, materials, enables, nested glCallList). An attribute a list never
//   sets comes from the current state when it is called; what it sets stays current after it;
// - the attribute stack (glPushAttrib/glPopAttrib) over the groups this state has.
//
// What it leaves out, deliberately: fog (glFog state is accepted and has no effect; the show uses
// none); for quad lines, perspective correction along the line and lighting at the line's ends
// (the quad is lit at its corners: the show lights no lines); points, flat shading, colour
// material, spotlights, two-sided lighting, more than one light at a time (the lowest enabled one
// is drawn), texture matrices and texture generation, glMaterial between glBegin and glEnd
// (refused), feedback and selection, accumulation and stencil, glTexImage2D with an internal
// format other than its format. A debug build reports any GL error on stderr with the call that
// raised it.
//
// Its files, by what they speak; this header is what passes between them:
// - state.cpp: GL 1.1's state and its calls: the state struct, the matrix and attribute stacks,
//   immediate mode, and the one path (Submit, Execute) every recordable call takes;
// - lists.cpp: display lists, captured as commands and blocks of vertices, and played back;
// - es.cpp: what ES is told: shader variants, uniforms, attribute arrays and buffers, in one
//   struct of its own; the one place where the state turns into a draw;
// - lines.cpp: lines wider than ES draws, as screen-space quads.
#pragma once
#include "platform/ffp/ffp.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ffp {

// ---- constants ----
constexpr int kLights = 8;

// Vertex attributes, as bound in every program variant.
enum Attribute { kPosition, kNormal, kColor, kTexCoord, kWindow, kAttributes };
// Attributes a list may leave to the current state, as bits.
enum : uint8_t { kNormalBit = 1, kColorBit = 2, kTexCoordBit = 4, kCurrentBits = 7 };

// ---- types ----
struct Mat4 {
    float m[16];  // column-major, as GL stores it
};

struct Vertex {
    float position[3];
    float normal[3];
    float color[4];
    float texCoord[2];
};

// A wide line's corner: the vertex it was made from plus where it lands, in clip coordinates.
struct LineVertex {
    Vertex v;
    float window[4];
};

// The same for an unlit, untextured line, which needs only its colour (half the bytes to stream).
struct BareLineVertex {
    float window[4];
    float color[4];
};

struct Light {
    float ambient[4], diffuse[4], specular[4];
    float position[4];  // in eye coordinates, transformed when set
    float attenuation[3];
};

struct Material {
    float ambient[4], diffuse[4], specular[4], emission[4];
    float shininess;
};

// The whole GL state the layer emulates, grouped as glPushAttrib saves it.
struct Current {  // GL_CURRENT_BIT
    float color[4];
    float normal[3];
    float texCoord[2];
};
struct Lighting {  // GL_LIGHTING_BIT
    Light lights[kLights];
    bool lightOn[kLights];
    Material front, back;
    float modelAmbient[4];
    GLenum shadeModel;
};
struct Enables {       // GL_ENABLE_BIT; each also belongs to the group named beside it
    bool lighting;     // GL_LIGHTING_BIT
    bool texture2D;    // GL_TEXTURE_BIT
    bool blend;        // GL_COLOR_BUFFER_BIT
    bool depthTest;    // GL_DEPTH_BUFFER_BIT
    bool scissorTest;  // GL_SCISSOR_BIT
    bool cullFace;     // GL_POLYGON_BIT
    bool normalize;    // GL_TRANSFORM_BIT
    bool rescaleNormal;
    bool fog;  // GL_FOG_BIT
};
struct State {
    Current current;
    Lighting lighting;
    Enables enables;
    GLenum blendSrc, blendDst;  // GL_COLOR_BUFFER_BIT
    float clearColor[4];
    GLenum depthFunc;  // GL_DEPTH_BUFFER_BIT
    bool depthMask;
    float clearDepth;
    GLint viewport[4];  // GL_VIEWPORT_BIT
    GLint scissor[4];   // GL_SCISSOR_BIT
    float lineWidth;    // GL_LINE_BIT
    GLuint texture;     // GL_TEXTURE_BIT
    GLenum texEnvMode;  // GL_MODULATE or GL_REPLACE
    GLuint listBase;    // GL_LIST_BIT
    GLenum matrixMode;  // GL_TRANSFORM_BIT
};

// One recordable call: run at once, or kept in a display list and run when it is called.
enum class Op {
    Batch,  // a glBegin/glEnd block: index into the list's batches
    Color,
    Normal,
    TexCoord,
    MatrixMode,
    LoadIdentity,
    LoadMatrix,  // the matrix in f
    MultMatrix,
    PushMatrix,
    PopMatrix,
    Translate,
    Rotate,
    Scale,
    Material,
    Light,
    LightModel,
    ShadeModel,
    CallList,
    CallListOffset,  // glCallLists: the name is offset by the list base when called
    ListBase,
    Enable,
    Disable,
    BlendFunc,
    DepthFunc,
    DepthMask,
    LineWidth,
    Clear,
    ClearColor,
    ClearDepth,
    Viewport,
    Scissor,
    PushAttrib,
    PopAttrib,
    BindTexture,
    TexEnv,
};

struct Command {
    Op op;
    GLenum e0, e1;
    GLuint u;
    float f[16];  // values, up to a whole matrix
};

// ---- state.cpp: GL 1.1's state, written only by its calls ----
extern State gl;
extern std::vector<Mat4> stacks[2];  // modelview, projection
extern bool discarding;              // GL_RASTERIZER_DISCARD: nothing is drawn or cleared

State& Gl();  // the state, set to GL 1.1's initial one by the first call
void Refuse(GLenum error, const char* call, const char* why);
#ifndef NDEBUG
void CheckEs(const char* call);  // debug builds name the call in which ES reported an error
#else
inline void CheckEs(const char*) {}
#endif
Mat4 Multiply(const Mat4& a, const Mat4& b);
void Transform(const Mat4& m, const float* p, float* out);
float* Field(Current& c, uint8_t bit);  // the current value one attribute bit names
Command Make(Op op, GLenum e0 = 0, GLenum e1 = 0, GLuint u = 0, float f0 = 0, float f1 = 0, float f2 = 0, float f3 = 0);
void Submit(const Command& c);  // every recordable call: recorded while a list is made, run otherwise
void Execute(const Command& c);
void LeaveCurrent(const Current& values, uint8_t bits);  // what a played block set stays current

// ---- lists.cpp: display lists ----
struct List;
extern List* recording;  // the list being made, or none

void Record(const Command& c);
void RecordAttribute(Op op, uint8_t bit, const float* v, int n, bool inBlock);
const Current& Recorded();  // the current values as the list being made has set them
uint8_t RecordedUnknown();  // the attributes it has not set
void RecordBlock(GLenum mode, const std::vector<Vertex>& vertices, const std::vector<uint8_t>& unknown);
void CallList(GLuint name);

// ---- es.cpp: what ES is told ----
void StartEs();
void ApplyEsState();  // puts everything ES keeps for the layer as the state says
void SetCap(GLenum cap, bool on);
void NoteTextureImage(GLuint texture, GLenum format);
// Vertices from `buffer` at `offset` when it is non-zero, else streamed from `v`. With
// `indices` (an element buffer), `count` corners are read from it at `indexOffset`, each
// counted from `offset`; `v` still holds the corners in order, for lines drawn as quads.
void Draw(GLenum mode, const Vertex* v, int count, GLuint buffer, size_t offset, uint8_t constant, GLuint indices = 0,
          size_t indexOffset = 0);
void UseProgram(bool line);
void Stream(const void* data, size_t bytes);
void PointAttributes(GLsizei stride, size_t base, uint8_t constant, bool line);
void PointBareLineAttributes();
void BindLineIndices(int quads);
GLuint NewBuffer(GLenum target, const void* data, size_t bytes);  // filled once, drawn often
void DeleteBuffer(GLuint& buffer);

// ---- lines.cpp ----
void DrawLines(const Vertex* v, int count, uint8_t constant);  // segments as pairs of vertices

}  // namespace ffp
