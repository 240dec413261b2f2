#pragma once
// Hand-written side of the window module: the members bound with tolua_outside (numbers arrive
// as doubles and are converted safely, objects arrive as pointers and may be null) and the
// replacements for generated functions named in window.pkg.

#include <cstdint>
#include <string>

#include "common/Types.h"

struct lua_State;
class CKVQMessage;
class CKVQWindow;
class IRender;
class WndArray;

int RenderGetAttributeNameRef(IRender* self, const char* name, double index);
std::string RenderGetAttribute(IRender* self, double index);
bool RenderSetAttribute(IRender* self, double index, const char* text);
double RenderGetAddress(IRender* self, double index);

CKVQWindow* WindowGetChildByIndex(CKVQWindow* self, double index);
CKVQWindow* WindowHitTest(CKVQWindow* self, double x, double y);
CKVQWindow* WindowHitTest0(CKVQWindow* self, double x, double y);
void WindowSetHeight(CKVQWindow* self, double height);
void WindowSetWidth(CKVQWindow* self, double width);
void WindowSetPos(CKVQWindow* self, const KVQPoint* point);
void WindowSetPosXY(CKVQWindow* self, double x, double y);
void WindowSetHotPos(CKVQWindow* self, const KVQPoint* point);
void WindowNormalAligned(CKVQWindow* self, const KVQRect* rect);
void WindowSetBit(CKVQWindow* self, double bit);
void WindowDelBit(CKVQWindow* self, double bit);
bool WindowIsBitSet(CKVQWindow* self, double bit);
void WindowSetExtX(CKVQWindow* self, double value);
void WindowSetExtY(CKVQWindow* self, double value);
void WindowSetExtW(CKVQWindow* self, double value);
void WindowSetExtH(CKVQWindow* self, double value);
void WindowSetState(CKVQWindow* self, double index, double notify);
void WindowSetSideAligned(CKVQWindow* self, double side, double alignment);
void WindowSetAligned(CKVQWindow* self, double side, double alignment);
void WindowSetClipOffset(CKVQWindow* self, double left, double top, double right, double bottom);
void WindowHideChildren(CKVQWindow* self, double flag);
bool WindowSetSelected(CKVQWindow* self, double flag);
std::string WindowGetAttribute(CKVQWindow* self, double index);
bool WindowSetAttribute(CKVQWindow* self, double index, const char* text);
void WindowSetAddData(CKVQWindow* self, double value);
void WindowSetMask(CKVQWindow* self, double red, double green, double blue, double alpha);
void WindowGetCloseSiblings(CKVQWindow* self, const char* className, float distance, WndArray* array);
double WindowGetAddress(CKVQWindow* self, double index);
void WindowSetExtraData(CKVQWindow* self, const char* name, const CKVQMessage* message);
bool WindowLoadChildsFromFile(CKVQWindow* self, const char* path, WndArray* array);
bool WndArrayLoad(WndArray* self, const char* path);

namespace window_glue {
int SetRenderBlendMode(lua_State* L);
int FromHandle(lua_State* L);
}  // namespace window_glue
