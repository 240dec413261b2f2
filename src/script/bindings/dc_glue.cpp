#include "script/bindings/dc_glue.h"

#include "script/bindings/geometry_glue.h"
#include "tolua++.h"

// tolua_error leaves through longjmp: nothing with a destructor may be alive where it is called.

namespace {

constexpr int32_t kScriptInvalidateFlag = 1;

// Raises a script error unless self is the current device.
void CheckCurrent(CKVQDC* self, lua_State* L, const char* member)
{
    if (self == nullptr || self != GetCurrentDevice()) {
        lua_pushfstring(L, "CKVQDC:%s: this drawing device is no longer current", member);
        lua_error(L);
    }
}

void CheckObject(const void* object, lua_State* L, const char* member, const char* what)
{
    if (object == nullptr) {
        lua_pushfstring(L, "CKVQDC:%s needs %s", member, what);
        lua_error(L);
    }
}

}  // namespace

CKVQDC* ScriptGetDC()
{
    return GetCurrentDevice();
}

int DCDrawVLine(CKVQDC* self, lua_State* L, const KVQPoint* point, double length, double color)
{
    CheckCurrent(self, L, "DrawVLine");
    CheckObject(point, L, "DrawVLine", "a point (KVQPoint)");
    return self->DrawVLine(*point, ScriptToInt32(length), ScriptToUInt32(color));
}

int DCDrawHLine(CKVQDC* self, lua_State* L, const KVQPoint* point, double length, double color)
{
    CheckCurrent(self, L, "DrawHLine");
    CheckObject(point, L, "DrawHLine", "a point (KVQPoint)");
    return self->DrawHLine(*point, ScriptToInt32(length), ScriptToUInt32(color));
}

int DCDrawLine(CKVQDC* self, lua_State* L, const KVQPoint* from, const KVQPoint* to, double color)
{
    CheckCurrent(self, L, "DrawLine");
    CheckObject(from, L, "DrawLine", "two points (KVQPoint)");
    CheckObject(to, L, "DrawLine", "two points (KVQPoint)");
    return self->DrawLine(*from, *to, ScriptToUInt32(color));
}

int DCInvalidateRect(CKVQDC* self, lua_State* L, const KVQRect* rect)
{
    CheckCurrent(self, L, "InvalidateRect");
    CheckObject(rect, L, "InvalidateRect", "a rectangle (KVQRect)");
    return self->InvalidateRect(*rect, kScriptInvalidateFlag);
}

int DCSetInvalidate(CKVQDC* self, lua_State* L, double mode)
{
    CheckCurrent(self, L, "SetInvalidate");
    return self->SetInvalidate(ScriptToInt32(mode));
}

int DCResize(CKVQDC* self, lua_State* L, double width, double height)
{
    CheckCurrent(self, L, "Resize");
    const int32_t w = ScriptToInt32(width);
    const int32_t h = ScriptToInt32(height);
    if (w < 0 || h < 0 || w > kMaxScriptDeviceSide || h > kMaxScriptDeviceSide)
        return -1;
    return self->Resize(w, h);
}
