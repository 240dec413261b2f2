#pragma once
// Hand-written side of the table bindings: scripts pass any number for a column, row or
// identifier (converted as the geometry glue converts them) and omit ones they do not need.

#include <string>

#include "services/DBCfgSystem.h"
#include "services/DBConfig.h"

int DBConfigGetIntValue(CKVQDBConfig* table, double col, double row);
float DBConfigGetFloatValue(CKVQDBConfig* table, double col, double row);
std::string DBConfigGetStringValue(CKVQDBConfig* table, double col, double row);
const char* DBConfigGetName(CKVQDBConfig* table);
int DBConfigGetFieldIndex(CKVQDBConfig* table, const char* name, double index);
IntArray* DBConfigGroupField(CKVQDBConfig* table, double col, const char* value);
int DBConfigUnionFieldIndex(CKVQDBConfig* table, double col1, double col2, double col3);
CKVQDBConfig* DBCfgSystemGetDBCfgByID(CKVQDBCfgSystem* registry, double id);
int DBCfgSystemLoad(CKVQDBCfgSystem* registry, const char* file);
bool DBCfgSystemCreateIndex(CKVQDBCfgSystem* registry, double n);
