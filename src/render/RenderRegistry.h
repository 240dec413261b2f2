#pragma once
// The render-object classes by name: layouts name the class of each object they hold, and the
// editor lists the classes that can be added.

#include <string>
#include <vector>

class IRender;

using RenderFactory = IRender* (*)();

class CRenderRegistry {
public:
    static CRenderRegistry& Instance();

    // Appends the class (the first registration of a name is the one Create uses) and adds
    // "name|" to the class list text.
    void Register(const char* name, RenderFactory factory);
    // A new default object of the class, or null when no class has that name (exact match).
    IRender* Create(const char* name) const;
    bool IsRegistered(const char* name) const;
    // "Rectangle|Line|..." in registration order.
    const std::string& GetClassListText() const { return listText_; }
    std::vector<std::string> GetClassNames() const;

private:
    struct Entry {
        std::string name;
        RenderFactory factory;
    };
    std::vector<Entry> entries_;
    std::string listText_;
};

// Registers every render-object class this build has, in the engine's start-up order (classes
// that do not exist yet are simply absent). Safe to call more than once.
void RegisterRenderClasses();
