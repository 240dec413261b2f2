#pragma once
// Where the file system's general lookup (Open with disk access) looks for a path, as one line for
// a person: what a "missing ..." notice names after "looked in:".

#include <string>

// For a bare name: the application folder, the search paths, the current package (when its file
// opened), the resource folders and the folders below the application folder. For a path with
// folders: the package, the path itself and, when it is relative, the path below the application
// folder.
std::string LookupPlaces(const std::string& path);
