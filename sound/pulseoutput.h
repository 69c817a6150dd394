#pragma once

#include "sound/audiooutput.h"

#include <QByteArray>

#include <chrono>

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

namespace sound {

// The audio output on PulseAudio (or a server that speaks its protocol). Each output has its
// own connection, made at its first cue and made again whenever the server went away, so
// sound comes back when the server does. play() waits on the server only while connecting;
// the samples are fed from the connection's own thread. Every stream it makes is disconnected
// and released on the server once its cue has been played to its end (drained) or replaced,
// also one replaced while the server was still making it: at most one stays while a cue sounds.
class PulseOutput final : public AudioOutput
{
public:
    PulseOutput();
    ~PulseOutput() override;

    void play(const Pcm &pcm, Clock::time_point asked) override;
    void stop() override;
    // Its streams and its connection are its own: one left behind disturbs no other.
    bool mayBeAbandoned() const override { return true; }

private:
    // These run with the main loop locked.
    bool connect();
    void dropStream();
    void dropContext();
    void feed(size_t bytes);

    static void contextChanged(pa_context *context, void *self);
    static void streamChanged(pa_stream *stream, void *self);
    static void droppedStreamChanged(pa_stream *stream, void *);
    static void release(pa_stream *stream);
    static void writable(pa_stream *stream, size_t bytes, void *self);
    static void drained(pa_stream *stream, int success, void *self);

    pa_threaded_mainloop *loop_ = nullptr;
    pa_context *context_ = nullptr;
    pa_stream *stream_ = nullptr; // the cue sounding, if any
    QByteArray samples_;          // its samples, and how many went to the server
    qsizetype sent_ = 0;
    Clock::time_point asked_; // when it was asked for
    int cookieFile_ = -1;
};

} // namespace sound
