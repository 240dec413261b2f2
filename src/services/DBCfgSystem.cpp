#include "services/DBCfgSystem.h"

#include <string>

CKVQDBCfgSystem& CKVQDBCfgSystem::Instance()
{
    static CKVQDBCfgSystem registry;
    return registry;
}

void CKVQDBCfgSystem::CreateIndex(int32_t n)
{
    if (n > static_cast<int32_t>(slots_.size()))
        slots_.resize(static_cast<size_t>(n));
}

int32_t CKVQDBCfgSystem::Load(const char* file)
{
    if (!file)
        return 0;
    if (CKVQDBConfig* const* known = byName_.Find(file))
        return (*known)->GetID();
    auto table = std::make_unique<CKVQDBConfig>();
    if (!table->Load(file))
        return 0;
    const int32_t id = count_;
    if (id >= static_cast<int32_t>(slots_.size()))
        slots_.resize(static_cast<size_t>(id) + 1);
    table->SetID(id);
    byName_.Insert(file, table.get());
    slots_[static_cast<size_t>(id)] = std::move(table);
    ++count_;
    return id;
}

CKVQDBConfig* CKVQDBCfgSystem::GetDBCfgByName(const char* file)
{
    CKVQDBConfig* const* found = file ? byName_.Find(file) : nullptr;
    return found ? *found : nullptr;
}

CKVQDBConfig* CKVQDBCfgSystem::GetDBCfgByID(int32_t id)
{
    if (id < 0 || id >= static_cast<int32_t>(slots_.size()))
        return nullptr;
    return slots_[static_cast<size_t>(id)].get();
}

void CKVQDBCfgSystem::Reset()
{
    byName_.Clear();
    slots_.clear();
    count_ = 0;
}
