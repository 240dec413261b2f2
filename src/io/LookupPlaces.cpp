#include "io/LookupPlaces.h"

#include <vector>

#include "io/FileSystem.h"

namespace {

void Add(std::string& text, const std::string& place)
{
    if (!text.empty())
        text += ", ";
    text += place;
}

// The current package, when there is one to look in.
std::string PackagePlace(CFileSystem& fs)
{
    const std::string name = fs.GetPackageName() + ".KVQ";
    const CPackage* package = fs.FindPackage(fs.GetPackageName());
    if (package == nullptr || package->Stream() == nullptr)
        return {};
    return "package '" + name + "'";
}

}  // namespace

std::string LookupPlaces(const std::string& path)
{
    CFileSystem& fs = GetFileSystem();
    const std::string& app = fs.GetApplicationFolder();
    const std::string package = PackagePlace(fs);
    std::string text;
    if (path.find_first_of("/\\") != std::string::npos) {
        if (!package.empty())
            Add(text, package);
        Add(text, path);
        if (path.front() != '/' && path.front() != '\\')
            Add(text, app + path);
        return text;
    }
    Add(text, app);
    for (const std::string& search : fs.GetSearchPaths())
        Add(text, search);
    if (!package.empty())
        Add(text, package);
    const std::vector<std::string>& folders = fs.GetResourceFolders();
    if (!folders.empty()) {
        std::string list;
        for (const std::string& folder : folders)
            list += (list.empty() ? "" : ",") + folder;
        Add(text, app + "{" + list + "}/");
    }
    Add(text, "every folder below " + app);
    return text;
}
