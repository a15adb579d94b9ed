/* An effect library that misbehaves in one way, chosen when it is built:
 *   BAD_ERROR       wefDoEffect fails with code 7 and a text
 *   BAD_NOGETMSG    wefGetErrMsg is missing
 *   BAD_CRASH       wefDoEffect crashes
 *   BAD_HANG        wefDoEffect never returns
 *   BAD_LONGOUTPUT  wefDoEffect claims an output far longer than the buffer it returns
 * Otherwise it passes the phrase through unchanged. */
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
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
#else
    int16_t* y = malloc((size_t)inputBytes + 2);
    if (!y) return 2;
    memcpy(y, input, (size_t)inputBytes);
    *output = y;
#if defined(BAD_LONGOUTPUT)
    *outputBytes = inputBytes + 0x40000000;
#else
    *outputBytes = inputBytes;
#endif
    return 0;
#endif
}

int32_t wefFreeBuffer(int16_t* output) {
    free(output);
    return 0;
}

#if !defined(BAD_NOGETMSG)
int32_t wefGetErrMsg(int32_t code, char* text) {
    snprintf(text, KANTOR_EFFECT_ERROR_TEXT_SIZE, "Test library error %d: the effect refused.", (int)code);
    return 0;
}
#endif
