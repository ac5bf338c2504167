#pragma once

#include <QByteArray>
#include <QStringList>

// Recordings made for the test that needs them, with sox and lame, so no audio is kept.
namespace RecordingMaker {

// A 44.1 kHz stereo WAV of sox synth parts in turn: {"2 sine 440", "5 sine 440 vol 0"}.
QByteArray wav(const QStringList &parts);
// The same encoded by lame with `options` ({"-b", "320"}, {"-V2"}, {"-V2", "-t"}).
QByteArray mp3(const QStringList &parts,
               const QStringList &options = {QStringLiteral("-b"), QStringLiteral("128")});

} // namespace RecordingMaker
