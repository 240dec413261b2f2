// Hand-written side of the sound-object module.

#include "script/bindings/geometry_glue.h"
#include "services/Wave.h"
#include "tolua++.h"

namespace wave_glue {

// CKVQWave:delete(): stops and deletes the sound object once; the userdata is emptied (see
// DetachScriptObject).
int Delete(lua_State* L)
{
    tolua_Error err;
    if (!tolua_isusertype(L, 1, "CKVQWave", 0, &err) || !tolua_isnoobj(L, 2, &err))
        tolua_error(L, "#ferror in function 'delete'.", &err);
    if (tolua_tousertype(L, 1, nullptr) == nullptr)
        tolua_error(L, "invalid 'self' in function 'delete'", nullptr);
    delete static_cast<CKVQWave*>(DetachScriptObject(L, 1));
    return 0;
}

// CKVQWave:Load(file) -> boolean. The file is a string (or a number); nil is an error.
int Load(lua_State* L)
{
    tolua_Error err;
    if (!tolua_isusertype(L, 1, "CKVQWave", 0, &err) || !tolua_isnoobj(L, 3, &err))
        tolua_error(L, "#ferror in function 'Load'.", &err);
    const int type = lua_type(L, 2);
    if (type != LUA_TSTRING && type != LUA_TNUMBER) {
        err = tolua_Error{2, 0, "string"};
        tolua_error(L, "#ferror in function 'Load'.", &err);
    }
    auto* wave = static_cast<CKVQWave*>(tolua_tousertype(L, 1, nullptr));
    if (wave == nullptr)
        tolua_error(L, "invalid 'self' in function 'Load'", nullptr);
    lua_pushboolean(L, wave->Load(lua_tostring(L, 2)) ? 1 : 0);
    return 1;
}

}  // namespace wave_glue
