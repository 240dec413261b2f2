#pragma once
// A base for the render objects that window tests attach: it supplies the class name, an empty
// attribute table, the editor group and the object size, so a test object only adds its handlers.
// Derived declares `static constexpr const char* kClassName`.

#include <cstddef>

#include "io/EditHook.h"
#include "render/Render.h"

template <class Derived>
class TestRenderObject : public IRender {
public:
    const char* GetClassName() const override { return Derived::kClassName; }
    void Describe(CIEditHook& hook) override
    {
        hook.BeginGroup(this, Derived::kClassName, ATTR_GROUP, "", nullptr, nullptr, 0, false);
        hook.EnterGroup();
        DescribeBase(hook);
        hook.LeaveGroup();
    }
    CKVQEditHook& AttributeTable() const override
    {
        static CKVQEditHook table;
        return table;
    }
    size_t ObjectSize() const override { return sizeof(Derived); }
};
