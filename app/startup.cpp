// Scene start-up: fixed GL state, textures, display lists, particles, the light, glyphs, audio.
#include "app/startup.h"

#include "platform/gl.h"

#include <cstdio>
#include <string>

#include "app/messages.h"
#include "geometry/figure.h"
#include "geometry/mesh.h"
#include "render/font.h"
#include "render/particles.h"
#include "scenes/timeline.h"

// ---- audio ----
HSTREAM musicStream = 0;    // the soundtrack, 0 = none
bool musicStarted = false;  // set by the first play request

// ---- light 1 ----
static const float kLightAmbient[4] = {1.0f, 1.0f, 1.0f, 1.0f};
static const float kLightDiffuse[4] = {0.9f, 0.9f, 1.0f, 1.0f};

struct TextureFile {
    Texture* slot;
    const char* path;
};
// Loaded in this order; the ring comes later, with a message of its own.
static const TextureFile kTextureFiles[] = {
    {&demoLogoTex, "data\\demologo.tga"},
    {&demoLogoSubTex, "data\\demologo_sub.tga"},
    {&blinkyTex, "data\\blinky.tga"},
    {&pinkyTex, "data\\pinky.tga"},
    {&inkeyTex, "data\\inkey.tga"},
    {&clydeTex, "data\\clyde.tga"},
    {&zubTex, "data\\zub.tga"},
    {&pacmanTex, "data\\pacman.tga"},
    {&marCastleTex, "data\\mar_castle.tga"},
    {&marTubeTex, "data\\mar_tube.tga"},
    {&marShroomTex, "data\\mar_shroom.tga"},
    {&marStarTex, "data\\mar_star.tga"},
    {&marMarioTex, "data\\mar_mario.tga"},
    {&groupLogoTex, "data\\vok.tga"},
    {&fontTex, "data\\font.tga"},
};

// One line naming a data file that was found but refused, and what is wrong with it, beside the
// design's empty box. A file found nowhere has had its line from the lookup.
static void NoteDataFault(const std::string& fault) {
    if (!fault.empty()) fprintf(stderr, "data: %s\n", fault.c_str());
}

static bool LoadTexture(Texture& slot, const char* path) {
    std::string fault;
    bool loaded = LoadTgaTexture(slot, path, &fault);
    NoteDataFault(fault);
    return loaded;
}

bool InitScene() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_TEXTURE_2D);

    for (const TextureFile& f : kTextureFiles)
        if (!LoadTexture(*f.slot, f.path)) ShowMessage(Message::TextureMissing);

    meshListB = CompileMesh(meshDataB);
    BuildFigureLists();
    meshListA = CompileMesh(meshDataA);
    tunnelTubeList = CompileMesh(tunnelTubeMesh);

    InitParticles();
    glShadeModel(GL_SMOOTH);
    if (!LoadTexture(ringTex, "data\\ring.tga")) ShowMessage(Message::RingMissing);

    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);

    glLightfv(GL_LIGHT1, GL_AMBIENT, kLightAmbient);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, kLightDiffuse);
    glEnable(GL_LIGHT1);
    glEnable(GL_LIGHTING);

    BuildGlyphLists();
    InitAudio();
    return true;
}

void InitAudio() {
    if ((BASS_GetVersion() >> 16) != 0x0203) ShowMessage(Message::WrongAudioVersion);
    BASS_Init(-1, 44100, 0, nullptr, nullptr);
    musicStream = BASS_StreamCreateFile(false, "data\\brimvale.mp3", 0, 0, 0);
    if (musicStream == 0) {
        NoteDataFault(StreamRefusal());
        ShowMessage(Message::MusicMissing);
    }
    musicStarted = false;
}

void StartMusicOnce() {
    if (musicStarted) return;
    musicStarted = true;
    BASS_ChannelPlay(musicStream, false);
}

void StartMusicWithTitle(double timeMs) {
    if (timeMs >= WindowStart(kMusicWindow)) StartMusicOnce();
}

void ResetMusic() {
    musicStarted = false;
    MusicStop();
}
