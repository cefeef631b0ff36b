// Message-box texts. They are kept verbatim, typos and all ("claass"): they are what the show says,
// not mistakes waiting for a fix.
#include "app/messages.h"

#include "platform/platform.h"

// ---- types ----
struct MessageText {
    Message which;
    const char* text;
    const char* caption;  // nullptr: the system's default caption
    unsigned type;
};

// ---- constants ----
static const MessageText kMessages[] = {
    {Message::AskFullscreen, "Fullscreen?", "Select mode", MB_YESNO},
    {Message::ClassRefused, "Can't register window claass", "Shit!", MB_ICONINFORMATION},
    {Message::NoWindow, "Cannot create the OpenGL window", "Shit!", MB_ICONERROR},
    {Message::ReleaseDcAndContext, "Cannot release hRC and hDC", "Shit!", MB_ICONERROR},
    {Message::ReleaseContext, "Cannot release hRC", "Shit!", MB_ICONERROR},
    {Message::ReleaseWindow, "Cannot release hWND", "Shit!", MB_ICONINFORMATION},
    {Message::ReleaseClass, "Cannot release hInstance", "Shit!", MB_ICONINFORMATION},
    {Message::TextureMissing, "", "", MB_OK},
    {Message::RingMissing, "SHIT!", "", MB_OK},
    {Message::WrongAudioVersion, "An incorrect version of BASS.DLL was loaded", nullptr, MB_ICONERROR},
    {Message::MusicMissing, "", "", MB_OK},
};

// ---- module functions ----
int ShowMessage(Message which) {
    for (const MessageText& m : kMessages)
        if (m.which == which) return PlatformMessageBox(m.text, m.caption, m.type);
    return 0;
}
