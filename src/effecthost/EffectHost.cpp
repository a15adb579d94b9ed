#include "effecthost/EffectHost.h"

#include <malloc.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define KANTOR_HOST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KANTOR_HOST_ASAN 1
#endif
#endif
#ifdef KANTOR_HOST_ASAN
// The sanitizer's allocator answers for the blocks it hands out (GCC ships no header for these).
extern "C" int __sanitizer_get_ownership(const volatile void* p);
extern "C" size_t __sanitizer_get_allocated_size(const volatile void* p);
#endif

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/DynamicLibrary.h"
#include "platform/EffectHostProtocol.h"

namespace kantor::effecthost {
namespace {

extern "C" {
using InitializeFn = int32_t (*)();
using DoEffectFn = int32_t (*)(int32_t, int32_t, const void*, int32_t, void**, int32_t*);
using FreeBufferFn = int32_t (*)(void*);
using DeInitializeFn = int32_t (*)();
using GetErrMsgFn = int32_t (*)(int32_t, char*);
}

void putU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

bool sendAll(int fd, const std::vector<uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool receiveAll(int fd, uint8_t* out, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::recv(fd, out + done, size - done, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool receiveU32(int fd, uint32_t& v) {
    uint8_t b[4];
    if (!receiveAll(fd, b, 4)) return false;
    v = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return true;
}

void putText(std::vector<uint8_t>& out, const std::string& text) {
    const std::size_t n = std::min<std::size_t>(text.size(), kMaxTextBytes);
    putU32(out, static_cast<uint32_t>(n));
    out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
}

// Copies memory the library says it holds; false when any of it is not readable memory of
// this process (the kernel checks, so a lie does not crash us).
bool copyOutput(const void* from, std::size_t length, std::vector<uint8_t>& out) {
    out.resize(length);
    if (length == 0) return true;
    iovec local{out.data(), length};
    iovec remote{const_cast<void*>(from), length};
    const ssize_t n = ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0);
    if (n == static_cast<ssize_t>(length)) return true;
    if (n < 0 && (errno == ENOSYS || errno == EPERM)) {
        std::memcpy(out.data(), from, length);  // cannot check: a lie ends this process
        return true;
    }
    return false;
}

// Reads n bytes at `from` when they are all readable memory of this process.
[[maybe_unused]] bool peek(uintptr_t from, void* to, std::size_t n) {
    iovec local{to, n};
    iovec remote{reinterpret_cast<void*>(from), n};
    return ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0) == static_cast<ssize_t>(n);
}

// When `p` is a block of the C allocator (malloc, calloc, realloc), its usable size: a
// length past it reads the heap beyond the block. The allocator's bookkeeping around the
// block is checked first (with reads that cannot fault), so that malloc_usable_size is only
// asked about what is one of its blocks; anything else (a static buffer, a mapping of the
// library's own) gives false.
bool cAllocatorBlockSize(const void* p, std::size_t& usable) {
#ifdef KANTOR_HOST_ASAN
    if (!__sanitizer_get_ownership(p)) return false;
    usable = __sanitizer_get_allocated_size(p);
    return true;
#else
    // glibc: before the block, the previous chunk's size (or, for a block mapped by itself,
    // its offset into the mapping) and the chunk's size, whose low bits are flags.
    constexpr std::size_t kWord = sizeof(std::size_t);
    constexpr std::size_t kMapped = 2, kFlags = 7;
    const uintptr_t at = reinterpret_cast<uintptr_t>(p);
    if (at % (2 * kWord) != 0 || at < 2 * kWord) return false;
    const uintptr_t chunk = at - 2 * kWord;
    std::size_t head[2];
    if (!peek(chunk, head, sizeof head)) return false;
    const std::size_t size = head[1] & ~kFlags;
    if (size < 4 * kWord || size % (2 * kWord) != 0 || size > (std::size_t{1} << 40)) return false;
    if (head[1] & kMapped) {
        const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        const std::size_t offset = head[0];
        uint8_t last = 0;
        if (offset > chunk || (chunk - offset) % page != 0 || (offset + size) % page != 0 ||
            !peek(chunk + size - 1, &last, 1))
            return false;
    } else {
        // The next chunk says this one is in use.
        std::size_t next = 0;
        if (!peek(chunk + size + kWord, &next, sizeof next) || !(next & 1)) return false;
    }
    usable = ::malloc_usable_size(const_cast<void*>(p));
    return usable > 0 && usable <= size;
#endif
}

struct Library {
    DynamicLibrary lib;
    InitializeFn initialize = nullptr;
    DoEffectFn doEffect = nullptr;
    FreeBufferFn freeBuffer = nullptr;
    DeInitializeFn deInitialize = nullptr;
    GetErrMsgFn getErrMsg = nullptr;

    std::string errorText(int32_t code) {
        char buf[257] = {};
        getErrMsg(code, buf);
        buf[256] = '\0';  // whatever it wrote, the text ends inside the buffer
        return std::string(buf, ::strnlen(buf, 256));
    }
};

bool load(Library& l, const std::string& path, std::string& error) {
    if (!l.lib.open(path)) {
        error = l.lib.error();
        return false;
    }
    const char* names[] = {"wefInitialize", "wefDoEffect", "wefFreeBuffer", "wefDeInitialize", "wefGetErrMsg"};
    void* found[5] = {};
    for (int i = 0; i < 5; ++i) {
        found[i] = l.lib.symbol(names[i]);
        if (!found[i]) {
            error = std::string("the library lacks ") + names[i];
            l.lib.close();
            return false;
        }
    }
    l.initialize = reinterpret_cast<InitializeFn>(found[0]);
    l.doEffect = reinterpret_cast<DoEffectFn>(found[1]);
    l.freeBuffer = reinterpret_cast<FreeBufferFn>(found[2]);
    l.deInitialize = reinterpret_cast<DeInitializeFn>(found[3]);
    l.getErrMsg = reinterpret_cast<GetErrMsgFn>(found[4]);
    return true;
}

std::vector<uint8_t> reply(uint32_t outcome, uint32_t step, int32_t code, const std::vector<uint8_t>* output,
                           const std::string& text) {
    std::vector<uint8_t> r;
    putU32(r, kMagic);
    putU32(r, outcome);
    putU32(r, step);
    putU32(r, static_cast<uint32_t>(code));
    putU32(r, output ? 1 : 0);
    putU32(r, output ? static_cast<uint32_t>(output->size()) : 0);
    if (output) r.insert(r.end(), output->begin(), output->end());
    putText(r, text);
    return r;
}

}  // namespace

int serve(int fd, const std::string& libraryPath) {
    Library l;
    std::string error;
    const bool loaded = load(l, libraryPath, error);
    std::vector<uint8_t> hello;
    putU32(hello, kMagic);
    putU32(hello, loaded ? kLoaded : kNotLoaded);
    putText(hello, error);
    if (!sendAll(fd, hello) || !loaded) return loaded ? 1 : 0;

    std::vector<uint8_t> input, output;
    for (;;) {
        uint32_t magic = 0, rate = 0, effect = 0, length = 0;
        if (!receiveU32(fd, magic)) return 0;  // the program closed: done
        if (magic != kMagic || !receiveU32(fd, rate) || !receiveU32(fd, effect) || !receiveU32(fd, length) ||
            length > kMaxBlockBytes)
            return 1;
        input.resize(length);
        if (!receiveAll(fd, input.data(), length)) return 1;

        std::vector<uint8_t> r;
        bool nonsense = false;
        int32_t status = l.initialize();
        if (status != 0) {
            r = reply(kLibraryError, kStepInitialize, status, nullptr, l.errorText(status));
        } else {
            void* out = nullptr;
            int32_t outLength = 0;
            status = l.doEffect(static_cast<int32_t>(rate), static_cast<int32_t>(effect & 0xFFFF), input.data(),
                                static_cast<int32_t>(length), &out, &outLength);
            if (status != 0) {
                r = reply(kLibraryError, kStepDoEffect, status, nullptr, l.errorText(status));
            } else if (outLength < 0 || static_cast<uint32_t>(outLength) > kMaxBlockBytes) {
                nonsense = true;
                r = reply(kNonsense, kStepDoEffect, 0, nullptr,
                          "The effect library returned an output length of " + std::to_string(outLength) +
                              " bytes, which cannot be right.");
            } else if (!out && outLength > 0) {
                nonsense = true;
                r = reply(kNonsense, kStepDoEffect, 0, nullptr,
                          "The effect library returned no output buffer for " + std::to_string(outLength) + " bytes.");
            } else if (std::size_t usable = 0;
                       (cAllocatorBlockSize(out, usable) && static_cast<std::size_t>(outLength) > usable) ||
                       !copyOutput(out, static_cast<std::size_t>(outLength), output)) {
                nonsense = true;
                r = reply(kNonsense, kStepDoEffect, 0, nullptr,
                          "The effect library returned an output of " + std::to_string(outLength) +
                              " bytes, more than its buffer holds.");
            } else if ((status = l.freeBuffer(out)) != 0) {
                r = reply(kLibraryError, kStepFreeBuffer, status, &output, l.errorText(status));
            } else if ((status = l.deInitialize()) != 0) {
                r = reply(kLibraryError, kStepDeInitialize, status, &output, l.errorText(status));
            } else {
                r = reply(kOk, 0, 0, &output, "");
            }
        }
        if (!sendAll(fd, r)) return 1;
        if (nonsense) return 2;  // a library that lies about its memory is not trusted again
    }
}

}  // namespace kantor::effecthost
