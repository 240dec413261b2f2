#pragma once
// `CKVQDBCfgSystem`: the process-wide registry of loaded tables, by file name and by a small
// identifier (its slot: 0 for the first table loaded, then 1, 2, ...). Tables stay until the
// process ends.
//
// `Load` answers 0 both for a file that cannot be opened and for the first table; scripts rely
// on that, so it stays. `GetDBCfgByName` tells the two apart: it finds nothing after a failure.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "common/StringMap.h"
#include "services/DBConfig.h"

class CKVQDBCfgSystem {
public:
    static CKVQDBCfgSystem& Instance();

    CKVQDBCfgSystem() = default;
    CKVQDBCfgSystem(const CKVQDBCfgSystem&) = delete;
    CKVQDBCfgSystem& operator=(const CKVQDBCfgSystem&) = delete;

    // Grows the slot array to n slots when it is smaller; filled slots stay.
    void CreateIndex(int32_t n);
    // The identifier of the table of that file name, loading and registering it first when it is
    // not registered yet. 0 when the file cannot be opened; a failure registers nothing and uses
    // up no identifier. The slot array grows when it is full, so an early CreateIndex that was
    // too small loses nothing.
    int32_t Load(const char* file);
    CKVQDBConfig* GetDBCfgByName(const char* file);
    // Null when id is negative or not below the slot array's size, or the slot is empty.
    CKVQDBConfig* GetDBCfgByID(int32_t id);

    int32_t GetCapacity() const { return static_cast<int32_t>(slots_.size()); }
    int32_t GetCount() const { return count_; }

    // Forgets every table (tests start from an empty registry).
    void Reset();

private:
    std::vector<std::unique_ptr<CKVQDBConfig>> slots_;
    int32_t count_ = 0;
    StringMap<CKVQDBConfig*> byName_;
};
