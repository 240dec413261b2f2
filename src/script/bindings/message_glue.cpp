// The message accessors as scripts see them. Each takes an optional value and answers by the
// message's mode: in write mode it writes the value and returns what it wrote, in read mode it
// returns what it read and ignores the argument. Reading past the written bytes gives 0 (or the
// empty text, or nil) and leaves the stream's error set.
//
// Lua reports errors with a long jump, so every check that can raise one runs before any object
// with a destructor is alive.

#include <cstdint>
#include <string>
#include <type_traits>

#include "io/Archive.h"
#include "script/BindingGuards.h"
#include "script/bindings/geometry_glue.h"
#include "tolua++.h"
#include "ui/Message.h"

namespace {

constexpr const char* kMessageType = "CKVQMessage";

CKVQMessage* Self(lua_State* L, const char* function)
{
    tolua_Error error;
    if (!tolua_isusertype(L, 1, kMessageType, 0, &error)) {
        lua_pushfstring(L, "#ferror in function '%s'.", function);
        tolua_error(L, lua_tostring(L, -1), &error);
    }
    auto* self = static_cast<CKVQMessage*>(tolua_tousertype(L, 1, nullptr));
    if (self == nullptr)
        luaL_error(L, "invalid 'self' in function '%s'", function);
    return self;
}

// The value argument of a write: absent or nil is 0; booleans count as 1 and 0 (scripts pass
// them to bool and uiboolean); anything else must be a number.
double NumberArgument(lua_State* L, const char* function)
{
    if (lua_isnoneornil(L, 2))
        return 0.0;
    if (lua_isboolean(L, 2))
        return lua_toboolean(L, 2) ? 1.0 : 0.0;
    if (!lua_isnumber(L, 2))
        luaL_error(L, "argument #2 of '%s' is '%s'; 'number' expected", function, luaL_typename(L, 2));
    return lua_tonumber(L, 2);
}

// The low 32 bits of a number truncated toward zero; numbers beyond the int64 range (and NaN)
// have none to speak of and give 0, as the uint32 accessor does.
uint32_t LowBits(double value)
{
    if (!(value > -9.2e18 && value < 9.2e18))
        return 0;
    return static_cast<uint32_t>(static_cast<int64_t>(value));
}

template <typename T>
T FromNumber(double value)
{
    if constexpr (std::is_floating_point_v<T>)
        return static_cast<T>(value);
    else
        return static_cast<T>(LowBits(value));
}

template <typename T>
int TransferScalar(lua_State* L, const char* function, int32_t (CKVQMessage::*transfer)(T&, const char*))
{
    CKVQMessage* self = Self(L, function);
    T value{};
    if (!self->IsLoading())
        value = FromNumber<T>(NumberArgument(L, function));
    (self->*transfer)(value, nullptr);
    lua_pushnumber(L, static_cast<lua_Number>(value));
    return 1;
}

int Int(lua_State* L) { return TransferScalar<int32_t>(L, "int", &CKVQMessage::Int32); }
int Long(lua_State* L) { return TransferScalar<int32_t>(L, "long", &CKVQMessage::Long); }
int SInt8(lua_State* L) { return TransferScalar<int8_t>(L, "sint8", &CKVQMessage::Int8); }
int UInt8(lua_State* L) { return TransferScalar<uint8_t>(L, "uint8", &CKVQMessage::UInt8); }
int SInt16(lua_State* L) { return TransferScalar<int16_t>(L, "sint16", &CKVQMessage::Int16); }
int UInt16(lua_State* L) { return TransferScalar<uint16_t>(L, "uint16", &CKVQMessage::UInt16); }
int Float(lua_State* L) { return TransferScalar<float>(L, "float", &CKVQMessage::Float); }

int Bool(lua_State* L)
{
    CKVQMessage* self = Self(L, "bool");
    int32_t value = self->IsLoading() ? 0 : static_cast<int32_t>(LowBits(NumberArgument(L, "bool")));
    lua_pushnumber(L, self->ScriptBool(value));
    return 1;
}

int UiBoolean(lua_State* L)
{
    CKVQMessage* self = Self(L, "uiboolean");
    int32_t value = self->IsLoading() ? 0 : static_cast<int32_t>(LowBits(NumberArgument(L, "uiboolean")));
    lua_pushnumber(L, self->ScriptUiBoolean(value));
    return 1;
}

int UInt32(lua_State* L)
{
    CKVQMessage* self = Self(L, "uint32");
    double value = self->IsLoading() ? 0.0 : NumberArgument(L, "uint32");
    lua_pushnumber(L, self->ScriptUInt32(value));
    return 1;
}

int String(lua_State* L)
{
    CKVQMessage* self = Self(L, "string");
    const char* text = "";
    if (!self->IsLoading() && !lua_isnoneornil(L, 2)) {
        if (!lua_isstring(L, 2))
            luaL_error(L, "argument #2 of 'string' is '%s'; 'string' expected", luaL_typename(L, 2));
        text = lua_tostring(L, 2);
    }
    const std::string result = self->ScriptString(text);
    lua_pushlstring(L, result.data(), result.size());
    return 1;
}

// Pushes object typed as typeName, or nil for a null object or a name no class answers to.
void PushTyped(lua_State* L, void* object, const char* typeName)
{
    if (object != nullptr) {
        luaL_getmetatable(L, typeName);
        const bool known = lua_istable(L, -1);
        lua_pop(L, 1);
        if (known) {
            tolua_pushusertype(L, object, typeName);
            return;
        }
    }
    lua_pushnil(L);
}

// Ptr(typeName[, object]). The object must be of the named class (or derived from it): a pointer
// written under a name it does not have would come back as an object of the wrong class.
int Ptr(lua_State* L)
{
    CKVQMessage* self = Self(L, "Ptr");
    if (lua_type(L, 2) != LUA_TSTRING)
        luaL_error(L, "argument #2 of 'Ptr' is '%s'; a type name expected", luaL_typename(L, 2));
    const char* typeName = lua_tostring(L, 2);
    if (self->IsLoading()) {
        PushTyped(L, self->Ptr(typeName, nullptr), typeName);
        return 1;
    }
    void* object = nullptr;
    if (!lua_isnoneornil(L, 3)) {
        tolua_Error error;
        if (!tolua_isusertype(L, 3, typeName, 0, &error))
            tolua_error(L, "#ferror in function 'Ptr'.", &error);
        object = tolua_tousertype(L, 3, nullptr);
    }
    self->Ptr(typeName, object);
    PushTyped(L, object, typeName);
    return 1;
}

// Messages made by new_local: their pointer tokens die with them, so a token written into
// another message can never lead back to the freed object.
int Collect(lua_State* L)
{
    delete static_cast<CKVQMessage*>(TakeCollectedObject(L));
    return 0;
}

}  // namespace

// Called by the generated module with the global module open, after the class is registered.
void RegisterMessageGlue(lua_State* L)
{
    SetClassCollector(L, kMessageType, Collect);
    SetClassCollector(L, "const CKVQMessage", Collect);
    tolua_beginmodule(L, kMessageType);
    tolua_function(L, "uiboolean", UiBoolean);
    tolua_function(L, "bool", Bool);
    tolua_function(L, "int", Int);
    tolua_function(L, "long", Long);
    tolua_function(L, "sint8", SInt8);
    tolua_function(L, "uint8", UInt8);
    tolua_function(L, "sint16", SInt16);
    tolua_function(L, "uint16", UInt16);
    tolua_function(L, "uint32", UInt32);
    tolua_function(L, "float", Float);
    tolua_function(L, "string", String);
    tolua_function(L, "Ptr", Ptr);
    tolua_endmodule(L);
    tolua_constant(L, "SM_READ", CIArchive::SM_READ);
    tolua_constant(L, "SM_WRITE", CIArchive::SM_WRITE);
}

// Members bound with tolua_outside (see message.pkg): numbers arrive as doubles.
void MessageSetMode(CKVQMessage* self, double mode)
{
    self->setMode(ScriptToInt32(mode));
}

void MessageSetData(CKVQMessage* self, double data)
{
    self->setData(ScriptToInt32(data));
}
