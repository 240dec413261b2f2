#pragma once
// Hand-written side of the drawing-device module. Scripts reach the current device through
// "KVQAPI_GetDC" (nil when there is none); its members act only while it is still the current
// device, so a script holding an older device gets a script error instead of a freed object.
// Missing points and rectangles are script errors too; numbers follow the script rules (colours
// as unsigned 32-bit values, red in the lowest byte).

#include <cstdint>

#include "common/Types.h"
#include "gfx/DC.h"

struct lua_State;

// Resize refuses sizes beyond this (and negative ones) with -1: no device is that large.
constexpr int32_t kMaxScriptDeviceSide = 16384;

CKVQDC* ScriptGetDC();
int DCDrawVLine(CKVQDC* self, lua_State* L, const KVQPoint* point, double length, double color);
int DCDrawHLine(CKVQDC* self, lua_State* L, const KVQPoint* point, double length, double color);
int DCDrawLine(CKVQDC* self, lua_State* L, const KVQPoint* from, const KVQPoint* to, double color);
// The rectangle is invalidated with flag 1: the device presents again without a redraw.
int DCInvalidateRect(CKVQDC* self, lua_State* L, const KVQRect* rect);
int DCSetInvalidate(CKVQDC* self, lua_State* L, double mode);
int DCResize(CKVQDC* self, lua_State* L, double width, double height);
