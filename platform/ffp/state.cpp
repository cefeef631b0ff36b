// GL 1.1's state and its calls: the one state struct, the matrix stacks, the attribute stack,
// immediate mode gathered into blocks, and the one path every recordable call takes: Submit
// records it while a list is being made (lists.cpp) and runs it through Execute otherwise. What
// the layer implements and leaves out: layer.h.
#include "platform/ffp/layer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace ffp {

// ---- globals ----
State gl;
std::vector<Mat4> stacks[2];
bool discarding = false;  // in no attribute group, as in GL

namespace {

// ---- constants ----
constexpr int kMatrixDepth = 32;  // each stack, as GL's minimum for the modelview
constexpr int kAttribDepth = 16;
constexpr float kMaxShininess = 128.0f;
constexpr double kPi = 3.14159265358979323846;

// The GL call each command stands for, for debug builds' error reports.
const char* const kOpCalls[] = {
    "glEnd",        "glColor",      "glNormal",     "glTexCoord",   "glMatrixMode", "glLoadIdentity", "glLoadMatrix",
    "glMultMatrix", "glPushMatrix", "glPopMatrix",  "glTranslate",  "glRotate",     "glScale",        "glMaterial",
    "glLight",      "glLightModel", "glShadeModel", "glCallList",   "glCallLists",  "glListBase",     "glEnable",
    "glDisable",    "glBlendFunc",  "glDepthFunc",  "glDepthMask",  "glLineWidth",  "glClear",        "glClearColor",
    "glClearDepth", "glViewport",   "glScissor",    "glPushAttrib", "glPopAttrib",  "glBindTexture",  "glTexEnvi",
};
static_assert(sizeof kOpCalls / sizeof kOpCalls[0] == static_cast<size_t>(Op::TexEnv) + 1, "one call per command");

// ---- types ----
struct SavedAttrib {
    GLbitfield mask;
    State state;
};

// ---- globals ----
bool started = false;
std::vector<SavedAttrib> attribStack;
GLenum pendingError = GL_NO_ERROR;

// Immediate mode.
bool inBegin = false;
GLenum beginMode = 0;
std::vector<Vertex> primitive;
std::vector<uint8_t> primitiveUnknown;
std::vector<Vertex> expanded;
std::vector<uint8_t> expandedUnknown;

// ---- matrices ----
Mat4 Identity() {
    Mat4 r = {};
    r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1.0f;
    return r;
}

Mat4& Top() { return stacks[gl.matrixMode == GL_PROJECTION ? 1 : 0].back(); }

Mat4 MatrixFrom(const float* f) {
    Mat4 r;
    std::copy_n(f, 16, r.m);
    return r;
}

// GL 1.1's rotation matrix for an angle in degrees about (x, y, z); about one axis its other
// entries are exact.
Mat4 Rotation(float angle, float x, float y, float z) {
    Mat4 r = Identity();
    const double radians = angle * kPi / 180.0;
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

void MultTop(const Mat4& m) { Top() = Multiply(Top(), m); }

void DoTranslate(float x, float y, float z) {
    float* m = Top().m;
    for (int row = 0; row < 4; ++row) m[12 + row] = m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
}

void DoScale(float x, float y, float z) {
    float* m = Top().m;
    for (int row = 0; row < 4; ++row) m[row] *= x, m[4 + row] *= y, m[8 + row] *= z;
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
}

// ---- the initial state ----
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
    StartEs();
}

// ---- state changes ----
bool* EnableFlag(GLenum cap) {
    Enables& e = gl.enables;
    const std::pair<GLenum, bool*> flags[] = {
        {GL_RASTERIZER_DISCARD, &discarding},  {GL_LIGHTING, &e.lighting},
        {GL_TEXTURE_2D, &e.texture2D},         {GL_BLEND, &e.blend},
        {GL_DEPTH_TEST, &e.depthTest},         {GL_SCISSOR_TEST, &e.scissorTest},
        {GL_CULL_FACE, &e.cullFace},           {GL_NORMALIZE, &e.normalize},
        {GL_RESCALE_NORMAL, &e.rescaleNormal}, {GL_FOG, &e.fog},
    };
    for (const auto& flag : flags)
        if (flag.first == cap) return flag.second;
    if (cap >= GL_LIGHT0 && cap < GL_LIGHT0 + kLights) return &gl.lighting.lightOn[cap - GL_LIGHT0];
    return nullptr;
}

void DoEnable(GLenum cap, bool on) {
    bool* flag = EnableFlag(cap);
    if (!flag) return Refuse(GL_INVALID_ENUM, on ? "glEnable" : "glDisable", "capability not emulated");
    *flag = on;
    if (cap == GL_BLEND || cap == GL_DEPTH_TEST || cap == GL_SCISSOR_TEST || cap == GL_CULL_FACE) SetCap(cap, on);
}

Material* Face(GLenum face, int i) {
    if (face == GL_FRONT_AND_BACK) return i == 0 ? &gl.lighting.front : &gl.lighting.back;
    if (i > 0) return nullptr;
    if (face == GL_FRONT) return &gl.lighting.front;
    if (face == GL_BACK) return &gl.lighting.back;
    return nullptr;
}

// The colour a glMaterial or glLight parameter names, or none.
float* ColorParameter(GLenum pname, float* ambient, float* diffuse, float* specular, float* emission) {
    switch (pname) {
    case GL_AMBIENT:
        return ambient;
    case GL_DIFFUSE:
        return diffuse;
    case GL_SPECULAR:
        return specular;
    case GL_EMISSION:
        return emission;
    default:
        return nullptr;
    }
}

void DoMaterial(GLenum face, GLenum pname, const float* v) {
    if (pname == GL_SHININESS && (v[0] < 0.0f || v[0] > kMaxShininess))
        return Refuse(GL_INVALID_VALUE, "glMaterial", "shininess outside 0..128");
    if (face != GL_FRONT && face != GL_BACK && face != GL_FRONT_AND_BACK)
        return Refuse(GL_INVALID_ENUM, "glMaterial", "face");
    for (int i = 0; i < 2; ++i) {
        Material* m = Face(face, i);
        if (!m) break;
        if (float* color = ColorParameter(pname, m->ambient, m->diffuse, m->specular, m->emission))
            std::copy_n(v, 4, color);
        else if (pname == GL_AMBIENT_AND_DIFFUSE)
            std::copy_n(v, 4, m->ambient), std::copy_n(v, 4, m->diffuse);
        else if (pname == GL_SHININESS)
            m->shininess = v[0];
        else
            return Refuse(GL_INVALID_ENUM, "glMaterial", "parameter not emulated");
    }
}

void DoLight(GLenum which, GLenum pname, const float* v) {
    if (which < GL_LIGHT0 || which >= GL_LIGHT0 + kLights) return Refuse(GL_INVALID_ENUM, "glLight", "light");
    Light& l = gl.lighting.lights[which - GL_LIGHT0];
    if (float* color = ColorParameter(pname, l.ambient, l.diffuse, l.specular, nullptr))
        std::copy_n(v, 4, color);
    else if (pname == GL_POSITION)
        Transform(stacks[0].back(), v, l.position), l.position[3] = v[3];
    else if (pname >= GL_CONSTANT_ATTENUATION && pname <= GL_QUADRATIC_ATTENUATION)
        l.attenuation[pname - GL_CONSTANT_ATTENUATION] = v[0];  // constant, linear, quadratic
    else
        return Refuse(GL_INVALID_ENUM, "glLight", "parameter not emulated");
}

void DoClear(GLbitfield mask) {
    if (!discarding) glClear(mask & (GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT));
}

void DoBindTexture(GLenum target, GLuint texture) {
    if (target != GL_TEXTURE_2D) return Refuse(GL_INVALID_ENUM, "glBindTexture", "target");
    gl.texture = texture;
    glBindTexture(GL_TEXTURE_2D, texture);
}

// ---- the attribute stack ----
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
    ApplyEsState();
}

// ---- immediate mode ----
// A current attribute set outside a list is the state; in one, the list's own record.
void SetAttribute(Op op, uint8_t bit, const float* v, int n) {
    Gl();
    if (recording) return RecordAttribute(op, bit, v, n, inBegin);
    std::copy_n(v, n, Field(gl.current, bit));
}

void EmitVertex(float x, float y, float z) {
    if (!inBegin) return Refuse(GL_INVALID_OPERATION, "glVertex", "outside glBegin/glEnd");
    const Current& c = recording ? Recorded() : gl.current;
    Vertex v;
    v.position[0] = x, v.position[1] = y, v.position[2] = z;
    std::copy_n(c.normal, 3, v.normal);
    std::copy_n(c.color, 4, v.color);
    std::copy_n(c.texCoord, 2, v.texCoord);
    primitive.push_back(v);
    if (recording) primitiveUnknown.push_back(RecordedUnknown());
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

Command MatrixCommand(Op op, const Mat4& m) {
    Command c = Make(op);
    std::copy_n(m.m, 16, c.f);
    return c;
}

Command BoxCommand(Op op, GLint x, GLint y, GLsizei width, GLsizei height) {
    return Make(op, 0, 0, 0, static_cast<float>(x), static_cast<float>(y), static_cast<float>(width),
                static_cast<float>(height));
}

}  // namespace

// ---- what the other files share ----
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

#ifndef NDEBUG
void CheckEs(const char* call) {
    for (GLenum e = glGetError(); e != GL_NO_ERROR; e = glGetError())
        fprintf(stderr, "ffp: %s: GL error 0x%04x\n", call, e);
}
#endif

State& Gl() {
    if (!started) Start();
    return gl;
}

Mat4 Multiply(const Mat4& a, const Mat4& b) {
    Mat4 r;
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row)
            r.m[c * 4 + row] = a.m[row] * b.m[c * 4] + a.m[4 + row] * b.m[c * 4 + 1] + a.m[8 + row] * b.m[c * 4 + 2] +
                               a.m[12 + row] * b.m[c * 4 + 3];
    return r;
}

void Transform(const Mat4& m, const float* p, float* out) {
    for (int row = 0; row < 4; ++row)
        out[row] = m.m[row] * p[0] + m.m[4 + row] * p[1] + m.m[8 + row] * p[2] + m.m[12 + row];
}

float* Field(Current& c, uint8_t bit) { return bit == kColorBit ? c.color : bit == kNormalBit ? c.normal : c.texCoord; }

Command Make(Op op, GLenum e0, GLenum e1, GLuint u, float f0, float f1, float f2, float f3) {
    return Command{op, e0, e1, u, {f0, f1, f2, f3}};
}

void LeaveCurrent(const Current& values, uint8_t bits) {
    if (bits & kNormalBit) std::copy_n(values.normal, 3, gl.current.normal);
    if (bits & kColorBit) std::copy_n(values.color, 4, gl.current.color);
    if (bits & kTexCoordBit) std::copy_n(values.texCoord, 2, gl.current.texCoord);
}

void Execute(const Command& c) {
    switch (c.op) {
    case Op::Batch:
        break;  // a block of vertices: played by the list that holds it
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
        Top() = Identity();
        break;
    case Op::LoadMatrix:
        Top() = MatrixFrom(c.f);
        break;
    case Op::MultMatrix:
        MultTop(MatrixFrom(c.f));
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
        std::copy_n(c.f, 4, gl.lighting.modelAmbient);
        break;
    case Op::ShadeModel:
        gl.lighting.shadeModel = c.e0;
        break;
    case Op::CallList:
        CallList(c.u);
        break;
    case Op::CallListOffset:
        CallList(gl.listBase + c.u);
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
            glViewport(box[0], box[1], box[2], box[3]);
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

void Submit(const Command& c) {
    Gl();
    if (recording) return Record(c);
    Execute(c);
    CheckEs(kOpCalls[static_cast<int>(c.op)]);
}

}  // namespace ffp

using namespace ffp;

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
    if (recording) return RecordBlock(mode, expanded, expandedUnknown);
    if (mode) Draw(mode, expanded.data(), static_cast<int>(expanded.size()), 0, 0, 0);
    CheckEs("glEnd");
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
void ffpLoadMatrixf(const GLfloat* m) { Submit(MatrixCommand(Op::LoadMatrix, MatrixFrom(m))); }
void ffpMultMatrixf(const GLfloat* m) { Submit(MatrixCommand(Op::MultMatrix, MatrixFrom(m))); }
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
    Submit(MatrixCommand(Op::MultMatrix, m));
}

// GLU's perspective matrix, worked in double and multiplied in as floats.
void ffpPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    const double radians = fovy / 2.0 * kPi / 180.0;
    const double depth = zFar - zNear, sine = std::sin(radians);
    if (depth == 0.0 || sine == 0.0 || aspect == 0.0) return;
    const double cotangent = std::cos(radians) / sine;
    Mat4 m = {};
    m.m[0] = static_cast<float>(cotangent / aspect);
    m.m[5] = static_cast<float>(cotangent);
    m.m[10] = static_cast<float>(-(zFar + zNear) / depth);
    m.m[11] = -1.0f;
    m.m[14] = static_cast<float>(-2.0 * zNear * zFar / depth);
    Submit(MatrixCommand(Op::MultMatrix, m));
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
    Submit(Make(Op::ShadeModel, mode));
}

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
    Submit(BoxCommand(Op::Viewport, x, y, width, height));
}
void ffpScissor(GLint x, GLint y, GLsizei width, GLsizei height) {
    Submit(BoxCommand(Op::Scissor, x, y, width, height));
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
    NoteTextureImage(gl.texture, format);
    glTexImage2D(target, level, static_cast<GLint>(internal), width, height, border, format, type, pixels);
    CheckEs("glTexImage2D");
}

// The layer draws nothing while it discards, so culling would add nothing.
void DiscardDrawing(bool on) {
    if (on)
        ffpEnable(GL_RASTERIZER_DISCARD);
    else
        ffpDisable(GL_RASTERIZER_DISCARD);
}
