#pragma once
// Hand-written side of the geometry module: the point containers offered to scripts, the
// members the generator cannot express, and the number and object helpers every module's glue
// shares.
//
// Scripts hand over any double. Integers are truncated toward zero; NaN becomes 0 and values
// beyond the target range stop at its ends, so no conversion is ever undefined.

#include <cstdint>
#include <vector>

#include "common/IntArray.h"
#include "common/Types.h"

struct lua_State;

int32_t ScriptToInt32(double value);
// Unsigned fields: the truncated value modulo 2^32 (so -1 gives 4294967295, as C code that
// stores a negative int in an unsigned field would); beyond +-2^63 the ends of the range.
uint32_t ScriptToUInt32(double value);
// Colour channels: truncated, then kept within 0 … 255.
uint8_t ScriptToByte(double value);
// Floats: values beyond the float range stop at its ends (NaN and infinities pass).
float ScriptToFloat(double value);

// Ends the link between a script's userdata (at stack index) and the engine object inside it,
// and returns the object (null when the userdata is already empty). The userdata is emptied, so
// later calls through it report "invalid 'self'"; the object is dropped from the collector's
// list, so it is never deleted a second time; and its address leaves the pointer cache, so a new
// object at the same address gets a userdata of its own. The caller deletes the object.
void* DetachScriptObject(lua_State* L, int index);

class KVQPointArray : public KVQArray<KVQPoint> {
public:
    using KVQArray<KVQPoint>::KVQArray;
};

// A doubly linked list of points whose nodes scripts walk with begin/end/next/prev. A node is
// named by an opaque value, not an address: the slot index together with a stamp drawn from a
// process-wide counter when the node was made. A value that names no live node of this list (a
// removed node, another list's node, anything forged) resolves to nothing, so no script can
// reach freed or foreign memory through it.
class KVQPointList {
public:
    using Node = uint64_t;  // 0 names no node
    static constexpr int32_t kMaxCount = 1 << 20;

    KVQPointList() = default;
    KVQPointList(const KVQPointList& other) = default;
    KVQPointList& operator=(const KVQPointList& other) = default;

    int32_t Size() const { return count_; }
    // False (list unchanged) when the list is full or cannot grow.
    bool PushBack(const KVQPoint& point) { return Insert(point, true); }
    bool PushFront(const KVQPoint& point) { return Insert(point, false); }
    // Removing from an empty list does nothing.
    void PopBack();
    void PopFront();
    void Clear();

    Node Begin() const { return NodeOf(head_); }
    Node End() const { return NodeOf(tail_); }
    Node Next(Node node) const;
    Node Prev(Node node) const;
    // The point of a live node of this list, or null.
    const KVQPoint* Data(Node node) const;

private:
    struct Slot {
        KVQPoint point;
        uint32_t stamp = 0;  // 0 while the slot is free
        int32_t prev = -1;
        int32_t next = -1;
    };

    bool Insert(const KVQPoint& point, bool atBack);
    void Remove(int32_t index);
    int32_t Find(Node node) const;
    Node NodeOf(int32_t index) const;

    std::vector<Slot> slots_;
    std::vector<int32_t> free_;
    int32_t head_ = -1;
    int32_t tail_ = -1;
    int32_t count_ = 0;
};

// Members bound with tolua_outside: the object comes first, numbers arrive as doubles.
bool IntArraySet(IntArray* array, double index, double value);
bool IntArrayPush(IntArray* array, double value);
bool IntArrayErase(IntArray* array, double index, bool keepOrder);
bool IntArrayResize(IntArray* array, double count, double value);
bool PointArraySet(KVQPointArray* array, double index, const KVQPoint& value);
bool PointArrayErase(KVQPointArray* array, double index, bool keepOrder);
void* PointListBegin(KVQPointList* list);
void* PointListEnd(KVQPointList* list);
void* PointListNext(KVQPointList* list, void* node);
void* PointListPrev(KVQPointList* list, void* node);
void RectInflate(KVQRect* rect, double left, double top, double right, double bottom);
void RectDeflate(KVQRect* rect, double left, double top, double right, double bottom);

// Replacements for generated functions (see geometry.pkg): setters that convert numbers
// safely, getters that may return no value, and deletes that cannot free twice.
namespace geometry_glue {
// new and new_local of the value types, with no arguments or with the fields in order.
int NewRGBA(lua_State* L);
int NewLocalRGBA(lua_State* L);
int NewColor(lua_State* L);
int NewLocalColor(lua_State* L);
int NewPoint(lua_State* L);
int NewLocalPoint(lua_State* L);
int NewRect(lua_State* L);
int NewLocalRect(lua_State* L);
int SetRGBARed(lua_State* L);
int SetRGBAGreen(lua_State* L);
int SetRGBABlue(lua_State* L);
int SetRGBAAlpha(lua_State* L);
int SetPointX(lua_State* L);
int SetPointY(lua_State* L);
int SetRectLeft(lua_State* L);
int SetRectRight(lua_State* L);
int SetRectTop(lua_State* L);
int SetRectBottom(lua_State* L);
int IntArrayGet(lua_State* L);
int IntArrayDelete(lua_State* L);
int PointArrayGet(lua_State* L);
int PointArrayDelete(lua_State* L);
int PointListData(lua_State* L);
int PointListDelete(lua_State* L);
}  // namespace geometry_glue
