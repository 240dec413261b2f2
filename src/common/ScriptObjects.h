#pragma once
// Engine objects that scripts may hold. When one is destroyed, the script host is told, so that
// a script still holding it gets a script error instead of reaching freed memory, and a new
// object at the same address is not mistaken for the old one.

// className: the bound class (or any class of its bound family) the object reaches scripts
// as; it lets the host look in one place instead of everywhere. Null when not known.
using ScriptObjectForgetter = void (*)(void* object, const char* className);

// Tells the script host (when one is connected) that object is gone.
void KVQForgetScriptObject(void* object, const char* className = nullptr);
// Connects the script host's handler (null disconnects). Returns the previous one.
ScriptObjectForgetter SetScriptObjectForgetter(ScriptObjectForgetter forgetter);

// Engine objects other than windows (messages) may hold a registry reference to their script
// object. When one is destroyed, the script host is handed the reference, and gives it back
// when it still names that object (a reference taken in an interpreter closed since is left
// alone).
using ScriptRefReleaser = void (*)(int ref, void* object);

// Hands ref back to the connected script host; nothing for -1 or when no host is connected.
void KVQReleaseScriptRef(int ref, void* object);
// Connects the script host's handler (null disconnects). Returns the previous one.
ScriptRefReleaser SetScriptRefReleaser(ScriptRefReleaser releaser);
