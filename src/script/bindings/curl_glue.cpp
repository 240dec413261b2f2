// The members of the request and response records that carry bytes: handed to and taken from Lua
// with their full length, so a zero byte inside a body or a POST body does not cut it. And `send`,
// which takes the request away from the script.

#include "script/LuaHost.h"
#include "services/Curl.h"
#include "tolua++.h"

namespace {

template <typename T>
T* SelfAt(lua_State* L, const char* type)
{
    tolua_Error error;
    if (lua_type(L, 1) != LUA_TUSERDATA || !tolua_isusertype(L, 1, type, 0, &error))
        return nullptr;
    return static_cast<T*>(tolua_tousertype(L, 1, nullptr));
}

int PushBytes(lua_State* L, const std::string* bytes)
{
    if (bytes == nullptr)
        return 0;
    lua_pushlstring(L, bytes->data(), bytes->size());
    return 1;
}

}  // namespace

namespace curl_glue {

int GetData(lua_State* L)
{
    auto* request = SelfAt<_urlRequest>(L, "_urlRequest");
    return PushBytes(L, request ? &request->data : nullptr);
}

// A property setter gets the record and the new value (tolua++ passes the value second).
int SetData(lua_State* L)
{
    auto* request = SelfAt<_urlRequest>(L, "_urlRequest");
    if (request == nullptr)
        return 0;
    size_t length = 0;
    const char* bytes = lua_type(L, 2) == LUA_TSTRING ? lua_tolstring(L, 2, &length) : nullptr;
    request->data.assign(bytes != nullptr ? bytes : "", bytes != nullptr ? length : 0);
    return 0;
}

int GetResponseData(lua_State* L)
{
    auto* response = SelfAt<_urlResponse>(L, "_urlResponse");
    return PushBytes(L, response ? &response->body : nullptr);
}

int GetError(lua_State* L)
{
    auto* response = SelfAt<_urlResponse>(L, "_urlResponse");
    return PushBytes(L, response ? &response->error : nullptr);
}

// client:send(request). Anything but a request is ignored. The script's userdata of the request
// stops pointing at it: the worker owns it from here on.
int Send(lua_State* L)
{
    tolua_Error error;
    if (lua_type(L, 2) != LUA_TUSERDATA || !tolua_isusertype(L, 2, "_urlRequest", 0, &error))
        return 0;
    auto* request = static_cast<_urlRequest*>(tolua_tousertype(L, 2, nullptr));
    if (request == nullptr)
        return 0;
    if (CKVQLuaHost* host = GetCurrentHost())
        host->ForgetObject(request);
    CKVQCurl::Instance().send(request);
    return 0;
}

int Delete(lua_State* L)
{
    auto* request = SelfAt<_urlRequest>(L, "_urlRequest");
    if (request == nullptr) {
        lua_pushstring(L, "_urlRequest:delete: not a live request (sent or deleted already)");
        return lua_error(L);
    }
    if (CKVQLuaHost* host = GetCurrentHost())
        host->ForgetObject(request);
    delete request;
    return 0;
}

}  // namespace curl_glue
