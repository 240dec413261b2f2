#include "services/PathLine.h"

#include <cstdio>

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
