/*
 * Effect plug-ins for the singing synthesizer: the five functions an effect library exports.
 *
 * An effect library is a shared object (.so) that exports these five C functions by these
 * exact names. The program finds it through a description file (.ncp) that names it in its
 * DllFileName key, relative to the description file's folder. See plugins.md for the whole
 * story and a worked example.
 *
 * Samples: signed 16-bit mono PCM in the machine's byte order (little-endian on every
 * machine the program runs on), at the sample rate given to wefDoEffect (11025, 22050 or
 * 44100 Hz). Lengths are in bytes.
 *
 * Order of the calls for one effect application (one phrase, one effect):
 *   wefInitialize, wefDoEffect, wefFreeBuffer, wefDeInitialize.
 * The first call that returns a non-zero status ends the application; the program then
 * calls wefGetErrMsg with that status, shows the text, and does not call the library again
 * until the next render.
 *
 * Buffers: the input belongs to the program and is only read; it is valid during
 * wefDoEffect. The output buffer belongs to the library from wefDoEffect until the program
 * hands it back to wefFreeBuffer; it may be longer or shorter than the input, and must hold
 * at least *outputBytes readable bytes.
 *
 * The library runs in a helper process of its own; a library that crashes, does not
 * return within 5 seconds, or returns an output it does not hold is stopped and reported.
 * Calls are never made from two threads at once.
 */
#ifndef KANTOR_EFFECT_H
#define KANTOR_EFFECT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define KANTOR_EFFECT_EXPORT __attribute__((visibility("default")))
#else
#define KANTOR_EFFECT_EXPORT
#endif

/* Size of the text buffer given to wefGetErrMsg, the terminating NUL included. */
#define KANTOR_EFFECT_ERROR_TEXT_SIZE 256

/* Prepares for one effect application. 0 on success, else an error code. */
KANTOR_EFFECT_EXPORT int32_t wefInitialize(void);

/* Applies effect `effectNumber` (a number from the EFFECT section of the description file,
 * 0 to 65535) to `inputBytes` bytes of samples at `input`. On success stores the address
 * of an output buffer the library allocated in *output and its length in bytes in
 * *outputBytes, and returns 0. */
KANTOR_EFFECT_EXPORT int32_t wefDoEffect(int32_t sampleRate, int32_t effectNumber, const int16_t* input,
                                         int32_t inputBytes, int16_t** output, int32_t* outputBytes);

/* Releases an output buffer wefDoEffect returned. 0 on success. */
KANTOR_EFFECT_EXPORT int32_t wefFreeBuffer(int16_t* output);

/* Ends the effect application. 0 on success. */
KANTOR_EFFECT_EXPORT int32_t wefDeInitialize(void);

/* Writes the text for an error code (as one of the other four returned it), NUL-terminated,
 * into `text`, which holds KANTOR_EFFECT_ERROR_TEXT_SIZE bytes. The result is not used. */
KANTOR_EFFECT_EXPORT int32_t wefGetErrMsg(int32_t code, char* text);

#ifdef __cplusplus
}
#endif

#endif /* KANTOR_EFFECT_H */
