/* An effect library that misbehaves in one way, chosen when it is built:
 *   BAD_ERROR       wefDoEffect fails with code 7 and a text
 *   BAD_NOGETMSG    wefGetErrMsg is missing
 *   BAD_CRASH       wefDoEffect crashes
 *   BAD_HANG        wefDoEffect never returns
 *   BAD_LONGOUTPUT  wefDoEffect claims an output far longer than the buffer it returns
 *   BAD_OVERREAD    wefDoEffect claims an output that runs into memory it cannot read
 *   BAD_NULLOUTPUT  wefDoEffect returns no output buffer but a length
 *   BAD_HEAPOVER    wefDoEffect claims 4 KiB more than the heap block it returns
 *   BAD_FORKCHILD   wefDoEffect starts a process that would live for ever, and returns its
 *                   process id as its output (two samples, low half first)
 * Otherwise it passes the phrase through unchanged. */
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include "kantor_effect.h"

int32_t wefInitialize(void) { return 0; }
int32_t wefDeInitialize(void) { return 0; }

int32_t wefDoEffect(int32_t sampleRate, int32_t effectNumber, const int16_t* input, int32_t inputBytes,
                    int16_t** output, int32_t* outputBytes) {
    (void)sampleRate;
    (void)effectNumber;
#if defined(BAD_ERROR)
    (void)input;
    (void)inputBytes;
    (void)output;
    (void)outputBytes;
    return 7;
#elif defined(BAD_CRASH)
    (void)input;
    (void)inputBytes;
    (void)output;
    (void)outputBytes;
    raise(SIGSEGV);
    return 0;
#elif defined(BAD_HANG)
    (void)input;
    (void)inputBytes;
    (void)output;
    (void)outputBytes;
    for (;;) pause();
#elif defined(BAD_FORKCHILD)
    (void)input;
    (void)inputBytes;
    pid_t child = fork();
    if (child < 0) return 2;
    if (child == 0)
        for (;;) pause();
    uint16_t* y = malloc(4);
    if (!y) return 2;
    y[0] = (uint16_t)((uint32_t)child & 0xFFFF);
    y[1] = (uint16_t)((uint32_t)child >> 16);
    *output = (int16_t*)y;
    *outputBytes = 4;
    return 0;
#elif defined(BAD_NULLOUTPUT)
    (void)input;
    *output = NULL;
    *outputBytes = inputBytes;
    return 0;
#elif defined(BAD_OVERREAD)
    /* The input's pages, then a page nobody may read; the claimed length reaches into it. */
    const size_t page = (size_t)sysconf(_SC_PAGESIZE);
    const size_t held = ((size_t)inputBytes + page - 1) / page * page;
    uint8_t* p = mmap(NULL, held + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return 2;
    mprotect(p + held, page, PROT_NONE);
    memcpy(p, input, (size_t)inputBytes);
    *output = (int16_t*)p;
    *outputBytes = (int32_t)(held + page);
    return 0;
#else
    int16_t* y = malloc((size_t)inputBytes + 2);
    if (!y) return 2;
    memcpy(y, input, (size_t)inputBytes);
    *output = y;
#if defined(BAD_LONGOUTPUT)
    *outputBytes = inputBytes + 0x40000000;
#elif defined(BAD_HEAPOVER)
    *outputBytes = inputBytes + 4096;
#else
    *outputBytes = inputBytes;
#endif
    return 0;
#endif
}

int32_t wefFreeBuffer(int16_t* output) {
#if !defined(BAD_OVERREAD)
    free(output);
#else
    (void)output;  /* never reached: the host stops first */
#endif
    return 0;
}

#if !defined(BAD_NOGETMSG)
int32_t wefGetErrMsg(int32_t code, char* text) {
    snprintf(text, KANTOR_EFFECT_ERROR_TEXT_SIZE, "Test library error %d: the effect refused.", (int)code);
    return 0;
}
#endif
