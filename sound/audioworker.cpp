#include "sound/audioworker.h"

#include "sound/audiooutput.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace sound {

namespace {

using Clock = std::chrono::steady_clock;

// Threads left behind and not yet ended, in the whole program.
std::atomic<int> leftBehind{0};

} // namespace

// What the caller and one worker thread share.
struct AudioWorker::Lane
{
    std::mutex mutex;
    std::condition_variable wake;     // a request came, or the thread must end
    std::condition_variable finished; // the thread has ended
    std::optional<std::optional<Pcm>> pending; // the request not taken up yet: a cue, or silence
    Clock::time_point busySince;      // when the call into the output began; zero while idle
    bool ending = false;              // no more requests: stop and end
    bool leftBehind = false;
    bool done = false;
};

AudioWorker::AudioWorker(OutputFactory createOutput) : createOutput_(std::move(createOutput)) {}

AudioWorker::~AudioWorker()
{
    if (!lane_)
        return;
    std::unique_lock lock(lane_->mutex);
    lane_->ending = true;
    lane_->pending.reset();
    lane_->wake.notify_one();
    // The program never waits on a stuck sound system at its end.
    const bool ended = lane_->finished.wait_for(lock, kFarewell, [this] { return lane_->done; });
    lock.unlock();
    if (ended)
        thread_.join();
    else
        thread_.detach();
}

void AudioWorker::play(Pcm pcm) { request(std::move(pcm)); }

void AudioWorker::stop()
{
    if (lane_) // nothing has played yet otherwise
        request(std::nullopt);
}

void AudioWorker::request(std::optional<Pcm> cue)
{
    if (lane_ && cue) {
        std::unique_lock lock(lane_->mutex);
        const bool stuck = lane_->busySince != Clock::time_point()
                           && Clock::now() - lane_->busySince > kStuckAfter;
        if (stuck && leftBehind < kMaxLeftBehind) {
            ++leftBehind;
            lane_->leftBehind = lane_->ending = true;
            lane_->pending.reset();
            lock.unlock();
            thread_.detach();
            lane_.reset();
        }
    }
    if (!lane_) {
        lane_ = std::make_shared<Lane>();
        lane_->pending = std::move(cue);
        thread_ = std::thread(&AudioWorker::run, lane_, createOutput_);
        return;
    }
    const std::lock_guard lock(lane_->mutex);
    lane_->pending = std::move(cue);
    lane_->wake.notify_one();
}

void AudioWorker::run(std::shared_ptr<Lane> lane, OutputFactory createOutput)
{
    std::unique_ptr<AudioOutput> output;
    bool outputTried = false;
    std::unique_lock lock(lane->mutex);
    for (;;) {
        lane->wake.wait(lock, [&] { return lane->pending || lane->ending; });
        if (lane->ending)
            break;
        const std::optional<Pcm> cue = std::move(*lane->pending);
        lane->pending.reset();
        lane->busySince = Clock::now();
        lock.unlock();

        if (!outputTried) {
            outputTried = true;
            output = createOutput();
        }
        if (output && cue)
            output->play(*cue);
        else if (output)
            output->stop();

        lock.lock();
        lane->busySince = {};
    }
    lock.unlock();
    // A cue of a thread left behind is out of its moment: destroying the output silences it.
    output.reset();
    lock.lock();
    if (lane->leftBehind)
        --leftBehind;
    lane->done = true;
    lane->finished.notify_all();
}

} // namespace sound
