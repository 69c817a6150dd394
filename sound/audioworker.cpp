#include "sound/audioworker.h"

#include "sound/audiooutput.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace sound {

namespace {

// Threads left behind and not yet ended, in the whole program.
std::atomic<int> leftBehind{0};

} // namespace

// What the caller and one worker thread share.
struct AudioWorker::Lane
{
    std::mutex mutex;
    std::condition_variable wake;     // a request came, or the thread must end
    std::condition_variable finished; // the thread has ended
    std::optional<Request> pending;   // the request not taken up yet
    Clock::time_point busySince;      // when the request being served was taken up; zero while idle
    bool mayBeAbandoned = true;       // false once the output made says it may not be
    bool ending = false;              // no more requests: stop and end
    bool leftBehind = false;
    bool done = false;
};

AudioWorker::AudioWorker(OutputFactory createOutput, Loader load)
    : createOutput_(std::move(createOutput)), load_(std::move(load))
{
}

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

void AudioWorker::play(std::filesystem::path file, Clock::time_point asked) { request({std::move(file), asked}); }

void AudioWorker::stop()
{
    if (lane_) // nothing has played yet otherwise
        request({std::nullopt, Clock::now()});
}

void AudioWorker::request(Request next)
{
    if (lane_ && next.file) {
        std::unique_lock lock(lane_->mutex);
        const bool stuck = lane_->busySince != Clock::time_point()
                           && Clock::now() - lane_->busySince > kStuckAfter;
        if (stuck && lane_->mayBeAbandoned && leftBehind < kMaxLeftBehind) {
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
        lane_->pending = std::move(next);
        thread_ = std::thread(&AudioWorker::run, lane_, createOutput_, load_);
        return;
    }
    const std::lock_guard lock(lane_->mutex);
    lane_->pending = std::move(next);
    lane_->wake.notify_one();
}

void AudioWorker::run(std::shared_ptr<Lane> lane, OutputFactory createOutput, Loader load)
{
    std::unique_ptr<AudioOutput> output;
    bool outputTried = false;
    std::unique_lock lock(lane->mutex);
    for (;;) {
        lane->busySince = {};
        lane->wake.wait(lock, [&] { return lane->pending || lane->ending; });
        if (lane->ending)
            break;
        const Request next = std::move(*lane->pending);
        lane->pending.reset();
        lane->busySince = Clock::now();
        lock.unlock();

        const std::optional<Pcm> cue = next.file ? load(*next.file) : std::nullopt;
        if (cue && !outputTried) {
            outputTried = true;
            output = createOutput();
        }
        lock.lock();
        // Decided under the lock, before the output's first call: from now on the caller either
        // has left this thread behind already (seen just below) or never will.
        if (output && !output->mayBeAbandoned())
            lane->mayBeAbandoned = false;
        // Left behind meanwhile, or replaced by a newer request: out of its moment.
        if (lane->ending)
            break;
        if (lane->pending)
            continue;
        lock.unlock();

        if (output && cue)
            output->play(*cue, next.asked);
        else if (output)
            output->stop();
        lock.lock();
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
