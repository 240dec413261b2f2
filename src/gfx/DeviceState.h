#pragma once
// What every drawing device keeps the same way: the stored parameters, the invalid area and
// dirty flag, the clip stack, the colour modulation stack and the transform stack. A device
// derives from this and adds its drawing; where it must react to a state change (a batching
// device ending its run on a scaled transform) it overrides the call and forwards here.

#include <cstdint>
#include <vector>

#include "gfx/DC.h"
#include "gfx/DrawGeometry.h"

class CKVQDrawingDevice : public CKVQDC {
public:
    // The quad six times in the outline colour, one pixel off in each of the directions right,
    // left, down, up, down-right and up-left, then once in place in the fill colour (all Blits).
    int32_t BlitOutlined(int32_t texture, const KVQRect& src, const KVQRect& dst, uint32_t fill,
                         uint32_t outline) override;
    int32_t PushClip(const KVQRect& rect, int32_t flag) override;
    // -1 when there is no clip to pop.
    int32_t PopClip() override;
    // The current clip; an empty rect when none is pushed.
    int32_t GetClip(KVQRect& rect) override;
    int32_t SetParam(const int32_t* value) override;
    int32_t SetParam2(int32_t value) override;
    int32_t SetParam3(int32_t value) override;
    int32_t GetParam3() override { return param3_; }
    int32_t InvalidateRect(const KVQRect& rect, int32_t flag) override;
    int32_t GetInvalidRect(KVQRect& rect) override;
    int32_t SetInvalidate(int32_t mode) override;
    bool IsDirty() override { return dirty_; }
    int32_t RequestRedraw() override;
    int32_t PushColor(uint32_t color) override;
    // Writes the restored modulation colour when color is not null; -1 when the stack is empty.
    int32_t PopColor(uint32_t* color) override;
    int32_t PushTransform(int32_t x, int32_t y, float scaleX, float scaleY) override;
    // -1 when the stack is empty (the transform is kept).
    int32_t PopTransform() override;

    uint32_t GetModulation() const { return modulation_; }
    int32_t GetParam() const { return param_; }
    int32_t GetParam2() const { return param2_; }
    int32_t GetInvalidateMode() const { return invalidateMode_; }
    size_t GetClipDepth() const { return clips_.size(); }

    // InvalidateRect with this mode ignores every request.
    static constexpr int32_t kInvalidateIgnored = 1;

protected:
    CKVQDrawingDevice();

    // After presenting: nothing is waiting to be painted.
    void MarkPresented();

    std::vector<KVQRect> clips_;
    KVQRect clip_;  // clips_.back(), or empty when nothing is pushed
    uint32_t modulation_ = 0xFFFFFFFFu;
    KVQTransform transform_;

private:
    KVQRect paintRect_;
    bool dirty_ = true;
    int32_t invalidateMode_ = 0;
    int32_t param_ = 0;
    int32_t param2_ = 0;
    int32_t param3_ = 0;
    std::vector<uint32_t> colorStack_;
    std::vector<KVQTransform> transformStack_;
};
