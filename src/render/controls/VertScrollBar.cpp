#include "render/controls/VertScrollBar.h"

#include "io/EditHook.h"

CKVQEditHook& CRenderObject_VertScrollBar::AttributeTable() const
{
    static CKVQEditHook table;
    return table;
}
