#include "ui/WindowDic.h"

#include <cstring>
#include <string>
#include <vector>

#include "common/ScriptObjects.h"
#include "io/Archive.h"
#include "io/FileSystem.h"
#include "io/MemFile.h"
#include "ui/Message.h"
#include "ui/Window.h"

namespace {

// The manager's "file:class" text is taken up to this many characters.
constexpr size_t kMaxCloneClassText = 256;

}  // namespace

CKVQWindowDic::~CKVQWindowDic()
{
    DropTemplates();
    KVQForgetScriptObject(this, "CKVQWindowDic");
    KVQForgetPointer(this);
}

void CKVQWindowDic::DropTemplates()
{
    for (uint32_t handle : templates_) {
        if (CKVQWindow* window = CKVQWindow::FromHandle(handle))
            window->Delete();
    }
    templates_.clear();
    index_.clear();
}

std::vector<CKVQWindow*> CKVQWindowDic::Templates() const
{
    std::vector<CKVQWindow*> live;
    for (uint32_t handle : templates_) {
        if (CKVQWindow* window = CKVQWindow::FromHandle(handle))
            live.push_back(window);
    }
    return live;
}

bool CKVQWindowDic::Load(const char* path)
{
    IFile* file = path ? GetFileSystem().Open(path, true) : nullptr;
    if (!file)
        return false;
    std::vector<uint8_t> bytes;
    int32_t size = file->GetSize();
    if (size > 0) {
        bytes.resize(static_cast<size_t>(size));
        file->Seek(0, IFile::kFromStart);
        int32_t got = file->Read(bytes.data(), size);
        bytes.resize(static_cast<size_t>(got > 0 ? got : 0));
    }
    GetFileSystem().Close(file);

    // The old templates are deleted, not merely forgotten: nothing else holds them.
    DropTemplates();
    CIMemFile view;
    view.SetView(bytes.data(), static_cast<int32_t>(bytes.size()));
    CIArchive ar(&view, CIArchive::SM_READ);
    std::vector<CKVQWindow*> loaded;
    CKVQWindow::SerializeList(ar, loaded);
    // Of two templates with one class name, the first in the file is the one found.
    for (CKVQWindow* window : loaded) {
        templates_.push_back(window->GetWindowHandle());
        index_.emplace(window->GetClassName(), window->GetWindowHandle());
    }
    name_ = path;
    return true;
}

bool CKVQWindowDic::Save(const char* path) const
{
    if (!path || !*path)
        return false;
    CKVQMessage out(CKVQMessage::kWindowCapacity);
    std::vector<CKVQWindow*> templates = Templates();
    CKVQWindow::SerializeList(out, templates);
    IFile* file = GetFileSystem().OpenDisk(path, "wb");
    if (!file)
        return false;
    bool ok = file->Write(out.GetBuffer(), out.GetSize()) == out.GetSize();
    GetFileSystem().Close(file);
    return ok;
}

CKVQWindow* CKVQWindowDic::CloneClass(const char* className)
{
    auto it = index_.find(className ? className : "");
    if (it == index_.end())
        return nullptr;
    CKVQWindow* window = CKVQWindow::FromHandle(it->second);
    if (!window) {
        index_.erase(it);  // the template was deleted
        return nullptr;
    }
    window->SetDirty();
    return window->Clone();
}

void CKVQWindowDic::Zoom(float factor)
{
    for (CKVQWindow* window : Templates())
        window->Zoom(factor);
}

CKVQWindowDicMgr& CKVQWindowDicMgr::Instance()
{
    // The window module must outlive the dictionaries, whose templates are windows.
    WindowModule::Get();
    static CKVQWindowDicMgr instance;
    return instance;
}

CKVQWindowDic* CKVQWindowDicMgr::GetDicByName(const char* path)
{
    if (!path)
        return nullptr;
    for (const auto& dic : dictionaries_) {
        if (std::strcmp(dic->GetName(), path) == 0)
            return dic.get();
    }
    auto dic = std::make_unique<CKVQWindowDic>();
    if (!dic->Load(path))
        return nullptr;
    dictionaries_.push_back(std::move(dic));
    return dictionaries_.back().get();
}

CKVQWindow* CKVQWindowDicMgr::CloneClass(const char* fileAndClass)
{
    if (!fileAndClass)
        return nullptr;
    std::string text(fileAndClass, strnlen(fileAndClass, kMaxCloneClassText));
    size_t colon = text.find(':');
    if (colon == std::string::npos)
        return nullptr;
    CKVQWindowDic* dic = GetDicByName(text.substr(0, colon).c_str());
    return dic ? dic->CloneClass(text.c_str() + colon + 1) : nullptr;
}

void CKVQWindowDicMgr::Clear()
{
    dictionaries_.clear();
}
