#include "script/bindings/string_glue.h"

#include "common/EngineString.h"
#include "script/bindings/geometry_glue.h"
#include "tolua++.h"

namespace string_glue {

int Delete(lua_State* L)
{
    tolua_Error err;
    if (!tolua_isusertype(L, 1, "CKVQString", 0, &err) || !tolua_isnoobj(L, 2, &err))
        tolua_error(L, "#ferror in function 'delete'.", &err);
    if (tolua_tousertype(L, 1, nullptr) == nullptr)
        tolua_error(L, "invalid 'self' in function 'delete'", nullptr);
    delete static_cast<CKVQString*>(DetachScriptObject(L, 1));
    return 0;
}

}  // namespace string_glue
