// The page's one WebSocket (the browser's own), for the room server: binary messages out and in.
#pragma once
#include <cstddef>
#include <cstdint>

// Opens ws://HOST:PORT (wss:// on an https page); messages sent before it is open wait for it.
void web_socket_open(const char *host, uint16_t port);
void web_socket_send(const uint8_t *data, size_t size);
// The next message that arrived, into out: its size, or -1 for none (longer ones are cut).
int32_t web_socket_take(uint8_t *out, size_t size);
// 1 once the socket was closed, by either side or by a failure to connect.
int32_t web_socket_closed(void);
void web_socket_close(void);
// The page's clock in ms, running while the tab is away too.
uint32_t web_socket_now_ms(void);
// Hands the page back to the browser for ms.
void web_socket_wait(uint32_t ms);
