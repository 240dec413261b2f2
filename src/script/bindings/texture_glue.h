#pragma once
// Hand-written side of the texture module: the texture functions scripts call by file name.
// Each loads the named image through the texture cache first (a name already loaded is not read
// again). Numbers arrive as doubles and are converted by the shared script rules.

#include <cstdint>

#include "common/Types.h"

struct lua_State;

// What "SumTextureColor" answers when the image cannot be loaded.
constexpr uint32_t kSumTextureColorUnloaded = 4294967295u;

// KVQAPI_PreloadImageFile(name): decodes the image now so its first draw does not wait.
void ScriptPreloadImageFile(const char* name);
void ScriptRemoveTexture(const char* name);
// CloneTexture(source, newName): loads the source, then copies its whole allocated area under the
// new name (nothing is copied when the new name already answers to a texture).
void ScriptCloneTexture(const char* source, const char* newName);
// The pixels of the whole allocated area whose red, green and blue are the colour's and whose
// alpha is not 0. A missing colour is a script error.
uint32_t ScriptSumTextureColor(lua_State* L, const char* name, const RGBA* color);
// Every pixel whose red, green and blue are (r1, g1, b1) gets (r2, g2, b2), its alpha kept; the
// texture is uploaded again. Channels to match outside 0 … 255 match nothing; replacement
// channels are kept within 0 … 255.
void ScriptReplaceTextureColor(const char* name, double r1, double g1, double b1, double r2, double g2, double b2);
// Pastes a copy of the whole allocated area back onto itself with blending, shifted by width in
// each of the eight directions and last unshifted, then uploads the texture again (an outline
// of the image's shapes). The three numbers before width are taken and ignored.
void ScriptTextureAddFrame(const char* name, double first, double second, double third, double width);
