/* Gain and tone: level steps, a high-pass against rumble and a presence boost. */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include "kantor_effect.h"

enum { kOk = 0, kUnknownEffect = 1, kNoMemory = 2, kBadInput = 3 };

/* A biquad filter (direct form I). */
struct Biquad {
    double b0, b1, b2, a1, a2;
};

static const double kPi = 3.14159265358979323846;

/* Second-order Butterworth high-pass at f0. */
static struct Biquad highPass(double fs, double f0) {
    const double w = 2 * kPi * f0 / fs, alpha = sin(w) / (2 * 0.7071067811865476), c = cos(w);
    const double a0 = 1 + alpha;
    struct Biquad q = {(1 + c) / 2 / a0, -(1 + c) / a0, (1 + c) / 2 / a0, -2 * c / a0, (1 - alpha) / a0};
    return q;
}

/* Peaking boost of gainDb at f0 with quality q. */
static struct Biquad peak(double fs, double f0, double gainDb, double quality) {
    const double a = pow(10.0, gainDb / 40.0), w = 2 * kPi * f0 / fs, alpha = sin(w) / (2 * quality), c = cos(w);
    const double a0 = 1 + alpha / a;
    struct Biquad q = {(1 + alpha * a) / a0, -2 * c / a0, (1 - alpha * a) / a0, -2 * c / a0, (1 - alpha / a) / a0};
    return q;
}

static int16_t clip(double v) {
    if (v > 32767.0) return 32767;
    if (v < -32768.0) return -32768;
    return (int16_t)(v < 0 ? v - 0.5 : v + 0.5);
}

int32_t wefInitialize(void) { return kOk; }
int32_t wefDeInitialize(void) { return kOk; }

int32_t wefDoEffect(int32_t sampleRate, int32_t effectNumber, const int16_t* input, int32_t inputBytes,
                    int16_t** output, int32_t* outputBytes) {
    double gainDb = 0;
    int filter = 0; /* 0 gain only, 1 high-pass, 2 presence */
    switch (effectNumber) {
    case 1: gainDb = 6; break;
    case 2: gainDb = 3; break;
    case 3: gainDb = -3; break;
    case 4: gainDb = -6; break;
    case 5: gainDb = -12; break;
    case 10: filter = 1; break;
    case 11: filter = 2; break;
    default: return kUnknownEffect;
    }
    if (inputBytes < 0 || sampleRate <= 0 || sampleRate > 192000 || (!input && inputBytes > 0)) return kBadInput;
    const long n = inputBytes / 2;
    int16_t* y = calloc((size_t)(n > 0 ? n : 1), sizeof *y);
    if (!y) return kNoMemory;
    if (filter == 0) {
        const double g = pow(10.0, gainDb / 20.0);
        for (long i = 0; i < n; ++i) y[i] = clip(input[i] * g);
    } else {
        const struct Biquad q = filter == 1 ? highPass(sampleRate, 80.0) : peak(sampleRate, 3000.0, 6.0, 1.0);
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (long i = 0; i < n; ++i) {
            const double x0 = input[i];
            const double y0 = q.b0 * x0 + q.b1 * x1 + q.b2 * x2 - q.a1 * y1 - q.a2 * y2;
            x2 = x1;
            x1 = x0;
            y2 = y1;
            y1 = y0;
            y[i] = clip(y0);
        }
    }
    *output = y;
    *outputBytes = (int32_t)(n * 2);
    return kOk;
}

int32_t wefFreeBuffer(int16_t* output) {
    free(output);
    return kOk;
}

int32_t wefGetErrMsg(int32_t code, char* text) {
    const char* m = code == kUnknownEffect ? "Gain and tone: no such effect number."
                    : code == kNoMemory    ? "Gain and tone: out of memory."
                    : code == kBadInput    ? "Gain and tone: the phrase cannot be processed."
                                           : "Gain and tone: unknown error.";
    snprintf(text, KANTOR_EFFECT_ERROR_TEXT_SIZE, "%s", m);
    return 0;
}
