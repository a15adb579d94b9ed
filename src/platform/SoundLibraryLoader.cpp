// The sound libraries (FluidSynth, PortAudio, ALSA) are loaded when first used, not at
// program start: commands that only read files never load them, and start quickly.
// Each function the program calls is defined here with the library's own declaration
// (the headers check every signature) and forwards to the library's function, looked up
// with dlopen/dlsym on its first call. Where a library cannot be loaded, the call fails
// as the library itself fails (a null object, an error code), so playing reports "no
// device" rather than the program not starting.
#include <alsa/asoundlib.h>
#include <dlfcn.h>
#include <fluidsynth.h>
#include <portaudio.h>

#include <cerrno>
#include <mutex>

namespace {

enum Library { kFluidSynth, kPortAudio, kAlsa, kLibraryCount };

void* library(Library which) {
    static const char* const kNames[kLibraryCount] = {"libfluidsynth.so.3", "libportaudio.so.2", "libasound.so.2"};
    static void* handles[kLibraryCount] = {};
    static std::once_flag once[kLibraryCount];
    std::call_once(once[which], [which] { handles[which] = ::dlopen(kNames[which], RTLD_NOW | RTLD_LOCAL); });
    return handles[which];
}

void* symbol(Library which, const char* name) {
    void* handle = library(which);
    return handle ? ::dlsym(handle, name) : nullptr;
}

template <typename Fn>
Fn lookUp(Library which, const char* name) {
    return reinterpret_cast<Fn>(symbol(which, name));
}

}  // namespace

// A function that returns a value, `failure` when the library is missing.
#define KANTOR_FORWARD(lib, ret, name, failure, params, args)        \
    extern "C" ret name params {                                     \
        using Fn = ret(*) params;                                    \
        static const Fn fn = lookUp<Fn>(lib, #name);                 \
        if (!fn) return failure;                                     \
        return fn args;                                              \
    }
#define KANTOR_FORWARD_VOID(lib, name, params, args) \
    extern "C" void name params {                    \
        using Fn = void(*) params;                   \
        static const Fn fn = lookUp<Fn>(lib, #name); \
        if (fn) fn args;                             \
    }

// FluidSynth
KANTOR_FORWARD(kFluidSynth, char*, fluid_version_str, nullptr, (void), ())
KANTOR_FORWARD(kFluidSynth, fluid_settings_t*, new_fluid_settings, nullptr, (void), ())
KANTOR_FORWARD_VOID(kFluidSynth, delete_fluid_settings, (fluid_settings_t * s), (s))
KANTOR_FORWARD(kFluidSynth, int, fluid_settings_setint, FLUID_FAILED,
               (fluid_settings_t * s, const char* name, int val), (s, name, val))
KANTOR_FORWARD(kFluidSynth, int, fluid_settings_setnum, FLUID_FAILED,
               (fluid_settings_t * s, const char* name, double val), (s, name, val))
KANTOR_FORWARD(kFluidSynth, fluid_synth_t*, new_fluid_synth, nullptr, (fluid_settings_t * s), (s))
KANTOR_FORWARD_VOID(kFluidSynth, delete_fluid_synth, (fluid_synth_t * s), (s))
KANTOR_FORWARD(kFluidSynth, int, fluid_synth_write_float, FLUID_FAILED,
               (fluid_synth_t * s, int len, void* lout, int loff, int lincr, void* rout, int roff, int rincr),
               (s, len, lout, loff, lincr, rout, roff, rincr))
KANTOR_FORWARD(kFluidSynth, int, fluid_synth_sysex, FLUID_FAILED,
               (fluid_synth_t * s, const char* data, int len, char* response, int* response_len, int* handled,
                int dryrun),
               (s, data, len, response, response_len, handled, dryrun))
KANTOR_FORWARD(kFluidSynth, int, fluid_synth_sfload, FLUID_FAILED,
               (fluid_synth_t * s, const char* filename, int reset_presets), (s, filename, reset_presets))
KANTOR_FORWARD(kFluidSynth, int, fluid_synth_program_change, FLUID_FAILED, (fluid_synth_t * s, int chan, int program),
               (s, chan, program))
KANTOR_FORWARD(kFluidSynth, int, fluid_synth_pitch_bend, FLUID_FAILED, (fluid_synth_t * s, int chan, int val),
               (s, chan, val))
KANTOR_FORWARD(kFluidSynth, int, fluid_synth_noteon, FLUID_FAILED, (fluid_synth_t * s, int chan, int key, int vel),
               (s, chan, key, vel))
KANTOR_FORWARD(kFluidSynth, int, fluid_synth_noteoff, FLUID_FAILED, (fluid_synth_t * s, int chan, int key),
               (s, chan, key))
KANTOR_FORWARD(kFluidSynth, int, fluid_synth_key_pressure, FLUID_FAILED,
               (fluid_synth_t * s, int chan, int key, int val), (s, chan, key, val))
KANTOR_FORWARD(kFluidSynth, int, fluid_synth_channel_pressure, FLUID_FAILED, (fluid_synth_t * s, int chan, int val),
               (s, chan, val))
KANTOR_FORWARD(kFluidSynth, int, fluid_synth_cc, FLUID_FAILED, (fluid_synth_t * s, int chan, int ctrl, int val),
               (s, chan, ctrl, val))
KANTOR_FORWARD(kFluidSynth, int, fluid_synth_all_notes_off, FLUID_FAILED, (fluid_synth_t * s, int chan), (s, chan))
KANTOR_FORWARD(kFluidSynth, fluid_log_function_t, fluid_set_log_function, nullptr,
               (int level, fluid_log_function_t fun, void* data), (level, fun, data))

// PortAudio
KANTOR_FORWARD(kPortAudio, PaError, Pa_Initialize, paNotInitialized, (void), ())
KANTOR_FORWARD(kPortAudio, PaError, Pa_Terminate, paNotInitialized, (void), ())
KANTOR_FORWARD(kPortAudio, PaDeviceIndex, Pa_GetDefaultOutputDevice, paNoDevice, (void), ())
KANTOR_FORWARD(kPortAudio, PaDeviceIndex, Pa_GetDefaultInputDevice, paNoDevice, (void), ())
KANTOR_FORWARD(kPortAudio, PaError, Pa_OpenDefaultStream, paNotInitialized,
               (PaStream * *stream, int numInputChannels, int numOutputChannels, PaSampleFormat sampleFormat,
                double sampleRate, unsigned long framesPerBuffer, PaStreamCallback* streamCallback, void* userData),
               (stream, numInputChannels, numOutputChannels, sampleFormat, sampleRate, framesPerBuffer, streamCallback,
                userData))
KANTOR_FORWARD(kPortAudio, const PaVersionInfo*, Pa_GetVersionInfo, nullptr, (void), ())
KANTOR_FORWARD(kPortAudio, PaDeviceIndex, Pa_GetDeviceCount, paNotInitialized, (void), ())
KANTOR_FORWARD(kPortAudio, const PaDeviceInfo*, Pa_GetDeviceInfo, nullptr, (PaDeviceIndex device), (device))
KANTOR_FORWARD(kPortAudio, PaError, Pa_OpenStream, paNotInitialized,
               (PaStream * *stream, const PaStreamParameters* inputParameters,
                const PaStreamParameters* outputParameters, double sampleRate, unsigned long framesPerBuffer,
                PaStreamFlags streamFlags, PaStreamCallback* streamCallback, void* userData),
               (stream, inputParameters, outputParameters, sampleRate, framesPerBuffer, streamFlags, streamCallback,
                userData))
KANTOR_FORWARD(kPortAudio, PaError, Pa_StartStream, paNotInitialized, (PaStream * stream), (stream))
KANTOR_FORWARD(kPortAudio, PaError, Pa_StopStream, paNotInitialized, (PaStream * stream), (stream))
KANTOR_FORWARD(kPortAudio, PaError, Pa_CloseStream, paNotInitialized, (PaStream * stream), (stream))

// ALSA
KANTOR_FORWARD(kAlsa, const char*, snd_asoundlib_version, nullptr, (void), ())
KANTOR_FORWARD(kAlsa, int, snd_lib_error_set_handler, -ENOENT, (snd_lib_error_handler_t handler), (handler))
KANTOR_FORWARD(kAlsa, int, snd_seq_open, -ENOENT, (snd_seq_t * *handle, const char* name, int streams, int mode),
               (handle, name, streams, mode))
KANTOR_FORWARD(kAlsa, int, snd_seq_close, -ENOENT, (snd_seq_t * handle), (handle))
KANTOR_FORWARD(kAlsa, int, snd_seq_set_client_name, -ENOENT, (snd_seq_t * seq, const char* name), (seq, name))
KANTOR_FORWARD(kAlsa, int, snd_seq_create_simple_port, -ENOENT,
               (snd_seq_t * seq, const char* name, unsigned int caps, unsigned int type), (seq, name, caps, type))
KANTOR_FORWARD(kAlsa, int, snd_seq_connect_to, -ENOENT, (snd_seq_t * seq, int my_port, int dest_client, int dest_port),
               (seq, my_port, dest_client, dest_port))
KANTOR_FORWARD(kAlsa, int, snd_seq_parse_address, -ENOENT, (snd_seq_t * seq, snd_seq_addr_t* addr, const char* str),
               (seq, addr, str))
KANTOR_FORWARD(kAlsa, int, snd_seq_event_output_direct, -ENOENT, (snd_seq_t * handle, snd_seq_event_t* ev),
               (handle, ev))
