#pragma once
// Hand-written side of the string module.

struct lua_State;

namespace string_glue {
// CKVQString:delete(): deletes the string once; the userdata is emptied (see DetachScriptObject).
int Delete(lua_State* L);
}  // namespace string_glue
