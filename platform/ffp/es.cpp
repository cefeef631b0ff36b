// What ES is told: the GLSL ES program in its variants by state, their uniforms, the attribute
// arrays and the buffers they read, and the ES state the layer passes through. All of it is kept
// in one struct, apart from GL 1.1's state: what ES was last given, so that nothing is given
// twice. A uniform is given when the state it shows differs from what its variant last got, so
// every change of the state reaches ES and nothing else does. Draw is the one place where the
// state turns into a draw.
#include "platform/ffp/layer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace ffp {
namespace {

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

// Variants by state; lit ones also by the kind of light and normalisation, so that no vertex
// pays for a branch the state has already decided.
constexpr unsigned kLitVariant = 1, kTexturedVariant = 2, kLineVariant = 4, kReplaceVariant = 8,
                   kPositionalVariant = 16, kNormalizeVariant = 32, kVariants = 64;

// ---- types ----
// One compiled variant of the program and the state its uniforms were last given from.
struct Program {
    GLuint id = 0;
    GLint mvp, modelView, normalMatrix, sceneColor, ambient, diffuse, specular, lightVec, halfVec, shininess,
        attenuation, texture, textureAlpha;
    bool matricesGiven = false;
    Mat4 modelViewGiven, projectionGiven;
    bool lightingGiven = false;
    Material materialGiven;
    Light lightGiven;
    float modelAmbientGiven[4];
};

// What each attribute array points at.
struct ArrayPointer {
    GLuint buffer;
    GLint size;
    GLsizei stride;
    size_t offset;
};

// Everything the layer has told ES. Pointing an array again at the same place, or giving an
// attribute the same constant value, would make the driver check the arrays again before the
// next draw: so each is given only when it changes.
struct Es {
    Program programs[kVariants];
    GLuint boundProgram = 0;
    float nativeLineWidth = 1.0f;  // the widest line ES draws itself (WebGL: often 1)
    float lineWidth = 1.0f;
    bool linesAsQuads = false;  // tests draw every line as the quads WebGL needs
    GLuint streamBuffer = 0;
    GLuint lineIndexBuffer = 0;
    int lineIndexQuads = 0;
    GLuint arrayBuffer = 0;  // bound to GL_ARRAY_BUFFER
    bool arrayEnabled[kAttributes] = {};
    ArrayPointer arrayPointers[kAttributes] = {};
    float constantValues[kAttributes][4] = {};  // the values of attributes not read from an array
    bool constantGiven[kAttributes] = {};
    std::vector<GLuint> texturesWithAlpha;  // names whose image has an alpha channel
};

// ---- globals ----
Es es;

// ---- local helpers ----
template <typename T>
bool Same(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

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
    Program& p = es.programs[variant];
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
    es.boundProgram = p.id;
    if (p.texture >= 0) glUniform1i(p.texture, 0);
    CheckEs("program set-up");
    return p;
}

bool TextureHasAlpha(GLuint texture) {
    return std::find(es.texturesWithAlpha.begin(), es.texturesWithAlpha.end(), texture) != es.texturesWithAlpha.end();
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

// Gives the variant its matrices when either stack's top has changed since it last got them.
void GiveMatrices(Program& p, unsigned variant) {
    const Mat4& modelView = stacks[0].back();
    const Mat4& projection = stacks[1].back();
    if (p.matricesGiven && Same(p.modelViewGiven, modelView) && Same(p.projectionGiven, projection)) return;
    p.matricesGiven = true, p.modelViewGiven = modelView, p.projectionGiven = projection;
    const Mat4 mvp = Multiply(projection, modelView);
    glUniformMatrix4fv(p.mvp, 1, GL_FALSE, mvp.m);
    if (variant & kLitVariant) {
        float n[9];
        NormalMatrix(modelView, n);
        glUniformMatrix3fv(p.normalMatrix, 1, GL_FALSE, n);
        glUniformMatrix4fv(p.modelView, 1, GL_FALSE, modelView.m);
    }
}

// Turns the lighting state into the lit variant's uniforms, when the material (one-sided: back
// faces are lit as front faces), the light drawn or the scene ambient has changed.
void GiveLighting(Program& p, const Light& light) {
    const Lighting& L = gl.lighting;
    const Material& m = L.front;
    if (p.lightingGiven && Same(p.materialGiven, m) && Same(p.lightGiven, light) &&
        Same(p.modelAmbientGiven, L.modelAmbient))
        return;
    p.lightingGiven = true, p.materialGiven = m, p.lightGiven = light;
    std::copy_n(L.modelAmbient, 4, p.modelAmbientGiven);
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

void BindArrayBuffer(GLuint buffer) {
    if (es.arrayBuffer != buffer) glBindBuffer(GL_ARRAY_BUFFER, buffer), es.arrayBuffer = buffer;
}

void PointArray(int attribute, GLint size, GLsizei stride, size_t offset) {
    ArrayPointer& p = es.arrayPointers[attribute];
    if (p.buffer == es.arrayBuffer && p.size == size && p.stride == stride && p.offset == offset) return;
    p = {es.arrayBuffer, size, stride, offset};
    glVertexAttribPointer(attribute, size, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offset));
}

void ConstantAttribute(int attribute, float x, float y, float z, float w) {
    float* c = es.constantValues[attribute];
    if (es.constantGiven[attribute] && c[0] == x && c[1] == y && c[2] == z && c[3] == w) return;
    es.constantGiven[attribute] = true;
    c[0] = x, c[1] = y, c[2] = z, c[3] = w;
    glVertexAttrib4f(attribute, x, y, z, w);
}

void EnableArray(int attribute, bool on) {
    if (es.arrayEnabled[attribute] == on) return;
    es.arrayEnabled[attribute] = on;
    if (on)
        glEnableVertexAttribArray(attribute);
    else
        glDisableVertexAttribArray(attribute);
}

}  // namespace

// ---- ES state that passes through ----
void SetCap(GLenum cap, bool on) {
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}

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

// After GL 1.1's initial state is set: what ES can draw itself, and ES as that state says.
void StartEs() {
    float range[2] = {1.0f, 1.0f};
    glGetFloatv(GL_ALIASED_LINE_WIDTH_RANGE, range);
    es.nativeLineWidth = range[1];
    glLineWidth(es.lineWidth = 1.0f);
    ApplyEsState();
}

void NoteTextureImage(GLuint texture, GLenum format) {
    std::vector<GLuint>& alpha = es.texturesWithAlpha;
    alpha.erase(std::remove(alpha.begin(), alpha.end(), texture), alpha.end());
    if (format == GL_RGBA || format == GL_LUMINANCE_ALPHA || format == GL_ALPHA) alpha.push_back(texture);
}

// ---- the program ----
// Binds the variant for the current state with its uniforms up to date.
void UseProgram(bool line) {
    const bool textured = gl.enables.texture2D && gl.texture != 0;
    const bool replace = textured && gl.texEnvMode == GL_REPLACE;
    unsigned variant = (gl.enables.lighting ? kLitVariant : 0) | (textured ? kTexturedVariant : 0) |
                       (line ? kLineVariant : 0) | (replace ? kReplaceVariant : 0);
    const Light* light = gl.enables.lighting ? &ActiveLight() : nullptr;
    if (light) {
        if (light->position[3] != 0.0f) variant |= kPositionalVariant;
        if (gl.enables.normalize || gl.enables.rescaleNormal) variant |= kNormalizeVariant;
    }
    Program& p = ProgramFor(variant);
    if (es.boundProgram != p.id) glUseProgram(p.id), es.boundProgram = p.id;
    GiveMatrices(p, variant);
    if (replace) glUniform1f(p.textureAlpha, TextureHasAlpha(gl.texture) ? 1.0f : 0.0f);
    if (light) GiveLighting(p, *light);
}

// ---- arrays and buffers ----
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
    if (!es.streamBuffer) glGenBuffers(1, &es.streamBuffer);
    BindArrayBuffer(es.streamBuffer);
    // Fresh storage first: refilling storage that queued draws still read would wait for them.
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), nullptr, GL_STREAM_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(bytes), data);
}

// Two triangles per quad of four corners, as 16-bit indices (WebGL 1 has no 32-bit ones).
void BindLineIndices(int quads) {
    if (!es.lineIndexBuffer) glGenBuffers(1, &es.lineIndexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, es.lineIndexBuffer);
    if (quads <= es.lineIndexQuads) return;
    es.lineIndexQuads = quads;
    std::vector<uint16_t> indices;
    indices.reserve(static_cast<size_t>(quads) * 6);
    for (int q = 0; q < quads; ++q) {
        const uint16_t k = static_cast<uint16_t>(q * 4);
        for (int i : {0, 1, 2, 2, 1, 3}) indices.push_back(static_cast<uint16_t>(k + i));
    }
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(uint16_t)), indices.data(),
                 GL_STATIC_DRAW);
}

GLuint NewBuffer(GLenum target, const void* data, size_t bytes) {
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    if (target == GL_ARRAY_BUFFER)
        BindArrayBuffer(buffer);
    else
        glBindBuffer(target, buffer);
    glBufferData(target, static_cast<GLsizeiptr>(bytes), data, GL_STATIC_DRAW);
    return buffer;
}

// A deleted buffer's name may come back for another: nothing points at it any more.
void DeleteBuffer(GLuint& buffer) {
    if (!buffer) return;
    for (ArrayPointer& p : es.arrayPointers)
        if (p.buffer == buffer) p = {};
    if (es.arrayBuffer == buffer) es.arrayBuffer = 0;
    glDeleteBuffers(1, &buffer);
    buffer = 0;
}

// ---- drawing: the one place that state turns into a draw ----
void Draw(GLenum mode, const Vertex* v, int count, GLuint buffer, size_t offset, uint8_t constant, GLuint indices,
          size_t indexOffset) {
    if (count <= 0 || discarding) return;
    if (mode == GL_LINES && (es.linesAsQuads || gl.lineWidth > es.nativeLineWidth))
        return DrawLines(v, count, constant);
    if (mode == GL_LINES && es.lineWidth != gl.lineWidth) glLineWidth(es.lineWidth = gl.lineWidth);
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

}  // namespace ffp

void ffpDrawLinesAsQuads(bool on) { ffp::es.linesAsQuads = on; }
