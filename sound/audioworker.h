#pragma once

#include "sound/wavreader.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace sound {

class AudioOutput;

// Owns the audio output on a thread of its own, so that no state of the sound system can hold
// up the caller: play() and stop() only hand a request over and return at once. The newest
// request wins: one that was not taken up yet is replaced, never queued behind.
//
// A thread that has been waiting on the sound system for longer than stuckAfter is left
// behind, detached, with its output: the next cue goes to a fresh thread and a fresh output,
// so sound comes back as soon as the sound system answers again. A thread left behind ends
// when its call returns, without playing anything more.
class AudioWorker
{
public:
    using OutputFactory = std::function<std::unique_ptr<AudioOutput>()>;
    static constexpr std::chrono::milliseconds kStuckAfter{2000};
    // At most this many threads are left behind at once; past it, cues wait for the newest one.
    static constexpr int kMaxLeftBehind = 2;
    // How long the destructor waits for the thread to stop the cue and end.
    static constexpr std::chrono::milliseconds kFarewell{300};

    // createOutput is called on the worker's thread, at its first request.
    explicit AudioWorker(OutputFactory createOutput);
    // Stops the cue sounding and ends the thread, or leaves it behind if it does not end soon.
    ~AudioWorker();

    AudioWorker(const AudioWorker &) = delete;
    AudioWorker &operator=(const AudioWorker &) = delete;

    // Plays pcm in place of any cue sounding or waiting.
    void play(Pcm pcm);
    // Stops the cue sounding and drops any waiting.
    void stop();

private:
    struct Lane;
    void request(std::optional<Pcm> cue);
    static void run(std::shared_ptr<Lane> lane, OutputFactory createOutput);

    OutputFactory createOutput_;
    std::shared_ptr<Lane> lane_; // the thread serving requests, started at the first
    std::thread thread_;
};

} // namespace sound
