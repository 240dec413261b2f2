#pragma once
// The body the three frames built from separate pictures share: the record (the pieces, then the
// clip settings), the attribute group, the "Rect" buttons, "OnZoom" and drawing under the clip.
// Derived lists its pieces in the record's order (Stored) and the editor's (Described) and lays them
// out in DrawPieces.

#include <cstddef>

#include "gfx/DC.h"
#include "io/EditHook.h"
#include "render/Render.h"
#include "render/pictures/FramePieces.h"
#include "render/pictures/Picture.h"
#include "render/pictures/Sprite.h"

template <typename Derived>
class CPieceFrame : public IRender {
public:
    CPieceFrame() { RegisterHandler("OnZoom", &OnZoom); }

    void TransferRecord(CIArchive& ar) override
    {
        frame_pieces::Transfer(ar, Self().Stored());
        clip.Transfer(ar);
    }
    void Describe(CIEditHook& hook) override
    {
        hook.BeginGroup(this, frame_pieces::kGroup, sprite_edit::kCommands, "", nullptr, nullptr, 0, false);
        hook.EnterGroup();
        DescribeBase(hook);
        frame_pieces::Describe(hook, Self().Described());
        clip.Describe(hook);
        hook.LeaveGroup();
    }
    void Draw(const KVQRect& windowRect) override
    {
        CKVQDC* dc = GetCurrentDevice();
        if (!dc)
            return;
        const bool clipped = clip.Push(windowRect, GetOwner());
        Self().DrawPieces(frame_pieces::Painter(*dc, ResolveRect(windowRect)));
        if (clipped)
            dc->PopClip();
    }
    CKVQEditHook& AttributeTable() const override
    {
        static CKVQEditHook table;  // one per frame class
        return table;
    }
    size_t ObjectSize() const override { return sizeof(Derived); }
    // "Copy" and "Paste" on a piece's "Rect" group.
    bool ExecuteCommand(const char* groupPath, const char* command) override
    {
        return frame_pieces::ExecuteRectCommand(groupPath, command, Self().Stored());
    }

    // Multiplies every piece's scale by zoom.
    void Zoom(float zoom) { frame_pieces::Zoom(Self().Stored(), zoom); }

    PictureClip clip;

private:
    Derived& Self() { return static_cast<Derived&>(*this); }
    static void OnZoom(IRender* self, const char*, CKVQWindow*, CKVQMessage* message, CKVQWindow*)
    {
        float zoom = 0.0f;
        if (frame_pieces::ReadZoom(message, zoom))
            static_cast<Derived*>(self)->Zoom(zoom);
    }
};
