// The piece rendered when no MIDI file is given: the Minuet in G major from
// the 1725 notebook for Anna Magdalena Bach (attributed to Christian Petzold,
// public domain), set for piano with dynamics, pedalling and an
// octave-doubled bass in the second half. About 50 seconds.
#pragma once

#include "tools/render/midi_song.h"

namespace render {

MidiSong demoPiece(int sampleRate = kSampleRate);

}  // namespace render
