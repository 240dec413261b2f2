#pragma once
// Path lines: ordered points held by id in one process-wide manager, for windows that move
// along them.

#include <cstdint>
#include <map>
#include <memory>

#include "script/bindings/geometry_glue.h"

class CKVQDBConfig;

struct KVQPathLine {
    int32_t nPathID = 0;
    int32_t nAddData = 0;  // free for the game
    KVQPointArray vecPt;
};

class CKVQPathLineMgr {
public:
    static CKVQPathLineMgr& Instance();

    // The next id; the first is 1.
    int32_t CreatePathID() { return ++counter_; }
    KVQPathLine* GetPathLine(int32_t id);
    // Takes the line; false (the caller keeps it) when its id is already present.
    bool AddPathLine(std::unique_ptr<KVQPathLine> line);
    // Adds a line for every row of the configuration table name: column 1 the id, column 2
    // nAddData, the columns from 3 on "%d|%d" points (cells that do not parse are passed over).
    // An id already present keeps its first line. False when the table cannot be loaded.
    bool LoadCfg(const char* name);
    void LoadTable(const CKVQDBConfig& table);
    // Parses one "%d|%d" table cell into a point; false when either number is missing.
    static bool ParsePoint(const char* text, KVQPoint& point);
    // Forgets every line and restarts the ids (tests).
    void Reset();

private:
    std::map<int32_t, std::unique_ptr<KVQPathLine>> lines_;
    int32_t counter_ = 0;
};
