// The browser's WebSocket, driven from C: its messages are queued in the page and taken one by one.
#include "platform/web/web_socket.h"

#include <emscripten.h>

namespace {

EM_JS(void, js_open, (const char *host, int port), {
    var url = (location.protocol == 'https:' ? 'wss://' : 'ws://') + UTF8ToString(host) + ':' + port + '/';
    var s = {queue : [], waiting : [], closed : false};
    Module.roomSocket = s;
    try {
        s.ws = new WebSocket(url);
    } catch (e) {
        s.closed = true;
        return;
    }
    s.ws.binaryType = 'arraybuffer';
    s.ws.onopen = function() {
        s.waiting.forEach(function(m) { s.ws.send(m); });
        s.waiting = [];
    };
    s.ws.onmessage = function(e) {
        if (e.data instanceof ArrayBuffer) s.queue.push(new Uint8Array(e.data));
    };
    s.ws.onclose = function() { s.closed = true; };
    s.ws.onerror = function() { s.closed = true; };
    // A page left for another address may live on in the back-forward cache with its socket
    // open: the other player's game would wait on keys that never come. Closed, the room server
    // keeps the seat for this player's next page.
    addEventListener('pagehide',
                     function() {
                         if (!s.closed) s.ws.close();
                         s.closed = true;
                     },
                     {once : true});
});
EM_JS(void, js_send, (const uint8_t *data, int size), {
    var s = Module.roomSocket;
    if (!s || s.closed) return;
    var m = HEAPU8.slice(data, data + size);
    if (s.ws.readyState == 1)
        s.ws.send(m);
    else
        s.waiting.push(m);
});
EM_JS(int, js_take, (uint8_t * out, int size), {
    var s = Module.roomSocket;
    if (!s || !s.queue.length) return -1;
    var m = s.queue.shift();
    var n = Math.min(m.length, size);
    HEAPU8.set(m.subarray(0, n), out);
    return n;
});
EM_JS(int, js_closed, (void), {
    var s = Module.roomSocket;
    return s && s.closed && !s.queue.length ? 1 : 0;
});
EM_JS(void, js_close, (void), {
    var s = Module.roomSocket;
    // What was sent goes out before the close.
    if (s && s.ws && !s.closed) s.ws.close();
    Module.roomSocket = null;
});
EM_JS(double, js_now, (void), { return performance.now(); });

} // namespace

void web_socket_open(const char *host, uint16_t port) { js_open(host, port); }
void web_socket_send(const uint8_t *data, size_t size) { js_send(data, static_cast<int>(size)); }
int32_t web_socket_take(uint8_t *out, size_t size) { return js_take(out, static_cast<int>(size)); }
int32_t web_socket_closed(void) { return js_closed(); }
void web_socket_close(void) { js_close(); }
uint32_t web_socket_now_ms(void) { return static_cast<uint32_t>(static_cast<uint64_t>(js_now())); }
void web_socket_wait(uint32_t ms) { emscripten_sleep(ms); }
