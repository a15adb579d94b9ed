/* Echo effects: a few delayed, quieter copies of the phrase added to it. The output is
 * longer than the input by the last echo's delay, so the echo rings out. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kantor_effect.h"

enum { kOk = 0, kUnknownEffect = 1, kNoMemory = 2, kBadInput = 3 };

#define MAX_TAPS 6

struct Echo {
    int number;
    int delayMs;  /* between echoes */
    int taps;
    double gain[MAX_TAPS];  /* level of echo k, k = 1..taps */
};

static const struct Echo kEchoes[] = {
    {1, 100, 3, {0.5, 0.25, 0.125}},              /* short */
    {2, 300, 4, {0.6, 0.36, 0.22, 0.13}},         /* long */
    {3, 200, 6, {0.6, 0.3, 0.36, 0.18, 0.22, 0.11}}, /* ping-pong: strong and weak in turn */
};

int32_t wefInitialize(void) { return kOk; }
int32_t wefDeInitialize(void) { return kOk; }

int32_t wefDoEffect(int32_t sampleRate, int32_t effectNumber, const int16_t* input, int32_t inputBytes,
                    int16_t** output, int32_t* outputBytes) {
    const struct Echo* e = NULL;
    for (size_t i = 0; i < sizeof kEchoes / sizeof kEchoes[0]; ++i)
        if (kEchoes[i].number == effectNumber) e = &kEchoes[i];
    if (!e) return kUnknownEffect;
    if (inputBytes < 0 || sampleRate <= 0 || sampleRate > 192000 || (!input && inputBytes > 0)) return kBadInput;

    const long n = inputBytes / 2;
    const long delay = (long)sampleRate * e->delayMs / 1000;
    const long total = n + delay * e->taps;
    if (total > 0x3FFFFFFFL) return kBadInput;
    int16_t* y = calloc((size_t)(total > 0 ? total : 1), sizeof *y);
    if (!y) return kNoMemory;
    for (long i = 0; i < total; ++i) {
        double v = i < n ? input[i] : 0.0;
        for (int k = 1; k <= e->taps; ++k) {
            const long j = i - k * delay;
            if (j >= 0 && j < n) v += e->gain[k - 1] * input[j];
        }
        if (v > 32767.0) v = 32767.0;
        if (v < -32768.0) v = -32768.0;
        y[i] = (int16_t)(v < 0 ? v - 0.5 : v + 0.5);
    }
    *output = y;
    *outputBytes = (int32_t)(total * 2);
    return kOk;
}

int32_t wefFreeBuffer(int16_t* output) {
    free(output);
    return kOk;
}

int32_t wefGetErrMsg(int32_t code, char* text) {
    const char* m = code == kUnknownEffect ? "Echo: no such effect number."
                    : code == kNoMemory    ? "Echo: out of memory."
                    : code == kBadInput    ? "Echo: the phrase cannot be processed."
                                           : "Echo: unknown error.";
    snprintf(text, KANTOR_EFFECT_ERROR_TEXT_SIZE, "%s", m);
    return 0;
}
