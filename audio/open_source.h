// The file-type factory of the player: the extension picks the decoder.
#pragma once
#include "audio/audio_source.h"

// ".mp3" and ".wav" (FileKindOf: letter case ignored, as for the tags) give a
// source with the caller's reference taken, whose status the caller checks before
// playing; any other extension gives null.
AudioSource* openAudioSource(const char* path);
