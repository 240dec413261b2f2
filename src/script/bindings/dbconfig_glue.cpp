#include "script/bindings/dbconfig_glue.h"

#include "script/bindings/geometry_glue.h"

int DBConfigGetIntValue(CKVQDBConfig* table, double col, double row)
{
    return table->GetIntValue(ScriptToInt32(col), ScriptToInt32(row));
}

float DBConfigGetFloatValue(CKVQDBConfig* table, double col, double row)
{
    return table->GetFloatValue(ScriptToInt32(col), ScriptToInt32(row));
}

std::string DBConfigGetStringValue(CKVQDBConfig* table, double col, double row)
{
    return table->GetStringValue(ScriptToInt32(col), ScriptToInt32(row));
}

const char* DBConfigGetName(CKVQDBConfig* table)
{
    return table->GetName().c_str();
}

int DBConfigGetFieldIndex(CKVQDBConfig* table, const char* name, double index)
{
    return table->GetFieldIndex(name ? name : "", ScriptToInt32(index));
}

IntArray* DBConfigGroupField(CKVQDBConfig* table, double col, const char* value)
{
    return table->GroupField(ScriptToInt32(col), value ? value : "");
}

int DBConfigUnionFieldIndex(CKVQDBConfig* table, double col1, double col2, double col3)
{
    return table->UnionFieldIndex(ScriptToInt32(col1), ScriptToInt32(col2), ScriptToInt32(col3));
}

CKVQDBConfig* DBCfgSystemGetDBCfgByID(CKVQDBCfgSystem* registry, double id)
{
    return registry->GetDBCfgByID(ScriptToInt32(id));
}

int DBCfgSystemLoad(CKVQDBCfgSystem* registry, const char* file)
{
    return registry->Load(file);
}

bool DBCfgSystemCreateIndex(CKVQDBCfgSystem* registry, double n)
{
    return registry->CreateIndex(ScriptToInt32(n));
}
