#include "platform/EffectHostClient.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "base/FileIO.h"
#include "platform/EffectHostProtocol.h"

extern char** environ;

namespace kantor {
namespace {

using Clock = std::chrono::steady_clock;

void putU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t getU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::string programFolder() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "";
    return folderOf(std::string(buf, static_cast<std::size_t>(n)));
}

bool isExecutable(const std::string& path) { return !path.empty() && ::access(path.c_str(), X_OK) == 0; }

// The host process and our end of its socket.
class HostProcess {
public:
    ~HostProcess() { stop(); }

    bool start(const std::string& hostPath, const std::string& libraryPath, std::string& error) {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
            error = std::string("cannot make a socket: ") + std::strerror(errno);
            return false;
        }
        // The child's end moves to descriptor 3; keep it away from 3 so that dup2 clears
        // its close-on-exec flag.
        const int child = ::fcntl(fds[1], F_DUPFD_CLOEXEC, 10);
        ::close(fds[1]);
        fd_ = fds[0];
        if (child < 0) {
            error = std::string("cannot make a socket: ") + std::strerror(errno);
            return false;
        }
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);

        posix_spawn_file_actions_t actions;
        posix_spawnattr_t attr;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, child, effecthost::kSocketFd);
        posix_spawnattr_init(&attr);
        sigset_t none, defaults;
        sigemptyset(&none);
        sigemptyset(&defaults);
        for (int s : {SIGPIPE, SIGINT, SIGTERM, SIGCHLD, SIGALRM}) sigaddset(&defaults, s);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setsigdefault(&attr, &defaults);
        // The host leads a process group of its own: whatever a library starts ends with it.
        posix_spawnattr_setpgroup(&attr, 0);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
        std::string arg0 = hostPath, arg1 = libraryPath;
        char* argv[] = {arg0.data(), arg1.data(), nullptr};
        const int rc = ::posix_spawn(&pid_, hostPath.c_str(), &actions, &attr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
        ::close(child);
        if (rc != 0) {
            pid_ = -1;
            error = "cannot start the effect host " + hostPath + ": " + std::strerror(rc);
            return false;
        }
        return true;
    }

    // Closes the socket (the host then exits by itself), waits a moment, then ends its group.
    void stop() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        if (pid_ <= 0) return;
        for (int i = 0; i < 50 && !hasEnded(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        kill();
    }

    // Ends the host and every process in its group (what a library forked, which may live on
    // after the host), then collects the host. The host is collected last, so that its
    // process id, which names the group, cannot have been given to another process.
    void kill() {
        if (pid_ > 0) ::kill(-pid_, SIGKILL);
        reap(true);
    }

    // What became of a host that stopped answering.
    std::string endText() {
        if (pid_ > 0) {
            // It closed its end: it is gone or going.
            for (int i = 0; i < 500 && !hasEnded(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            kill();
        }
        if (WIFSIGNALED(status_)) {
            const int sig = WTERMSIG(status_);
            const char* name = ::strsignal(sig);
            return "The effect library crashed (signal " + std::to_string(sig) + ": " + (name ? name : "?") + ").";
        }
        if (WIFEXITED(status_))
            return "The effect host ended unexpectedly (exit status " + std::to_string(WEXITSTATUS(status_)) + ").";
        return "The effect host ended unexpectedly.";
    }

    bool sendAll(const std::vector<uint8_t>& bytes, Clock::time_point deadline) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            if (!waitFor(POLLOUT, deadline)) return false;
            const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool receiveAll(uint8_t* out, std::size_t size, Clock::time_point deadline) {
        std::size_t done = 0;
        while (done < size) {
            if (!waitFor(POLLIN, deadline)) return false;
            const ssize_t n = ::recv(fd_, out + done, size - done, 0);
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool receiveU32(uint32_t& v, Clock::time_point deadline) {
        uint8_t b[4];
        if (!receiveAll(b, 4, deadline)) return false;
        v = getU32(b);
        return true;
    }

    bool timedOut() const { return timedOut_; }

private:
    bool waitFor(short events, Clock::time_point deadline) {
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                timedOut_ = true;
                return false;
            }
            pollfd p{fd_, events, 0};
            const int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 1000)));
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) return false;
            if (r > 0) return true;  // ready, or hung up: the call that follows tells
        }
    }

    // True once the host has ended; it stays to be collected.
    bool hasEnded() {
        if (pid_ <= 0) return true;
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0) return errno == ECHILD;
        return info.si_pid == pid_;
    }

    bool reap(bool block) {
        if (pid_ <= 0) return true;
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
        if (r == pid_ || (r < 0 && errno == ECHILD)) {
            status_ = status;
            pid_ = -1;
            return true;
        }
        return false;
    }

    int fd_ = -1;
    pid_t pid_ = -1;
    int status_ = 0;
    bool timedOut_ = false;
};

class HostedEffectLibrary : public EffectLibrary {
public:
    HostedEffectLibrary(std::unique_ptr<HostProcess> host, std::chrono::milliseconds timeLimit)
        : host_(std::move(host)), timeLimit_(timeLimit) {}

    EffectRunResult run(uint32_t sampleRate, uint16_t effect, std::span<const uint8_t> input) override {
        EffectRunResult r;
        if (!host_) return failed(r, "The effect host has already ended.");
        if (input.size() > effecthost::kMaxBlockBytes) return failed(r, "The phrase is too long for an effect.");
        const auto deadline = Clock::now() + timeLimit_;
        std::vector<uint8_t> request;
        request.reserve(20 + input.size());
        putU32(request, effecthost::kMagic);
        putU32(request, sampleRate);
        putU32(request, effect);
        putU32(request, static_cast<uint32_t>(input.size()));
        request.insert(request.end(), input.begin(), input.end());
        if (!host_->sendAll(request, deadline)) return lost(r);

        uint32_t head[6];
        for (uint32_t& v : head)
            if (!host_->receiveU32(v, deadline)) return lost(r);
        const uint32_t magic = head[0], outcome = head[1], step = head[2], taken = head[4], length = head[5];
        if (magic != effecthost::kMagic || outcome > effecthost::kNonsense || step > effecthost::kStepDeInitialize ||
            taken > 1 || length > effecthost::kMaxBlockBytes)
            return broken(r);
        r.code = static_cast<int32_t>(head[3]);
        r.failedStep = static_cast<EffectStep>(step);
        if (taken) {
            r.output.resize(length);
            if (!host_->receiveAll(r.output.data(), length, deadline)) return lost(r);
            r.outputTaken = true;
        }
        uint32_t textLength = 0;
        if (!host_->receiveU32(textLength, deadline)) return lost(r);
        if (textLength > effecthost::kMaxTextBytes) return broken(r);
        r.errorText.resize(textLength);
        if (!host_->receiveAll(reinterpret_cast<uint8_t*>(r.errorText.data()), textLength, deadline)) return lost(r);
        r.ok = outcome == effecthost::kOk;
        if (outcome == effecthost::kNonsense) host_.reset();  // it exits after saying so
        return r;
    }

private:
    static EffectRunResult& failed(EffectRunResult& r, std::string text) {
        r.ok = false;
        r.outputTaken = false;
        r.output.clear();
        r.errorText = std::move(text);
        return r;
    }
    EffectRunResult& lost(EffectRunResult& r) {
        std::string text;
        if (host_->timedOut()) {
            host_->kill();
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%g", double(timeLimit_.count()) / 1000.0);
            text = std::string("The effect library did not finish within ") + seconds + " seconds; it was stopped.";
        } else {
            text = host_->endText();
        }
        host_.reset();
        return failed(r, text);
    }
    EffectRunResult& broken(EffectRunResult& r) {
        host_->kill();
        host_.reset();
        return failed(r, "The effect host sent a reply the program does not understand.");
    }

    std::unique_ptr<HostProcess> host_;
    std::chrono::milliseconds timeLimit_;
};

}  // namespace

EffectHostLoader::EffectHostLoader(std::string hostPath, std::chrono::milliseconds timeLimit)
    : hostPath_(hostPath.empty() ? effectHostPath() : std::move(hostPath)), timeLimit_(timeLimit) {}

std::unique_ptr<EffectLibrary> EffectHostLoader::load(const std::string& libraryPath) {
    lastLoadError_.clear();
    if (!fileExists(libraryPath)) {
        lastLoadError_ = "no such library: " + libraryPath;
        return nullptr;
    }
    auto host = std::make_unique<HostProcess>();
    if (!host->start(hostPath_, libraryPath, lastLoadError_)) return nullptr;
    const auto deadline = Clock::now() + timeLimit_;
    uint32_t magic = 0, status = 0, length = 0;
    if (!host->receiveU32(magic, deadline) || !host->receiveU32(status, deadline) ||
        !host->receiveU32(length, deadline) || magic != effecthost::kMagic || length > effecthost::kMaxTextBytes) {
        lastLoadError_ = host->timedOut() ? "the library did not load in time" : host->endText();
        host->kill();
        return nullptr;
    }
    std::string text(length, '\0');
    if (!host->receiveAll(reinterpret_cast<uint8_t*>(text.data()), length, deadline) ||
        status != effecthost::kLoaded) {
        lastLoadError_ = text.empty() ? "the library could not be loaded" : text;
        return nullptr;
    }
    return std::make_unique<HostedEffectLibrary>(std::move(host), timeLimit_);
}

std::string effectHostPath() {
    if (const char* env = std::getenv("KANTOR_EFFECT_HOST"); env && *env) return env;
    const std::string folder = programFolder();
    for (const std::string& p : {joinPath(folder, "kantor-effect-host"), joinPath(folder, "../lib/kantor/kantor-effect-host")})
        if (isExecutable(p)) return p;
#ifdef KANTOR_EFFECT_HOST_BUILD_PATH
    if (isExecutable(KANTOR_EFFECT_HOST_BUILD_PATH)) return KANTOR_EFFECT_HOST_BUILD_PATH;
#endif
    return joinPath(folder, "kantor-effect-host");
}

}  // namespace kantor
