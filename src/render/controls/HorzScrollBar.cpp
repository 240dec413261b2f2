#include "render/controls/HorzScrollBar.h"

#include "io/EditHook.h"

CKVQEditHook& CRenderObject_HorzScrollBar::AttributeTable() const
{
    static CKVQEditHook table;
    return table;
}
