// Asks the Wayland compositor named by WAYLAND_DISPLAY for an xdg-activation token, as a
// launcher does before it starts a program, and prints it. Exits 1 where the compositor offers
// no xdg_activation_v1 or hands no token.
#include <stdio.h>
#include <string.h>

#include <wayland-client.h>

#include "xdg-activation-v1-client-protocol.h"

static struct xdg_activation_v1* activation;
static char token[256];

static void global(void* data, struct wl_registry* registry, uint32_t name, const char* interface,
                   uint32_t version) {
    (void)data;
    (void)version;
    if (strcmp(interface, xdg_activation_v1_interface.name) == 0)
        activation = wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1);
}

static void globalRemove(void* data, struct wl_registry* registry, uint32_t name) {
    (void)data;
    (void)registry;
    (void)name;
}

static void done(void* data, struct xdg_activation_token_v1* provider, const char* value) {
    (void)data;
    (void)provider;
    snprintf(token, sizeof token, "%s", value);
}

int main(void) {
    struct wl_display* display = wl_display_connect(NULL);
    if (!display) return 1;
    static const struct wl_registry_listener registryListener = {global, globalRemove};
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, NULL);
    wl_display_roundtrip(display);
    if (!activation) return 1;
    struct xdg_activation_token_v1* provider = xdg_activation_v1_get_activation_token(activation);
    static const struct xdg_activation_token_v1_listener tokenListener = {done};
    xdg_activation_token_v1_add_listener(provider, &tokenListener, NULL);
    xdg_activation_token_v1_commit(provider);
    while (!token[0] && wl_display_roundtrip(display) != -1) {
    }
    if (!token[0]) return 1;
    puts(token);
    wl_display_disconnect(display);
    return 0;
}
