#include "sound/pulseoutput.h"

#include "sound/audiomodule.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <pulse/pulseaudio.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <utility>

namespace sound {

namespace {

// The size of a PulseAudio cookie, fixed by its protocol.
constexpr std::size_t kCookieBytes = 256;

// Whether libpulse would find no cookie of the user's and make ~/.config/pulse/cookie.
bool noCookieToFind()
{
    if (!qEnvironmentVariableIsEmpty("PULSE_COOKIE") || !qEnvironmentVariableIsEmpty("PULSE_CLIENTCONFIG"))
        return false;
    const QString home = QDir::homePath();
    const QString config = qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME")
                               ? home + QStringLiteral("/.config")
                               : qEnvironmentVariable("XDG_CONFIG_HOME");
    for (const QString &path : {config + QStringLiteral("/pulse/cookie"), config + QStringLiteral("/pulse/client.conf"),
                                home + QStringLiteral("/.pulse-cookie")}) {
        if (QFileInfo::exists(path))
            return false;
    }
    return true;
}

// A cookie that lives in memory only, for a user who has none: libpulse would otherwise write
// one into their home folder. A server of the same user admits the program without it, and a
// cookie made up on the spot could not have matched any other server's either.
int cookieInMemory()
{
    const int fd = ::memfd_create("zefirana-cookie", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    std::array<quint32, kCookieBytes / sizeof(quint32)> cookie;
    QRandomGenerator::system()->fillRange(cookie.data(), cookie.size());
    if (::write(fd, cookie.data(), sizeof cookie) != qsizetype(sizeof cookie)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

pa_sample_spec sampleSpec(const Pcm &pcm)
{
    return {pcm.bitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE, quint32(pcm.sampleRate), quint8(pcm.channels)};
}

// Holds the main loop's lock for a scope.
class Locked
{
public:
    explicit Locked(pa_threaded_mainloop *loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
    ~Locked() { pa_threaded_mainloop_unlock(loop_); }
    Locked(const Locked &) = delete;
    Locked &operator=(const Locked &) = delete;

private:
    pa_threaded_mainloop *loop_;
};

} // namespace

PulseOutput::PulseOutput() : loop_(pa_threaded_mainloop_new())
{
    if (loop_ && pa_threaded_mainloop_start(loop_) < 0) {
        pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
    }
    if (noCookieToFind())
        cookieFile_ = cookieInMemory();
}

PulseOutput::~PulseOutput()
{
    if (loop_) {
        {
            const Locked locked(loop_);
            dropStream();
            dropContext();
        }
        pa_threaded_mainloop_stop(loop_);
        pa_threaded_mainloop_free(loop_);
    }
    if (cookieFile_ >= 0)
        ::close(cookieFile_);
}

void PulseOutput::play(const Pcm &pcm, Clock::time_point asked)
{
    if (!loop_)
        return;
    const Locked locked(loop_);
    dropStream();
    // The time spent connecting counts: a cue asked for while the server did not answer is
    // never heard once it answers late.
    const pa_sample_spec format = sampleSpec(pcm);
    if (!pa_sample_spec_valid(&format) || !connect() || late(asked))
        return;
    stream_ = pa_stream_new(context_, "cue", &format, nullptr);
    if (!stream_)
        return;
    samples_ = pcm.samples;
    sent_ = 0;
    asked_ = asked;
    pa_stream_set_state_callback(stream_, streamChanged, this);
    pa_stream_set_write_callback(stream_, writable, this);
    if (pa_stream_connect_playback(stream_, nullptr, nullptr, PA_STREAM_NOFLAGS, nullptr, nullptr) < 0)
        dropStream();
}

void PulseOutput::stop()
{
    if (!loop_)
        return;
    const Locked locked(loop_);
    dropStream();
}

bool PulseOutput::connect()
{
    if (context_ && pa_context_get_state(context_) == PA_CONTEXT_READY)
        return true;
    // Never connected, or the server went away: a new connection, to the server there now.
    dropContext();
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Zefirana");
    if (!context_)
        return false;
    if (cookieFile_ >= 0)
        pa_context_load_cookie_from_file(context_, QByteArray("/proc/self/fd/" + QByteArray::number(cookieFile_)));
    pa_context_set_state_callback(context_, contextChanged, this);
    // No server is ever started for the program: without one, silence.
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        dropContext();
        return false;
    }
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(context_);
        if (state == PA_CONTEXT_READY)
            return true;
        if (!PA_CONTEXT_IS_GOOD(state)) {
            dropContext();
            return false;
        }
        pa_threaded_mainloop_wait(loop_);
    }
}

void PulseOutput::dropStream()
{
    if (!stream_)
        return;
    pa_stream *stream = std::exchange(stream_, nullptr);
    samples_.clear();
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    // A stream the server is still making cannot be disconnected yet, and let go of now it would
    // stay on the server for as long as the connection lasts: it is watched until it is ready
    // (then disconnected) or failed.
    if (pa_stream_get_state(stream) == PA_STREAM_CREATING)
        pa_stream_set_state_callback(stream, droppedStreamChanged, nullptr);
    else
        release(stream);
}

void PulseOutput::release(pa_stream *stream)
{
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    // Unplayed samples go with the stream.
    if (pa_stream_get_state(stream) == PA_STREAM_READY)
        pa_stream_disconnect(stream);
    pa_stream_unref(stream);
}

void PulseOutput::dropContext()
{
    if (!context_)
        return;
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
}

void PulseOutput::feed(size_t bytes)
{
    const qsizetype count = std::min(qsizetype(bytes), samples_.size() - sent_);
    if (count > 0) {
        pa_stream_write(stream_, samples_.constData() + sent_, size_t(count), nullptr, 0, PA_SEEK_RELATIVE);
        sent_ += count;
    }
    if (sent_ == samples_.size()) {
        // All sent: the cue ends when the server has played it.
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        if (pa_operation *op = pa_stream_drain(stream_, drained, this))
            pa_operation_unref(op);
    }
}

void PulseOutput::contextChanged(pa_context *, void *self)
{
    pa_threaded_mainloop_signal(static_cast<PulseOutput *>(self)->loop_, 0);
}

void PulseOutput::streamChanged(pa_stream *stream, void *self)
{
    auto *out = static_cast<PulseOutput *>(self);
    if (stream != out->stream_)
        return;
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (!PA_STREAM_IS_GOOD(state) || (state == PA_STREAM_READY && late(out->asked_)))
        out->dropStream();
}

void PulseOutput::droppedStreamChanged(pa_stream *stream, void *)
{
    if (pa_stream_get_state(stream) != PA_STREAM_CREATING)
        release(stream);
}

void PulseOutput::writable(pa_stream *stream, size_t bytes, void *self)
{
    auto *out = static_cast<PulseOutput *>(self);
    if (stream == out->stream_)
        out->feed(bytes);
}

void PulseOutput::drained(pa_stream *stream, int, void *self)
{
    auto *out = static_cast<PulseOutput *>(self);
    if (stream == out->stream_)
        out->dropStream();
}

} // namespace sound

extern "C" Q_DECL_EXPORT sound::AudioOutput *zefirana_create_audio_output()
{
    static_assert(std::is_same_v<decltype(&zefirana_create_audio_output), sound::CreateAudioOutput>);
    return new sound::PulseOutput;
}
