// The game's own mixer heard through Web Audio: a ScriptProcessor on the page's thread pulls
// 1024-frame blocks from plat_audio_render, so nothing needs threads or shared memory. Browsers
// start audio only after the player touches the page; the page resumes it on the first key.
#include <emscripten.h>

#include "platform/plat_audio.h"

namespace {

int32_t audio_open = 0;
float block[2 * PLAT_AUDIO_BLOCK];

// Making the AudioContext holds the page's thread while the browser opens its audio device
// (a quarter of a second in a fresh Chromium): it waits until the first picture is on the
// screen, or until the first key or click, whichever comes first.
EM_JS(int, web_audio_start, (int rate, int frames), {
    var Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return 0;
    var audio = {ctx : null, node : null};
    Module["audio"] = audio;
    var start = function() {
        if (Module["audio"] != audio || audio.ctx) return;
        try {
            var ctx = new Context({sampleRate : rate});
            var node = ctx.createScriptProcessor(frames, 0, 2);
            node.onaudioprocess = function(e) {
                var left = e.outputBuffer.getChannelData(0), right = e.outputBuffer.getChannelData(1);
                var at = Module["_web_audio_pull"](left.length) >> 2;
                var mixed = HEAPF32;
                var peak = 0;
                for (var i = 0; i < left.length; i++) {
                    left[i] = mixed[at + 2 * i];
                    right[i] = mixed[at + 2 * i + 1];
                    peak = Math.max(peak, Math.abs(left[i]), Math.abs(right[i]));
                }
                // The loudest sample since the page last looked (the browser tests listen here).
                Module["audioPeak"] = Math.max(Module["audioPeak"] || 0, peak);
            };
            node.connect(ctx.destination);
            audio.ctx = ctx;
            audio.node = node;
        } catch (err) {
        }
    };
    var wake = function() {
        start();
        if (audio.ctx && audio.ctx.state != "running") audio.ctx.resume();
    };
    document.addEventListener("keydown", wake);
    document.addEventListener("pointerdown", wake);
    if (Module["paints"])
        setTimeout(start, 0);
    else
        (Module["afterFirstPicture"] = Module["afterFirstPicture"] || []).push(start);
    return 1;
});

EM_JS(void, web_audio_stop, (void), {
    var a = Module["audio"];
    Module["audio"] = null;
    if (!a || !a.ctx) return;
    a.node.disconnect();
    a.ctx.close();
});

} // namespace

// The page's audio callback: one block of the mix, interleaved; its address in the heap.
extern "C" EMSCRIPTEN_KEEPALIVE float *web_audio_pull(int32_t frames) {
    if (frames > PLAT_AUDIO_BLOCK) frames = PLAT_AUDIO_BLOCK;
    if (audio_open)
        plat_audio_render(block, frames);
    else
        for (float &f : block) f = 0.0f;
    return block;
}

int plat_audio_background_loading(void) { return 1; }

// Without Web Audio the game still runs: the mixer keeps its state and nothing is heard.
int plat_audio_open(void) {
    plat_mixer_reset();
    audio_open = web_audio_start(PLAT_AUDIO_RATE, PLAT_AUDIO_BLOCK) ? 1 : 2;
    return 1;
}

void plat_audio_close(void) {
    if (audio_open == 1) web_audio_stop();
    audio_open = 0;
}

int plat_audio_is_open(void) { return audio_open != 0; }

const char *plat_audio_driver(void) {
    if (!audio_open) return "";
    return audio_open == 1 ? "webaudio" : "silent";
}

// One thread: the audio callback never runs while the game holds the mixer's state.
void plat_audio_lock(void) {}
void plat_audio_unlock(void) {}
