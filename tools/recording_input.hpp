#pragma once
// Recordings of any format libsndfile reads turned into the samples a sound
// card would deliver: unsigned 8-bit mono at 22050 samples per second.

#include <string>

#include "sample_input.hpp"

// Reads any recording libsndfile reads, mixes its channels to mono,
// resamples other rates to 22050 and hands the samples on in chunks, in
// order, through TakeFull where the samples are not 8-bit already. An 8-bit
// unsigned mono 22050 Hz WAV passes through byte for byte (ReadPlainWav).
// False with a reason in error when the file cannot be read; the chunks
// handed on before a failure stand.
bool ReadRecording(const std::string& path, SampleSink& sink, std::string& error);

// The same for a file that ReadPlainWav has found not to be a plain WAV:
// through libsndfile alone.
bool ReadOtherRecording(const std::string& path, SampleSink& sink, std::string& error);
