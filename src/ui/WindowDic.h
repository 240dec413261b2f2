#pragma once
// Window class dictionaries: files of template windows that scripts clone on demand, indexed by
// each template's class name, and the process-wide cache of dictionaries by file name.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/EngineString.h"

class CKVQWindow;

class CKVQWindowDic {
public:
    CKVQWindowDic() = default;
    CKVQWindowDic(const CKVQWindowDic&) = delete;
    CKVQWindowDic& operator=(const CKVQWindowDic&) = delete;
    ~CKVQWindowDic();  // deletes every template window

    // Reads a window-list file; false when it cannot be opened (the dictionary is unchanged).
    bool Load(const char* path);
    bool Save(const char* path) const;
    // A deep copy of the template of that class (no parent), or null.
    CKVQWindow* CloneClass(const char* className);
    const char* GetName() const { return name_.c_str(); }
    void Zoom(float factor);
    // The templates that still exist, in file order.
    std::vector<CKVQWindow*> Templates() const;

private:
    void DropTemplates();

    // Handles, not pointers: a script can delete a template through its handle, and the window
    // behind a stale pointer may already be another one. A handle that no longer resolves is
    // dropped where it is met.
    std::vector<uint32_t> templates_;
    std::map<std::string, uint32_t> index_;
    CKVQString name_;
};

class CKVQWindowDicMgr {
public:
    static CKVQWindowDicMgr& Instance();
    // The cached dictionary of that file, loading it on first use; null when it cannot be loaded.
    CKVQWindowDic* GetDicByName(const char* path);
    // "file:class" -> a clone of that class from that file's dictionary, or null.
    CKVQWindow* CloneClass(const char* fileAndClass);
    void Clear();  // tests

private:
    std::vector<std::unique_ptr<CKVQWindowDic>> dictionaries_;
};
