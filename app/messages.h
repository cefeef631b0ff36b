// The message boxes the shell and start-up show, one table of texts.
#pragma once

enum class Message {
    AskFullscreen,  // the start-up question
    ClassRefused,   // the window class could not be registered
    NoWindow,       // no window or GL context
    ReleaseDcAndContext,
    ReleaseContext,
    ReleaseWindow,
    ReleaseClass,
    TextureMissing,  // one of the fifteen textures
    RingMissing,     // the particle texture
    WrongAudioVersion,
    MusicMissing,
};

// Shows the box (with no owner) and returns the button pressed.
int ShowMessage(Message which);
