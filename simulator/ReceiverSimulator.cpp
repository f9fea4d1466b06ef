#include "simulator/ReceiverSimulator.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace sim {

namespace {

using Steady = std::chrono::steady_clock;
constexpr auto kTick = std::chrono::milliseconds(20);       // unsolicited output and streaming
constexpr auto kAbsentPoll = std::chrono::milliseconds(10); // looking for a client to appear
constexpr auto kStreamGap = std::chrono::milliseconds(20);

// Opens a pty master and puts its slave into raw mode, so that bytes pass unchanged in both
// directions even before the client sets the line up. Returns the master, -1 on failure.
int OpenRawPty(QString& slavePath) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0)
        return -1;
    char name[128] = {};
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        ::close(master);
        return -1;
    }
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
        ::close(master);
        return -1;
    }
    termios settings{};
    bool configured = tcgetattr(slave, &settings) == 0;
    if (configured) {
        cfmakeraw(&settings);
        cfsetispeed(&settings, B9600);
        cfsetospeed(&settings, B9600);
        configured = tcsetattr(slave, TCSANOW, &settings) == 0;
    }
    ::close(slave);
    if (!configured) {
        ::close(master);
        return -1;
    }
    slavePath = QString::fromLocal8Bit(name);
    return master;
}

} // namespace

struct ReceiverSimulator::Impl {
    explicit Impl(Family f) : family(f) {}

    // The output on its way. An entry's pause is counted from the moment the entry before it went
    // out, so a slow reply keeps its gaps even when the thread falls behind.
    struct Queued {
        QByteArray bytes;
        std::chrono::milliseconds delay{0};
        Steady::time_point due{};
        bool countsAsReply = false;
        bool closeLine = false;
    };

    const Family family;

    // Shared with the caller's thread, under `mutex`.
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::unique_ptr<Dialect> dialect;
    ReceiverModel model;
    Misbehaviour misbehaviour = Misbehaviour::None;
    int misbehaviourCount = -1;
    int misbehaviourGeneration = 0;
    SlowPace pace;
    std::vector<QByteArray> received;
    int repliesSent = 0;
    QString portPath;
    bool lineOpen = false;
    std::mt19937 random{20240315u};

    // The worker's own.
    std::thread worker;
    std::atomic<bool> stopping{false};
    int master = -1;
    int wake = -1;
    QByteArray pendingInput;
    std::deque<Queued> output;
    bool clientPresent = false; // the worker's view; `clientConnected` is the shared copy
    bool clientConnected = false;
    bool streaming = false;
    int streamGeneration = 0;
    QByteArray streamLine;
    Steady::time_point nextStream;

    void run();
    bool checkClient();
    void forgetClient();
    void readInput();
    void answer(const QByteArray& request);
    void enqueue(const ShapedReply& shaped, int generation);
    void push(Queued entry);
    void setClientPresent(bool present);
    void produceOnOwnAccord();
    bool flushOutput(bool& blocked); // false once the line has been closed
    Steady::duration timeUntilNextWork() const;
};

// A poll on the master reports a hang-up while no client has the slave open.
bool ReceiverSimulator::Impl::checkClient() {
    pollfd fd{master, POLLIN, 0};
    const bool present = ::poll(&fd, 1, 0) >= 0 && !(fd.revents & POLLHUP);
    setClientPresent(present);
    return present;
}

void ReceiverSimulator::Impl::setClientPresent(bool present) {
    if (!present && clientPresent)
        forgetClient();
    if (present == clientPresent)
        return;
    clientPresent = present;
    std::lock_guard lock(mutex);
    clientConnected = present;
    changed.notify_all();
}

// The client went away: what was on its way to it is lost, as on a real line.
void ReceiverSimulator::Impl::forgetClient() {
    output.clear();
    pendingInput.clear();
    streaming = false;
}

void ReceiverSimulator::Impl::readInput() {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        pendingInput.append(buffer, n);
        for (;;) {
            std::optional<QByteArray> request;
            {
                std::lock_guard lock(mutex);
                request = dialect->takeRequest(pendingInput);
            }
            if (!request)
                break;
            answer(*request);
        }
    }
}

void ReceiverSimulator::Impl::answer(const QByteArray& request) {
    ShapedReply shaped;
    int generation = 0;
    {
        std::lock_guard lock(mutex);
        received.push_back(request);
        if (streaming) {
            // A receiver stuck in an endless reply does not hear new requests.
            changed.notify_all();
            return;
        }
        model.setNow(ReceiverModel::Clock::now());
        const Reply reply = dialect->answer(request, model);
        shaped = ShapeReply(reply, misbehaviour, pace, random);
        if (misbehaviourCount > 0 && --misbehaviourCount == 0) {
            misbehaviour = Misbehaviour::None;
            misbehaviourCount = -1;
        }
        generation = misbehaviourGeneration;
    }
    changed.notify_all();
    enqueue(shaped, generation);
}

void ReceiverSimulator::Impl::push(Queued entry) {
    if (output.empty())
        entry.due = Steady::now() + entry.delay;
    output.push_back(std::move(entry));
}

void ReceiverSimulator::Impl::enqueue(const ShapedReply& shaped, int generation) {
    for (const OutputChunk& chunk : shaped.chunks)
        push({chunk.bytes, chunk.delay});
    if (!shaped.chunks.empty()) {
        output.back().countsAsReply = shaped.countsAsReply;
        output.back().closeLine = shaped.closeLine;
    } else if (shaped.countsAsReply) {
        std::lock_guard lock(mutex);
        ++repliesSent;
        changed.notify_all();
    }
    if (shaped.endless) {
        streaming = true;
        streamGeneration = generation;
        streamLine = shaped.streamLine;
        nextStream = Steady::now() + kStreamGap;
    }
}

void ReceiverSimulator::Impl::produceOnOwnAccord() {
    const Steady::time_point now = Steady::now();
    if (streaming) {
        bool stillWanted = false;
        {
            std::lock_guard lock(mutex);
            stillWanted = misbehaviourGeneration == streamGeneration;
        }
        if (!stillWanted) {
            streaming = false;
        } else if (now >= nextStream && output.empty()) {
            push({streamLine});
            nextStream = now + kStreamGap;
        }
        return;
    }
    QByteArray extra;
    {
        std::lock_guard lock(mutex);
        model.setNow(ReceiverModel::Clock::now());
        extra = dialect->unsolicited(model);
    }
    if (!extra.isEmpty())
        push({extra});
}

bool ReceiverSimulator::Impl::flushOutput(bool& blocked) {
    blocked = false;
    while (!output.empty() && output.front().due <= Steady::now()) {
        Queued& front = output.front();
        if (!front.bytes.isEmpty()) {
            const ssize_t n =
                ::write(master, front.bytes.constData(), static_cast<std::size_t>(front.bytes.size()));
            if (n < 0) {
                blocked = errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
                if (!blocked)
                    forgetClient();
                return true;
            }
            front.bytes.remove(0, n);
            if (!front.bytes.isEmpty()) {
                blocked = true;
                return true;
            }
        }
        const bool counts = front.countsAsReply;
        const bool close = front.closeLine;
        output.pop_front();
        if (!output.empty())
            output.front().due = Steady::now() + output.front().delay;
        if (counts) {
            std::lock_guard lock(mutex);
            ++repliesSent;
            changed.notify_all();
        }
        if (close) {
            // Marked closed first, so that whoever sees the hang-up also finds the line closed.
            {
                std::lock_guard lock(mutex);
                lineOpen = false;
                clientConnected = false;
                changed.notify_all();
            }
            ::close(master);
            master = -1;
            return false;
        }
    }
    return true;
}

Steady::duration ReceiverSimulator::Impl::timeUntilNextWork() const {
    Steady::duration wait = kTick;
    if (!output.empty())
        wait = std::min(wait, std::max(Steady::duration::zero(), output.front().due - Steady::now()));
    return wait;
}

void ReceiverSimulator::Impl::run() {
    while (!stopping.load()) {
        if (!checkClient()) {
            pollfd fd{wake, POLLIN, 0};
            ::poll(&fd, 1, static_cast<int>(kAbsentPoll.count()));
            continue;
        }
        bool blocked = false;
        if (!flushOutput(blocked))
            return;
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(timeUntilNextWork());
        pollfd fds[2] = {{master, static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0},
                         {wake, POLLIN, 0}};
        // Round up, so that a wait of under a millisecond does not spin.
        const int timeout = blocked ? static_cast<int>(kTick.count()) : static_cast<int>(wait.count()) + 1;
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR)
            return;
        if (fds[1].revents & POLLIN) {
            eventfd_t ignored = 0;
            eventfd_read(wake, &ignored);
        }
        if (fds[0].revents & POLLIN)
            readInput();
        if (fds[0].revents & POLLHUP) {
            setClientPresent(false);
            continue;
        }
        produceOnOwnAccord();
        if (!flushOutput(blocked))
            return;
    }
}

ReceiverSimulator::ReceiverSimulator(Family family) : d(std::make_unique<Impl>(family)) {}

ReceiverSimulator::~ReceiverSimulator() {
    stop();
}

bool ReceiverSimulator::start() {
    if (d->worker.joinable()) {
        if (lineOpen())
            return true;
        stop();
    }
    std::unique_ptr<Dialect> dialect = MakeDialect(d->family);
    if (!dialect)
        return false;
    QString path;
    const int master = OpenRawPty(path);
    if (master < 0)
        return false;
    const int wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake < 0) {
        ::close(master);
        return false;
    }
    {
        std::lock_guard lock(d->mutex);
        d->dialect = std::move(dialect);
        d->portPath = path;
        d->lineOpen = true;
    }
    d->master = master;
    d->wake = wake;
    d->pendingInput.clear();
    d->output.clear();
    d->clientPresent = false;
    d->clientConnected = false;
    d->streaming = false;
    d->stopping = false;
    d->worker = std::thread([impl = d.get()] { impl->run(); });
    return true;
}

void ReceiverSimulator::stop() {
    if (!d->worker.joinable())
        return;
    d->stopping = true;
    eventfd_write(d->wake, 1);
    d->worker.join();
    if (d->master >= 0)
        ::close(d->master);
    ::close(d->wake);
    d->master = -1;
    d->wake = -1;
    std::lock_guard lock(d->mutex);
    d->lineOpen = false;
    d->clientConnected = false;
    d->changed.notify_all();
}

bool ReceiverSimulator::isRunning() const {
    return d->worker.joinable() && lineOpen();
}

bool ReceiverSimulator::lineOpen() const {
    std::lock_guard lock(d->mutex);
    return d->lineOpen;
}

Family ReceiverSimulator::family() const {
    return d->family;
}

QString ReceiverSimulator::portPath() const {
    std::lock_guard lock(d->mutex);
    return d->portPath;
}

void ReceiverSimulator::setMisbehaviour(Misbehaviour misbehaviour, int count) {
    std::lock_guard lock(d->mutex);
    d->misbehaviour = count == 0 ? Misbehaviour::None : misbehaviour;
    d->misbehaviourCount = count == 0 ? -1 : count;
    ++d->misbehaviourGeneration;
}

Misbehaviour ReceiverSimulator::misbehaviour() const {
    std::lock_guard lock(d->mutex);
    return d->misbehaviour;
}

void ReceiverSimulator::setSlowPace(SlowPace pace) {
    std::lock_guard lock(d->mutex);
    d->pace = pace;
}

void ReceiverSimulator::setLockState(LockState state) {
    std::lock_guard lock(d->mutex);
    d->model.setNow(ReceiverModel::Clock::now());
    d->model.setLockState(state);
}

void ReceiverSimulator::setLockCycle(bool cycle) {
    std::lock_guard lock(d->mutex);
    d->model.setLockCycle(cycle);
}

LockState ReceiverSimulator::lockState() const {
    std::lock_guard lock(d->mutex);
    return d->model.lockState();
}

void ReceiverSimulator::setSkySpeed(double factor) {
    std::lock_guard lock(d->mutex);
    d->model.setSkySpeed(factor);
}

void ReceiverSimulator::setRolloverWeeks(int weeks) {
    std::lock_guard lock(d->mutex);
    d->model.setRolloverWeeks(weeks);
}

std::vector<QByteArray> ReceiverSimulator::received() const {
    std::lock_guard lock(d->mutex);
    return d->received;
}

void ReceiverSimulator::clearReceived() {
    std::lock_guard lock(d->mutex);
    d->received.clear();
}

int ReceiverSimulator::repliesSent() const {
    std::lock_guard lock(d->mutex);
    return d->repliesSent;
}

bool ReceiverSimulator::waitForRequests(std::size_t count, int timeoutMs) const {
    std::unique_lock lock(d->mutex);
    return d->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [&] { return d->received.size() >= count; });
}

bool ReceiverSimulator::clientConnected() const {
    std::lock_guard lock(d->mutex);
    return d->clientConnected;
}

bool ReceiverSimulator::waitForClient(bool connected, int timeoutMs) const {
    std::unique_lock lock(d->mutex);
    return d->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [&] { return d->clientConnected == connected; });
}

bool ReceiverSimulator::waitForReplies(int count, int timeoutMs) const {
    std::unique_lock lock(d->mutex);
    return d->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [&] { return d->repliesSent >= count; });
}

} // namespace sim
