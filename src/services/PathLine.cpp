#include "services/PathLine.h"

#include <cstdio>
#include <string>

#include "services/DBCfgSystem.h"
#include "services/DBConfig.h"

CKVQPathLineMgr& CKVQPathLineMgr::Instance()
{
    static CKVQPathLineMgr manager;
    return manager;
}

KVQPathLine* CKVQPathLineMgr::GetPathLine(int32_t id)
{
    auto it = lines_.find(id);
    return it == lines_.end() ? nullptr : it->second.get();
}

bool CKVQPathLineMgr::AddPathLine(std::unique_ptr<KVQPathLine> line)
{
    if (!line || lines_.count(line->nPathID) != 0)
        return false;
    const int32_t id = line->nPathID;
    lines_.emplace(id, std::move(line));
    return true;
}

bool CKVQPathLineMgr::ParsePoint(const char* text, KVQPoint& point)
{
    int x = 0, y = 0;
    if (!text || std::sscanf(text, "%d|%d", &x, &y) != 2)
        return false;
    point = {x, y};
    return true;
}

void CKVQPathLineMgr::Reset()
{
    lines_.clear();
    counter_ = 0;
}

bool CKVQPathLineMgr::LoadCfg(const char* name)
{
    if (!name)
        return false;
    CKVQDBCfgSystem& tables = CKVQDBCfgSystem::Instance();
    tables.Load(name);
    const CKVQDBConfig* table = tables.GetDBCfgByName(name);
    if (!table)
        return false;
    LoadTable(*table);
    return true;
}

void CKVQPathLineMgr::LoadTable(const CKVQDBConfig& table)
{
    constexpr size_t kCellText = 256;  // a point cell is read up to this many characters
    for (int32_t row = 1; row <= table.GetRowNums(); ++row) {
        auto line = std::make_unique<KVQPathLine>();
        line->nPathID = table.GetIntValue(1, row);
        line->nAddData = table.GetIntValue(2, row);
        for (int32_t col = 3; col <= table.GetFieldNums(); ++col) {
            const std::string text = table.GetStringValue(col, row).substr(0, kCellText);
            KVQPoint point;
            if (ParsePoint(text.c_str(), point))
                line->vecPt.Push(point);
        }
        AddPathLine(std::move(line));
    }
}
