#include "script/Bindings.h"

#include "script/BindingGuards.h"
#include "tolua++.h"

// Open functions of the generated modules (script/bindings/NAME.pkg).
int tolua_geometry_open(lua_State* L);
int tolua_message_open(lua_State* L);
int tolua_window_open(lua_State* L);
int tolua_windowdic_open(lua_State* L);
int tolua_windowmgr_open(lua_State* L);
int tolua_dc_open(lua_State* L);
int tolua_string_open(lua_State* L);
int tolua_corecfg_open(lua_State* L);
int tolua_texture_open(lua_State* L);
int tolua_wave_open(lua_State* L);
int tolua_pathfinding_open(lua_State* L);
int tolua_audio_open(lua_State* L);
int tolua_timer_open(lua_State* L);
int tolua_curl_open(lua_State* L);
int tolua_services_open(lua_State* L);
int tolua_dbconfig_open(lua_State* L);

void RegisterBindings(lua_State* L)
{
    // Colours, points, vectors, rectangles and the arrays; messages; windows with their constants;
    // class dictionaries; the window manager; the drawing device; strings; the core configuration
    // with the engine's global functions and the texture functions; sound objects; the audio
    // engine; timers; HTTP requests; log files, keyed hashing, locks and events; configuration tables.
    tolua_geometry_open(L);
    tolua_message_open(L);
    tolua_window_open(L);
    tolua_windowdic_open(L);
    tolua_windowmgr_open(L);
    tolua_dc_open(L);
    tolua_string_open(L);
    tolua_corecfg_open(L);
    tolua_texture_open(L);
    tolua_wave_open(L);
    tolua_pathfinding_open(L);
    tolua_audio_open(L);
    tolua_timer_open(L);
    tolua_curl_open(L);
    tolua_services_open(L);
    tolua_dbconfig_open(L);

    // Last, over every class registered above: tolua++'s own entry points are checked, and the
    // statics can be called with the dot.
    GuardBoundClasses(L);
}
