#include "script/bindings/geometry_glue.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <new>

#include "tolua++.h"

// tolua_error leaves through longjmp: nothing with a destructor may be alive where it is called.

int32_t ScriptToInt32(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

uint32_t ScriptToUInt32(double value)
{
    if (std::isnan(value))
        return 0;
    constexpr double kLimit = 9223372036854775807.0;  // 2^63
    if (value >= kLimit)
        return std::numeric_limits<uint32_t>::max();
    if (value <= -kLimit)
        return 0;
    return static_cast<uint32_t>(static_cast<int64_t>(value));
}

uint8_t ScriptToByte(double value)
{
    const int32_t n = ScriptToInt32(value);
    return static_cast<uint8_t>(n < 0 ? 0 : (n > 255 ? 255 : n));
}

float ScriptToFloat(double value)
{
    constexpr double kMax = std::numeric_limits<float>::max();
    if (std::isfinite(value) && (value > kMax || value < -kMax))
        return static_cast<float>(value > 0 ? kMax : -kMax);
    return static_cast<float>(value);
}

// Removes key `object` from the table on top of the stack when it maps to the userdata at
// `index` (or, with any == true, whatever it maps to).
static void RemoveEntry(lua_State* L, void* object, int index, bool any)
{
    if (!lua_istable(L, -1))
        return;
    lua_pushlightuserdata(L, object);
    lua_rawget(L, -2);
    const bool matches = any ? !lua_isnil(L, -1) : lua_rawequal(L, -1, index) != 0;
    lua_pop(L, 1);
    if (matches) {
        lua_pushlightuserdata(L, object);
        lua_pushnil(L);
        lua_rawset(L, -3);
    }
}

void* DetachScriptObject(lua_State* L, int index)
{
    if (index < 0)
        index = lua_gettop(L) + index + 1;
    if (lua_type(L, index) != LUA_TUSERDATA)
        return nullptr;
    void** box = static_cast<void**>(lua_touserdata(L, index));
    if (box == nullptr || *box == nullptr)
        return nullptr;
    void* object = *box;
    const int top = lua_gettop(L);

    lua_pushstring(L, "tolua_gc");
    lua_rawget(L, LUA_REGISTRYINDEX);
    RemoveEntry(L, object, index, true);
    lua_settop(L, top);

    // The pointer cache lives in the class's metatable, or in the registry for classes
    // registered without one.
    if (lua_getmetatable(L, index)) {
        lua_pushstring(L, "tolua_ubox");
        lua_rawget(L, -2);
        if (!lua_istable(L, -1)) {
            lua_pop(L, 1);
            lua_pushstring(L, "tolua_ubox");
            lua_rawget(L, LUA_REGISTRYINDEX);
        }
        RemoveEntry(L, object, index, false);
    }
    lua_settop(L, top);

    *box = nullptr;
    return object;
}

// --- point list ---------------------------------------------------------------------------

static_assert(sizeof(void*) >= sizeof(KVQPointList::Node), "node values travel as light userdata");

static uint32_t NextStamp()
{
    static std::atomic<uint32_t> counter{0};
    uint32_t stamp = ++counter;
    while (stamp == 0)
        stamp = ++counter;
    return stamp;
}

KVQPointList::Node KVQPointList::NodeOf(int32_t index) const
{
    if (index < 0)
        return 0;
    return (static_cast<uint64_t>(slots_[static_cast<size_t>(index)].stamp) << 32) |
           static_cast<uint32_t>(index + 1);
}

int32_t KVQPointList::Find(Node node) const
{
    const uint32_t position = static_cast<uint32_t>(node & 0xFFFFFFFFu);
    const uint32_t stamp = static_cast<uint32_t>(node >> 32);
    if (position == 0 || stamp == 0 || position > slots_.size())
        return -1;
    const int32_t index = static_cast<int32_t>(position - 1);
    return slots_[static_cast<size_t>(index)].stamp == stamp ? index : -1;
}

bool KVQPointList::Insert(const KVQPoint& point, bool atBack)
{
    if (count_ >= kMaxCount)
        return false;
    int32_t index;
    try {
        // Room for every slot in the free list, so Remove never has to allocate.
        if (free_.capacity() < slots_.size() + 1)
            free_.reserve(std::max<size_t>(slots_.size() + 1, free_.capacity() * 2));
        if (!free_.empty()) {
            index = free_.back();
            free_.pop_back();
        } else {
            slots_.push_back(Slot{});
            index = static_cast<int32_t>(slots_.size() - 1);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    Slot& slot = slots_[static_cast<size_t>(index)];
    slot.point = point;
    slot.stamp = NextStamp();
    if (atBack) {
        slot.prev = tail_;
        slot.next = -1;
        if (tail_ >= 0)
            slots_[static_cast<size_t>(tail_)].next = index;
        else
            head_ = index;
        tail_ = index;
    } else {
        slot.prev = -1;
        slot.next = head_;
        if (head_ >= 0)
            slots_[static_cast<size_t>(head_)].prev = index;
        else
            tail_ = index;
        head_ = index;
    }
    ++count_;
    return true;
}

void KVQPointList::Remove(int32_t index)
{
    Slot& slot = slots_[static_cast<size_t>(index)];
    if (slot.prev >= 0)
        slots_[static_cast<size_t>(slot.prev)].next = slot.next;
    else
        head_ = slot.next;
    if (slot.next >= 0)
        slots_[static_cast<size_t>(slot.next)].prev = slot.prev;
    else
        tail_ = slot.prev;
    slot = Slot{};
    free_.push_back(index);  // never allocates: Insert reserved the room
    --count_;
}

void KVQPointList::PopBack()
{
    if (tail_ >= 0)
        Remove(tail_);
}

void KVQPointList::PopFront()
{
    if (head_ >= 0)
        Remove(head_);
}

void KVQPointList::Clear()
{
    slots_.clear();
    free_.clear();
    head_ = tail_ = -1;
    count_ = 0;
}

KVQPointList::Node KVQPointList::Next(Node node) const
{
    const int32_t index = Find(node);
    return index < 0 ? 0 : NodeOf(slots_[static_cast<size_t>(index)].next);
}

KVQPointList::Node KVQPointList::Prev(Node node) const
{
    const int32_t index = Find(node);
    return index < 0 ? 0 : NodeOf(slots_[static_cast<size_t>(index)].prev);
}

const KVQPoint* KVQPointList::Data(Node node) const
{
    const int32_t index = Find(node);
    return index < 0 ? nullptr : &slots_[static_cast<size_t>(index)].point;
}

// --- members bound with tolua_outside ---------------------------------------------------------

bool IntArraySet(IntArray* array, double index, double value)
{
    return array->Set(ScriptToInt32(index), ScriptToInt32(value));
}

bool IntArrayPush(IntArray* array, double value)
{
    return array->Push(ScriptToInt32(value));
}

bool IntArrayErase(IntArray* array, double index, bool keepOrder)
{
    return array->Erase(ScriptToInt32(index), keepOrder);
}

bool IntArrayResize(IntArray* array, double count, double value)
{
    return array->Resize(ScriptToInt32(count), ScriptToInt32(value));
}

bool PointArraySet(KVQPointArray* array, double index, const KVQPoint& value)
{
    return array->Set(ScriptToInt32(index), value);
}

bool PointArrayErase(KVQPointArray* array, double index, bool keepOrder)
{
    return array->Erase(ScriptToInt32(index), keepOrder);
}

static void* AsLightUserdata(KVQPointList::Node node)
{
    return reinterpret_cast<void*>(static_cast<uintptr_t>(node));
}

static KVQPointList::Node AsNode(void* value)
{
    return static_cast<KVQPointList::Node>(reinterpret_cast<uintptr_t>(value));
}

void* PointListBegin(KVQPointList* list)
{
    return AsLightUserdata(list->Begin());
}

void* PointListEnd(KVQPointList* list)
{
    return AsLightUserdata(list->End());
}

void* PointListNext(KVQPointList* list, void* node)
{
    return AsLightUserdata(list->Next(AsNode(node)));
}

void* PointListPrev(KVQPointList* list, void* node)
{
    return AsLightUserdata(list->Prev(AsNode(node)));
}

void RectInflate(KVQRect* rect, double left, double top, double right, double bottom)
{
    rect->Inflate(ScriptToInt32(left), ScriptToInt32(top), ScriptToInt32(right), ScriptToInt32(bottom));
}

void RectDeflate(KVQRect* rect, double left, double top, double right, double bottom)
{
    rect->Deflate(ScriptToInt32(left), ScriptToInt32(top), ScriptToInt32(right), ScriptToInt32(bottom));
}

// --- replaced generated functions ---------------------------------------------------------

namespace {

// The object behind argument 1, which must be a userdata of the class; a script error otherwise.
template <typename Object>
Object* CheckedSelf(lua_State* L, const char* type, const char* invalidSelf)
{
    tolua_Error err;
    if (!tolua_isusertype(L, 1, type, 0, &err))
        tolua_error(L, invalidSelf, nullptr);
    Object* self = static_cast<Object*>(tolua_tousertype(L, 1, nullptr));
    if (self == nullptr)
        tolua_error(L, invalidSelf, nullptr);
    return self;
}

// A property assignment: argument 2 must be a number.
double CheckedNumber(lua_State* L)
{
    tolua_Error err;
    if (!tolua_isnumber(L, 2, 0, &err))
        tolua_error(L, "#vinvalid type in variable assignment.", &err);
    return tolua_tonumber(L, 2, 0);
}

// A method call: argument 1 the object, then the given arguments and nothing else.
template <typename Object>
Object* CheckedCall(lua_State* L, const char* type, int argumentCount, const char* function)
{
    tolua_Error err;
    if (!tolua_isusertype(L, 1, type, 0, &err) || !tolua_isnoobj(L, argumentCount + 2, &err))
        tolua_error(L, function, &err);
    Object* self = static_cast<Object*>(tolua_tousertype(L, 1, nullptr));
    if (self == nullptr)
        tolua_error(L, "invalid 'self'", nullptr);
    return self;
}

int SetByte(lua_State* L, uint8_t RGBA::*field)
{
    RGBA* self = CheckedSelf<RGBA>(L, "RGBA", "invalid 'self' in accessing a colour channel");
    self->*field = ScriptToByte(CheckedNumber(L));
    return 0;
}

int SetPointField(lua_State* L, int32_t KVQPoint::*field)
{
    KVQPoint* self = CheckedSelf<KVQPoint>(L, "KVQPoint", "invalid 'self' in accessing a point coordinate");
    self->*field = ScriptToInt32(CheckedNumber(L));
    return 0;
}

int SetRectField(lua_State* L, int32_t KVQRect::*field)
{
    KVQRect* self = CheckedSelf<KVQRect>(L, "KVQRect", "invalid 'self' in accessing a rectangle edge");
    self->*field = ScriptToInt32(CheckedNumber(L));
    return 0;
}

// An index argument: a number, or absent (0).
int32_t IndexArgument(lua_State* L, const char* function)
{
    tolua_Error err;
    if (!tolua_isnumber(L, 2, 1, &err))
        tolua_error(L, function, &err);
    return ScriptToInt32(tolua_tonumber(L, 2, 0));
}

template <typename Object>
int DeleteObject(lua_State* L, const char* type)
{
    CheckedCall<Object>(L, type, 0, "#ferror in function 'delete'.");
    delete static_cast<Object*>(DetachScriptObject(L, 1));
    return 0;
}

// A copy of a point that Lua owns.
void PushPointCopy(lua_State* L, const KVQPoint& point)
{
    KVQPoint* copy = new (std::nothrow) KVQPoint(point);
    if (copy == nullptr) {
        lua_pushnil(L);
        return;
    }
    tolua_pushusertype(L, copy, "KVQPoint");
    tolua_register_gc(L, lua_gettop(L));
}

// new / new_local (and the call form, KVQPoint(x, y)): the class, then either nothing or up to
// fieldCount numbers, the missing ones 0. Anything else is a script error, raised before the
// object exists.
template <typename Object, size_t fieldCount>
int Construct(lua_State* L, const char* type, bool local, void (*fill)(Object&, const double (&)[fieldCount]))
{
    tolua_Error err;
    if (!tolua_isusertable(L, 1, type, 0, &err))
        tolua_error(L, "#ferror in function 'new'.", &err);
    double fields[fieldCount] = {};
    for (size_t i = 0; i < fieldCount; ++i) {
        const int at = static_cast<int>(i) + 2;
        if (!tolua_isnumber(L, at, 1, &err))
            tolua_error(L, "#ferror in function 'new'.", &err);
        fields[i] = tolua_tonumber(L, at, 0);
    }
    if (!tolua_isnoobj(L, static_cast<int>(fieldCount) + 2, &err))
        tolua_error(L, "#ferror in function 'new'.", &err);
    Object* object = new (std::nothrow) Object();
    if (object == nullptr)
        return luaL_error(L, "not enough memory for a new %s", type);
    fill(*object, fields);
    tolua_pushusertype(L, object, type);
    if (local)
        tolua_register_gc(L, lua_gettop(L));
    return 1;
}

void FillRGBA(RGBA& colour, const double (&v)[4])
{
    colour = RGBA{ScriptToByte(v[0]), ScriptToByte(v[1]), ScriptToByte(v[2]), ScriptToByte(v[3])};
}

void FillColor(KVQColor& colour, const double (&v)[4])
{
    colour = KVQColor{ScriptToFloat(v[0]), ScriptToFloat(v[1]), ScriptToFloat(v[2]), ScriptToFloat(v[3])};
}

void FillPoint(KVQPoint& point, const double (&v)[2])
{
    point = KVQPoint{ScriptToInt32(v[0]), ScriptToInt32(v[1])};
}

void FillRect(KVQRect& rect, const double (&v)[4])
{
    rect = KVQRect{ScriptToInt32(v[0]), ScriptToInt32(v[1]), ScriptToInt32(v[2]), ScriptToInt32(v[3])};
}

}  // namespace

namespace geometry_glue {

int NewRGBA(lua_State* L) { return Construct<RGBA, 4>(L, "RGBA", false, FillRGBA); }
int NewLocalRGBA(lua_State* L) { return Construct<RGBA, 4>(L, "RGBA", true, FillRGBA); }
int NewColor(lua_State* L) { return Construct<KVQColor, 4>(L, "KVQColor", false, FillColor); }
int NewLocalColor(lua_State* L) { return Construct<KVQColor, 4>(L, "KVQColor", true, FillColor); }
int NewPoint(lua_State* L) { return Construct<KVQPoint, 2>(L, "KVQPoint", false, FillPoint); }
int NewLocalPoint(lua_State* L) { return Construct<KVQPoint, 2>(L, "KVQPoint", true, FillPoint); }
int NewRect(lua_State* L) { return Construct<KVQRect, 4>(L, "KVQRect", false, FillRect); }
int NewLocalRect(lua_State* L) { return Construct<KVQRect, 4>(L, "KVQRect", true, FillRect); }

int SetRGBARed(lua_State* L)
{
    return SetByte(L, &RGBA::red);
}

int SetRGBAGreen(lua_State* L)
{
    return SetByte(L, &RGBA::green);
}

int SetRGBABlue(lua_State* L)
{
    return SetByte(L, &RGBA::blue);
}

int SetRGBAAlpha(lua_State* L)
{
    return SetByte(L, &RGBA::alpha);
}

int SetPointX(lua_State* L)
{
    return SetPointField(L, &KVQPoint::x);
}

int SetPointY(lua_State* L)
{
    return SetPointField(L, &KVQPoint::y);
}

int SetRectLeft(lua_State* L)
{
    return SetRectField(L, &KVQRect::left);
}

int SetRectRight(lua_State* L)
{
    return SetRectField(L, &KVQRect::right);
}

int SetRectTop(lua_State* L)
{
    return SetRectField(L, &KVQRect::top);
}

int SetRectBottom(lua_State* L)
{
    return SetRectField(L, &KVQRect::bottom);
}

// get(index): the element, or no value when index is outside the array.
int IntArrayGet(lua_State* L)
{
    const char* function = "#ferror in function 'get'.";
    IntArray* self = CheckedCall<IntArray>(L, "IntArray", 1, function);
    const std::optional<int32_t> value = self->Get(IndexArgument(L, function));
    if (!value)
        return 0;
    lua_pushnumber(L, *value);
    return 1;
}

int IntArrayDelete(lua_State* L)
{
    return DeleteObject<IntArray>(L, "IntArray");
}

int PointArrayGet(lua_State* L)
{
    const char* function = "#ferror in function 'get'.";
    KVQPointArray* self = CheckedCall<KVQPointArray>(L, "KVQPointArray", 1, function);
    const std::optional<KVQPoint> value = self->Get(IndexArgument(L, function));
    if (!value)
        return 0;
    PushPointCopy(L, *value);
    return 1;
}

int PointArrayDelete(lua_State* L)
{
    return DeleteObject<KVQPointArray>(L, "KVQPointArray");
}

// data(node): a copy of the node's point (the list may drop the node while a script still
// holds the point), or no value when the node is not a live node of this list.
int PointListData(lua_State* L)
{
    const char* function = "#ferror in function 'data'.";
    KVQPointList* self = CheckedCall<KVQPointList>(L, "KVQPointList", 1, function);
    tolua_Error err;
    if (!tolua_isuserdata(L, 2, 0, &err))
        tolua_error(L, function, &err);
    const KVQPoint* point = self->Data(AsNode(lua_touserdata(L, 2)));
    if (point == nullptr)
        return 0;
    PushPointCopy(L, *point);
    return 1;
}

int PointListDelete(lua_State* L)
{
    return DeleteObject<KVQPointList>(L, "KVQPointList");
}

}  // namespace geometry_glue
