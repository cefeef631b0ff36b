// Display lists: captured as the commands the calls submit, with each glBegin/glEnd block kept
// as vertices in the form ES draws (uploaded once, at the first playback), and played back in
// order through the same Execute that runs them at once. What a list never sets comes from the
// current state when it is played; what it sets stays current after it.
#include "platform/ffp/layer.h"

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace ffp {

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
    GLuint buffer = 0;             // the vertices, uploaded once
    GLuint indexBuffer = 0;
};

// ---- globals ----
List* recording = nullptr;

namespace {

constexpr int kListNesting = 64;

// Names index the table.
std::vector<std::unique_ptr<List>> lists(1);
GLuint recordingName = 0;
GLenum recordingMode = 0;
Current recorded;           // the current values as the list being recorded has set them
uint8_t recordedKnown = 0;  // which of them the list has set
int callDepth = 0;
std::vector<Vertex> scratch;

// ---- playback ----
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
    list.buffer = NewBuffer(GL_ARRAY_BUFFER, all.data(), all.size() * sizeof(Vertex));
    if (indices.empty()) return;
    list.indexBuffer = NewBuffer(GL_ELEMENT_ARRAY_BUFFER, indices.data(), indices.size() * sizeof(uint16_t));
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
    LeaveCurrent(b.after, b.knownAfter);
}

}  // namespace

// ---- capture ----
void Record(const Command& c) {
    recording->commands.push_back(c);
    if (c.op == Op::CallList || c.op == Op::CallListOffset) recordedKnown = 0;  // it may set anything
}

void RecordAttribute(Op op, uint8_t bit, const float* v, int n, bool inBlock) {
    std::copy_n(v, n, Field(recorded, bit));
    recordedKnown |= bit;
    if (inBlock) return;  // inside a block the vertices carry it
    Command c = Make(op);
    std::copy_n(v, n, c.f);
    recording->commands.push_back(c);
}

const Current& Recorded() { return recorded; }
uint8_t RecordedUnknown() { return static_cast<uint8_t>(kCurrentBits & ~recordedKnown); }

void RecordBlock(GLenum mode, const std::vector<Vertex>& vertices, const std::vector<uint8_t>& unknown) {
    Batch b = {};
    b.mode = mode;
    b.first = static_cast<int>(recording->vertices.size());
    b.count = mode ? static_cast<int>(vertices.size()) : 0;
    b.allUnknown = kCurrentBits;
    for (int i = 0; i < b.count; ++i) b.allUnknown &= unknown[i], b.someUnknown |= unknown[i];
    if (b.count == 0) b.allUnknown = 0;
    b.knownAfter = recordedKnown;
    b.after = recorded;
    recording->vertices.insert(recording->vertices.end(), vertices.begin(), vertices.begin() + b.count);
    recording->unknown.insert(recording->unknown.end(), unknown.begin(), unknown.begin() + b.count);
    recording->batches.push_back(b);
    recording->commands.push_back(Make(Op::Batch, 0, 0, static_cast<GLuint>(recording->batches.size() - 1)));
}

// ---- playback ----
void CallList(GLuint name) {
    if (name >= lists.size() || !lists[name]) return;  // an undefined list does nothing
    if (callDepth >= kListNesting) return;
    List& list = *lists[name];
    ++callDepth;
    for (const Command& c : list.commands) {
        if (c.op == Op::Batch)
            PlayBatch(list, list.batches[c.u]);
        else
            Execute(c);
    }
    --callDepth;
}

}  // namespace ffp

using namespace ffp;

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
    if (recordingMode == GL_COMPILE_AND_EXECUTE) CallList(recordingName);
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
