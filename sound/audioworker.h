#pragma once

#include "sound/wavreader.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace sound {

class AudioOutput;

// Owns the audio output on a thread of its own, so that no state of the sound system or of the
// file system can hold up the caller: play() and stop() only hand a request over and return at
// once. The thread reads the cue's file, then plays it. The newest request wins: one that was
// not taken up yet is replaced, never queued behind, and its file is never read; a cue whose
// file was read while a newer request came is dropped unplayed.
//
// A thread that has been waiting on the file or sound system for longer than stuckAfter is left
// behind, detached, with its output, if that output may be abandoned (or none was made yet): the
// next cue goes to a fresh thread and a fresh output, so sound comes back as soon as the sound
// system answers again. A thread left behind ends when its call returns, without playing
// anything more. An output that may not be abandoned keeps its thread: cues wait for it.
class AudioWorker
{
public:
    using Clock = std::chrono::steady_clock;
    using OutputFactory = std::function<std::unique_ptr<AudioOutput>()>;
    // Reads and decodes a cue file; nullopt when it cannot.
    using Loader = std::function<std::optional<Pcm>(const std::filesystem::path &file)>;
    static constexpr std::chrono::milliseconds kStuckAfter{2000};
    // At most this many threads are left behind at once; past it, cues wait for the newest one.
    static constexpr int kMaxLeftBehind = 2;
    // How long the destructor waits for the thread to stop the cue and end.
    static constexpr std::chrono::milliseconds kFarewell{300};

    // createOutput and load are called on the worker's thread; the output is made at the first
    // cue that could be read.
    AudioWorker(OutputFactory createOutput, Loader load);
    // Stops the cue sounding and ends the thread, or leaves it behind if it does not end soon.
    ~AudioWorker();

    AudioWorker(const AudioWorker &) = delete;
    AudioWorker &operator=(const AudioWorker &) = delete;

    // Plays the cue file at `file`, asked for at `asked`, in place of any cue sounding or
    // waiting; a file that cannot be read stops the cue sounding.
    void play(std::filesystem::path file, Clock::time_point asked);
    // Stops the cue sounding and drops any waiting.
    void stop();

private:
    struct Lane;
    struct Request
    {
        std::optional<std::filesystem::path> file; // none: stop
        Clock::time_point asked;
    };
    void request(Request next);
    static void run(std::shared_ptr<Lane> lane, OutputFactory createOutput, Loader load);

    OutputFactory createOutput_;
    Loader load_;
    std::shared_ptr<Lane> lane_; // the thread serving requests, started at the first
    std::thread thread_;
};

} // namespace sound
