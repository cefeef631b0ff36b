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
#include "platform/ffp/ffp.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

// ---- constants ----
constexpr int kMatrixDepth = 32;  // each stack, as GL's minimum for the modelview
constexpr int kAttribDepth = 16;
constexpr int kListNesting = 64;
constexpr int kLights = 8;
constexpr float kMaxShininess = 128.0f;

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

struct SavedAttrib {
    GLbitfield mask;
    State state;
};

// One recorded call of a display list.
enum class Op {
    Batch,  // a glBegin/glEnd block: index into the list's batches
    Color,
    Normal,
    TexCoord,
    MatrixMode,
    LoadIdentity,
    LoadMatrix,  // index into the list's matrices
    MultMatrix,
    PushMatrix,
    PopMatrix,
    Translate,
    Rotate,
    Scale,
    Material,
    Light,
    LightModel,
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

// The GL call each command stands for, for debug builds' error reports.
const char* const kOpCalls[] = {
    "glEnd",        "glColor",      "glNormal",     "glTexCoord",  "glMatrixMode",  "glLoadIdentity", "glLoadMatrix",
    "glMultMatrix", "glPushMatrix", "glPopMatrix",  "glTranslate", "glRotate",      "glScale",        "glMaterial",
    "glLight",      "glLightModel", "glCallList",   "glCallLists", "glListBase",    "glEnable",       "glDisable",
    "glBlendFunc",  "glDepthFunc",  "glDepthMask",  "glLineWidth", "glClear",       "glClearColor",   "glClearDepth",
    "glViewport",   "glScissor",    "glPushAttrib", "glPopAttrib", "glBindTexture", "glTexEnvi",
};
static_assert(sizeof kOpCalls / sizeof kOpCalls[0] == static_cast<size_t>(Op::TexEnv) + 1, "one call per command");

struct Command {
    Op op;
    GLenum e0, e1;
    GLuint u;
    float f[4];
};

// A glBegin/glEnd block of a list, already in the form ES draws.
struct Batch {
    GLenum mode;  // GL_TRIANGLES, GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN or GL_LINES
    int first, count;
    uint8_t allUnknown;   // attributes no vertex of the block sets: the current ones are used
    uint8_t someUnknown;  // attributes some vertices leave to the current state
    uint8_t knownAfter;   // attributes set by the end of the block, current afterwards
    Current after;
    // Drawn indexed when uniqueFirst >= 0: its distinct vertices from there in the list's buffer,
    // after all the recorded ones, and its corners from indexFirst in the list's indices.
    int uniqueFirst = -1;
    int indexFirst = 0;
};

struct List {
    std::vector<Command> commands;
    std::vector<Batch> batches;
    std::vector<Vertex> vertices;
    std::vector<uint8_t> unknown;  // per vertex: attributes it takes from the current state
    std::vector<Mat4> matrices;
    GLuint buffer = 0;  // the vertices, uploaded once
    GLuint indexBuffer = 0;
};

// One compiled variant of the program and what it last received.
struct Program {
    GLuint id = 0;
    GLint mvp, modelView, normalMatrix, sceneColor, ambient, diffuse, specular, lightVec, halfVec, shininess,
        attenuation, texture, textureAlpha;
    unsigned matrixVersion = ~0u, lightingVersion = ~0u;
};

// Variants by state; lit ones also by the kind of light and normalisation, so that no vertex
// pays for a branch the state has already decided.
constexpr unsigned kLitVariant = 1, kTexturedVariant = 2, kLineVariant = 4, kReplaceVariant = 8,
                   kPositionalVariant = 16, kNormalizeVariant = 32, kVariants = 64;

// ---- globals ----
bool started = false;
State gl;
std::vector<Mat4> stacks[2];  // modelview, projection
std::vector<SavedAttrib> attribStack;
unsigned matrixVersion = 1;    // bumped by every change of either stack
unsigned lightingVersion = 1;  // bumped by every change that the lighting uniforms show
GLenum pendingError = GL_NO_ERROR;

// Immediate mode.
bool inBegin = false;
GLenum beginMode = 0;
std::vector<Vertex> primitive;
std::vector<uint8_t> primitiveUnknown;

// Display lists: names index the table; recording state.
std::vector<std::unique_ptr<List>> lists(1);
List* recording = nullptr;
GLuint recordingName = 0;
GLenum recordingMode = 0;
Current recorded;           // the current values as the list being recorded has set them
uint8_t recordedKnown = 0;  // which of them the list has set
int callDepth = 0;
// GL_RASTERIZER_DISCARD: nothing is drawn or cleared, every other effect of a call stays. In no
// attribute group, as in GL.
bool discarding = false;

// ES objects.
Program programs[kVariants];
GLuint boundProgram = 0;
float nativeLineWidth = 1.0f;  // the widest line ES draws itself (WebGL: often 1)
float esLineWidth = 1.0f;
bool linesAsQuads = false;  // tests draw every line as the quads WebGL needs
GLuint streamBuffer = 0;
GLuint lineIndexBuffer = 0;
int lineIndexQuads = 0;
bool arrayEnabled[kAttributes] = {};
// What each attribute array points at, and the constant values given for the disabled ones:
// pointing again at the same place, or giving the same value, would make the driver check the
// arrays again before the next draw.
struct ArrayPointer {
    GLuint buffer;
    GLint size;
    GLsizei stride;
    size_t offset;
};
ArrayPointer arrayPointers[kAttributes] = {};
float constantValues[kAttributes][4] = {};
bool constantGiven[kAttributes] = {};
GLuint arrayBuffer = 0;  // bound to GL_ARRAY_BUFFER
std::vector<Vertex> scratch;
std::vector<GLuint> texturesWithAlpha;  // names whose image has an alpha channel
std::vector<LineVertex> lineScratch;
std::vector<BareLineVertex> bareLineScratch;

// ---- errors ----
void Refuse(GLenum error, const char* call, const char* why) {
    if (pendingError == GL_NO_ERROR) pendingError = error;
#ifndef NDEBUG
    static std::set<std::string> reported;  // once per call and reason: the show repeats them
    if (reported.insert(std::string(call) + why).second)
        fprintf(stderr, "ffp: %s: error 0x%04x (%s)\n", call, error, why);
#else
    (void)call;
    (void)why;
#endif
}

// Debug builds name the call in which ES reported an error.
#ifndef NDEBUG
void CheckEs(const char* call) {
    for (GLenum e = glGetError(); e != GL_NO_ERROR; e = glGetError())
        fprintf(stderr, "ffp: %s: GL error 0x%04x\n", call, e);
}
#else
inline void CheckEs(const char*) {}
#endif

// ---- matrices ----
Mat4 Identity() {
    Mat4 r = {};
    r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1.0f;
    return r;
}

Mat4 Multiply(const Mat4& a, const Mat4& b) {
    Mat4 r;
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row)
            r.m[c * 4 + row] = a.m[row] * b.m[c * 4] + a.m[4 + row] * b.m[c * 4 + 1] + a.m[8 + row] * b.m[c * 4 + 2] +
                               a.m[12 + row] * b.m[c * 4 + 3];
    return r;
}

Mat4& Top() { return stacks[gl.matrixMode == GL_PROJECTION ? 1 : 0].back(); }

void Transform(const Mat4& m, const float* p, float* out) {
    for (int row = 0; row < 4; ++row)
        out[row] = m.m[row] * p[0] + m.m[4 + row] * p[1] + m.m[8 + row] * p[2] + m.m[12 + row];
}

// The normal matrix: the inverse transpose of the modelview's upper 3 x 3. Not normalised: GL
// 1.1 lights the normal as transformed, so a scaled mesh comes out brighter or darker.
void NormalMatrix(const Mat4& mv, float* n) {
    const float a = mv.m[0], b = mv.m[4], c = mv.m[8];
    const float d = mv.m[1], e = mv.m[5], f = mv.m[9];
    const float g = mv.m[2], h = mv.m[6], i = mv.m[10];
    const float A = e * i - f * h, B = f * g - d * i, C = d * h - e * g;
    const float det = a * A + b * B + c * C;
    const float s = det != 0.0f ? 1.0f / det : 0.0f;
    // The inverse transpose is the cofactor matrix over the determinant; stored column-major.
    n[0] = A * s, n[1] = (c * h - b * i) * s, n[2] = (b * f - c * e) * s;
    n[3] = B * s, n[4] = (a * i - c * g) * s, n[5] = (c * d - a * f) * s;
    n[6] = C * s, n[7] = (b * g - a * h) * s, n[8] = (a * e - b * d) * s;
}

void MatrixChanged() { ++matrixVersion; }

// GL 1.1's rotation matrix for an angle in degrees about (x, y, z); about one axis its other
// entries are exact.
Mat4 Rotation(float angle, float x, float y, float z) {
    Mat4 r = Identity();
    const double radians = angle * 3.14159265358979323846 / 180.0;
    const float s = static_cast<float>(std::sin(radians));
    const float c = static_cast<float>(std::cos(radians));
    if (x == 0.0f && y == 0.0f && z != 0.0f) {
        const float t = z < 0.0f ? -s : s;
        r.m[0] = c, r.m[1] = t, r.m[4] = -t, r.m[5] = c;
        return r;
    }
    if (x == 0.0f && z == 0.0f && y != 0.0f) {
        const float t = y < 0.0f ? -s : s;
        r.m[0] = c, r.m[2] = -t, r.m[8] = t, r.m[10] = c;
        return r;
    }
    if (y == 0.0f && z == 0.0f && x != 0.0f) {
        const float t = x < 0.0f ? -s : s;
        r.m[5] = c, r.m[6] = t, r.m[9] = -t, r.m[10] = c;
        return r;
    }
    const float length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0f) return r;
    x /= length, y /= length, z /= length;
    const float k = 1.0f - c;
    r.m[0] = x * x * k + c, r.m[4] = x * y * k - z * s, r.m[8] = x * z * k + y * s;
    r.m[1] = y * x * k + z * s, r.m[5] = y * y * k + c, r.m[9] = y * z * k - x * s;
    r.m[2] = z * x * k - y * s, r.m[6] = z * y * k + x * s, r.m[10] = z * z * k + c;
    return r;
}

void MultTop(const Mat4& m) {
    Top() = Multiply(Top(), m);
    MatrixChanged();
}

void DoTranslate(float x, float y, float z) {
    float* m = Top().m;
    for (int row = 0; row < 4; ++row) m[12 + row] = m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
    MatrixChanged();
}

void DoScale(float x, float y, float z) {
    float* m = Top().m;
    for (int row = 0; row < 4; ++row) m[row] *= x, m[4 + row] *= y, m[8 + row] *= z;
    MatrixChanged();
}

void DoPushMatrix() {
    std::vector<Mat4>& stack = stacks[gl.matrixMode == GL_PROJECTION ? 1 : 0];
    if (stack.size() >= kMatrixDepth) return Refuse(GL_STACK_OVERFLOW, "glPushMatrix", "stack full");
    stack.push_back(stack.back());
}

void DoPopMatrix() {
    std::vector<Mat4>& stack = stacks[gl.matrixMode == GL_PROJECTION ? 1 : 0];
    if (stack.size() <= 1) return Refuse(GL_STACK_UNDERFLOW, "glPopMatrix", "stack empty");
    stack.pop_back();
    MatrixChanged();
}

// ---- ES state that passes through ----
void SetCap(GLenum cap, bool on) {
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}

// Puts everything the layer keeps on ES's side as the state says (start, glPopAttrib).
void ApplyEsState() {
    SetCap(GL_BLEND, gl.enables.blend);
    SetCap(GL_DEPTH_TEST, gl.enables.depthTest);
    SetCap(GL_SCISSOR_TEST, gl.enables.scissorTest);
    SetCap(GL_CULL_FACE, gl.enables.cullFace);
    glBlendFunc(gl.blendSrc, gl.blendDst);
    glDepthFunc(gl.depthFunc);
    glDepthMask(gl.depthMask ? GL_TRUE : GL_FALSE);
    glClearColor(gl.clearColor[0], gl.clearColor[1], gl.clearColor[2], gl.clearColor[3]);
    glClearDepthf(gl.clearDepth);
    glViewport(gl.viewport[0], gl.viewport[1], gl.viewport[2], gl.viewport[3]);
    glScissor(gl.scissor[0], gl.scissor[1], gl.scissor[2], gl.scissor[3]);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, gl.texture);
}

void Set4(float* to, float a, float b, float c, float d) { to[0] = a, to[1] = b, to[2] = c, to[3] = d; }

// GL 1.1's initial state; the viewport and scissor box are the surface ES starts with.
void Start() {
    started = true;
    gl = State{};
    Set4(gl.current.color, 1, 1, 1, 1);
    gl.current.normal[2] = 1.0f;
    for (int i = 0; i < kLights; ++i) {
        Light& l = gl.lighting.lights[i];
        Set4(l.ambient, 0, 0, 0, 1);
        if (i == 0)
            Set4(l.diffuse, 1, 1, 1, 1), Set4(l.specular, 1, 1, 1, 1);
        else
            Set4(l.diffuse, 0, 0, 0, 1), Set4(l.specular, 0, 0, 0, 1);
        Set4(l.position, 0, 0, 1, 0);
        l.attenuation[0] = 1.0f;
    }
    for (Material* m : {&gl.lighting.front, &gl.lighting.back}) {
        Set4(m->ambient, 0.2f, 0.2f, 0.2f, 1);
        Set4(m->diffuse, 0.8f, 0.8f, 0.8f, 1);
        Set4(m->specular, 0, 0, 0, 1);
        Set4(m->emission, 0, 0, 0, 1);
    }
    Set4(gl.lighting.modelAmbient, 0.2f, 0.2f, 0.2f, 1);
    gl.lighting.shadeModel = GL_SMOOTH;
    gl.blendSrc = GL_ONE, gl.blendDst = GL_ZERO;
    gl.depthFunc = GL_LESS, gl.depthMask = true, gl.clearDepth = 1.0f;
    glGetIntegerv(GL_VIEWPORT, gl.viewport);
    std::copy_n(gl.viewport, 4, gl.scissor);
    gl.lineWidth = 1.0f;
    gl.texEnvMode = GL_MODULATE;
    gl.matrixMode = GL_MODELVIEW;
    for (std::vector<Mat4>& s : stacks) s.assign(1, Identity());
    float range[2] = {1.0f, 1.0f};
    glGetFloatv(GL_ALIASED_LINE_WIDTH_RANGE, range);
    nativeLineWidth = range[1];
    glLineWidth(esLineWidth = 1.0f);
    ApplyEsState();
}

State& Gl() {
    if (!started) Start();
    return gl;
}

// ---- the program ----
const char* const kVertexShader = R"(
attribute vec3 a_position;
attribute vec3 a_normal;
attribute vec4 a_color;
attribute vec2 a_texCoord;
uniform mat4 u_mvp;
varying vec4 v_color;
#ifdef LINE
attribute vec4 a_window;
#endif
#ifdef TEXTURED
varying vec2 v_texCoord;
#endif
#ifdef LIT
uniform mat4 u_modelView;
uniform mat3 u_normalMatrix;
uniform vec4 u_sceneColor;   // emission + scene ambient x material ambient; alpha: diffuse alpha
uniform vec3 u_ambient;      // light x material products
uniform vec3 u_diffuse;
uniform vec3 u_specular;
uniform vec4 u_lightVec;     // unit direction to the light; positional: its eye position
uniform vec3 u_halfVec;      // for a directional light, viewer at infinity
uniform float u_shininess;
uniform vec3 u_attenuation;
// GL 1.1's lighting equation for one light, with the normal as transformed.
vec4 Lit() {
    vec3 n = u_normalMatrix * a_normal;
#ifdef NORMALIZE
    n = normalize(n);
#endif
#ifdef POSITIONAL
    vec3 toLight = u_lightVec.xyz - (u_modelView * vec4(a_position, 1.0)).xyz;
    float d = length(toLight);
    vec3 l = toLight / d;
    vec3 h = normalize(l + vec3(0.0, 0.0, 1.0));
    float attenuation = 1.0 / (u_attenuation.x + u_attenuation.y * d + u_attenuation.z * d * d);
#else
    vec3 l = u_lightVec.xyz;
    vec3 h = u_halfVec;
    float attenuation = 1.0;
#endif
    vec3 c = u_ambient;
    float nl = dot(n, l);
    if (nl > 0.0) {
        c += nl * u_diffuse;
        float nh = dot(n, h);
        if (nh > 0.0) c += pow(nh, u_shininess) * u_specular;
    }
    return clamp(vec4(u_sceneColor.rgb + attenuation * c, u_sceneColor.a), 0.0, 1.0);
}
#endif
void main() {
#ifdef LINE
    gl_Position = a_window;
#else
    gl_Position = u_mvp * vec4(a_position, 1.0);
#endif
#ifdef LIT
    v_color = Lit();
#else
    v_color = clamp(a_color, 0.0, 1.0);
#endif
#ifdef TEXTURED
    v_texCoord = a_texCoord;
#endif
}
)";

const char* const kFragmentShader = R"(
#ifdef GL_FRAGMENT_PRECISION_HIGH
precision highp float;
#else
precision mediump float;
#endif
varying vec4 v_color;
#ifdef TEXTURED
uniform sampler2D u_texture;
varying vec2 v_texCoord;
#endif
#ifdef REPLACE
uniform float u_textureAlpha;  // 1 when the texture has alpha, else the fragment keeps its own
#endif
void main() {
#if defined(TEXTURED) && defined(REPLACE)
    vec4 t = texture2D(u_texture, v_texCoord);  // GL_REPLACE
    gl_FragColor = vec4(t.rgb, mix(v_color.a, t.a, u_textureAlpha));
#elif defined(TEXTURED)
    gl_FragColor = v_color * texture2D(u_texture, v_texCoord);  // GL_MODULATE
#else
    gl_FragColor = v_color;
#endif
}
)";

GLuint CompileShader(GLenum type, const std::string& source) {
    GLuint shader = glCreateShader(type);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = "";
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        fprintf(stderr, "ffp: shader does not compile: %s\n", log);
    }
    return shader;
}

Program& ProgramFor(unsigned variant) {
    Program& p = programs[variant];
    if (p.id) return p;
    std::string defines;
    if (variant & kLitVariant) defines += "#define LIT\n";
    if (variant & kTexturedVariant) defines += "#define TEXTURED\n";
    if (variant & kLineVariant) defines += "#define LINE\n";
    if (variant & kReplaceVariant) defines += "#define REPLACE\n";
    if (variant & kPositionalVariant) defines += "#define POSITIONAL\n";
    if (variant & kNormalizeVariant) defines += "#define NORMALIZE\n";
    p.id = glCreateProgram();
    GLuint vs = CompileShader(GL_VERTEX_SHADER, defines + kVertexShader);
    GLuint fs = CompileShader(GL_FRAGMENT_SHADER, defines + kFragmentShader);
    glAttachShader(p.id, vs);
    glAttachShader(p.id, fs);
    const char* names[kAttributes] = {"a_position", "a_normal", "a_color", "a_texCoord", "a_window"};
    for (int a = 0; a < kAttributes; ++a) glBindAttribLocation(p.id, a, names[a]);
    glLinkProgram(p.id);
    GLint ok = 0;
    glGetProgramiv(p.id, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[1024] = "";
        glGetProgramInfoLog(p.id, sizeof log, nullptr, log);
        fprintf(stderr, "ffp: program does not link: %s\n", log);
    }
    glDeleteShader(vs);
    glDeleteShader(fs);
    auto at = [&](const char* name) { return glGetUniformLocation(p.id, name); };
    p.mvp = at("u_mvp"), p.modelView = at("u_modelView"), p.normalMatrix = at("u_normalMatrix");
    p.sceneColor = at("u_sceneColor"), p.ambient = at("u_ambient"), p.diffuse = at("u_diffuse");
    p.specular = at("u_specular"), p.lightVec = at("u_lightVec"), p.halfVec = at("u_halfVec");
    p.shininess = at("u_shininess"), p.attenuation = at("u_attenuation");
    p.texture = at("u_texture"), p.textureAlpha = at("u_textureAlpha");
    glUseProgram(p.id);
    boundProgram = p.id;
    if (p.texture >= 0) glUniform1i(p.texture, 0);
    CheckEs("program set-up");
    return p;
}

bool TextureHasAlpha(GLuint texture) {
    return std::find(texturesWithAlpha.begin(), texturesWithAlpha.end(), texture) != texturesWithAlpha.end();
}

// The light drawn: the lowest enabled one, or none (black, directional).
const Light& ActiveLight() {
    static const Light kDark = {{0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 1, 0}, {1, 0, 0}};
    for (int i = 0; i < kLights; ++i)
        if (gl.lighting.lightOn[i]) return gl.lighting.lights[i];
    return kDark;
}

void Normalize3(float* v) {
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length > 0.0f) v[0] /= length, v[1] /= length, v[2] /= length;
}

// Turns the lighting state into the lit variant's uniforms.
void UploadLighting(const Program& p) {
    const Lighting& L = gl.lighting;
    const Material& m = L.front;  // one-sided lighting: back faces are lit as front faces
    const Light& light = ActiveLight();
    float scene[4], ambient[3], diffuse[3], specular[3];
    for (int c = 0; c < 3; ++c) {
        scene[c] = m.emission[c] + L.modelAmbient[c] * m.ambient[c];
        ambient[c] = light.ambient[c] * m.ambient[c];
        diffuse[c] = light.diffuse[c] * m.diffuse[c];
        specular[c] = light.specular[c] * m.specular[c];
    }
    scene[3] = m.diffuse[3];
    float lightVec[4], halfVec[3] = {0, 0, 1};
    if (light.position[3] == 0.0f) {
        std::copy_n(light.position, 3, lightVec);
        Normalize3(lightVec);
        lightVec[3] = 0.0f;
        halfVec[0] = lightVec[0], halfVec[1] = lightVec[1], halfVec[2] = lightVec[2] + 1.0f;
        Normalize3(halfVec);
    } else {
        for (int c = 0; c < 3; ++c) lightVec[c] = light.position[c] / light.position[3];
        lightVec[3] = 1.0f;
    }
    glUniform4fv(p.sceneColor, 1, scene);
    glUniform3fv(p.ambient, 1, ambient);
    glUniform3fv(p.diffuse, 1, diffuse);
    glUniform3fv(p.specular, 1, specular);
    glUniform4fv(p.lightVec, 1, lightVec);
    glUniform3fv(p.halfVec, 1, halfVec);
    glUniform1f(p.shininess, m.shininess);
    glUniform3fv(p.attenuation, 1, light.attenuation);
}

// Binds the variant for the current state with its uniforms up to date.
void UseProgram(bool line) {
    const bool textured = gl.enables.texture2D && gl.texture != 0;
    const bool replace = textured && gl.texEnvMode == GL_REPLACE;
    unsigned variant = (gl.enables.lighting ? kLitVariant : 0) | (textured ? kTexturedVariant : 0) |
                       (line ? kLineVariant : 0) | (replace ? kReplaceVariant : 0);
    if (gl.enables.lighting) {
        if (ActiveLight().position[3] != 0.0f) variant |= kPositionalVariant;
        if (gl.enables.normalize || gl.enables.rescaleNormal) variant |= kNormalizeVariant;
    }
    Program& p = ProgramFor(variant);
    if (boundProgram != p.id) glUseProgram(p.id), boundProgram = p.id;
    if (p.matrixVersion != matrixVersion) {
        p.matrixVersion = matrixVersion;
        const Mat4 mvp = Multiply(stacks[1].back(), stacks[0].back());
        glUniformMatrix4fv(p.mvp, 1, GL_FALSE, mvp.m);
        if (variant & kLitVariant) {
            float n[9];
            NormalMatrix(stacks[0].back(), n);
            glUniformMatrix3fv(p.normalMatrix, 1, GL_FALSE, n);
            glUniformMatrix4fv(p.modelView, 1, GL_FALSE, stacks[0].back().m);
        }
    }
    if (replace) glUniform1f(p.textureAlpha, TextureHasAlpha(gl.texture) ? 1.0f : 0.0f);
    if ((variant & kLitVariant) && p.lightingVersion != lightingVersion) {
        p.lightingVersion = lightingVersion;
        UploadLighting(p);
    }
}

void BindArrayBuffer(GLuint buffer) {
    if (arrayBuffer != buffer) glBindBuffer(GL_ARRAY_BUFFER, buffer), arrayBuffer = buffer;
}

void PointArray(int attribute, GLint size, GLsizei stride, size_t offset) {
    ArrayPointer& p = arrayPointers[attribute];
    if (p.buffer == arrayBuffer && p.size == size && p.stride == stride && p.offset == offset) return;
    p = {arrayBuffer, size, stride, offset};
    glVertexAttribPointer(attribute, size, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offset));
}

void ConstantAttribute(int attribute, float x, float y, float z, float w) {
    float* c = constantValues[attribute];
    if (constantGiven[attribute] && c[0] == x && c[1] == y && c[2] == z && c[3] == w) return;
    constantGiven[attribute] = true;
    c[0] = x, c[1] = y, c[2] = z, c[3] = w;
    glVertexAttrib4f(attribute, x, y, z, w);
}

// A deleted buffer's name may come back for another: nothing points at it any more.
void DeleteBuffer(GLuint& buffer) {
    if (!buffer) return;
    for (ArrayPointer& p : arrayPointers)
        if (p.buffer == buffer) p = {};
    if (arrayBuffer == buffer) arrayBuffer = 0;
    glDeleteBuffers(1, &buffer);
    buffer = 0;
}

void EnableArray(int attribute, bool on) {
    if (arrayEnabled[attribute] == on) return;
    arrayEnabled[attribute] = on;
    if (on)
        glEnableVertexAttribArray(attribute);
    else
        glDisableVertexAttribArray(attribute);
}

// Points the attributes at the bound buffer (stride and base offset given), or, for those in
// `constant`, at the current state.
void PointAttributes(GLsizei stride, size_t base, uint8_t constant, bool line) {
    const GLint sizes[4] = {3, 3, 4, 2};
    const size_t offsets[4] = {offsetof(Vertex, position), offsetof(Vertex, normal), offsetof(Vertex, color),
                               offsetof(Vertex, texCoord)};
    const uint8_t bits[4] = {0, kNormalBit, kColorBit, kTexCoordBit};
    for (int a = 0; a < 4; ++a) {
        const bool fromState = (constant & bits[a]) != 0;
        EnableArray(a, !fromState);
        if (!fromState) PointArray(a, sizes[a], stride, base + offsets[a]);
    }
    const Current& c = gl.current;
    if (constant & kNormalBit) ConstantAttribute(kNormal, c.normal[0], c.normal[1], c.normal[2], 1.0f);
    if (constant & kColorBit) ConstantAttribute(kColor, c.color[0], c.color[1], c.color[2], c.color[3]);
    if (constant & kTexCoordBit) ConstantAttribute(kTexCoord, c.texCoord[0], c.texCoord[1], 0.0f, 1.0f);
    EnableArray(kWindow, line);
    if (line) PointArray(kWindow, 4, stride, base + offsetof(LineVertex, window));
}

// The bare line's corners: window position and colour. The unused position reads the window
// position too, since WebGL wants attribute 0 fed from an array.
void PointBareLineAttributes() {
    const GLsizei stride = sizeof(BareLineVertex);
    for (int a : {kPosition, kColor, kWindow}) EnableArray(a, true);
    EnableArray(kNormal, false);
    EnableArray(kTexCoord, false);
    PointArray(kPosition, 3, stride, 0);
    PointArray(kWindow, 4, stride, 0);
    PointArray(kColor, 4, stride, offsetof(BareLineVertex, color));
}

void Stream(const void* data, size_t bytes) {
    if (!streamBuffer) glGenBuffers(1, &streamBuffer);
    BindArrayBuffer(streamBuffer);
    // Fresh storage first: refilling storage that queued draws still read would wait for them.
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), nullptr, GL_STREAM_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(bytes), data);
}

// ---- wide lines ----
struct WindowPoint {
    float x, y, z;  // window x and y, normalised device z
    float clip[4];
};

bool InDiamond(float x, float y) {
    return std::fabs(x - std::floor(x) - 0.5f) + std::fabs(y - std::floor(y) - 0.5f) < 0.5f;
}

// The first and last pixel along the major axis (u) that a width-1 line from u0 to u1 draws by
// GL's diamond-exit rule: a pixel is drawn when the line leaves its diamond, so the start pixel
// counts when the line starts inside its diamond, the end pixel not when it ends inside.
bool MajorRange(float u0, float v0, float u1, float v1, bool xMajor, int* first, int* last) {
    const float x0 = xMajor ? u0 : v0, y0 = xMajor ? v0 : u0;
    const float x1 = xMajor ? u1 : v1, y1 = xMajor ? v1 : u1;
    const int i0 = static_cast<int>(std::floor(u0)), i1 = static_cast<int>(std::floor(u1));
    const float c0 = i0 + 0.5f, c1 = i1 + 0.5f;
    if (u1 > u0) {
        *first = (u0 <= c0 || InDiamond(x0, y0)) ? i0 : i0 + 1;
        *last = (u1 > c1 && !InDiamond(x1, y1)) ? i1 : i1 - 1;
        return *last >= *first;
    }
    *first = (u0 >= c0 || InDiamond(x0, y0)) ? i0 : i0 - 1;
    *last = (u1 < c1 && !InDiamond(x1, y1)) ? i1 : i1 + 1;
    return *last <= *first;
}

Vertex Mix(const Vertex& a, const Vertex& b, float t) {
    Vertex r;
    const float* pa = &a.position[0];
    const float* pb = &b.position[0];
    float* pr = &r.position[0];
    for (size_t k = 0; k < sizeof(Vertex) / sizeof(float); ++k) pr[k] = pa[k] + (pb[k] - pa[k]) * t;
    return r;
}

// Clips the segment to the near and far planes in clip coordinates; false when nothing is left.
bool ClipSegment(float* c0, float* c1, float* t0, float* t1) {
    *t0 = 0.0f, *t1 = 1.0f;
    for (int side = -1; side <= 1; side += 2) {
        // Inside where w + side * z >= 0 (near: w + z, far: w - z).
        const float d0 = c0[3] - side * c0[2], d1 = c1[3] - side * c1[2];
        if (d0 < 0 && d1 < 0) return false;
        if (d0 < 0) *t0 = std::max(*t0, d0 / (d0 - d1));
        if (d1 < 0) *t1 = std::min(*t1, d0 / (d0 - d1));
    }
    return *t0 < *t1;
}

// Appends the quad of one segment: its major-axis pixel range widened to the line width in the
// minor direction, placed in window coordinates and handed to the shader in clip coordinates.
void AppendLineQuad(const Vertex& a, const Vertex& b, const Mat4& mvp, float width, bool bare) {
    float ca[4], cb[4];
    Transform(mvp, a.position, ca);
    Transform(mvp, b.position, cb);
    float t0, t1;
    if (!ClipSegment(ca, cb, &t0, &t1)) return;
    float p0[4], p1[4];
    for (int k = 0; k < 4; ++k) p0[k] = ca[k] + (cb[k] - ca[k]) * t0, p1[k] = ca[k] + (cb[k] - ca[k]) * t1;
    const float sx = gl.viewport[2] * 0.5f, tx = gl.viewport[0] + sx;
    const float sy = gl.viewport[3] * 0.5f, ty = gl.viewport[1] + sy;
    if (sx <= 0.0f || sy <= 0.0f) return;  // an empty viewport has no pixels
    const float x0 = p0[0] / p0[3] * sx + tx, y0 = p0[1] / p0[3] * sy + ty, z0 = p0[2] / p0[3];
    const float x1 = p1[0] / p1[3] * sx + tx, y1 = p1[1] / p1[3] * sy + ty, z1 = p1[2] / p1[3];
    const float dx = x1 - x0, dy = y1 - y0;
    if (dx == 0.0f && dy == 0.0f) return;
    const bool xMajor = std::fabs(dx) >= std::fabs(dy);
    const float u0 = xMajor ? x0 : y0, v0 = xMajor ? y0 : x0, u1 = xMajor ? x1 : y1, v1 = xMajor ? y1 : x1;
    int first, last;
    if (!MajorRange(u0, v0, u1, v1, xMajor, &first, &last)) return;
    // Pixel edges, not centres, bound the quad along the major axis: no centre lies on them.
    const float ends[2] = {static_cast<float>(std::min(first, last)), static_cast<float>(std::max(first, last) + 1)};
    for (float u : ends) {
        // A wide line's fragments in one column (row) share the values of the width-1 line's
        // fragment there, which run linearly along the major axis: the corners carry them.
        const float s = (u - u0) / (u1 - u0);  // along the clipped segment
        const float t = t0 + (t1 - t0) * s;    // along the whole segment
        const float v = v0 + (v1 - v0) * s;
        for (float side : {-0.5f, 0.5f}) {
            const float wx = xMajor ? u : v + side * width, wy = xMajor ? v + side * width : u;
            const float window[4] = {(wx - tx) / sx, (wy - ty) / sy, z0 + (z1 - z0) * s, 1.0f};
            if (bare) {
                BareLineVertex corner;
                std::copy_n(window, 4, corner.window);
                for (int c = 0; c < 4; ++c) corner.color[c] = a.color[c] + (b.color[c] - a.color[c]) * t;
                bareLineScratch.push_back(corner);
            } else {
                LineVertex corner;
                corner.v = Mix(a, b, t);
                std::copy_n(window, 4, corner.window);
                lineScratch.push_back(corner);
            }
        }
    }
}

// Two triangles per quad of four corners, as 16-bit indices (WebGL 1 has no 32-bit ones).
void BindLineIndices(int quads) {
    if (!lineIndexBuffer) glGenBuffers(1, &lineIndexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, lineIndexBuffer);
    if (quads <= lineIndexQuads) return;
    lineIndexQuads = quads;
    std::vector<uint16_t> indices;
    indices.reserve(static_cast<size_t>(quads) * 6);
    for (int q = 0; q < quads; ++q) {
        const uint16_t k = static_cast<uint16_t>(q * 4);
        for (int i : {0, 1, 2, 2, 1, 3}) indices.push_back(static_cast<uint16_t>(k + i));
    }
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(uint16_t)), indices.data(),
                 GL_STATIC_DRAW);
}

// Segments as pairs of vertices; attributes in `constant` come from the current state.
void DrawLines(const Vertex* v, int count, uint8_t constant) {
    const Mat4 mvp = Multiply(stacks[1].back(), stacks[0].back());
    const bool bare = !gl.enables.lighting && !(gl.enables.texture2D && gl.texture != 0);
    lineScratch.clear();
    bareLineScratch.clear();
    for (int i = 0; i + 1 < count; i += 2) {
        Vertex a = v[i], b = v[i + 1];
        if (constant) {
            for (Vertex* p : {&a, &b}) {
                if (constant & kNormalBit) std::copy_n(gl.current.normal, 3, p->normal);
                if (constant & kColorBit) std::copy_n(gl.current.color, 4, p->color);
                if (constant & kTexCoordBit) std::copy_n(gl.current.texCoord, 2, p->texCoord);
            }
        }
        AppendLineQuad(a, b, mvp, gl.lineWidth, bare);
    }
    const size_t corners = bare ? bareLineScratch.size() : lineScratch.size();
    if (corners == 0) return;
    UseProgram(true);
    const int maxQuads = 65536 / 4;
    const int quads = static_cast<int>(corners / 4);
    BindLineIndices(std::min(quads, maxQuads));
    for (int done = 0; done < quads; done += maxQuads) {
        const int n = std::min(maxQuads, quads - done);
        const size_t first = static_cast<size_t>(done) * 4;
        if (bare) {
            Stream(&bareLineScratch[first], static_cast<size_t>(n) * 4 * sizeof(BareLineVertex));
            PointBareLineAttributes();
        } else {
            Stream(&lineScratch[first], static_cast<size_t>(n) * 4 * sizeof(LineVertex));
            PointAttributes(sizeof(LineVertex), 0, 0, true);
        }
        glDrawElements(GL_TRIANGLES, n * 6, GL_UNSIGNED_SHORT, nullptr);
    }
}

// ---- drawing: the one place that state turns into a draw ----
// Vertices from `buffer` at `offset` when it is non-zero, else streamed from `v`. With
// `indices` (an element buffer), `count` corners are read from it at `indexOffset`, each
// counted from `offset`; `v` still holds the corners in order, for lines drawn as quads.
void Draw(GLenum mode, const Vertex* v, int count, GLuint buffer, size_t offset, uint8_t constant, GLuint indices = 0,
          size_t indexOffset = 0) {
    if (count <= 0 || discarding) return;
    if (mode == GL_LINES && (linesAsQuads || gl.lineWidth > nativeLineWidth)) return DrawLines(v, count, constant);
    if (mode == GL_LINES && esLineWidth != gl.lineWidth) glLineWidth(esLineWidth = gl.lineWidth);
    UseProgram(false);
    if (buffer) {
        BindArrayBuffer(buffer);
    } else {
        Stream(v, static_cast<size_t>(count) * sizeof(Vertex));
        offset = 0;
    }
    PointAttributes(sizeof(Vertex), offset, constant, false);
    if (indices) {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices);
        glDrawElements(mode, count, GL_UNSIGNED_SHORT, reinterpret_cast<const void*>(indexOffset));
    } else {
        glDrawArrays(mode, 0, count);
    }
}

// A glBegin block in the form ES draws: strips and loops of lines become segments, polygons
// fans, and quads triangle pairs split as the driver splits them: along the 0-2 diagonal when
// drawn at once, along 1-3 when recorded in a list. A quad that is not a parallelogram on screen
// (a glyph's sloped one) shows which: its colours and texture run differently across the two.
GLenum Expand(GLenum mode, bool inList, const std::vector<Vertex>& in, const std::vector<uint8_t>& inUnknown,
              std::vector<Vertex>& out, std::vector<uint8_t>& outUnknown) {
    out.clear();
    outUnknown.clear();
    const int n = static_cast<int>(in.size());
    auto take = [&](int i) {
        out.push_back(in[i]);
        outUnknown.push_back(inUnknown.empty() ? 0 : inUnknown[i]);
    };
    switch (mode) {
    case GL_TRIANGLES:
        for (int i = 0; i + 2 < n; i += 3) take(i), take(i + 1), take(i + 2);
        return GL_TRIANGLES;
    case GL_TRIANGLE_STRIP:
    case GL_QUAD_STRIP:
        for (int i = 0; i < (mode == GL_QUAD_STRIP ? n & ~1 : n); ++i) take(i);
        return n >= 3 ? GL_TRIANGLE_STRIP : 0;
    case GL_TRIANGLE_FAN:
    case GL_POLYGON:
        for (int i = 0; i < n; ++i) take(i);
        return n >= 3 ? GL_TRIANGLE_FAN : 0;
    case GL_QUADS:
        for (int i = 0; i + 3 < n; i += 4) {
            if (inList) {
                take(i), take(i + 1), take(i + 3);
                take(i + 1), take(i + 2), take(i + 3);
            } else {
                take(i), take(i + 1), take(i + 2);
                take(i), take(i + 2), take(i + 3);
            }
        }
        return GL_TRIANGLES;
    case GL_LINES:
        for (int i = 0; i + 1 < n; i += 2) take(i), take(i + 1);
        return GL_LINES;
    case GL_LINE_STRIP:
    case GL_LINE_LOOP:
        for (int i = 0; i + 1 < n; ++i) take(i), take(i + 1);
        if (mode == GL_LINE_LOOP && n > 2) take(n - 1), take(0);
        return GL_LINES;
    default:
        return 0;
    }
}

// ---- display lists: playback ----
void Execute(const Command& c);

// Mesh lists repeat each shared corner once per triangle: indexed, the driver shades every
// distinct vertex once (a third of the vertex work for the show's meshes). The triangles and
// their order are unchanged, and with them the picture.
void IndexBatches(List& list, std::vector<Vertex>& unique, std::vector<uint16_t>& indices) {
    for (Batch& b : list.batches) {
        if ((b.mode != GL_TRIANGLES && b.mode != GL_LINES) || b.count == 0 || (b.someUnknown & ~b.allUnknown)) continue;
        const Vertex* v = list.vertices.data() + b.first;
        std::unordered_map<std::string, uint16_t> seen;
        std::vector<Vertex> distinct;
        std::vector<uint16_t> corners;
        bool fits = true;
        for (int i = 0; i < b.count && fits; ++i) {
            auto found = seen.emplace(std::string(reinterpret_cast<const char*>(&v[i]), sizeof(Vertex)),
                                      static_cast<uint16_t>(distinct.size()));
            if (found.second) {
                fits = distinct.size() < 65535;
                distinct.push_back(v[i]);
            }
            corners.push_back(found.first->second);
        }
        if (!fits || distinct.size() == static_cast<size_t>(b.count)) continue;
        b.uniqueFirst = static_cast<int>(unique.size());
        b.indexFirst = static_cast<int>(indices.size());
        unique.insert(unique.end(), distinct.begin(), distinct.end());
        indices.insert(indices.end(), corners.begin(), corners.end());
    }
}

void UploadList(List& list) {
    std::vector<Vertex> all = list.vertices;
    std::vector<Vertex> unique;
    std::vector<uint16_t> indices;
    IndexBatches(list, unique, indices);
    all.insert(all.end(), unique.begin(), unique.end());
    glGenBuffers(1, &list.buffer);
    BindArrayBuffer(list.buffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(all.size() * sizeof(Vertex)), all.data(), GL_STATIC_DRAW);
    if (indices.empty()) return;
    glGenBuffers(1, &list.indexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, list.indexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(uint16_t)), indices.data(),
                 GL_STATIC_DRAW);
}

void ForgetBuffers(List& list) {
    DeleteBuffer(list.buffer);
    DeleteBuffer(list.indexBuffer);
}

void PlayBatch(List& list, const Batch& b) {
    if (list.buffer == 0 && !list.vertices.empty()) UploadList(list);
    const Vertex* v = list.vertices.data() + b.first;
    if (discarding) {
        // Nothing to draw; what the block leaves current is set below all the same.
    } else if (b.someUnknown & ~b.allUnknown) {
        // Some vertices of the block set an attribute, earlier ones take it from the state.
        scratch.assign(v, v + b.count);
        for (int i = 0; i < b.count; ++i) {
            const uint8_t u = list.unknown[static_cast<size_t>(b.first + i)];
            if (u & kNormalBit) std::copy_n(gl.current.normal, 3, scratch[i].normal);
            if (u & kColorBit) std::copy_n(gl.current.color, 4, scratch[i].color);
            if (u & kTexCoordBit) std::copy_n(gl.current.texCoord, 2, scratch[i].texCoord);
        }
        Draw(b.mode, scratch.data(), b.count, 0, 0, 0);
    } else if (b.uniqueFirst >= 0) {
        Draw(b.mode, v, b.count, list.buffer, (list.vertices.size() + b.uniqueFirst) * sizeof(Vertex), b.allUnknown,
             list.indexBuffer, static_cast<size_t>(b.indexFirst) * sizeof(uint16_t));
    } else {
        Draw(b.mode, v, b.count, list.buffer, static_cast<size_t>(b.first) * sizeof(Vertex), b.allUnknown);
    }
    // What the block set stays current after it.
    if (b.knownAfter & kNormalBit) std::copy_n(b.after.normal, 3, gl.current.normal);
    if (b.knownAfter & kColorBit) std::copy_n(b.after.color, 4, gl.current.color);
    if (b.knownAfter & kTexCoordBit) std::copy_n(b.after.texCoord, 2, gl.current.texCoord);
}

void DoCallList(GLuint name) {
    if (name >= lists.size() || !lists[name]) return;  // an undefined list does nothing
    if (callDepth >= kListNesting) return;
    List& list = *lists[name];
    ++callDepth;
    for (const Command& c : list.commands) {
        if (c.op == Op::Batch) {
            PlayBatch(list, list.batches[c.u]);
        } else if (c.op == Op::LoadMatrix) {
            Top() = list.matrices[c.u];
            MatrixChanged();
        } else if (c.op == Op::MultMatrix) {
            MultTop(list.matrices[c.u]);
        } else {
            Execute(c);
        }
    }
    --callDepth;
}

// ---- state changes ----
bool* EnableFlag(GLenum cap) {
    switch (cap) {
    case GL_RASTERIZER_DISCARD:
        return &discarding;
    case GL_LIGHTING:
        return &gl.enables.lighting;
    case GL_TEXTURE_2D:
        return &gl.enables.texture2D;
    case GL_BLEND:
        return &gl.enables.blend;
    case GL_DEPTH_TEST:
        return &gl.enables.depthTest;
    case GL_SCISSOR_TEST:
        return &gl.enables.scissorTest;
    case GL_CULL_FACE:
        return &gl.enables.cullFace;
    case GL_NORMALIZE:
        return &gl.enables.normalize;
    case GL_RESCALE_NORMAL:
        return &gl.enables.rescaleNormal;
    case GL_FOG:
        return &gl.enables.fog;
    default:
        if (cap >= GL_LIGHT0 && cap < GL_LIGHT0 + kLights) return &gl.lighting.lightOn[cap - GL_LIGHT0];
        return nullptr;
    }
}

void DoEnable(GLenum cap, bool on) {
    bool* flag = EnableFlag(cap);
    if (!flag) return Refuse(GL_INVALID_ENUM, on ? "glEnable" : "glDisable", "capability not emulated");
    *flag = on;
    if (cap == GL_RASTERIZER_DISCARD) return;
    if (cap == GL_BLEND || cap == GL_DEPTH_TEST || cap == GL_SCISSOR_TEST || cap == GL_CULL_FACE)
        SetCap(cap, on);
    else
        ++lightingVersion;  // lights and normalisation are lighting uniforms
}

Material* Face(GLenum face, int i) {
    if (face == GL_FRONT_AND_BACK) return i == 0 ? &gl.lighting.front : &gl.lighting.back;
    if (i > 0) return nullptr;
    if (face == GL_FRONT) return &gl.lighting.front;
    if (face == GL_BACK) return &gl.lighting.back;
    return nullptr;
}

void DoMaterial(GLenum face, GLenum pname, const float* v) {
    if (pname == GL_SHININESS && (v[0] < 0.0f || v[0] > kMaxShininess))
        return Refuse(GL_INVALID_VALUE, "glMaterial", "shininess outside 0..128");
    if (face != GL_FRONT && face != GL_BACK && face != GL_FRONT_AND_BACK)
        return Refuse(GL_INVALID_ENUM, "glMaterial", "face");
    for (int i = 0; i < 2; ++i) {
        Material* m = Face(face, i);
        if (!m) break;
        switch (pname) {
        case GL_AMBIENT:
            std::copy_n(v, 4, m->ambient);
            break;
        case GL_DIFFUSE:
            std::copy_n(v, 4, m->diffuse);
            break;
        case GL_SPECULAR:
            std::copy_n(v, 4, m->specular);
            break;
        case GL_EMISSION:
            std::copy_n(v, 4, m->emission);
            break;
        case GL_AMBIENT_AND_DIFFUSE:
            std::copy_n(v, 4, m->ambient), std::copy_n(v, 4, m->diffuse);
            break;
        case GL_SHININESS:
            m->shininess = v[0];
            break;
        default:
            return Refuse(GL_INVALID_ENUM, "glMaterial", "parameter not emulated");
        }
    }
    ++lightingVersion;
}

void DoLight(GLenum which, GLenum pname, const float* v) {
    if (which < GL_LIGHT0 || which >= GL_LIGHT0 + kLights) return Refuse(GL_INVALID_ENUM, "glLight", "light");
    Light& l = gl.lighting.lights[which - GL_LIGHT0];
    switch (pname) {
    case GL_AMBIENT:
        std::copy_n(v, 4, l.ambient);
        break;
    case GL_DIFFUSE:
        std::copy_n(v, 4, l.diffuse);
        break;
    case GL_SPECULAR:
        std::copy_n(v, 4, l.specular);
        break;
    case GL_POSITION:
        Transform(stacks[0].back(), v, l.position), l.position[3] = v[3];
        break;
    case GL_CONSTANT_ATTENUATION:
        l.attenuation[0] = v[0];
        break;
    case GL_LINEAR_ATTENUATION:
        l.attenuation[1] = v[0];
        break;
    case GL_QUADRATIC_ATTENUATION:
        l.attenuation[2] = v[0];
        break;
    default:
        return Refuse(GL_INVALID_ENUM, "glLight", "parameter not emulated");
    }
    ++lightingVersion;
}

void DoClear(GLbitfield mask) {
    if (!discarding) glClear(mask & (GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT));
}

void DoBindTexture(GLenum target, GLuint texture) {
    if (target != GL_TEXTURE_2D) return Refuse(GL_INVALID_ENUM, "glBindTexture", "target");
    gl.texture = texture;
    glBindTexture(GL_TEXTURE_2D, texture);
}

void DoPushAttrib(GLbitfield mask) {
    if (attribStack.size() >= kAttribDepth) return Refuse(GL_STACK_OVERFLOW, "glPushAttrib", "stack full");
    attribStack.push_back({mask, gl});
}

// Puts back the groups the matching glPushAttrib saved.
void DoPopAttrib() {
    if (attribStack.empty()) return Refuse(GL_STACK_UNDERFLOW, "glPopAttrib", "stack empty");
    const SavedAttrib saved = attribStack.back();
    attribStack.pop_back();
    const State& s = saved.state;
    const GLbitfield m = saved.mask;
    Enables& e = gl.enables;
    if (m & GL_CURRENT_BIT) gl.current = s.current;
    if (m & GL_LIGHTING_BIT) gl.lighting = s.lighting, e.lighting = s.enables.lighting;
    if (m & GL_ENABLE_BIT) e = s.enables, std::copy_n(s.lighting.lightOn, kLights, gl.lighting.lightOn);
    if (m & GL_COLOR_BUFFER_BIT) {
        e.blend = s.enables.blend, gl.blendSrc = s.blendSrc, gl.blendDst = s.blendDst;
        std::copy_n(s.clearColor, 4, gl.clearColor);
    }
    if (m & GL_DEPTH_BUFFER_BIT) {
        e.depthTest = s.enables.depthTest, gl.depthFunc = s.depthFunc;
        gl.depthMask = s.depthMask, gl.clearDepth = s.clearDepth;
    }
    if (m & GL_VIEWPORT_BIT) std::copy_n(s.viewport, 4, gl.viewport);
    if (m & GL_SCISSOR_BIT) e.scissorTest = s.enables.scissorTest, std::copy_n(s.scissor, 4, gl.scissor);
    if (m & GL_POLYGON_BIT) e.cullFace = s.enables.cullFace;
    if (m & GL_LINE_BIT) gl.lineWidth = s.lineWidth;
    if (m & GL_TEXTURE_BIT) gl.texture = s.texture, gl.texEnvMode = s.texEnvMode;
    if (m & GL_LIST_BIT) gl.listBase = s.listBase;
    if (m & GL_TRANSFORM_BIT) {
        gl.matrixMode = s.matrixMode;
        e.normalize = s.enables.normalize, e.rescaleNormal = s.enables.rescaleNormal;
    }
    if (m & GL_FOG_BIT) e.fog = s.enables.fog;
    ++lightingVersion;
    ApplyEsState();
}

void Execute(const Command& c) {
    switch (c.op) {
    case Op::Batch:
    case Op::LoadMatrix:
    case Op::MultMatrix:
        break;  // need the list: played in DoCallList
    case Op::Color:
        std::copy_n(c.f, 4, gl.current.color);
        break;
    case Op::Normal:
        std::copy_n(c.f, 3, gl.current.normal);
        break;
    case Op::TexCoord:
        std::copy_n(c.f, 2, gl.current.texCoord);
        break;
    case Op::MatrixMode:
        gl.matrixMode = c.e0;
        break;
    case Op::LoadIdentity:
        Top() = Identity(), MatrixChanged();
        break;
    case Op::PushMatrix:
        DoPushMatrix();
        break;
    case Op::PopMatrix:
        DoPopMatrix();
        break;
    case Op::Translate:
        DoTranslate(c.f[0], c.f[1], c.f[2]);
        break;
    case Op::Rotate:
        MultTop(Rotation(c.f[0], c.f[1], c.f[2], c.f[3]));
        break;
    case Op::Scale:
        DoScale(c.f[0], c.f[1], c.f[2]);
        break;
    case Op::Material:
        DoMaterial(c.e0, c.e1, c.f);
        break;
    case Op::Light:
        DoLight(c.e0, c.e1, c.f);
        break;
    case Op::LightModel:
        std::copy_n(c.f, 4, gl.lighting.modelAmbient), ++lightingVersion;
        break;
    case Op::CallList:
        DoCallList(c.u);
        break;
    case Op::CallListOffset:
        DoCallList(gl.listBase + c.u);
        break;
    case Op::ListBase:
        gl.listBase = c.u;
        break;
    case Op::Enable:
        DoEnable(c.e0, true);
        break;
    case Op::Disable:
        DoEnable(c.e0, false);
        break;
    case Op::BlendFunc:
        gl.blendSrc = c.e0, gl.blendDst = c.e1, glBlendFunc(c.e0, c.e1);
        break;
    case Op::DepthFunc:
        gl.depthFunc = c.e0, glDepthFunc(c.e0);
        break;
    case Op::DepthMask:
        gl.depthMask = c.u != 0, glDepthMask(c.u ? GL_TRUE : GL_FALSE);
        break;
    case Op::LineWidth:
        gl.lineWidth = c.f[0];
        break;
    case Op::Clear:
        DoClear(c.u);
        break;
    case Op::ClearColor:
        std::copy_n(c.f, 4, gl.clearColor), glClearColor(c.f[0], c.f[1], c.f[2], c.f[3]);
        break;
    case Op::ClearDepth:
        gl.clearDepth = c.f[0], glClearDepthf(c.f[0]);
        break;
    case Op::Viewport:
    case Op::Scissor: {
        GLint* box = c.op == Op::Viewport ? gl.viewport : gl.scissor;
        for (int k = 0; k < 4; ++k) box[k] = static_cast<GLint>(c.f[k]);
        if (c.op == Op::Viewport)
            glViewport(box[0], box[1], box[2], box[3]), ++matrixVersion;
        else
            glScissor(box[0], box[1], box[2], box[3]);
        break;
    }
    case Op::PushAttrib:
        DoPushAttrib(c.u);
        break;
    case Op::PopAttrib:
        DoPopAttrib();
        break;
    case Op::BindTexture:
        DoBindTexture(c.e0, c.u);
        break;
    case Op::TexEnv:
        gl.texEnvMode = c.e0;
        break;
    }
}

// Every recordable call comes through here: recorded while a list is being made, run otherwise.
void Submit(const Command& c) {
    Gl();
    if (recording) {
        recording->commands.push_back(c);
        if (c.op == Op::CallList || c.op == Op::CallListOffset) recordedKnown = 0;  // it may set anything
        return;
    }
    Execute(c);
    CheckEs(kOpCalls[static_cast<int>(c.op)]);
}

Command Make(Op op, GLenum e0 = 0, GLenum e1 = 0, GLuint u = 0, float f0 = 0, float f1 = 0, float f2 = 0,
             float f3 = 0) {
    return Command{op, e0, e1, u, {f0, f1, f2, f3}};
}

// A current attribute set outside glBegin: a command in a list, the state otherwise.
void SetAttribute(Op op, uint8_t bit, const float* v, int n) {
    Gl();
    Current& target = recording ? recorded : gl.current;
    float* to = bit == kColorBit ? target.color : bit == kNormalBit ? target.normal : target.texCoord;
    std::copy_n(v, n, to);
    if (!recording) return;
    recordedKnown |= bit;
    if (inBegin) return;  // inside a block the vertices carry it
    Command c = Make(op);
    std::copy_n(v, n, c.f);
    recording->commands.push_back(c);
}

void EmitVertex(float x, float y, float z) {
    if (!inBegin) return Refuse(GL_INVALID_OPERATION, "glVertex", "outside glBegin/glEnd");
    const Current& c = recording ? recorded : gl.current;
    Vertex v;
    v.position[0] = x, v.position[1] = y, v.position[2] = z;
    std::copy_n(c.normal, 3, v.normal);
    std::copy_n(c.color, 4, v.color);
    std::copy_n(c.texCoord, 2, v.texCoord);
    primitive.push_back(v);
    if (recording) primitiveUnknown.push_back(static_cast<uint8_t>(kCurrentBits & ~recordedKnown));
}

void MatrixCommand(Op op, const Mat4& m) {
    Gl();
    if (recording) {
        recording->matrices.push_back(m);
        recording->commands.push_back(Make(op, 0, 0, static_cast<GLuint>(recording->matrices.size() - 1)));
        return;
    }
    if (op == Op::LoadMatrix)
        Top() = m, MatrixChanged();
    else
        MultTop(m);
}

std::vector<Vertex> expanded;
std::vector<uint8_t> expandedUnknown;

}  // namespace

// ---- immediate mode ----
void ffpBegin(GLenum mode) {
    Gl();
    if (inBegin) return Refuse(GL_INVALID_OPERATION, "glBegin", "inside glBegin/glEnd");
    if (mode == GL_POINTS || mode > GL_POLYGON) return Refuse(GL_INVALID_ENUM, "glBegin", "mode not emulated");
    inBegin = true;
    beginMode = mode;
    primitive.clear();
    primitiveUnknown.clear();
}

void ffpEnd() {
    if (!inBegin) return Refuse(GL_INVALID_OPERATION, "glEnd", "without glBegin");
    inBegin = false;
    if (discarding && !recording) return;  // immediate mode leaves nothing behind but what it drew
    const GLenum mode = Expand(beginMode, recording != nullptr, primitive, primitiveUnknown, expanded, expandedUnknown);
    if (!recording) {
        if (mode) Draw(mode, expanded.data(), static_cast<int>(expanded.size()), 0, 0, 0);
        CheckEs("glEnd");
        return;
    }
    Batch b = {};
    b.mode = mode;
    b.first = static_cast<int>(recording->vertices.size());
    b.count = mode ? static_cast<int>(expanded.size()) : 0;
    b.allUnknown = kCurrentBits;
    for (int i = 0; i < b.count; ++i) b.allUnknown &= expandedUnknown[i], b.someUnknown |= expandedUnknown[i];
    if (b.count == 0) b.allUnknown = 0;
    b.knownAfter = recordedKnown;
    b.after = recorded;
    recording->vertices.insert(recording->vertices.end(), expanded.begin(), expanded.begin() + b.count);
    recording->unknown.insert(recording->unknown.end(), expandedUnknown.begin(), expandedUnknown.begin() + b.count);
    recording->batches.push_back(b);
    recording->commands.push_back(Make(Op::Batch, 0, 0, static_cast<GLuint>(recording->batches.size() - 1)));
}

void ffpVertex2f(GLfloat x, GLfloat y) { EmitVertex(x, y, 0.0f); }
void ffpVertex2i(GLint x, GLint y) { EmitVertex(static_cast<float>(x), static_cast<float>(y), 0.0f); }
void ffpVertex2d(GLdouble x, GLdouble y) { EmitVertex(static_cast<float>(x), static_cast<float>(y), 0.0f); }
void ffpVertex3f(GLfloat x, GLfloat y, GLfloat z) { EmitVertex(x, y, z); }
void ffpVertex3fv(const GLfloat* v) { EmitVertex(v[0], v[1], v[2]); }

void ffpNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    const float v[3] = {x, y, z};
    SetAttribute(Op::Normal, kNormalBit, v, 3);
}
void ffpNormal3fv(const GLfloat* v) { SetAttribute(Op::Normal, kNormalBit, v, 3); }
void ffpTexCoord2f(GLfloat s, GLfloat t) {
    const float v[2] = {s, t};
    SetAttribute(Op::TexCoord, kTexCoordBit, v, 2);
}
void ffpTexCoord2fv(const GLfloat* v) { SetAttribute(Op::TexCoord, kTexCoordBit, v, 2); }
void ffpColor3f(GLfloat r, GLfloat g, GLfloat b) { ffpColor4f(r, g, b, 1.0f); }
void ffpColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    const float v[4] = {r, g, b, a};
    SetAttribute(Op::Color, kColorBit, v, 4);
}

// GL 1.1 defines glRectf as this polygon.
void ffpRectf(GLfloat x1, GLfloat y1, GLfloat x2, GLfloat y2) {
    ffpBegin(GL_POLYGON);
    ffpVertex2f(x1, y1);
    ffpVertex2f(x2, y1);
    ffpVertex2f(x2, y2);
    ffpVertex2f(x1, y2);
    ffpEnd();
}

// ---- matrices ----
void ffpMatrixMode(GLenum mode) {
    if (mode != GL_MODELVIEW && mode != GL_PROJECTION)
        return Refuse(GL_INVALID_ENUM, "glMatrixMode", "only the modelview and projection stacks");
    Submit(Make(Op::MatrixMode, mode));
}
void ffpLoadIdentity() { Submit(Make(Op::LoadIdentity)); }
void ffpLoadMatrixf(const GLfloat* m) {
    Mat4 r;
    std::copy_n(m, 16, r.m);
    MatrixCommand(Op::LoadMatrix, r);
}
void ffpMultMatrixf(const GLfloat* m) {
    Mat4 r;
    std::copy_n(m, 16, r.m);
    MatrixCommand(Op::MultMatrix, r);
}
void ffpPushMatrix() { Submit(Make(Op::PushMatrix)); }
void ffpPopMatrix() { Submit(Make(Op::PopMatrix)); }
void ffpTranslatef(GLfloat x, GLfloat y, GLfloat z) { Submit(Make(Op::Translate, 0, 0, 0, x, y, z)); }
void ffpTranslated(GLdouble x, GLdouble y, GLdouble z) {
    ffpTranslatef(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}
void ffpRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) { Submit(Make(Op::Rotate, 0, 0, 0, angle, x, y, z)); }
void ffpRotated(GLdouble angle, GLdouble x, GLdouble y, GLdouble z) {
    ffpRotatef(static_cast<float>(angle), static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}
void ffpScalef(GLfloat x, GLfloat y, GLfloat z) { Submit(Make(Op::Scale, 0, 0, 0, x, y, z)); }

// GL 1.1's orthographic matrix, from the arguments as floats.
void ffpOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar) {
    const float l = static_cast<float>(left), r = static_cast<float>(right);
    const float b = static_cast<float>(bottom), t = static_cast<float>(top);
    const float n = static_cast<float>(zNear), f = static_cast<float>(zFar);
    if (l == r || b == t || n == f) return Refuse(GL_INVALID_VALUE, "glOrtho", "empty volume");
    Mat4 m = Identity();
    m.m[0] = 2.0f / (r - l), m.m[5] = 2.0f / (t - b), m.m[10] = -2.0f / (f - n);
    m.m[12] = -(r + l) / (r - l), m.m[13] = -(t + b) / (t - b), m.m[14] = -(f + n) / (f - n);
    MatrixCommand(Op::MultMatrix, m);
}

// GLU's perspective matrix, worked in double and multiplied in as floats.
void ffpPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    const double radians = fovy / 2.0 * 3.14159265358979323846 / 180.0;
    const double depth = zFar - zNear, sine = std::sin(radians);
    if (depth == 0.0 || sine == 0.0 || aspect == 0.0) return;
    const double cotangent = std::cos(radians) / sine;
    Mat4 m = {};
    m.m[0] = static_cast<float>(cotangent / aspect);
    m.m[5] = static_cast<float>(cotangent);
    m.m[10] = static_cast<float>(-(zFar + zNear) / depth);
    m.m[11] = -1.0f;
    m.m[14] = static_cast<float>(-2.0 * zNear * zFar / depth);
    MatrixCommand(Op::MultMatrix, m);
}

// ---- lighting ----
void ffpMaterialf(GLenum face, GLenum pname, GLfloat param) {
    if (pname != GL_SHININESS) return Refuse(GL_INVALID_ENUM, "glMaterialf", "only GL_SHININESS takes one value");
    ffpMaterialfv(face, pname, &param);
}
void ffpMaterialfv(GLenum face, GLenum pname, const GLfloat* params) {
    if (inBegin) return Refuse(GL_INVALID_OPERATION, "glMaterial", "inside glBegin/glEnd (not emulated)");
    Command c = Make(Op::Material, face, pname);
    std::copy_n(params, pname == GL_SHININESS ? 1 : 4, c.f);
    Submit(c);
}
void ffpLightf(GLenum light, GLenum pname, GLfloat param) { ffpLightfv(light, pname, &param); }
void ffpLightfv(GLenum light, GLenum pname, const GLfloat* params) {
    const bool vector = pname == GL_AMBIENT || pname == GL_DIFFUSE || pname == GL_SPECULAR || pname == GL_POSITION;
    Command c = Make(Op::Light, light, pname);
    std::copy_n(params, vector ? 4 : 1, c.f);
    Submit(c);
}
void ffpLightModelfv(GLenum pname, const GLfloat* params) {
    if (pname != GL_LIGHT_MODEL_AMBIENT) return Refuse(GL_INVALID_ENUM, "glLightModelfv", "only the ambient");
    Submit(Make(Op::LightModel, 0, 0, 0, params[0], params[1], params[2], params[3]));
}
void ffpShadeModel(GLenum mode) {
    if (mode != GL_SMOOTH) return Refuse(GL_INVALID_ENUM, "glShadeModel", "flat shading not emulated");
    Gl().lighting.shadeModel = mode;
}

// ---- display lists ----
GLuint ffpGenLists(GLsizei range) {
    Gl();
    if (range <= 0) return 0;
    const GLuint first = static_cast<GLuint>(lists.size());
    lists.resize(lists.size() + static_cast<size_t>(range));
    for (GLuint i = first; i < lists.size(); ++i) lists[i] = std::make_unique<List>();
    return first;
}

void ffpDeleteLists(GLuint list, GLsizei range) {
    for (GLsizei i = 0; i < range; ++i) {
        const GLuint name = list + static_cast<GLuint>(i);
        if (name == 0 || name >= lists.size() || !lists[name]) continue;
        ForgetBuffers(*lists[name]);
        lists[name].reset();
    }
}

void ffpNewList(GLuint list, GLenum mode) {
    Gl();
    if (recording) return Refuse(GL_INVALID_OPERATION, "glNewList", "already making a list");
    if (list == 0) return Refuse(GL_INVALID_VALUE, "glNewList", "list 0");
    if (mode != GL_COMPILE && mode != GL_COMPILE_AND_EXECUTE) return Refuse(GL_INVALID_ENUM, "glNewList", "mode");
    recording = new List;
    recordingName = list;
    recordingMode = mode;
    recordedKnown = 0;
}

void ffpEndList() {
    if (!recording) return Refuse(GL_INVALID_OPERATION, "glEndList", "no list being made");
    if (recordingName >= lists.size()) lists.resize(recordingName + 1);
    if (lists[recordingName]) ForgetBuffers(*lists[recordingName]);
    lists[recordingName].reset(recording);
    recording = nullptr;
    if (recordingMode == GL_COMPILE_AND_EXECUTE) DoCallList(recordingName);
}

void ffpCallList(GLuint list) { Submit(Make(Op::CallList, 0, 0, list)); }

void ffpCallLists(GLsizei n, GLenum type, const void* names) {
    for (GLsizei i = 0; i < n; ++i) {
        GLuint id = 0;
        switch (type) {
        case GL_UNSIGNED_BYTE:
            id = static_cast<const GLubyte*>(names)[i];
            break;
        case GL_UNSIGNED_SHORT:
            id = static_cast<const GLushort*>(names)[i];
            break;
        case GL_UNSIGNED_INT:
            id = static_cast<const GLuint*>(names)[i];
            break;
        default:
            return Refuse(GL_INVALID_ENUM, "glCallLists", "type not emulated");
        }
        Submit(Make(Op::CallListOffset, 0, 0, id));
    }
}

void ffpListBase(GLuint base) { Submit(Make(Op::ListBase, 0, 0, base)); }

// ---- state ----
void ffpEnable(GLenum cap) { Submit(Make(Op::Enable, cap)); }
void ffpDisable(GLenum cap) { Submit(Make(Op::Disable, cap)); }
GLboolean ffpIsEnabled(GLenum cap) {
    Gl();
    const bool* flag = EnableFlag(cap);
    return flag && *flag ? GL_TRUE : GL_FALSE;
}
void ffpBlendFunc(GLenum sfactor, GLenum dfactor) { Submit(Make(Op::BlendFunc, sfactor, dfactor)); }
void ffpDepthFunc(GLenum func) { Submit(Make(Op::DepthFunc, func)); }
void ffpDepthMask(GLboolean flag) { Submit(Make(Op::DepthMask, 0, 0, flag)); }
void ffpHint(GLenum, GLenum) {}  // interpolation is perspective-correct throughout
void ffpLineWidth(GLfloat width) {
    if (width <= 0.0f) return Refuse(GL_INVALID_VALUE, "glLineWidth", "width not positive");
    // Aliased lines are drawn at the nearest whole width, at least one pixel.
    Submit(Make(Op::LineWidth, 0, 0, 0, std::max(1.0f, std::floor(width + 0.5f))));
}
void ffpClear(GLbitfield mask) { Submit(Make(Op::Clear, 0, 0, mask)); }
void ffpClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    auto clamp01 = [](float v) { return std::min(1.0f, std::max(0.0f, v)); };
    Submit(Make(Op::ClearColor, 0, 0, 0, clamp01(r), clamp01(g), clamp01(b), clamp01(a)));
}
void ffpClearDepth(GLclampd depth) {
    Submit(Make(Op::ClearDepth, 0, 0, 0, static_cast<float>(std::min(1.0, std::max(0.0, depth)))));
}
void ffpViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    Submit(Make(Op::Viewport, 0, 0, 0, static_cast<float>(x), static_cast<float>(y), static_cast<float>(width),
                static_cast<float>(height)));
}
void ffpScissor(GLint x, GLint y, GLsizei width, GLsizei height) {
    Submit(Make(Op::Scissor, 0, 0, 0, static_cast<float>(x), static_cast<float>(y), static_cast<float>(width),
                static_cast<float>(height)));
}
void ffpPushAttrib(GLbitfield mask) { Submit(Make(Op::PushAttrib, 0, 0, mask)); }
void ffpPopAttrib() { Submit(Make(Op::PopAttrib)); }

void ffpGetIntegerv(GLenum pname, GLint* params) {
    State& s = Gl();
    switch (pname) {
    case GL_VIEWPORT:
        std::copy_n(s.viewport, 4, params);
        break;
    case GL_SCISSOR_BOX:
        std::copy_n(s.scissor, 4, params);
        break;
    case GL_MATRIX_MODE:
        params[0] = static_cast<GLint>(s.matrixMode);
        break;
    case GL_LIST_BASE:
        params[0] = static_cast<GLint>(s.listBase);
        break;
    case GL_TEXTURE_BINDING_2D:
        params[0] = static_cast<GLint>(s.texture);
        break;
    default:
        glGetIntegerv(pname, params);
    }
}

void ffpGetFloatv(GLenum pname, GLfloat* params) {
    State& s = Gl();
    switch (pname) {
    case GL_COLOR_CLEAR_VALUE:
        std::copy_n(s.clearColor, 4, params);
        break;
    case GL_CURRENT_COLOR:
        std::copy_n(s.current.color, 4, params);
        break;
    case GL_CURRENT_NORMAL:
        std::copy_n(s.current.normal, 3, params);
        break;
    case GL_LINE_WIDTH:
        params[0] = s.lineWidth;
        break;
    case GL_MODELVIEW_MATRIX:
        std::copy_n(stacks[0].back().m, 16, params);
        break;
    case GL_PROJECTION_MATRIX:
        std::copy_n(stacks[1].back().m, 16, params);
        break;
    default:
        glGetFloatv(pname, params);
    }
}

GLenum ffpGetError() {
    if (pendingError != GL_NO_ERROR) {
        const GLenum e = pendingError;
        pendingError = GL_NO_ERROR;
        return e;
    }
    return glGetError();
}

void ffpReadBuffer(GLenum mode) {
    if (mode != GL_BACK) Refuse(GL_INVALID_ENUM, "glReadBuffer", "only the back buffer");
}

// ---- textures ----
void ffpTexEnvi(GLenum target, GLenum pname, GLint param) {
    const GLenum mode = static_cast<GLenum>(param);
    if (target != GL_TEXTURE_ENV || pname != GL_TEXTURE_ENV_MODE || (mode != GL_MODULATE && mode != GL_REPLACE))
        return Refuse(GL_INVALID_ENUM, "glTexEnvi", "only GL_MODULATE and GL_REPLACE");
    Submit(Make(Op::TexEnv, mode));
}

void ffpBindTexture(GLenum target, GLuint texture) { Submit(Make(Op::BindTexture, target, 0, texture)); }

// ES takes the internal format as the format itself; GL 1.1's component counts and sized
// formats are named as their format.
void ffpTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height, GLint border,
                   GLenum format, GLenum type, const void* pixels) {
    Gl();
    GLenum internal = static_cast<GLenum>(internalformat);
    if (internal == 3 || internal == GL_RGB8) internal = GL_RGB;
    if (internal == 4 || internal == GL_RGBA8) internal = GL_RGBA;
    if (internal == 1) internal = GL_LUMINANCE;
    if (internal != format) return Refuse(GL_INVALID_OPERATION, "glTexImage2D", "internal format differs");
    texturesWithAlpha.erase(std::remove(texturesWithAlpha.begin(), texturesWithAlpha.end(), gl.texture),
                            texturesWithAlpha.end());
    if (format == GL_RGBA || format == GL_LUMINANCE_ALPHA || format == GL_ALPHA)
        texturesWithAlpha.push_back(gl.texture);
    glTexImage2D(target, level, static_cast<GLint>(internal), width, height, border, format, type, pixels);
    CheckEs("glTexImage2D");
}

void ffpDrawLinesAsQuads(bool on) { linesAsQuads = on; }

// The layer draws nothing while it discards, so culling would add nothing.
void DiscardDrawing(bool on) {
    if (on)
        ffpEnable(GL_RASTERIZER_DISCARD);
    else
        ffpDisable(GL_RASTERIZER_DISCARD);
}
